#include "numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace velmora {

namespace {
char g_separator = '.';

bool isBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
} // namespace

ConversionError::ConversionError(std::string_view text)
    : std::runtime_error("'" + std::string(text) + "' is not a valid floating point value") {}

ArithmeticError::ArithmeticError() : std::runtime_error("Invalid floating point operation") {}
ArithmeticError::ArithmeticError(const std::string& what) : std::runtime_error(what) {}

char DecimalSeparator() { return g_separator; }
void SetDecimalSeparator(char separator) { g_separator = separator; }

bool TryIntlStrToFloat(std::string_view text, double& value)
{
    size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    const std::string_view t = text.substr(begin, end - begin);
    if (t.empty() || t.size() > 4096) return false;

    // Validate the shape by hand so that nothing the C library would also accept
    // ("inf", "nan", hex floats, thousands separators) slips through.
    std::string plain;
    plain.reserve(t.size());
    size_t i = 0;
    if (t[i] == '+' || t[i] == '-') plain += t[i++];
    bool digits = false, separator = false;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (isDigit(c)) {
            digits = true;
            plain += c;
        } else if (c == ',' || c == '.') {
            if (separator) return false; // two separators
            separator = true;
            plain += '.';
        } else {
            break;
        }
    }
    if (!digits) return false;
    if (i < t.size()) {
        if (t[i] != 'e' && t[i] != 'E') return false;
        plain += 'e';
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) plain += t[i++];
        bool expDigits = false;
        for (; i < t.size() && isDigit(t[i]); ++i) {
            expDigits = true;
            plain += t[i];
        }
        if (!expDigits || i != t.size()) return false;
    }

    double v = 0;
    const char* first = plain.data();
    if (*first == '+') ++first;
    const auto [ptr, ec] = std::from_chars(first, plain.data() + plain.size(), v);
    if (ptr != plain.data() + plain.size()) return false;
    if (ec == std::errc::result_out_of_range) {
        // Underflow reads as zero; overflow has no value a double can hold.
        if (std::isinf(std::strtod(plain.c_str(), nullptr))) return false;
        v = 0.0;
    } else if (ec != std::errc()) {
        return false;
    }
    value = v;
    return true;
}

double IntlStrToFloat(std::string_view text)
{
    double v;
    if (!TryIntlStrToFloat(text, v)) throw ConversionError(text);
    return v;
}

int64_t RoundToInt64(double x)
{
    const double r = std::nearbyint(x); // the default rounding mode: ties to even
    // 2^63 itself does not fit; everything below it does.
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) throw ArithmeticError();
    return static_cast<int64_t>(r);
}

std::string NumberToText(double x)
{
    if (x == 0.0) return "0";
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x > 0 ? "INF" : "-INF";

    // 15 significant digits, rounded: d.dddddddddddddde±XX
    std::array<char, 40> buf{};
    std::snprintf(buf.data(), buf.size(), "%.14e", std::fabs(x));
    std::string digits;
    digits += buf[0];
    digits.append(buf.data() + 2, 14);
    const int exponent = std::atoi(buf.data() + 17);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    const char sep = g_separator;
    std::string out = x < 0 ? "-" : "";
    if (exponent >= -4 && exponent < 15) {
        if (exponent < 0) {
            out += '0';
            out += sep;
            out.append(static_cast<size_t>(-exponent - 1), '0');
            out += digits;
        } else {
            const size_t intDigits = static_cast<size_t>(exponent) + 1;
            if (digits.size() <= intDigits) {
                out += digits;
                out.append(intDigits - digits.size(), '0');
            } else {
                out.append(digits, 0, intDigits);
                out += sep;
                out.append(digits, intDigits, std::string::npos);
            }
        }
    } else {
        out += digits[0];
        if (digits.size() > 1) {
            out += sep;
            out.append(digits, 1, std::string::npos);
        }
        out += 'E';
        out += std::to_string(exponent); // a '-' only for negative exponents
    }
    return out;
}

std::string Cleanup(std::string_view input, double minimum, double maximum, int decimals,
                    double standard)
{
    double x;
    if (!TryIntlStrToFloat(input, x)) x = standard;
    if (!(x <= maximum)) x = maximum;
    if (minimum > x) x = minimum;
    const double scale = std::pow(10.0, decimals);
    x = static_cast<double>(RoundToInt64(x * scale)) / scale;
    return NumberToText(x);
}

} // namespace velmora
