#include "host/analysis/state_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/error.h"
#include "platform/json_property_bag.h"

namespace pellix::analysis {
namespace {

std::string Quoted(const std::filesystem::path& path) {
  return "'" + path.string() + "'";
}

std::string Numbered(const PlatformError& e) {
  return "error " + std::to_string(e.number()) + ": " + e.what();
}

std::string Numbered(int number) {
  return Numbered(PlatformError(number));
}

// The folder a new state file goes in must exist and let us write there.
void CheckFolderWritable(const std::filesystem::path& path) {
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    throw StateError("cannot create state file " + Quoted(path) + ": the folder " + Quoted(folder) +
                         " does not exist (" + Numbered(kFileNotFound) + ")",
                     kFileNotFound);
  }
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    throw StateError("cannot create state file " + Quoted(path) + " in " + Quoted(folder) + ": " +
                         std::strerror(errno) + " (" + Numbered(kPermissionDenied) + ")",
                     kPermissionDenied);
  }
}

}  // namespace

bool LoadState(ALG_V1S& control, const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found) {
    CheckFolderWritable(path);
    control.InitProperties();
    return false;
  }

  JsonPropertyBag bag;
  try {
    bag = JsonPropertyBag::Load(path.string());
  } catch (const PlatformError& e) {
    if (e.number() == kInvalidFileFormat) {
      throw StateError("state file " + Quoted(path) +
                           " is not a JSON object of saved properties (" + Numbered(e) +
                           "); it was left as it is",
                       e.number());
    }
    throw StateError("cannot read state file " + Quoted(path) + " (" + Numbered(e) + ")",
                     e.number());
  }

  KeyTrackingBag tracking(bag);
  try {
    control.ReadProperties(tracking);
  } catch (const PlatformError& e) {
    throw StateError("state file " + Quoted(path) + ": the value of \"" + tracking.last_key() +
                         "\" cannot be used (" + Numbered(e) + "); the file was left as it is",
                     e.number());
  }
  return true;
}

void SaveState(ALG_V1S& control, const std::filesystem::path& path) {
  JsonPropertyBag bag;
  KeyTrackingBag tracking(bag);
  try {
    control.WriteProperties(tracking);
  } catch (const PlatformError& e) {
    throw StateError("cannot save state to " + Quoted(path) + ": the value of \"" +
                         tracking.last_key() + "\" cannot be saved (" + Numbered(e) + ")",
                     e.number());
  }
  try {
    bag.Save(path.string());
  } catch (const PlatformError& e) {
    throw StateError("cannot save state to " + Quoted(path) + " (" + Numbered(e) +
                         "); any earlier state there was left as it is",
                     e.number());
  }
}

}  // namespace pellix::analysis
