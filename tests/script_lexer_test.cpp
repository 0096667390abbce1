// Script lines into words: blanks, comments, carriage returns, strings and their escapes,
// number words, booleans and names.
#include "host/script/lexer.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pellix::script {
namespace {

std::vector<std::string> Texts(const std::vector<Word>& words) {
  std::vector<std::string> texts;
  for (const Word& word : words) texts.push_back(word.text);
  return texts;
}

Word OnlyWord(std::string_view line) {
  std::vector<Word> words = LexLine(line);
  EXPECT_EQ(words.size(), 1u) << line;
  return words.empty() ? Word{} : words.front();
}

using Strings = std::vector<std::string>;

TEST(ScriptLexerLines, LinesWithoutWords) {
  EXPECT_TRUE(LexLine("").empty());
  EXPECT_TRUE(LexLine("   \t ").empty());
  EXPECT_TRUE(LexLine("\r").empty());
  EXPECT_TRUE(LexLine("#").empty());
  EXPECT_TRUE(LexLine("# set Mode \"unterminated").empty());
  EXPECT_TRUE(LexLine(" \t# indented comment").empty());
  EXPECT_TRUE(LexLine("#\r").empty());
}

TEST(ScriptLexerLines, BlanksAreSpacesAndTabsOnly) {
  EXPECT_EQ(Texts(LexLine("  get\t \tMode  ")), (Strings{"get", "Mode"}));
  // A form feed or a vertical tab is part of a word, not a separator.
  EXPECT_EQ(Texts(LexLine("get\fMode")), (Strings{"get\fMode"}));
  EXPECT_EQ(Texts(LexLine("get\vMode")), (Strings{"get\vMode"}));
}

TEST(ScriptLexerLines, OneTrailingCarriageReturnIsDropped) {
  EXPECT_EQ(Texts(LexLine("get Mode\r")), (Strings{"get", "Mode"}));
  EXPECT_EQ(Texts(LexLine("get Mode \r")), (Strings{"get", "Mode"}));
  // Only one: a second stays in the last word.
  EXPECT_EQ(Texts(LexLine("get Mode\r\r")), (Strings{"get", "Mode\r"}));
  // One inside the line is an ordinary character.
  EXPECT_EQ(Texts(LexLine("get Mo\rde")), (Strings{"get", "Mo\rde"}));
}

TEST(ScriptLexerLines, HashAfterTheFirstWordIsAWord) {
  EXPECT_EQ(Texts(LexLine("get Mode # note")), (Strings{"get", "Mode", "#", "note"}));
  EXPECT_EQ(OnlyWord("a#b").kind, WordKind::kName);
}

TEST(ScriptLexerStrings, PlainAndEmptyStrings) {
  Word word = OnlyWord("\"a b\t#c\"");
  EXPECT_EQ(word.kind, WordKind::kString);
  EXPECT_EQ(word.text, "a b\t#c");
  EXPECT_EQ(OnlyWord("\"\"").text, "");
  EXPECT_EQ(OnlyWord("\"\"").kind, WordKind::kString);
}

TEST(ScriptLexerStrings, FourEscapes) {
  EXPECT_EQ(OnlyWord(R"("a\"b")").text, "a\"b");
  EXPECT_EQ(OnlyWord(R"("a\\b")").text, "a\\b");
  EXPECT_EQ(OnlyWord(R"("a\nb")").text, "a\nb");
  EXPECT_EQ(OnlyWord(R"("a\tb")").text, "a\tb");
  // An escaped backslash before n is a backslash and the letter n.
  EXPECT_EQ(OnlyWord(R"("\\n")").text, "\\n");
  EXPECT_EQ(OnlyWord(R"("\\")").text, "\\");
}

TEST(ScriptLexerStrings, OtherBackslashesStayAsWritten) {
  EXPECT_EQ(OnlyWord(R"("C:\temp\x")").text, "C:\temp\\x");  // \t is an escape, \x is not
  EXPECT_EQ(OnlyWord(R"("\r\0\u0041")").text, "\\r\\0\\u0041");
  EXPECT_EQ(OnlyWord(R"("a\ b")").text, "a\\ b");
}

TEST(ScriptLexerStrings, TextAfterTheStringNeedsABlank) {
  EXPECT_THROW(LexLine(R"(set Mode "a"b)"), ScriptSyntaxError);
  EXPECT_THROW(LexLine(R"("a""b")"), ScriptSyntaxError);
  EXPECT_THROW(LexLine(R"(save "a"#)"), ScriptSyntaxError);
  EXPECT_EQ(Texts(LexLine("\"a\"\t\"b\"")), (Strings{"a", "b"}));
  EXPECT_EQ(Texts(LexLine("set Mode \"a\"\r")), (Strings{"set", "Mode", "a"}));
}

TEST(ScriptLexerStrings, UnterminatedStrings) {
  EXPECT_THROW(LexLine("\""), ScriptSyntaxError);
  EXPECT_THROW(LexLine("set Mode \"abc"), ScriptSyntaxError);
  EXPECT_THROW(LexLine(R"(set Mode "abc\")"), ScriptSyntaxError);  // the quote is escaped
  EXPECT_THROW(LexLine("set Mode \"abc\\"), ScriptSyntaxError);    // backslash at the end
  EXPECT_THROW(LexLine("set Mode \"a\r\r"), ScriptSyntaxError);
}

TEST(ScriptLexerStrings, AQuoteInsideABareWordIsPartOfIt) {
  Word word = OnlyWord("ab\"c");
  EXPECT_EQ(word.kind, WordKind::kName);
  EXPECT_EQ(word.text, "ab\"c");
}

TEST(ScriptLexerNumbers, NumberWords) {
  for (const char* text : {"0", "7", "+1", "-2", "2.5", "-0.25", "1e5", "1E5", "1e+5", "1E-05",
                           "2.5e-3", "007", "12345678901234567890"}) {
    EXPECT_TRUE(IsNumberWord(text)) << text;
    EXPECT_EQ(OnlyWord(text).kind, WordKind::kNumber) << text;
  }
}

TEST(ScriptLexerNumbers, WordsThatAreNotNumbers) {
  for (const char* text : {".5", "1.", "-.5", "+", "-", "1e", "1e+", "e5", "1.5.2", "1e5.5", "0x10",
                           "&H10", "1,5", "1_000", "++1", "1d5", "Infinity", "nan",
                           "\xD9\xA1"}) {  // the last is ARABIC-INDIC DIGIT ONE
    EXPECT_FALSE(IsNumberWord(text)) << text;
    EXPECT_EQ(OnlyWord(text).kind, WordKind::kName) << text;
  }
  EXPECT_FALSE(IsNumberWord(""));
}

TEST(ScriptLexerNumbers, ValuesAndTheirText) {
  Word word = OnlyWord("-2.5e1");
  EXPECT_EQ(word.number, -25.0);
  EXPECT_EQ(word.text, "-2.5e1");  // kept as written, for a path or a message
  EXPECT_EQ(OnlyWord("0.1").number, 0.1);
  EXPECT_EQ(OnlyWord("+3").number, 3.0);
  EXPECT_EQ(OnlyWord("1E-05").number, 1e-5);
}

TEST(ScriptLexerNumbers, BeyondTheDoubleRange) {
  // Too large reads as an infinity, which the conversions report as an overflow later.
  EXPECT_EQ(OnlyWord("1e400").number, std::numeric_limits<double>::infinity());
  EXPECT_EQ(OnlyWord("-1e400").number, -std::numeric_limits<double>::infinity());
  EXPECT_EQ(OnlyWord("1e-400").number, 0.0);
}

TEST(ScriptLexerWords, BooleansAreLowerCase) {
  Word yes = OnlyWord("true");
  EXPECT_EQ(yes.kind, WordKind::kBoolean);
  EXPECT_TRUE(yes.boolean);
  Word no = OnlyWord("false");
  EXPECT_EQ(no.kind, WordKind::kBoolean);
  EXPECT_FALSE(no.boolean);
  for (const char* text : {"True", "FALSE", "truex", "yes"}) {
    EXPECT_EQ(OnlyWord(text).kind, WordKind::kName) << text;
  }
  EXPECT_EQ(OnlyWord("\"true\"").kind, WordKind::kString);
}

TEST(ScriptLexerWords, NamesKeepTheirBytes) {
  EXPECT_EQ(OnlyWord("CR_avJ").text, "CR_avJ");
  EXPECT_EQ(OnlyWord("caf\xC3\xA9").text, "caf\xC3\xA9");
  EXPECT_EQ(Texts(LexLine("set Mode 1 2 3")), (Strings{"set", "Mode", "1", "2", "3"}));
}

}  // namespace
}  // namespace pellix::script
