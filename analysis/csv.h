// CSV as spreadsheets and RFC 4180 have it: the one reader and writer of the host.
//
//   CsvReader reader(text, "m.csv");
//   while (std::optional<CsvRecord> record = reader.Next()) use(record->fields);
//
//   out << CsvLine({"speaker", "file"});
//
// Reading: fields separated by commas, records by line feeds (CR LF too); a field may be
// quoted ("a, b", "say ""yes""", line breaks inside quotes included); blanks (space, tab)
// around an unquoted field and around a quoted one are dropped; blank lines give no record;
// a byte-order mark at the start is skipped.
//
// Writing: a field is quoted when it holds a comma, a quote or a line break, or starts or ends
// with a blank. A field that starts with '=', '+', '-' or '@' and is not a plain number gets an
// apostrophe in front, so that a spreadsheet shows it as text rather than running it as a
// formula ("-1" stays a number; "=HYPERLINK(...)" becomes "'=HYPERLINK(...)").
#pragma once

#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pellix::analysis {

// Text that is not CSV; the message reads "<source>:<line>: <what>".
class CsvSyntaxError : public std::runtime_error {
 public:
  explicit CsvSyntaxError(const std::string& message, bool unclosed = false)
      : std::runtime_error(message), unclosed_(unclosed) {}
  // A quoted field runs to the end of the text, as in text cut short inside it.
  bool unclosed() const noexcept { return unclosed_; }

 private:
  bool unclosed_;
};

// One record and the (1-based) line it starts on.
struct CsvRecord {
  int line = 0;
  std::vector<std::string> fields;
  std::size_t offset = 0;  // where it starts in the text given to the reader
};

class CsvReader {
 public:
  // `text` must outlive the reader; `source` names it in messages.
  CsvReader(std::string_view text, std::string source);

  // The next record; nothing at the end. Throws CsvSyntaxError for a quoted field that is not
  // closed, text after a closing quote, or a quote inside an unquoted field.
  std::optional<CsvRecord> Next();

  // Where the record Next last read, or failed to read, starts in the text.
  std::size_t record_start() const noexcept { return record_start_; }

 private:
  [[noreturn]] void Fail(int line, const std::string& what, bool unclosed = false) const;
  bool AtLineEnd() const;
  void EndLine();
  void SkipBlanks();
  std::string ReadField(bool& quoted);

  std::string_view text_;
  std::string source_;
  std::size_t pos_ = 0;
  std::size_t record_start_ = 0;
  int line_ = 1;
};

// One field as written (quoted and neutralised as described above).
std::string CsvField(std::string_view text);
// What a reader reads back from CsvField(text): `text`, with the apostrophe in front when it
// was neutralised.
std::string CsvFieldText(std::string_view text);

// The fields as one line, with its line feed.
std::string CsvLine(std::initializer_list<std::string_view> fields);
std::string CsvLine(const std::vector<std::string>& fields);

}  // namespace pellix::analysis
