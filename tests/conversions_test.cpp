// The platform's number conversions: the readings, rounding, checked arithmetic and number text
// that every computed value and every caption passes through.
#include "platform/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/value.h"

namespace pellix {
namespace {

// The error number `f` raises, or 0 when it returns normally.
template <typename F>
int ErrorOf(F f) {
  try {
    f();
  } catch (const PlatformError& e) {
    return e.number();
  }
  return 0;
}

constexpr double kMaxDouble = std::numeric_limits<double>::max();

// A text and the number it reads as.
struct Reading {
  std::string_view text;
  double value;
};

// Every reading, by `read` (Val or StrictNumber).
void ExpectReadings(double (*read)(std::string_view), std::span<const Reading> readings) {
  for (const Reading& r : readings) EXPECT_EQ(read(r.text), r.value) << r.text;
}

TEST(IntTest, RoundsTowardMinusInfinity) {
  EXPECT_EQ(Int(-11.67), -12.0);
  EXPECT_EQ(Int(11.67), 11.0);
  EXPECT_EQ(Int(-0.5), -1.0);
  EXPECT_EQ(Int(-3.0), -3.0);
  EXPECT_EQ(Int(4503599627370495.5), 4503599627370495.0);  // 2^52 - 0.5
}

TEST(ValTest, DecimalGrammar) {
  const Reading kReadings[] = {
      {"12abc", 12.0},
      {"", 0.0},
      {"abc", 0.0},
      {"1e", 1.0},
      {"1e+", 1.0},
      {"1,5", 1.0},
      {"1.5.5", 1.5},
      {"1..5", 1.0},
      {"-.5", -0.5},
      {"+.5", 0.5},
      {"5.", 5.0},
      {"1.e2", 100.0},
      {"1E-2", 0.01},
      {"12e3abc", 12000.0},
      {"00012", 12.0},
      // No mantissa digit, no number.
      {".", 0.0},
      {".e5", 0.0},
      {"e5", 0.0},
      {"-", 0.0},
      // One sign only.
      {"+-5", 0.0},
      {"--5", 0.0},
      // Only E marks an exponent.
      {"1d5", 1.0},
  };
  ExpectReadings(Val, kReadings);
}

TEST(ValTest, RemovesSpacesTabsAndLineFeedsAnywhere) {
  const Reading kReadings[] = {
      {"- 1 2.5", -12.5},
      {"\n\t 1 \n2", 12.0},
      {"1 . 5", 1.5},
      {"1 e 5", 100000.0},
      {"1e - 2", 0.01},
      {"7 ", 7.0},
      // Nothing else is removed: carriage return, vertical tab, form feed, no-break space.
      {"\r12", 0.0},
      {"1\r2", 1.0},
      {"\v12", 0.0},
      {"\f12", 0.0},
      {"\xC2\xA0"
       "12",
       0.0},
      // A NUL is a character like any other: it ends the number.
      {std::string_view("1\0"
                        "2",
                        3),
       1.0},
  };
  ExpectReadings(Val, kReadings);
}

TEST(ValTest, HexadecimalAndOctal) {
  const Reading kReadings[] = {
      {"&HFFFF", 65535.0},
      {"&hff", 255.0},
      {"&Hff", 255.0},
      {"& H 1F", 31.0},
      {"&H", 0.0},
      {"&HG", 0.0},
      {"&H1F.8", 31.0},
      {"&H-1", 0.0},
      {"&O17", 15.0},
      {"&o17", 15.0},
      {"&O78", 7.0},
      {"&O8", 0.0},
      {"&HFFFFFFFF", 4294967295.0},  // never a negative 32-bit value
      // Only &H and &O are prefixes; a sign never stands before one.
      {"&17", 0.0},
      {"&", 0.0},
      {"-&H10", 0.0},
      {"+&H10", 0.0},
  };
  ExpectReadings(Val, kReadings);
}

TEST(ValTest, TextsOfDigitsOnlyReadTheSameBothWays) {
  // Up to 15 digits are read directly; longer ones, or with anything else, by the scanner.
  const Reading kReadings[] = {{"0", 0.0},
                               {"7", 7.0},
                               {"00012", 12.0},
                               {"999999999999999", 999999999999999.0},
                               {"9999999999999999", 1e16},  // 16 digits: the nearest double
                               {"12345678901234567890", 12345678901234567890.0},
                               {" 12", 12.0}};
  ExpectReadings(Val, kReadings);
  ExpectReadings(StrictNumber, kReadings);
}

TEST(ValTest, LongWholeNumbersRoundToNearestEven) {
  const double two53 = 9007199254740992.0;
  EXPECT_EQ(Val("&H20000000000001"), two53);                          // 2^53 + 1: tie, to even
  EXPECT_EQ(Val("&H20000000000003"), two53 + 4.0);                    // 2^53 + 3: tie, to even
  EXPECT_EQ(Val("&O1000000000000000000000"), 9223372036854775808.0);  // 8^21 = 2^63
  // (2^53 + 1) * 2^64 is a tie; one more unit far below decides it upward.
  EXPECT_EQ(Val("&H200000000000010000000000000000"), std::ldexp(two53, 64));
  EXPECT_EQ(Val("&H200000000000010000000000000001"), std::ldexp(two53 + 2.0, 64));
  // The same with octal digits: (2^53 + 1) * 8^10 and one more unit.
  EXPECT_EQ(Val("&O4000000000000000010000000000"), std::ldexp(two53, 30));
  EXPECT_EQ(Val("&O4000000000000000010000000001"), std::ldexp(two53 + 2.0, 30));
  // Leading zeros do not count against the digits kept.
  EXPECT_EQ(Val("&H" + std::string(300, '0') + "1F"), 31.0);
}

TEST(ValTest, HexadecimalBeyondTheDoubleRangeOverflows) {
  const std::string zeros242(242, '0');
  // (2^53 - 1) * 2^971 is the largest double.
  EXPECT_EQ(Val("&HFFFFFFFFFFFFF8" + zeros242), kMaxDouble);
  // Half a unit above it is a tie that rounds to 2^1024, beyond the range.
  EXPECT_EQ(ErrorOf([&] { Val("&HFFFFFFFFFFFFFC" + zeros242); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { Val("&H1" + std::string(256, '0')); }), kOverflow);  // 2^1024
  EXPECT_EQ(ErrorOf([] { Val("&H" + std::string(100000, 'F')); }), kOverflow);
}

TEST(ValTest, DecimalRoundingAndRange) {
  EXPECT_EQ(Val("0.1"), 0.1);
  EXPECT_EQ(Val("9007199254740993"), 9007199254740992.0);  // tie, to even
  EXPECT_EQ(Val("9007199254740993.0000000001"), 9007199254740994.0);
  EXPECT_EQ(Val("1.7976931348623158e308"), kMaxDouble);
  EXPECT_EQ(ErrorOf([] { Val("1.7976931348623159e308"); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { Val("1e400"); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { Val("-1e400"); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { Val("1e99999999999999999999"); }), kOverflow);
  EXPECT_EQ(Val("4.9406564584124654e-324"), std::numeric_limits<double>::denorm_min());
  // Too small for a double: zero, with its sign.
  EXPECT_EQ(Val("1e-400"), 0.0);
  EXPECT_TRUE(std::signbit(Val("-1e-400")));
  EXPECT_EQ(Val("0e99999999999999999999"), 0.0);
  // The exponent that only looks large: 10^-301 * 10^301.
  EXPECT_EQ(Val("0." + std::string(300, '0') + "1e301"), 1.0);
}

TEST(ValTest, LongTextsLeaveTheShortBuffer) {
  EXPECT_EQ(Val(std::string(500, '0') + "12"), 12.0);
  EXPECT_EQ(ErrorOf([] { Val("1" + std::string(400, '0')); }), kOverflow);
  EXPECT_EQ(Val("0." + std::string(400, '0') + "1"), 0.0);
  // Removed characters between many digits.
  std::string spaced;
  for (int i = 0; i < 200; ++i) spaced += "0 ";
  spaced += "4 2.5";
  EXPECT_EQ(Val(spaced), 42.5);
}

TEST(StrictNumberTest, AcceptsOneNumberWithBlanksAround) {
  const Reading kReadings[] = {
      {"1.", 1.0},    {"&H1F", 31.0},     {"&h1f", 31.0},  {"&O17", 15.0},    {"+5", 5.0},
      {".5", 0.5},    {"-.5", -0.5},      {"5.", 5.0},     {"1e5", 100000.0}, {"1E-2", 0.01},
      {" 12 ", 12.0}, {" \t12\t ", 12.0}, {"&H1F ", 31.0}, {"1e-400", 0.0},
  };
  ExpectReadings(StrictNumber, kReadings);
}

TEST(StrictNumberTest, AnythingElseIsATypeMismatch) {
  for (const char* text :
       {"",    " ",     "\t",   "1e",    "1e+",  "1.5e", "&H", "&O", "-&H10", "&17",  "1 2", "1,5",
        "- 5", "&H 1F", "1 e5", "12abc", "1e5x", ".",    "-",  "+",  "&O18",  "1..5", "--5"}) {
    EXPECT_EQ(ErrorOf([&] { StrictNumber(text); }), kTypeMismatch) << '"' << text << '"';
  }
  // Only space and tab are blanks here, unlike in the lenient reading.
  for (const char* text : {"\n12", "12\n", "\r12", "12\r", "\v12"}) {
    EXPECT_EQ(ErrorOf([&] { StrictNumber(text); }), kTypeMismatch);
  }
  EXPECT_EQ(ErrorOf([] { StrictNumber(std::string_view("12\0", 3)); }), kTypeMismatch);
}

TEST(StrictNumberTest, OverflowOnlyForAWellFormedNumber) {
  EXPECT_EQ(ErrorOf([] { StrictNumber("1e400"); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { StrictNumber(" -1e400 "); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { StrictNumber("&H1" + std::string(256, '0')); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { StrictNumber("1e400x"); }), kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { StrictNumber("1e400 1"); }), kTypeMismatch);
}

TEST(RoundingTest, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(ToInteger16(0.5), 0);
  EXPECT_EQ(ToInteger16(1.5), 2);
  EXPECT_EQ(ToInteger16(2.5), 2);
  EXPECT_EQ(ToInteger16(-0.5), 0);
  EXPECT_EQ(ToInteger16(-1.5), -2);
  EXPECT_EQ(ToInteger16(-2.5), -2);
  EXPECT_EQ(ToInteger16(112.7), 113);
  EXPECT_EQ(ToInteger16(112.5), 112);
  EXPECT_EQ(ToInteger16(113.5), 114);
  // Just below a half: adding 0.5 and taking the floor would give 1.
  EXPECT_EQ(ToInteger16(0.49999999999999994), 0);
  // 2^52 + 1 is whole; adding 0.5 would round it up to 2^52 + 2.
  EXPECT_EQ(RoundHalfEven64(4503599627370497.0), 4503599627370497);
}

TEST(RoundingTest, RangeIsCheckedAfterRounding) {
  EXPECT_EQ(ToInteger16(32767.4), 32767);
  EXPECT_EQ(ToInteger16(32766.5), 32766);
  EXPECT_EQ(ErrorOf([] { ToInteger16(32767.5); }), kOverflow);
  EXPECT_EQ(ToInteger16(-32768.5), -32768);
  EXPECT_EQ(ErrorOf([] { ToInteger16(-32768.6); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { ToInteger16(std::numeric_limits<double>::infinity()); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { ToInteger16(std::nan("")); }), kOverflow);

  EXPECT_EQ(ToLong32(2147483646.5), 2147483646);
  EXPECT_EQ(ErrorOf([] { ToLong32(2147483647.5); }), kOverflow);
  EXPECT_EQ(ToLong32(-2147483648.5), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(ErrorOf([] { ToLong32(-2147483648.6); }), kOverflow);

  // 2^63 - 1 is not a double: the literal is 2^63, already outside.
  EXPECT_EQ(ErrorOf([] { RoundHalfEven64(9223372036854775807.0); }), kOverflow);
  EXPECT_EQ(RoundHalfEven64(9223372036854774784.0), 9223372036854774784);  // 2^63 - 1024
  EXPECT_EQ(RoundHalfEven64(-9223372036854775808.0), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(ErrorOf([] { RoundHalfEven64(-9223372036854777856.0); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { RoundHalfEven64(std::nan("")); }), kOverflow);
}

TEST(IntegerDivideTest, RoundsOperandsThenTruncates) {
  EXPECT_EQ(IntegerDivide(7, 2), 3);
  EXPECT_EQ(IntegerDivide(-7, 2), -3);
  EXPECT_EQ(IntegerDivide(7, -2), -3);
  EXPECT_EQ(IntegerDivide(3.5, 2), 2);   // 4 \ 2; truncating first would give 1
  EXPECT_EQ(IntegerDivide(2.5, 3), 0);   // 2 \ 3; rounding half up would give 1
  EXPECT_EQ(IntegerDivide(10, 2.5), 5);  // 10 \ 2
  EXPECT_EQ(IntegerDivide(10, 3.5), 2);  // 10 \ 4
  EXPECT_EQ(IntegerDivide(7, 0.6), 7);   // 7 \ 1
  // The calibration drift: (number(old) * 5 + measure) \ 6.
  EXPECT_EQ(IntegerDivide(20 * 5 + 23, 6), 20);
  EXPECT_EQ(IntegerDivide(20.5 * 5 + 12.5, 6), 19);  // 115 \ 6
}

TEST(IntegerDivideTest, Errors) {
  EXPECT_EQ(ErrorOf([] { IntegerDivide(7, 0); }), kDivisionByZero);
  EXPECT_EQ(ErrorOf([] { IntegerDivide(7, 0.5); }), kDivisionByZero);  // 0.5 rounds to 0
  EXPECT_EQ(ErrorOf([] { IntegerDivide(7, -0.4); }), kDivisionByZero);
  EXPECT_EQ(ErrorOf([] { IntegerDivide(-9223372036854775808.0, -1); }), kOverflow);
  EXPECT_EQ(IntegerDivide(-9223372036854775808.0, 1), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(ErrorOf([] { IntegerDivide(1e19, 1); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { IntegerDivide(1, 1e19); }), kOverflow);
  // The dividend is converted before the divisor is looked at.
  EXPECT_EQ(ErrorOf([] { IntegerDivide(1e300, 0); }), kOverflow);
}

TEST(CheckedArithmeticTest, DivideAndCheckedResult) {
  EXPECT_EQ(Divide(1, 4), 0.25);
  EXPECT_EQ(ErrorOf([] { Divide(1, 0); }), kDivisionByZero);
  EXPECT_EQ(ErrorOf([] { Divide(0, 0); }), kDivisionByZero);
  EXPECT_EQ(ErrorOf([] { Divide(1, -0.0); }), kDivisionByZero);
  EXPECT_EQ(ErrorOf([] { Divide(1e308, 1e-308); }), kOverflow);
  EXPECT_EQ(Divide(1e-320, 1e10), 0.0);  // underflow is no error
  EXPECT_EQ(CheckedResult(-2.5), -2.5);
  EXPECT_EQ(ErrorOf([] { CheckedResult(kMaxDouble * 2); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { CheckedResult(-kMaxDouble * 2); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { CheckedResult(std::nan("")); }), kOverflow);
}

TEST(NumberTextTest, FifteenSignificantDigits) {
  EXPECT_EQ(NumberText(2.4000000000000004), "2.4");
  EXPECT_EQ(NumberText(0.1 + 0.2), "0.3");
  EXPECT_EQ(NumberText(-1.5), "-1.5");
  EXPECT_EQ(NumberText(5), "5");
  EXPECT_EQ(NumberText(0.5), "0.5");
  EXPECT_EQ(NumberText(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(NumberText(123456789012345.6), "123456789012346");
  EXPECT_EQ(NumberText(-0.0), "0");
  EXPECT_EQ(NumberText(0.0), "0");
}

TEST(NumberTextTest, ExponentForm) {
  EXPECT_EQ(NumberText(1e14), "100000000000000");
  EXPECT_EQ(NumberText(1e15), "1E+15");
  EXPECT_EQ(NumberText(-1e15), "-1E+15");
  EXPECT_EQ(NumberText(999999999999999.0), "999999999999999");
  EXPECT_EQ(NumberText(-999999999999999.0), "-999999999999999");
  EXPECT_EQ(NumberText(-32768), "-32768");
  // Rounding to 15 digits carries into a 16th: exponent form.
  EXPECT_EQ(NumberText(999999999999999.9), "1E+15");
  EXPECT_EQ(NumberText(123456789012345678.0), "1.23456789012346E+17");
  EXPECT_EQ(NumberText(0.0001), "0.0001");
  EXPECT_EQ(NumberText(1e-5), "1E-05");
  EXPECT_EQ(NumberText(-1e-5), "-1E-05");
  EXPECT_EQ(NumberText(1e300), "1E+300");
  EXPECT_EQ(NumberText(1.5e-300), "1.5E-300");
  EXPECT_EQ(NumberText(std::numeric_limits<double>::denorm_min()), "4.94065645841247E-324");
}

TEST(NumberTextTest, NonFiniteOverflows) {
  EXPECT_EQ(ErrorOf([] { NumberText(std::numeric_limits<double>::infinity()); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { NumberText(-std::numeric_limits<double>::infinity()); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { NumberText(std::nan("")); }), kOverflow);
}

// Initialisation's "number text": the lenient reading written back as text.
TEST(NumberTextTest, LenientRoundTrip) {
  EXPECT_EQ(NumberText(Val("05")), "5");
  EXPECT_EQ(NumberText(Val("7 ")), "7");
  EXPECT_EQ(NumberText(Val("")), "0");
  EXPECT_EQ(NumberText(Val("x")), "0");
  EXPECT_EQ(NumberText(Val("-0")), "0");
}

TEST(ValueConversionTest, ToText) {
  EXPECT_EQ(ToText(Value()), "");
  EXPECT_EQ(ToText(Value::Boolean(true)), "True");
  EXPECT_EQ(ToText(Value::Boolean(false)), "False");
  EXPECT_EQ(ToText(Value::Integer(-5)), "-5");
  EXPECT_EQ(ToText(Value::Long(100000)), "100000");
  EXPECT_EQ(ToText(Value::Double(0.1 + 0.2)), "0.3");
  EXPECT_EQ(ToText(Value::String(" 12 ")), " 12 ");  // a text stays as it is
  EXPECT_EQ(ErrorOf([] { ToText(Value::Double(std::numeric_limits<double>::infinity())); }),
            kOverflow);
}

TEST(ValueConversionTest, ToInteger16) {
  EXPECT_EQ(ToInteger16(Value()), 0);
  EXPECT_EQ(ToInteger16(Value::Boolean(true)), -1);
  EXPECT_EQ(ToInteger16(Value::Boolean(false)), 0);
  EXPECT_EQ(ToInteger16(Value::Integer(-7)), -7);
  EXPECT_EQ(ErrorOf([] { ToInteger16(Value::Long(40000)); }), kOverflow);
  EXPECT_EQ(ToInteger16(Value::Double(-32768.5)), -32768);
  EXPECT_EQ(ToInteger16(Value::String(" 12 ")), 12);
  EXPECT_EQ(ToInteger16(Value::String("2.5")), 2);
  EXPECT_EQ(ErrorOf([] { ToInteger16(Value::String("12abc")); }), kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { ToInteger16(Value::String("")); }), kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { ToInteger16(Value::String("True")); }), kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { ToInteger16(Value::String("&HFFFF")); }), kOverflow);  // 65535
}

TEST(ValueConversionTest, ToDouble) {
  EXPECT_EQ(ToDouble(Value()), 0.0);
  EXPECT_EQ(ToDouble(Value::Boolean(true)), -1.0);
  EXPECT_EQ(ToDouble(Value::Integer(-7)), -7.0);
  EXPECT_EQ(ToDouble(Value::Long(100000)), 100000.0);
  EXPECT_EQ(ToDouble(Value::Double(2.5)), 2.5);
  EXPECT_EQ(ToDouble(Value::String("&H1F")), 31.0);
  EXPECT_EQ(ErrorOf([] { ToDouble(Value::String("1e")); }), kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { ToDouble(Value::String("1e400")); }), kOverflow);
}

}  // namespace
}  // namespace pellix
