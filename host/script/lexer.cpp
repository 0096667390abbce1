#include "host/script/lexer.h"

#include <cstdlib>

namespace pellix::script {
namespace {

bool IsBlank(char c) noexcept {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) noexcept {
  return c >= '0' && c <= '9';
}

// Advances `i` over a run of digits; returns whether there was at least one.
bool SkipDigits(std::string_view s, std::size_t& i) noexcept {
  std::size_t start = i;
  while (i < s.size() && IsDigit(s[i])) ++i;
  return i > start;
}

// The value of a number word. strtod reads the C locale's full stop (the host never changes
// the locale) and gives an infinity beyond the double range, which the conversions later
// report as an overflow, as `set Volume 1e400` must.
double NumberValue(const std::string& word) {
  return std::strtod(word.c_str(), nullptr);
}

// Reads a string literal starting at the opening quote s[i]; leaves `i` after the closing one.
std::string ReadString(std::string_view s, std::size_t& i) {
  std::string text;
  ++i;  // the opening quote
  while (i < s.size()) {
    char c = s[i];
    if (c == '"') {
      ++i;
      return text;
    }
    if (c == '\\' && i + 1 < s.size()) {
      char next = s[i + 1];
      switch (next) {
        case '"':
          text += '"';
          break;
        case '\\':
          text += '\\';
          break;
        case 'n':
          text += '\n';
          break;
        case 't':
          text += '\t';
          break;
        default:
          // Not an escape: the backslash stays as written and the next character is read
          // normally (so a quote after it still ends the string).
          text += '\\';
          ++i;
          continue;
      }
      i += 2;
      continue;
    }
    text += c;
    ++i;
  }
  throw ScriptSyntaxError("unterminated string");
}

}  // namespace

bool IsNumberWord(std::string_view word) noexcept {
  std::size_t i = 0;
  if (i < word.size() && (word[i] == '+' || word[i] == '-')) ++i;
  if (!SkipDigits(word, i)) return false;
  if (i < word.size() && word[i] == '.') {
    ++i;
    if (!SkipDigits(word, i)) return false;
  }
  if (i < word.size() && (word[i] == 'e' || word[i] == 'E')) {
    ++i;
    if (i < word.size() && (word[i] == '+' || word[i] == '-')) ++i;
    if (!SkipDigits(word, i)) return false;
  }
  return i == word.size();
}

std::vector<Word> LexLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

  std::vector<Word> words;
  std::size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i < line.size() && line[i] == '#') return words;

  while (i < line.size()) {
    Word word;
    if (line[i] == '"') {
      word.kind = WordKind::kString;
      word.text = ReadString(line, i);
      if (i < line.size() && !IsBlank(line[i])) {
        throw ScriptSyntaxError("a string must be followed by a blank or the end of the line");
      }
    } else {
      std::size_t start = i;
      while (i < line.size() && !IsBlank(line[i])) ++i;
      word.text = std::string(line.substr(start, i - start));
      if (IsNumberWord(word.text)) {
        word.kind = WordKind::kNumber;
        word.number = NumberValue(word.text);
      } else if (word.text == "true" || word.text == "false") {
        word.kind = WordKind::kBoolean;
        word.boolean = word.text == "true";
      } else {
        word.kind = WordKind::kName;
      }
    }
    words.push_back(std::move(word));
    while (i < line.size() && IsBlank(line[i])) ++i;
  }
  return words;
}

}  // namespace pellix::script
