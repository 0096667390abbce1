// Script lines into statements: keywords, the words each statement takes, and the lines that
// are not statements.
#include "host/script/statement.h"

#include <gtest/gtest.h>

#include "host/script/lexer.h"

namespace pellix::script {
namespace {

Statement Parse(std::string_view line) {
  std::optional<Statement> statement = ParseStatement(line);
  EXPECT_TRUE(statement.has_value()) << line;
  return statement.value_or(Statement{});
}

void ExpectNotAStatement(std::string_view line) {
  EXPECT_THROW(ParseStatement(line), ScriptSyntaxError) << line;
}

TEST(ScriptStatementSet, ValueKinds) {
  Statement text = Parse("set Mode \"abc\"");
  EXPECT_EQ(text.op, Op::kSet);
  EXPECT_EQ(text.argument, "Mode");
  EXPECT_EQ(text.value, Value::String("abc"));
  EXPECT_EQ(Parse("set volume 2.5").value, Value::Double(2.5));
  EXPECT_EQ(Parse("set volume -7").value, Value::Double(-7.0));
  EXPECT_EQ(Parse("set DensityLevel true").value, Value::Boolean(true));
  EXPECT_EQ(Parse("set DensityLevel false").value, Value::Boolean(false));
  EXPECT_EQ(Parse("set Mode \"\"").value, Value::String(""));
}

TEST(ScriptStatementSet, NameIsKeptAsWritten) {
  EXPECT_EQ(Parse("set cr_MSGX \"1\"").argument, "cr_MSGX");
  EXPECT_EQ(Parse("set NoSuchMember 1").argument, "NoSuchMember");  // unknown: fails at run
}

TEST(ScriptStatementSet, WordsThatDoNotFit) {
  ExpectNotAStatement("set Mode abc");    // VALUE is a name
  ExpectNotAStatement("set Mode .5");     // ".5" is a name too
  ExpectNotAStatement("set 12 \"x\"");    // NAME is a number
  ExpectNotAStatement("set true 1");      // NAME is a boolean
  ExpectNotAStatement("set \"Mode\" 1");  // NAME is a string
  ExpectNotAStatement("set Mode");        // missing VALUE
  ExpectNotAStatement("set");             // missing both
  ExpectNotAStatement("set Mode 1 2");    // extra word
  ExpectNotAStatement("set Mode \"a\" \"b\"");
}

TEST(ScriptStatementGetCall, NameOnly) {
  Statement get = Parse("get DATAstr");
  EXPECT_EQ(get.op, Op::kGet);
  EXPECT_EQ(get.argument, "DATAstr");
  Statement call = Parse("call initalize");
  EXPECT_EQ(call.op, Op::kCall);
  EXPECT_EQ(call.argument, "initalize");
  ExpectNotAStatement("get 12");
  ExpectNotAStatement("get true");
  ExpectNotAStatement("get \"Mode\"");
  ExpectNotAStatement("get");
  ExpectNotAStatement("get Mode Volume");
  ExpectNotAStatement("call");
  ExpectNotAStatement("call Check now");
  ExpectNotAStatement("call 1");
}

TEST(ScriptStatementUserMode, OnlyTrueOrFalse) {
  EXPECT_TRUE(Parse("usermode true").user_mode);
  Statement design = Parse("usermode false");
  EXPECT_EQ(design.op, Op::kUserMode);
  EXPECT_FALSE(design.user_mode);
  ExpectNotAStatement("usermode");
  ExpectNotAStatement("usermode TRUE");
  ExpectNotAStatement("usermode \"true\"");
  ExpectNotAStatement("usermode 1");
  ExpectNotAStatement("usermode -1");
  ExpectNotAStatement("usermode true false");
}

TEST(ScriptStatementUse, WholeNumbersOnly) {
  EXPECT_EQ(Parse("use 0").instance, 0.0);
  EXPECT_EQ(Parse("use 3").op, Op::kUse);
  EXPECT_EQ(Parse("use 1.0").instance, 1.0);
  EXPECT_EQ(Parse("use 1e2").instance, 100.0);
  EXPECT_EQ(Parse("use -1").instance, -1.0);  // a whole number; no such instance at run
  EXPECT_EQ(Parse("use 1e300").instance, 1e300);
  ExpectNotAStatement("use 1.5");
  ExpectNotAStatement("use 1e-1");
  ExpectNotAStatement("use 1e400");  // an infinity is not a whole number
  ExpectNotAStatement("use one");
  ExpectNotAStatement("use \"1\"");
  ExpectNotAStatement("use true");
  ExpectNotAStatement("use");
  ExpectNotAStatement("use 1 2");
}

TEST(ScriptStatementSaveLoad, PathIsAStringOrAnyBareWord) {
  Statement save = Parse("save bag.json");
  EXPECT_EQ(save.op, Op::kSave);
  EXPECT_EQ(save.argument, "bag.json");
  Statement load = Parse("load \"my bags/a\\tb.json\"");
  EXPECT_EQ(load.op, Op::kLoad);
  EXPECT_EQ(load.argument, "my bags/a\tb.json");
  EXPECT_EQ(Parse("save 1e5").argument, "1e5");  // as written, not as a number
  EXPECT_EQ(Parse("load true").argument, "true");
  EXPECT_EQ(Parse("load \"\"").argument, "");
  ExpectNotAStatement("save");
  ExpectNotAStatement("load a.json b.json");
  ExpectNotAStatement("save a b");
}

TEST(ScriptStatementNewPanel, NoArguments) {
  EXPECT_EQ(Parse("new").op, Op::kNew);
  EXPECT_EQ(Parse("  panel\t").op, Op::kPanel);
  ExpectNotAStatement("new 1");
  ExpectNotAStatement("panel all");
}

TEST(ScriptStatementKeywords, LowerCaseBareKeywordsOnly) {
  ExpectNotAStatement("SET Mode 1");
  ExpectNotAStatement("Get Mode");
  ExpectNotAStatement("\"get\" Mode");
  ExpectNotAStatement("print Mode");
  ExpectNotAStatement("1");
  ExpectNotAStatement("true");
  ExpectNotAStatement("get Mode # trailing words are not a comment");
}

TEST(ScriptStatementKeywords, LexingErrorsAreNotStatements) {
  ExpectNotAStatement("set Mode \"abc");
  ExpectNotAStatement("set Mode \"abc\"x");
}

TEST(ScriptStatementKeywords, CommentsAndBlankLinesAreNoStatement) {
  EXPECT_FALSE(ParseStatement("").has_value());
  EXPECT_FALSE(ParseStatement("  # get Mode").has_value());
  EXPECT_FALSE(ParseStatement(" \t\r").has_value());
}

TEST(ScriptStatementKeywords, KeywordNames) {
  EXPECT_EQ(Keyword(Op::kSet), "set");
  EXPECT_EQ(Keyword(Op::kUserMode), "usermode");
  EXPECT_EQ(Keyword(Op::kPanel), "panel");
  EXPECT_EQ(Keyword(Op::kLoad), "load");
}

}  // namespace
}  // namespace pellix::script
