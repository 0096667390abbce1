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
// character that cannot continue it; 0 when the text does not start with a number.
// - Spaces, tabs and line feeds are removed first, wherever they stand ("- 1 2.5" reads -12.5,
//   "& H 1F" reads 31); no other character is removed.
// - A decimal number is an optional sign, digits with at most one full stop (at least one digit
//   in all), and an optional exponent: E or e, an optional sign and digits. An exponent without
//   digits is not read ("1e" reads 1); neither is a comma ("1,5" reads 1).
// - &H and &O (either case) read hexadecimal or octal digits, any number of them, as a
//   non-negative whole number rounded to the nearest double, ties to even ("&HFFFF" reads 65535;
//   "&H" alone reads 0; "&" before anything else reads 0). A sign only stands before a decimal
//   number ("-&H10" reads 0).
// - Decimal numbers are rounded correctly; one too small for a double reads as 0 (keeping its
//   sign), one beyond the double range, decimal or not, raises Overflow (6).
double Val(std::string_view text);

// The strict reading: blanks (space and tab) are allowed only before and after the number; the
// rest must be exactly one number of the lenient grammar, nothing removed from inside it and
// nothing after it: "1." and "&H1F" are numbers; "1e", "&H", "-&H10", "1 2" and the empty text
// raise Type mismatch (13). The text is checked first, so a well-formed number beyond the double
// range raises Overflow (6) but "1e400x" raises 13.
double StrictNumber(std::string_view text);

// Rounds to the nearest whole number, halves to the even neighbour; Overflow (6) outside the
// target range (or for a value that is not finite).
std::int16_t ToInteger16(double x);
std::int32_t ToLong32(double x);
std::int64_t RoundHalfEven64(double x);

// a \ b: both operands rounded half to even to 64-bit integers (Overflow, 6, outside that range;
// the dividend is converted first), Division by zero (11) for a divisor that rounds to 0, the
// quotient truncated toward zero; -2^63 \ -1 raises Overflow (6).
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
