// Script lines into statements: keywords, the words each statement takes, and the lines that
// are not statements.
#include "host/script/statement.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>

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

TEST(ScriptStatement, OperationAndArgument) {
  struct Case {
    std::string_view line;
    Op op;
    std::string argument;
  };
  const Case cases[] = {
      {"set Mode \"abc\"", Op::kSet, "Mode"},
      {"set cr_MSGX \"1\"", Op::kSet, "cr_MSGX"},        // kept as written
      {"set NoSuchMember 1", Op::kSet, "NoSuchMember"},  // unknown: fails at run
      {"get DATAstr", Op::kGet, "DATAstr"},
      {"call initalize", Op::kCall, "initalize"},
      {"save bag.json", Op::kSave, "bag.json"},
      {"load \"my bags/a\\tb.json\"", Op::kLoad, "my bags/a\tb.json"},
      {"save 1e5", Op::kSave, "1e5"},  // as written, not as a number
      {"load true", Op::kLoad, "true"},
      {"load \"\"", Op::kLoad, ""},
      {"usermode false", Op::kUserMode, ""},
      {"use 3", Op::kUse, ""},
      {"new", Op::kNew, ""},
      {"  panel\t", Op::kPanel, ""},
  };
  for (const Case& c : cases) {
    const Statement statement = Parse(c.line);
    EXPECT_EQ(statement.op, c.op) << c.line;
    EXPECT_EQ(statement.argument, c.argument) << c.line;
  }
}

TEST(ScriptStatementSet, ValueKinds) {
  EXPECT_EQ(Parse("set Mode \"abc\"").value, Value::String("abc"));
  EXPECT_EQ(Parse("set volume 2.5").value, Value::Double(2.5));
  EXPECT_EQ(Parse("set volume -7").value, Value::Double(-7.0));
  EXPECT_EQ(Parse("set DensityLevel true").value, Value::Boolean(true));
  EXPECT_EQ(Parse("set DensityLevel false").value, Value::Boolean(false));
  EXPECT_EQ(Parse("set Mode \"\"").value, Value::String(""));
}

TEST(ScriptStatementUserMode, TrueOrFalse) {
  EXPECT_TRUE(Parse("usermode true").user_mode);
  EXPECT_FALSE(Parse("usermode false").user_mode);
}

TEST(ScriptStatementUse, WholeNumbers) {
  EXPECT_EQ(Parse("use 0").instance, 0.0);
  EXPECT_EQ(Parse("use 1.0").instance, 1.0);
  EXPECT_EQ(Parse("use 1e2").instance, 100.0);
  EXPECT_EQ(Parse("use -1").instance, -1.0);  // a whole number; no such instance at run
  EXPECT_EQ(Parse("use 1e300").instance, 1e300);
}

TEST(ScriptStatement, LinesThatAreNotStatements) {
  for (std::string_view line : {                   // set NAME VALUE
                                "set Mode abc",    // VALUE is a name
                                "set Mode .5",     // ".5" is a name too
                                "set 12 \"x\"",    // NAME is a number
                                "set true 1",      // NAME is a boolean
                                "set \"Mode\" 1",  // NAME is a string
                                "set Mode", "set", "set Mode 1 2", "set Mode \"a\" \"b\"",
                                // get NAME, call NAME
                                "get 12", "get true", "get \"Mode\"", "get", "get Mode Volume",
                                "call", "call Check now", "call 1",
                                // usermode true|false
                                "usermode", "usermode TRUE", "usermode \"true\"", "usermode 1",
                                "usermode -1", "usermode true false",
                                // use K: a whole number
                                "use 1.5", "use 1e-1",
                                "use 1e400",  // an infinity is not a whole number
                                "use one", "use \"1\"", "use true", "use", "use 1 2",
                                // save PATH, load PATH
                                "save", "load a.json b.json", "save a b",
                                // new, panel
                                "new 1", "panel all",
                                // lower-case bare keywords only
                                "SET Mode 1", "Get Mode", "\"get\" Mode", "print Mode", "1", "true",
                                "get Mode # trailing words are not a comment",
                                // lexing errors
                                "set Mode \"abc", "set Mode \"abc\"x"}) {
    ExpectNotAStatement(line);
  }
}

TEST(ScriptStatement, AWrongWordCountGivesTheUsage) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"set Mode", "missing words: set NAME VALUE"},
      {"get", "missing words: get NAME"},
      {"call a b", "extra words: call NAME"},
      {"usermode", "missing words: usermode true|false"},
      {"new 1", "extra words: new"},
      {"use", "missing words: use K"},
      {"save", "missing words: save PATH"},
      {"load a b", "extra words: load PATH"},
      {"panel x", "extra words: panel"},
  };
  for (const auto& [line, message] : cases) {
    try {
      ParseStatement(line);
      ADD_FAILURE() << "a statement: " << line;
    } catch (const ScriptSyntaxError& e) {
      EXPECT_EQ(std::string_view(e.what()), message) << line;
    }
  }
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
