// Texts as Unicode characters: repairing invalid UTF-8 and taking characters by position.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <string>
#include <utility>

#include "platform/error.h"

namespace pellix {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(SanitizeUtf8Test, ValidTextIsUnchanged) {
  EXPECT_EQ(SanitizeUtf8(""), "");
  const std::string mixed = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a é € U+1F600
  EXPECT_EQ(SanitizeUtf8(mixed), mixed);
  // The edges of the valid ranges.
  const std::string edges =
      "\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
  EXPECT_EQ(SanitizeUtf8(edges), edges);
  const std::string with_nul("a\0b", 3);
  EXPECT_EQ(SanitizeUtf8(with_nul), with_nul);
}

TEST(SanitizeUtf8Test, BytesThatNeverStartASequence) {
  EXPECT_EQ(SanitizeUtf8("\x80"), kFffd);
  EXPECT_EQ(SanitizeUtf8("\xBF\x80"), Repeat(kFffd, 2));
  EXPECT_EQ(SanitizeUtf8("\xC0\xAF"), Repeat(kFffd, 2));  // overlong '/'
  EXPECT_EQ(SanitizeUtf8("\xC1\xBF"), Repeat(kFffd, 2));
  EXPECT_EQ(SanitizeUtf8("\xF5\x80\x80\x80"), Repeat(kFffd, 4));
  EXPECT_EQ(SanitizeUtf8("a\xFF"
                         "b"),
            "a" + kFffd + "b");
}

// Overlongs, surrogates and code points above U+10FFFF fail at their second byte, so every
// byte becomes its own U+FFFD.
TEST(SanitizeUtf8Test, ForbiddenSecondBytes) {
  EXPECT_EQ(SanitizeUtf8("\xE0\x80\xAF"), Repeat(kFffd, 3));
  EXPECT_EQ(SanitizeUtf8("\xE0\x9F\xBF"), Repeat(kFffd, 3));
  EXPECT_EQ(SanitizeUtf8("\xED\xA0\x80"), Repeat(kFffd, 3));  // U+D800
  EXPECT_EQ(SanitizeUtf8("\xED\xBF\xBF"), Repeat(kFffd, 3));  // U+DFFF
  EXPECT_EQ(SanitizeUtf8("\xF0\x80\x80\x80"), Repeat(kFffd, 4));
  EXPECT_EQ(SanitizeUtf8("\xF0\x8F\xBF\xBF"), Repeat(kFffd, 4));
  EXPECT_EQ(SanitizeUtf8("\xF4\x90\x80\x80"), Repeat(kFffd, 4));  // U+110000
}

// A valid start cut short is one U+FFFD, and the byte that cut it is read afresh.
TEST(SanitizeUtf8Test, TruncatedSequences) {
  EXPECT_EQ(SanitizeUtf8("\xC3"), kFffd);
  EXPECT_EQ(SanitizeUtf8("\xE2\x82"), kFffd);
  EXPECT_EQ(SanitizeUtf8("\xF0\x9F\x98"), kFffd);
  EXPECT_EQ(SanitizeUtf8("\xE2\x82"
                         "A"),
            kFffd + "A");
  EXPECT_EQ(SanitizeUtf8("\xF0\x9F\x98"
                         "A"),
            kFffd + "A");
  EXPECT_EQ(SanitizeUtf8("\xC2\xC3\xA9"), kFffd + "\xC3\xA9");
  EXPECT_EQ(SanitizeUtf8("\xE2\x82\xE2\x82\xAC"), kFffd + "\xE2\x82\xAC");
}

// The worked example of the Unicode recommendation for U+FFFD substitution.
TEST(SanitizeUtf8Test, MaximalSubpartExample) {
  const std::string input = "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64";
  const std::string expected = "a" + Repeat(kFffd, 3) + "b" + kFffd + "c" + Repeat(kFffd, 2) + "d";
  EXPECT_EQ(SanitizeUtf8(input), expected);
}

TEST(AppendUtf8Test, EachLengthAtItsEdges) {
  const std::pair<char32_t, std::string> cases[] = {
      {U'A', "A"},
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0xFFFD, kFffd},
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
  };
  for (const auto& [point, bytes] : cases) {
    std::string out = "x";
    AppendUtf8(out, point);
    EXPECT_EQ(out, "x" + bytes) << static_cast<unsigned>(point);
  }
}

TEST(MidTextTest, CountsCharactersNotBytes) {
  EXPECT_EQ(MidText("abcdef", 2, 3), "bcd");
  EXPECT_EQ(MidText("h\xC3\xA9llo", 2, 2), "\xC3\xA9l");
  EXPECT_EQ(MidText("\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", 2, 1), "\xE2\x82\xAC");
  EXPECT_EQ(MidText("a\xF0\x9F\x98\x80"
                    "b",
                    2, 1),
            "\xF0\x9F\x98\x80");
  EXPECT_EQ(MidText("a\xF0\x9F\x98\x80"
                    "b",
                    3, 1),
            "b");
  // A parameter string whose first three characters are not ASCII.
  const std::string params =
      "\xC3\xA9\xC3\xA9\xC3\xA9"
      "0530";
  EXPECT_EQ(MidText(params, 4, 2), "05");
  EXPECT_EQ(MidText(params, 6, 2), "30");
}

TEST(MidTextTest, Bounds) {
  EXPECT_EQ(MidText("abc", 1, 0), "");
  EXPECT_EQ(MidText("abc", 2, 100), "bc");
  EXPECT_EQ(MidText("abc", 1, std::numeric_limits<std::size_t>::max()), "abc");
  EXPECT_EQ(MidText("abc", 3, 2), "c");
  EXPECT_EQ(MidText("abc", 4, 2), "");
  EXPECT_EQ(MidText("abc", 10, 1), "");
  EXPECT_EQ(MidText("", 1, 3), "");
  try {
    MidText("abc", 0, 1);
    FAIL() << "start 0 must be refused";
  } catch (const PlatformError& e) {
    EXPECT_EQ(e.number(), kInvalidProcedureCall);
  }
}

}  // namespace
}  // namespace pellix
