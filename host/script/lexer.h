// The words of one script line: names, numbers, strings and booleans.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pellix::script {

// A line that is not a statement. The message says why; the runner adds where.
class ScriptSyntaxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class WordKind { kName, kNumber, kString, kBoolean };

struct Word {
  WordKind kind = WordKind::kName;
  // A bare word (name, number, boolean) as written; a string's contents with escapes decoded.
  std::string text;
  double number = 0.0;   // the value of a number word; infinite when beyond the double range
  bool boolean = false;  // the value of `true` or `false`

  bool is_bare() const noexcept { return kind != WordKind::kString; }
};

// Whether `word` is wholly a number word: [+-]digits[.digits][(e|E)[+-]digits].
bool IsNumberWord(std::string_view word) noexcept;

// Splits one line (without its line feed) into words. One carriage return at the end is
// dropped; blanks (space, tab) separate words; an empty line, or one whose first non-blank
// character is '#', has no words. Throws ScriptSyntaxError for an unterminated string or a
// string followed by something other than a blank.
std::vector<Word> LexLine(std::string_view line);

}  // namespace pellix::script
