#include "analysis/manifest.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <unordered_map>
#include <utility>

#include "analysis/csv.h"
#include "files/file_error.h"
#include "files/safe_read.h"
#include "platform/excerpt.h"

namespace pellix::analysis {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Where the three columns stand in the header.
struct Columns {
  std::size_t speaker = 0;
  std::size_t role = 0;
  std::size_t file = 0;
  std::size_t count = 0;
};

Columns FindColumns(const CsvRecord& header, const std::string& source) {
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
    std::string joined;
    for (const std::string& f : header.fields) joined += (joined.empty() ? "" : ",") + f;
    fail("the header must name the columns speaker, role and file (found " +
         QuotedExcerpt(joined, '\'') + ")");
  }
  return {*speaker, *role, *file, header.fields.size()};
}

}  // namespace

bool IsUrl(std::string_view file) {
  const std::size_t colon = file.find("://");
  if (colon == std::string_view::npos || colon < 2) return false;
  const auto letter = [](unsigned char c) { return std::isalpha(c) != 0 && c < 0x80; };
  if (!letter(static_cast<unsigned char>(file[0]))) return false;
  return std::all_of(
      file.begin() + 1, file.begin() + static_cast<std::ptrdiff_t>(colon), [&](unsigned char c) {
        return letter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
      });
}

namespace {

// The speakers being read, with each one's place among them: a manifest of a hundred
// thousand speakers would otherwise spend its time searching for each row's speaker.
struct Speakers {
  std::vector<SpeakerTakes> list;
  std::unordered_map<std::string, std::size_t> index;
};

// Adds the row's take to its speaker's, checking it first.
void AddRow(Speakers& speakers, const ManifestRow& row, const std::string& source,
            const std::filesystem::path& folder) {
  auto fail = [&](const std::string& what) {
    throw ManifestError(source + ":" + std::to_string(row.line) + ": " + what);
  };
  // A NUL would cut the field short wherever it is handed on as text: "a.wav<NUL>x" would open
  // "a.wav".
  for (const auto& [field, text] : {std::pair{"speaker", &row.speaker},
                                    std::pair{"role", &row.role}, std::pair{"file", &row.file}}) {
    if (text->find('\0') != std::string::npos) {
      fail(std::string("the ") + field + " holds a NUL character");
    }
  }
  const std::string role = Lower(row.role);
  if (row.speaker.empty()) fail("the speaker is empty");
  if (role != "calibrate" && role != "check") {
    fail("the role must be calibrate or check, not " + QuotedExcerpt(row.role, '\''));
  }
  if (row.file.empty()) fail("the file is empty");

  const auto [place, added] = speakers.index.try_emplace(row.speaker, speakers.list.size());
  if (added) speakers.list.push_back({row.speaker, {}, {}});
  SpeakerTakes& found = speakers.list[place->second];
  Take take;
  if (IsUrl(row.file)) {
    // Read where it lies by whoever opens URLs, and shown as written: joined onto a folder
    // or normalised, "s3://bucket/a" would turn into a local "dir/s3:/bucket/a".
    take.path = row.file;
    take.name = row.file;
  } else {
    take.path = std::filesystem::path(row.file).is_absolute() ? std::filesystem::path(row.file)
                                                              : folder / row.file;
    take.name = take.path.lexically_normal().string();
  }
  (role == "calibrate" ? found.calibrations : found.checks).push_back(std::move(take));
}

}  // namespace

std::vector<SpeakerTakes> ManifestFromRows(const std::vector<ManifestRow>& rows,
                                           const std::string& source,
                                           const std::filesystem::path& folder) {
  Speakers speakers;
  for (const ManifestRow& row : rows) AddRow(speakers, row, source, folder);
  if (speakers.list.empty()) throw ManifestError(source + ": the manifest lists no takes");
  return std::move(speakers.list);
}

std::vector<SpeakerTakes> ParseManifest(std::string_view text, const std::string& source,
                                        const std::filesystem::path& folder) {
  CsvReader reader(text, source);
  // A manifest that is not CSV is a manifest error like any other.
  auto next = [&reader] {
    try {
      return reader.Next();
    } catch (const CsvSyntaxError& e) {
      throw ManifestError(e.what());
    }
  };
  std::optional<CsvRecord> header = next();
  if (!header) throw ManifestError(source + ": the manifest is empty");
  const Columns columns = FindColumns(*header, source);

  Speakers speakers;
  while (std::optional<CsvRecord> record = next()) {
    if (record->fields.size() != columns.count) {
      throw ManifestError(source + ":" + std::to_string(record->line) + ": " +
                          std::to_string(record->fields.size()) + " fields where the header has " +
                          std::to_string(columns.count));
    }
    AddRow(speakers,
           {record->line, std::move(record->fields[columns.speaker]),
            std::move(record->fields[columns.role]), std::move(record->fields[columns.file])},
           source, folder);
  }
  if (speakers.list.empty()) throw ManifestError(source + ": the manifest lists no takes");
  return std::move(speakers.list);
}

std::vector<SpeakerTakes> ReadManifest(const std::filesystem::path& path) {
  std::string text;
  try {
    text = ReadRegularFile(path.string());
  } catch (const FileError& e) {
    throw ManifestError("cannot read manifest '" + path.string() + "': " + e.what() + " (error " +
                            std::to_string(e.number()) + ")",
                        e.number());
  }
  return ParseManifest(text, path.string(), path.parent_path());
}

}  // namespace pellix::analysis
