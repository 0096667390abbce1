#include "analysis/manifest.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "analysis/csv.h"
#include "platform/excerpt.h"
#include "platform/file_error.h"
#include "platform/safe_read.h"

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

  std::vector<SpeakerTakes> speakers;
  while (std::optional<CsvRecord> record = next()) {
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
      fail("the role must be calibrate or check, not " +
           QuotedExcerpt(record->fields[columns.role], '\''));
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
  std::string text;
  try {
    text = ReadRegularFile(path.string());
  } catch (const FileError& e) {
    throw ManifestError("cannot read manifest '" + path.string() + "': " + e.what() + " (error " +
                        std::to_string(e.number()) + ")");
  }
  return ParseManifest(text, path.string(), path.parent_path());
}

}  // namespace pellix::analysis
