#include "analysis/csv.h"

#include <utility>

namespace pellix::analysis {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// [+-]digits[.digits][(e|E)[+-]digits], or with the digits after the point only.
bool IsPlainNumber(std::string_view text) {
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    return i - start;
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t mantissa = digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  return i == text.size();
}

bool StartsFormula(std::string_view text) {
  if (text.empty()) return false;
  const char c = text.front();
  return (c == '=' || c == '+' || c == '-' || c == '@') && !IsPlainNumber(text);
}

template <typename Fields>
std::string JoinLine(const Fields& fields) {
  std::string line;
  bool first = true;
  for (const auto& field : fields) {
    if (!first) line += ',';
    first = false;
    line += CsvField(field);
  }
  return line + "\n";
}

}  // namespace

CsvReader::CsvReader(std::string_view text, std::string source)
    : text_(text), source_(std::move(source)) {
  if (text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;  // a byte-order mark
}

std::optional<CsvRecord> CsvReader::Next() {
  while (pos_ < text_.size()) {
    CsvRecord record;
    record.line = line_;
    record.offset = pos_;
    record_start_ = pos_;
    bool blank_line = true;
    for (;;) {
      bool quoted = false;
      std::string field = ReadField(quoted);
      if (quoted || !field.empty()) blank_line = false;
      record.fields.push_back(std::move(field));
      if (pos_ < text_.size() && text_[pos_] == ',') {
        ++pos_;
        blank_line = false;
        continue;
      }
      EndLine();
      break;
    }
    if (!blank_line) return record;
  }
  return std::nullopt;
}

void CsvReader::Fail(int line, const std::string& what, bool unclosed) const {
  throw CsvSyntaxError(source_ + ":" + std::to_string(line) + ": " + what, unclosed);
}

bool CsvReader::AtLineEnd() const {
  return pos_ >= text_.size() || text_[pos_] == '\n' ||
         (text_[pos_] == '\r' && (pos_ + 1 == text_.size() || text_[pos_ + 1] == '\n'));
}

void CsvReader::EndLine() {
  if (pos_ < text_.size() && text_[pos_] == '\r') ++pos_;
  if (pos_ < text_.size() && text_[pos_] == '\n') {
    ++pos_;
    ++line_;
  }
}

void CsvReader::SkipBlanks() {
  while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
}

std::string CsvReader::ReadField(bool& quoted) {
  SkipBlanks();
  std::string field;
  if (pos_ < text_.size() && text_[pos_] == '"') {
    quoted = true;
    const int start_line = line_;
    ++pos_;
    for (;;) {
      if (pos_ >= text_.size()) Fail(start_line, "a quoted field is not closed", true);
      const char c = text_[pos_++];
      if (c == '"') {
        if (pos_ < text_.size() && text_[pos_] == '"') {
          field += '"';
          ++pos_;
          continue;
        }
        break;
      }
      if (c == '\n') ++line_;
      field += c;
    }
    SkipBlanks();
    if (!AtLineEnd() && text_[pos_] != ',') Fail(line_, "text after the closing quote of a field");
    return field;
  }
  while (!AtLineEnd() && text_[pos_] != ',') {
    if (text_[pos_] == '"') Fail(line_, "a quote inside a field that does not start with one");
    field += text_[pos_++];
  }
  while (!field.empty() && IsBlank(field.back())) field.pop_back();
  return field;
}

std::string CsvFieldText(std::string_view text) {
  return StartsFormula(text) ? "'" + std::string(text) : std::string(text);
}

std::string CsvField(std::string_view text) {
  const std::string field = CsvFieldText(text);
  // A field that starts with a byte-order mark is quoted, so that a reader taking the mark at
  // the start of a file for the file's own keeps the field whole.
  const bool quote = field.find_first_of(",\"\r\n") != std::string::npos ||
                     (!field.empty() && (IsBlank(field.front()) || IsBlank(field.back()))) ||
                     field.starts_with("\xEF\xBB\xBF");
  if (!quote) return field;
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string CsvLine(std::initializer_list<std::string_view> fields) {
  return JoinLine(fields);
}

std::string CsvLine(const std::vector<std::string>& fields) {
  return JoinLine(fields);
}

}  // namespace pellix::analysis
