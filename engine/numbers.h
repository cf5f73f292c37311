#pragma once
// Number reading, writing and normalising shared by every numeric field.
// All functions are pure, run on any thread and do not allocate beyond the returned text.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora {

// A text that is not a number: "'abc' is not a valid floating point value".
class ConversionError final : public std::runtime_error {
public:
    explicit ConversionError(std::string_view text);
};

// A floating-point operation that has no result (a division by zero, a value too large
// to round into a 64-bit integer).
class ArithmeticError final : public std::runtime_error {
public:
    ArithmeticError();
    explicit ArithmeticError(const std::string& what);
};

// The user's decimal separator ('.' unless the window sets it from the locale).
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// Reads a number typed with ',' or '.' as the decimal separator: optional sign, digits
// with at most one separator, optional exponent; blanks around it are ignored. A text
// with both a ',' and a '.' holds two separators and fails. Throws ConversionError.
double IntlStrToFloat(std::string_view text);

// Like IntlStrToFloat, but answers false instead of throwing.
bool TryIntlStrToFloat(std::string_view text, double& value);

// Rounds to the nearest integer, ties to even. Throws ArithmeticError when the result
// does not fit a signed 64-bit integer (or x is not a number).
int64_t RoundToInt64(double x);

// The text a handler writes into a field: at most 15 significant digits, no trailing
// zeros, fixed notation for 0.0001 <= |x| < 1E15, otherwise "2.26757E-5" / "1E100".
std::string NumberToText(double x);

// The normaliser run when a numeric field is left: reads the text (Standard when it is
// not a number), clamps it to Minimum..Maximum, rounds it to the given decimals (ties to
// even) and writes it back as NumberToText. Throws ArithmeticError when the value times
// 10^decimals reaches 2^63.
std::string Cleanup(std::string_view input, double minimum, double maximum, int decimals,
                    double standard);

} // namespace velmora
