#include "host/script/statement.h"

#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "host/script/lexer.h"
#include "platform/excerpt.h"

namespace pellix::script {
namespace {

struct KeywordEntry {
  std::string_view keyword;
  Op op;
  std::size_t words;  // the keyword included
};

constexpr std::array<KeywordEntry, 9> kKeywords = {{
    {"set", Op::kSet, 3},
    {"get", Op::kGet, 2},
    {"call", Op::kCall, 2},
    {"usermode", Op::kUserMode, 2},
    {"new", Op::kNew, 1},
    {"use", Op::kUse, 2},
    {"save", Op::kSave, 2},
    {"load", Op::kLoad, 2},
    {"panel", Op::kPanel, 1},
}};

[[noreturn]] void NotAStatement(std::string message) {
  throw ScriptSyntaxError(message);
}

const KeywordEntry& FindKeyword(const Word& first) {
  if (first.is_bare()) {
    for (const KeywordEntry& entry : kKeywords) {
      if (first.text == entry.keyword) return entry;
    }
  }
  NotAStatement("unknown keyword " + QuotedExcerpt(first.text));
}

std::string Usage(Op op) {
  switch (op) {
    case Op::kSet:
      return "set NAME VALUE";
    case Op::kGet:
      return "get NAME";
    case Op::kCall:
      return "call NAME";
    case Op::kUserMode:
      return "usermode true|false";
    case Op::kNew:
      return "new";
    case Op::kUse:
      return "use K";
    case Op::kSave:
      return "save PATH";
    case Op::kLoad:
      return "load PATH";
    case Op::kPanel:
      return "panel";
  }
  return {};
}

// VALUE of a set, as late binding receives it.
Value ArgumentValue(const Word& word) {
  switch (word.kind) {
    case WordKind::kNumber:
      return Value::Double(word.number);
    case WordKind::kString:
      return Value::String(word.text);
    case WordKind::kBoolean:
      return Value::Boolean(word.boolean);
    case WordKind::kName:
      break;
  }
  NotAStatement("VALUE must be a number, a string or true/false, not " + QuotedExcerpt(word.text));
}

std::string MemberName(const Word& word) {
  if (word.kind != WordKind::kName) {
    NotAStatement("NAME must be a property or method name, not " + QuotedExcerpt(word.text));
  }
  return word.text;
}

}  // namespace

std::string_view Keyword(Op op) noexcept {
  for (const KeywordEntry& entry : kKeywords) {
    if (entry.op == op) return entry.keyword;
  }
  return {};
}

std::optional<Statement> ParseStatement(std::string_view line) {
  std::vector<Word> words = LexLine(line);
  if (words.empty()) return std::nullopt;

  const KeywordEntry& entry = FindKeyword(words.front());
  if (words.size() != entry.words) {
    NotAStatement((words.size() < entry.words ? "missing words: " : "extra words: ") +
                  Usage(entry.op));
  }

  Statement statement;
  statement.op = entry.op;
  switch (entry.op) {
    case Op::kSet:
      statement.argument = MemberName(words[1]);
      statement.value = ArgumentValue(words[2]);
      break;
    case Op::kGet:
    case Op::kCall:
      statement.argument = MemberName(words[1]);
      break;
    case Op::kUserMode:
      if (words[1].kind != WordKind::kBoolean) {
        NotAStatement("usermode takes true or false, not " + QuotedExcerpt(words[1].text));
      }
      statement.user_mode = words[1].boolean;
      break;
    case Op::kUse:
      // An infinity is no instance number either: it is not a whole number.
      if (words[1].kind != WordKind::kNumber || !std::isfinite(words[1].number) ||
          std::trunc(words[1].number) != words[1].number) {
        NotAStatement("use takes a whole number, not " + QuotedExcerpt(words[1].text));
      }
      statement.instance = words[1].number;
      break;
    case Op::kSave:
    case Op::kLoad:
      // A path may be any bare word (numbers and booleans included) or a string.
      statement.argument = words[1].text;
      break;
    case Op::kNew:
    case Op::kPanel:
      break;
  }
  return statement;
}

}  // namespace pellix::script
