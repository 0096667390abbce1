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
  std::string_view usage;
};

constexpr std::array<KeywordEntry, 9> kKeywords = {{
    {"set", Op::kSet, 3, "set NAME VALUE"},
    {"get", Op::kGet, 2, "get NAME"},
    {"call", Op::kCall, 2, "call NAME"},
    {"usermode", Op::kUserMode, 2, "usermode true|false"},
    {"new", Op::kNew, 1, "new"},
    {"use", Op::kUse, 2, "use K"},
    {"save", Op::kSave, 2, "save PATH"},
    {"load", Op::kLoad, 2, "load PATH"},
    {"panel", Op::kPanel, 1, "panel"},
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
                  std::string(entry.usage));
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
