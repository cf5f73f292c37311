#include <gtest/gtest.h>

#include <cmath>

#include "engine/numbers.h"

using namespace velmora;

TEST(IntlStrToFloat, ReadsEitherSeparatorAndRejectsWhatIsNotANumber)
{
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"1.5", true, 1.5},      {"1,5", true, 1.5},      {"  -2.25 ", true, -2.25},
        {"+3", true, 3},         {"1e3", true, 1000},     {"2.5E-2", true, 0.025},
        {".5", true, 0.5},       {"5.", true, 5},         {"0", true, 0},
        {"1,000.5", false, 0},   {"1.000.5", false, 0},   {"", false, 0},
        {"-", false, 0},         {",", false, 0},         {"abc", false, 0},
        {"1e", false, 0},        {"1e400", false, 0},     {"nan", false, 0},
        {"inf", false, 0},       {"0x10", false, 0},      {"1 2", false, 0},
        {"12abc", false, 0},     {"1e-400", true, 0},
    };
    for (const Case& c : cases) {
        double v = -99;
        EXPECT_EQ(TryIntlStrToFloat(c.text, v), c.ok) << c.text;
        if (c.ok) EXPECT_DOUBLE_EQ(v, c.value) << c.text;
    }
}

TEST(IntlStrToFloat, ErrorNamesTheText)
{
    try {
        IntlStrToFloat("12abc");
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'12abc' is not a valid floating point value");
    }
}

TEST(IntlStrToFloat, HostileTextsNeverCrash)
{
    const std::string texts[] = {std::string(10000, '9'), std::string(10000, ','),
                                 std::string("\0\x01\xff", 3), "1e999999999999999999"};
    for (const std::string& t : texts) {
        double v;
        TryIntlStrToFloat(t, v);
    }
}

TEST(NumberToText, FixedAndScientificForms)
{
    struct Case {
        double x;
        const char* text;
    };
    const Case cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {1, "1"},
        {-1.5, "-1.5"},
        {1000, "1000"},
        {0.0213125, "0.0213125"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {2.26757e-5, "2.26757E-5"},
        {1e100, "1E100"},
        {1e15, "1E15"},
        {999999999999999, "999999999999999"},
        {123.4567890123, "123.4567890123"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {105.94630943592953, "105.94630943593"},
        {-3.4600000000000004, "-3.46"},
        {0.1 + 0.2, "0.3"},
        {1.5e-300, "1.5E-300"},
    };
    for (const Case& c : cases) EXPECT_EQ(NumberToText(c.x), c.text) << c.x;
}

TEST(NumberToText, UsesTheUserSeparator)
{
    SetDecimalSeparator(',');
    EXPECT_EQ(NumberToText(1.5), "1,5");
    EXPECT_EQ(NumberToText(2.5e-7), "2,5E-7");
    EXPECT_DOUBLE_EQ(IntlStrToFloat("1.25"), 1.25);
    SetDecimalSeparator('.');
}

TEST(Cleanup, ClampsRoundsAndFallsBack)
{
    struct Case {
        const char* input;
        double min, max;
        int decimals;
        double standard;
        const char* out;
    };
    const Case cases[] = {
        {"0.05", 0.1, 22050, 10, 1000, "0.1"},
        {"123.456789012345", 0.1, 22050, 10, 1000, "123.4567890123"},
        {"30000", 0.1, 22050, 10, 1000, "22050"},
        {"1,5", 0.1, 22050, 10, 1000, "1.5"},
        {"0", 1.0 / 44100, 1e100, 10, 1, "2.26757E-5"},
        {"abc", 1.0 / 44100, 1e100, 10, 1, "1"},
        {"-120", -100, 0, 2, 0, "-100"},
        {"6", -100, 0, 2, 0, "0"},
        {"-3.456", -100, 0, 2, 0, "-3.46"},
        {"-3.455", -100, 0, 2, 0, "-3.46"},  // the product is just below a tie
        {"0.125", 0, 100, 2, 100, "0.12"},   // an exact tie rounds to even
        {"0.375", 0, 100, 2, 100, "0.38"},
        {"150", 0, 100, 10, 100, "100"},
        {"-90", 1e-98, 1e100, 10, 0, "0"},
        {"720", 1e-98, 1e100, 10, 0, "720"},
        {"40", 1, 32, 0, 16, "32"},
        {"2.5", 1, 32, 0, 16, "2"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Cleanup(c.input, c.min, c.max, c.decimals, c.standard), c.out) << c.input;
}

TEST(Cleanup, ValuesTooLargeToRoundAreAnArithmeticError)
{
    EXPECT_THROW(Cleanup("922337203.7", 0, 1e100, 10, 1), ArithmeticError);
    EXPECT_THROW(Cleanup("1e50", 1e-98, 1e100, 10, 0), ArithmeticError);
    EXPECT_EQ(Cleanup("922337203", 0, 1e100, 10, 1), "922337203");
}

TEST(RoundToInt64, TiesGoToEven)
{
    EXPECT_EQ(RoundToInt64(0.5), 0);
    EXPECT_EQ(RoundToInt64(1.5), 2);
    EXPECT_EQ(RoundToInt64(2.5), 2);
    EXPECT_EQ(RoundToInt64(-2.5), -2);
    EXPECT_EQ(RoundToInt64(-3.5), -4);
    EXPECT_THROW(RoundToInt64(9.3e18), ArithmeticError);
    EXPECT_THROW(RoundToInt64(std::nan("")), ArithmeticError);
}
