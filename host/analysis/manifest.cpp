#include "host/analysis/manifest.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

namespace pellix::analysis {
namespace {

// One CSV record and the line it starts on.
struct Record {
  int line = 0;
  std::vector<std::string> fields;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Splits CSV text into records. Blank lines give no record.
class RecordReader {
 public:
  RecordReader(std::string_view text, const std::string& source) : text_(text), source_(source) {
    if (text_.starts_with("\xEF\xBB\xBF")) text_.remove_prefix(3);  // a byte-order mark
  }

  std::optional<Record> Next() {
    while (pos_ < text_.size()) {
      Record record;
      record.line = line_;
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

 private:
  [[noreturn]] void Fail(int line, const std::string& what) const {
    throw ManifestError(source_ + ":" + std::to_string(line) + ": " + what);
  }

  bool AtLineEnd() const {
    return pos_ >= text_.size() || text_[pos_] == '\n' ||
           (text_[pos_] == '\r' && (pos_ + 1 == text_.size() || text_[pos_ + 1] == '\n'));
  }

  void EndLine() {
    if (pos_ < text_.size() && text_[pos_] == '\r') ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '\n') {
      ++pos_;
      ++line_;
    }
  }

  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  }

  std::string ReadField(bool& quoted) {
    SkipBlanks();
    std::string field;
    if (pos_ < text_.size() && text_[pos_] == '"') {
      quoted = true;
      const int start_line = line_;
      ++pos_;
      for (;;) {
        if (pos_ >= text_.size()) Fail(start_line, "a quoted field is not closed");
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
      if (!AtLineEnd() && text_[pos_] != ',')
        Fail(line_, "text after the closing quote of a field");
      return field;
    }
    while (!AtLineEnd() && text_[pos_] != ',') {
      if (text_[pos_] == '"') Fail(line_, "a quote inside a field that does not start with one");
      field += text_[pos_++];
    }
    while (!field.empty() && IsBlank(field.back())) field.pop_back();
    return field;
  }

  std::string_view text_;
  const std::string& source_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

// Where the three columns stand in the header.
struct Columns {
  std::size_t speaker = 0;
  std::size_t role = 0;
  std::size_t file = 0;
  std::size_t count = 0;
};

Columns FindColumns(const Record& header, const std::string& source) {
  auto fail = [&](const std::string& what) {
    throw ManifestError(source + ":" + std::to_string(header.line) + ": " + what);
  };
  std::optional<std::size_t> speaker, role, file;
  for (std::size_t i = 0; i < header.fields.size(); ++i) {
    const std::string name = Lower(header.fields[i]);
    std::optional<std::size_t>* column = name == "speaker" ? &speaker
                                         : name == "role"  ? &role
                                         : name == "file"  ? &file
                                                           : nullptr;
    if (column == nullptr) continue;
    if (column->has_value()) fail("the header names the column '" + name + "' twice");
    *column = i;
  }
  if (!speaker || !role || !file) {
    fail("the header must name the columns speaker, role and file (found '" + [&] {
      std::string joined;
      for (const std::string& f : header.fields) joined += (joined.empty() ? "" : ",") + f;
      return joined;
    }() + "')");
  }
  return {*speaker, *role, *file, header.fields.size()};
}

}  // namespace

std::vector<SpeakerTakes> ParseManifest(std::string_view text, const std::string& source,
                                        const std::filesystem::path& folder) {
  RecordReader reader(text, source);
  std::optional<Record> header = reader.Next();
  if (!header) throw ManifestError(source + ": the manifest is empty");
  const Columns columns = FindColumns(*header, source);

  std::vector<SpeakerTakes> speakers;
  while (std::optional<Record> record = reader.Next()) {
    auto fail = [&](const std::string& what) {
      throw ManifestError(source + ":" + std::to_string(record->line) + ": " + what);
    };
    if (record->fields.size() != columns.count) {
      fail(std::to_string(record->fields.size()) + " fields where the header has " +
           std::to_string(columns.count));
    }
    const std::string& speaker = record->fields[columns.speaker];
    const std::string role = Lower(record->fields[columns.role]);
    const std::string& file = record->fields[columns.file];
    if (speaker.empty()) fail("the speaker is empty");
    if (role != "calibrate" && role != "check") {
      fail("the role must be calibrate or check, not '" + record->fields[columns.role] + "'");
    }
    if (file.empty()) fail("the file is empty");

    auto found = std::find_if(speakers.begin(), speakers.end(),
                              [&](const SpeakerTakes& s) { return s.speaker == speaker; });
    if (found == speakers.end()) {
      speakers.push_back({speaker, {}, {}});
      found = std::prev(speakers.end());
    }
    std::filesystem::path path =
        std::filesystem::path(file).is_absolute() ? std::filesystem::path(file) : folder / file;
    Take take{path, path.lexically_normal().string()};
    (role == "calibrate" ? found->calibrations : found->checks).push_back(std::move(take));
  }
  if (speakers.empty()) throw ManifestError(source + ": the manifest lists no takes");
  return speakers;
}

std::vector<SpeakerTakes> ReadManifest(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    throw ManifestError("cannot read manifest '" + path.string() + "': it is a directory");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw ManifestError("cannot read manifest '" + path.string() + "': " + std::strerror(errno));
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    throw ManifestError("cannot read manifest '" + path.string() + "': a read failed");
  }
  return ParseManifest(text.str(), path.string(), path.parent_path());
}

}  // namespace pellix::analysis
