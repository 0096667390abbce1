#include "platform/conversions.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

#include "platform/error.h"

namespace pellix {

namespace {

// Characters the lenient reading removes wherever they stand.
constexpr bool IsLenientSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n';
}

// Blanks in the strict reading: only space and tab, and only around the number.
constexpr bool IsBlank(char c) noexcept {
  return c == ' ' || c == '\t';
}

constexpr bool IsDigit(char c) noexcept {
  return c >= '0' && c <= '9';
}

constexpr int HexDigit(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr int OctalDigit(char c) noexcept {
  return c >= '0' && c <= '7' ? c - '0' : -1;
}

// Walks the text one character at a time. In lenient mode it steps over removed characters
// transparently, so the grammar below never sees them; in strict mode every character counts.
class Cursor {
 public:
  Cursor(std::string_view text, bool lenient) noexcept : text_(text), lenient_(lenient) {}

  bool AtEnd() noexcept {
    SkipRemoved();
    return pos_ == text_.size();
  }
  // The current character; only valid when !AtEnd().
  char Peek() noexcept {
    SkipRemoved();
    return text_[pos_];
  }
  bool PeekIs(char a, char b) noexcept { return !AtEnd() && (Peek() == a || Peek() == b); }
  void Advance() noexcept { ++pos_; }

  std::size_t position() const noexcept { return pos_; }
  void Restore(std::size_t pos) noexcept { pos_ = pos; }

 private:
  void SkipRemoved() noexcept {
    if (!lenient_) return;
    while (pos_ < text_.size() && IsLenientSpace(text_[pos_])) ++pos_;
  }

  std::string_view text_;
  bool lenient_;
  std::size_t pos_ = 0;
};

// The characters of a decimal number gathered without the removed blanks, so that the
// standard correctly rounded conversion can read them. Short numbers stay on the stack.
class TokenBuffer {
 public:
  void Push(char c) {
    if (heap_.empty() && size_ < sizeof(stack_)) {
      stack_[size_++] = c;
      return;
    }
    if (heap_.empty()) heap_.assign(stack_, size_);
    heap_.push_back(c);
    ++size_;
  }
  const char* data() const noexcept { return heap_.empty() ? stack_ : heap_.data(); }
  std::size_t size() const noexcept { return size_; }

 private:
  char stack_[128];
  std::size_t size_ = 0;
  std::string heap_;
};

// A whole number in base 2^bits_per_digit, rounded to the nearest double (ties to even), the way
// a correctly rounded conversion would read it; any number of digits is accepted. Overflow (6)
// when it rounds beyond the largest double.
class PowerOfTwoNumber {
 public:
  explicit PowerOfTwoNumber(int bits_per_digit) noexcept : bits_(bits_per_digit) {}

  void AddDigit(int digit) noexcept {
    if ((mantissa_ >> (64 - bits_)) == 0) {
      mantissa_ = (mantissa_ << bits_) | static_cast<std::uint64_t>(digit);
    } else {
      // The mantissa holds at least 61 significant bits: later digits only move the binary
      // point and decide, through the sticky flag, how a tie is broken. The exponent saturates
      // far beyond the double range, where the value overflows anyway.
      if (extra_exponent_ < 100'000) extra_exponent_ += bits_;
      sticky_ = sticky_ || digit != 0;
    }
  }

  double Value() const {
    std::uint64_t m = mantissa_;
    int exponent = extra_exponent_;
    const int length = static_cast<int>(std::bit_width(m));
    if (length > 53) {
      const int drop = length - 53;
      const std::uint64_t half = std::uint64_t{1} << (drop - 1);
      const std::uint64_t rest = m & ((std::uint64_t{1} << drop) - 1);
      m >>= drop;
      exponent += drop;
      if (rest > half || (rest == half && (sticky_ || (m & 1) != 0))) ++m;  // may reach 2^53
    }
    // m < 2^53 + 1 is exact as a double; scaling by a power of two is exact unless it overflows.
    const double value = std::ldexp(static_cast<double>(m), exponent);
    if (std::isinf(value)) RaiseError(kOverflow);
    return value;
  }

 private:
  int bits_;
  std::uint64_t mantissa_ = 0;
  int extra_exponent_ = 0;
  bool sticky_ = false;
};

// One number as read from the text, before its value is computed: the strict reading checks
// the whole text first, so that a text that is no number is a type mismatch even when the
// number it starts with would overflow.
struct Scan {
  enum class Kind { kNone, kDecimal, kPrefixed };
  Kind kind = Kind::kNone;
  bool has_digits = false;  // &H with no digit after it reads 0 but is no number
  // Decimal: the digits, full stop and exponent without sign or removed blanks.
  bool negative = false;
  TokenBuffer token;
  // The first significant digit stands at 10^(magnitude - 1 + exponent), which tells an out of
  // range result apart as overflow or underflow.
  long long magnitude = 0;
  long long exponent = 0;
  // Prefixed: the accumulated hexadecimal or octal number.
  PowerOfTwoNumber whole{4};
};

// Reads &H / &O followed by digits of that base; the cursor stands on the '&'.
void ScanPrefixed(Cursor& cursor, Scan& scan) {
  const std::size_t start = cursor.position();
  cursor.Advance();  // '&'
  int bits = 0;
  if (cursor.PeekIs('H', 'h')) {
    bits = 4;
  } else if (cursor.PeekIs('O', 'o')) {
    bits = 3;
  } else {
    cursor.Restore(start);
    return;
  }
  cursor.Advance();
  scan.kind = Scan::Kind::kPrefixed;
  scan.whole = PowerOfTwoNumber(bits);
  while (!cursor.AtEnd()) {
    const int digit = bits == 4 ? HexDigit(cursor.Peek()) : OctalDigit(cursor.Peek());
    if (digit < 0) break;
    scan.whole.AddDigit(digit);
    scan.has_digits = true;
    cursor.Advance();
  }
}

// Reads [+-] digits [. digits] [(E|e) [+-] digits] with at least one mantissa digit. An exponent
// marker that is not followed by digits is not part of the number ("1e" is 1).
void ScanDecimal(Cursor& cursor, Scan& scan) {
  const std::size_t start = cursor.position();
  if (cursor.PeekIs('+', '-')) {
    scan.negative = cursor.Peek() == '-';
    cursor.Advance();
  }

  bool seen_significant = false;
  std::size_t mantissa_digits = 0;
  while (!cursor.AtEnd() && IsDigit(cursor.Peek())) {
    if (cursor.Peek() != '0') seen_significant = true;
    if (seen_significant) ++scan.magnitude;
    scan.token.Push(cursor.Peek());
    cursor.Advance();
    ++mantissa_digits;
  }
  if (!cursor.AtEnd() && cursor.Peek() == '.') {
    scan.token.Push('.');
    cursor.Advance();
    while (!cursor.AtEnd() && IsDigit(cursor.Peek())) {
      if (!seen_significant) {
        if (cursor.Peek() != '0') {
          seen_significant = true;
        } else {
          --scan.magnitude;
        }
      }
      scan.token.Push(cursor.Peek());
      cursor.Advance();
      ++mantissa_digits;
    }
  }
  if (mantissa_digits == 0) {
    cursor.Restore(start);
    return;
  }
  scan.kind = Scan::Kind::kDecimal;
  scan.has_digits = true;

  const std::size_t before_exponent = cursor.position();
  if (!cursor.PeekIs('E', 'e')) return;
  cursor.Advance();
  char sign = 0;
  if (cursor.PeekIs('+', '-')) {
    sign = cursor.Peek();
    cursor.Advance();
  }
  if (cursor.AtEnd() || !IsDigit(cursor.Peek())) {
    cursor.Restore(before_exponent);
    return;
  }
  scan.token.Push('e');
  if (sign != 0) scan.token.Push(sign);
  long long exponent = 0;
  while (!cursor.AtEnd() && IsDigit(cursor.Peek())) {
    // Saturate: for huge exponents only the sign of the range estimate matters.
    if (exponent < 1'000'000'000) exponent = exponent * 10 + (cursor.Peek() - '0');
    scan.token.Push(cursor.Peek());
    cursor.Advance();
  }
  scan.exponent = sign == '-' ? -exponent : exponent;
}

void ScanNumber(Cursor& cursor, Scan& scan) {
  if (cursor.AtEnd()) return;
  if (cursor.Peek() == '&') {
    ScanPrefixed(cursor, scan);
  } else {
    ScanDecimal(cursor, scan);
  }
}

// The value of a scanned number; Overflow (6) beyond the double range. A decimal number too
// small for a double reads as zero.
double Evaluate(const Scan& scan) {
  switch (scan.kind) {
    case Scan::Kind::kNone:
      return 0.0;
    case Scan::Kind::kPrefixed:
      return scan.has_digits ? scan.whole.Value() : 0.0;
    case Scan::Kind::kDecimal:
      break;
  }
  double value = 0.0;
  const char* first = scan.token.data();
  const auto result = std::from_chars(first, first + scan.token.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    if (scan.magnitude + scan.exponent > 0) RaiseError(kOverflow);
    value = 0.0;
  }
  return scan.negative ? -value : value;
}

// Rounds to the nearest whole number, halves to even, without depending on the floating-point
// environment's rounding mode. x must be finite.
double RoundHalfEven(double x) noexcept {
  const double below = std::floor(x);
  const double fraction = x - below;  // exact for every finite double
  if (fraction > 0.5) return below + 1.0;
  if (fraction < 0.5) return below;
  return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

// The value of a text of 1 to 15 decimal digits and nothing else, or none. Most texts a check
// reads are such whole numbers, and every one of them is exactly a double: read directly, they
// give what the scanner gives, several times faster.
std::optional<double> PlainDigits(std::string_view text) noexcept {
  if (text.empty() || text.size() > 15) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return static_cast<double>(value);
}

}  // namespace

double Int(double x) noexcept {
  return std::floor(x);
}

double Val(std::string_view text) {
  if (const std::optional<double> digits = PlainDigits(text)) return *digits;
  Cursor cursor(text, /*lenient=*/true);
  Scan scan;
  ScanNumber(cursor, scan);
  return Evaluate(scan);
}

double StrictNumber(std::string_view text) {
  if (const std::optional<double> digits = PlainDigits(text)) return *digits;
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;

  Cursor cursor(text.substr(first, last - first), /*lenient=*/false);
  Scan scan;
  ScanNumber(cursor, scan);
  if (!scan.has_digits || !cursor.AtEnd()) RaiseError(kTypeMismatch);
  return Evaluate(scan);
}

std::int16_t ToInteger16(double x) {
  if (!std::isfinite(x)) RaiseError(kOverflow);
  const double r = RoundHalfEven(x);
  if (r < -32768.0 || r > 32767.0) RaiseError(kOverflow);
  return static_cast<std::int16_t>(r);
}

std::int32_t ToLong32(double x) {
  if (!std::isfinite(x)) RaiseError(kOverflow);
  const double r = RoundHalfEven(x);
  if (r < -2147483648.0 || r > 2147483647.0) RaiseError(kOverflow);
  return static_cast<std::int32_t>(r);
}

std::int64_t RoundHalfEven64(double x) {
  if (!std::isfinite(x)) RaiseError(kOverflow);
  const double r = RoundHalfEven(x);
  // 2^63 itself is the first double outside the range; every double below it converts exactly.
  if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) RaiseError(kOverflow);
  return static_cast<std::int64_t>(r);
}

std::int64_t IntegerDivide(double a, double b) {
  const std::int64_t dividend = RoundHalfEven64(a);
  const std::int64_t divisor = RoundHalfEven64(b);
  if (divisor == 0) RaiseError(kDivisionByZero);
  // The one quotient that does not fit: -2^63 / -1.
  if (divisor == -1 && dividend == std::numeric_limits<std::int64_t>::min()) {
    RaiseError(kOverflow);
  }
  return dividend / divisor;
}

double Divide(double a, double b) {
  if (b == 0.0) RaiseError(kDivisionByZero);
  return CheckedResult(a / b);
}

double CheckedResult(double x) {
  if (!std::isfinite(x)) RaiseError(kOverflow);
  return x;
}

std::string NumberText(double x) {
  if (!std::isfinite(x)) RaiseError(kOverflow);
  if (x == 0.0) return "0";  // also negative zero
  char buffer[32];
  // A whole number of at most 15 digits reads the same in %.15g as in integer form, which is
  // several times cheaper to write; most numbers a check publishes are such.
  if (std::abs(x) < 1e15 && x == std::trunc(x)) {
    const auto whole = std::to_chars(buffer, buffer + sizeof(buffer), static_cast<long long>(x));
    return std::string(buffer, whole.ptr);
  }
  // to_chars with a precision is printf's %.15g in the C locale, whatever the process locale.
  const auto result =
      std::to_chars(buffer, buffer + sizeof(buffer), x, std::chars_format::general, 15);
  std::string text(buffer, result.ptr);
  for (char& c : text) {
    if (c == 'e') c = 'E';
  }
  return text;
}

std::string ToText(const Value& v) {
  switch (v.type()) {
    case ValueType::kEmpty:
      return {};
    case ValueType::kString:
      return v.string();
    case ValueType::kBoolean:
      return v.boolean() ? "True" : "False";
    case ValueType::kInteger:
    case ValueType::kLong:
    case ValueType::kDouble:
      return NumberText(v.number());
  }
  return {};
}

std::int16_t ToInteger16(const Value& v) {
  switch (v.type()) {
    case ValueType::kEmpty:
      return 0;
    case ValueType::kInteger:
      return v.integer();
    case ValueType::kLong:
    case ValueType::kDouble:
      return ToInteger16(v.number());
    case ValueType::kString:
      return ToInteger16(StrictNumber(v.string()));
    case ValueType::kBoolean:
      return v.boolean() ? std::int16_t{-1} : std::int16_t{0};
  }
  return 0;
}

double ToDouble(const Value& v) {
  switch (v.type()) {
    case ValueType::kEmpty:
      return 0.0;
    case ValueType::kInteger:
    case ValueType::kLong:
    case ValueType::kDouble:
      return v.number();
    case ValueType::kString:
      return StrictNumber(v.string());
    case ValueType::kBoolean:
      return v.boolean() ? -1.0 : 0.0;
  }
  return 0.0;
}

}  // namespace pellix
