// The platform's numeric conversions, with the exact meanings the control relies on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/value.h"

namespace pellix {

// Int(x): the largest whole number not greater than x (Int(-11.67) = -12).
double Int(double x) noexcept;

// The lenient reading (Val): the number at the start of the text, read up to the first
// character that cannot continue it. Spaces, tabs and line feeds are removed first, wherever
// they stand; &H and &O read hexadecimal and octal whole numbers; 0 when the text does not
// start with a number. A number beyond the double range raises Overflow (6).
double Val(std::string_view text);

// The strict reading: the whole text, blanks allowed only around it, must be one number of
// the lenient grammar; anything else (the empty text included) raises Type mismatch (13).
double StrictNumber(std::string_view text);

// Rounds to the nearest whole number, halves to the even neighbour; Overflow (6) outside the
// target range (or for a value that is not finite).
std::int16_t ToInteger16(double x);
std::int32_t ToLong32(double x);
std::int64_t RoundHalfEven64(double x);

// a \ b: both operands rounded half to even to 64-bit integers, Division by zero (11) for a
// zero divisor, the quotient truncated toward zero.
std::int64_t IntegerDivide(double a, double b);

// Plain double arithmetic with the platform's checks: Division by zero (11) for a zero
// divisor, Overflow (6) for a result that is not finite.
double Divide(double a, double b);
double CheckedResult(double x);  // Overflow (6) unless x is finite

// Number to text: at most 15 significant digits, no trailing zeros, upper-case exponent
// ("1E+15", "1E-05"), "-0" printed as "0"; Overflow (6) for a value that is not finite.
std::string NumberText(double x);

// Conversions of a Value as late binding and the property bag make them.
// To text: a number becomes its number text, a Boolean "True" or "False", Empty "".
std::string ToText(const Value& v);
// To a 16-bit integer: a number rounded half to even (6 outside the range), a text read
// strictly (13), a Boolean -1 or 0, Empty 0.
std::int16_t ToInteger16(const Value& v);
// To a double: a number as it is, a text read strictly (13), a Boolean -1 or 0, Empty 0.
double ToDouble(const Value& v);

}  // namespace pellix
