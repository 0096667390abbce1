#include "analysis/check_history.h"

#include <algorithm>
#include <limits>
#include <string_view>

#include <nlohmann/json.hpp>

#include "analysis/state_file.h"
#include "analysis/text_file.h"
#include "files/file_error.h"
#include "files/safe_read.h"
#include "platform/error.h"

namespace pellix::analysis {
namespace {

using Json = nlohmann::ordered_json;

std::int16_t Small(const Json& object, const char* key) {
  const Json& value = object.at(key);
  const auto number = value.get<std::int64_t>();
  if (!value.is_number_integer() || number < std::numeric_limits<std::int16_t>::min() ||
      number > std::numeric_limits<std::int16_t>::max()) {
    throw std::out_of_range(key);
  }
  return static_cast<std::int16_t>(number);
}

}  // namespace

std::filesystem::path HistoryPath(const std::filesystem::path& state) {
  std::filesystem::path path = state;
  if (path.extension() == ".json") return path.replace_extension(".history.jsonl");
  return path += "-history.jsonl";
}

std::filesystem::path HistoryToRead(const std::filesystem::path& state, std::string& warning) {
  namespace fs = std::filesystem;
  const fs::path current = HistoryPath(state);
  std::error_code ec;
  if (state.extension() == ".json" || fs::exists(fs::symlink_status(current, ec))) return current;
  const auto former = [](fs::path path) { return path.replace_extension(".history.jsonl"); };
  const fs::path earlier = former(state);
  if (!fs::is_regular_file(earlier, ec)) return current;
  const fs::path folder = state.has_parent_path() ? state.parent_path() : fs::path(".");
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    const fs::path other = entry.path();
    if (other.filename() == state.filename() || other.filename() == earlier.filename() ||
        former(other).filename() != earlier.filename() || !IsStateFile(other)) {
      continue;
    }
    warning = "the check history in '" + earlier.string() + "' was not read for state file '" +
              state.string() + "': '" + other.string() +
              "' may have kept its checks there too; the history starts afresh in '" +
              current.string() + "'";
    return current;
  }
  return earlier;
}

std::vector<HistoryRow> LoadHistory(const std::filesystem::path& path) {
  std::vector<HistoryRow> rows;
  std::string text;
  try {
    text = ReadJsonText(path.string());
  } catch (const FileError& e) {
    if (e.number() == kFileNotFound) return rows;  // no checks yet
    throw StateError("cannot read check history '" + path.string() + "': " + e.what() + " (error " +
                         std::to_string(e.number()) + ": " +
                         std::string(ErrorDescription(e.number())) + ")",
                     e.number());
  }
  std::size_t start = 0;
  for (int number = 1; start < text.size(); ++number) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = std::string_view(text).substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    try {
      const Json object = Json::parse(line);
      rows.push_back({object.at("file").get<std::string>(), Small(object, "lie_stress"),
                      Small(object, "global_stress"), Small(object, "excitement_stress"),
                      Small(object, "code"), Small(object, "avg_jump_len")});
    } catch (const std::exception&) {
      throw StateError("check history '" + path.string() + "', line " + std::to_string(number) +
                           ": not a history row; the file was left as it is",
                       kInvalidFileFormat);
    }
  }
  return rows;
}

void SaveHistory(const std::filesystem::path& path, const std::vector<HistoryRow>& rows) {
  std::string text;
  for (const HistoryRow& row : rows) {
    Json object;
    object["file"] = row.file;
    object["lie_stress"] = row.lie_stress;
    object["global_stress"] = row.global_stress;
    object["excitement_stress"] = row.excitement_stress;
    object["code"] = row.code;
    object["avg_jump_len"] = row.avg_jump_len;
    text += object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
  }
  try {
    WriteTextFile(path, text, "check history");
  } catch (const PlatformError& e) {
    throw StateError(e.what(), e.number());
  }
}

void ReplayHistory(ALG_V1S& control, const std::vector<HistoryRow>& rows) {
  auto& table = control.mutable_profile_table();
  std::int16_t count = control.profile_count();
  for (const HistoryRow& row : rows) {
    auto& cells = table[static_cast<std::size_t>(count)];
    cells[kLieColumn] = row.lie_stress;
    cells[kGlobalColumn] = row.global_stress;
    cells[kExcitementColumn] = row.excitement_stress;
    cells[kCodeColumn] = row.code;
    cells[kJumpLengthColumn] = row.avg_jump_len;
    count = static_cast<std::int16_t>(std::min<int>(count + 1, kLastProfileRow));
  }
  control.set_profile_count(count);
}

HistoryRow LastHistoryRow(const ALG_V1S& control, std::int16_t count_before, std::string file) {
  const auto& cells = control.profile_table()[static_cast<std::size_t>(count_before)];
  HistoryRow row{std::move(file)};
  row.lie_stress = cells[kLieColumn];
  row.global_stress = cells[kGlobalColumn];
  row.excitement_stress = cells[kExcitementColumn];
  row.code = cells[kCodeColumn];
  row.avg_jump_len = cells[kJumpLengthColumn];
  return row;
}

}  // namespace pellix::analysis
