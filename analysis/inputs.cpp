#include "analysis/inputs.h"

#include <glob.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <system_error>

#include "audio/standard_streams.h"
#include "platform/error.h"

namespace pellix::analysis {
namespace {

// MP3 too: libsndfile reads it, and a folder of takes from a phone is often nothing else.
constexpr std::array<std::string_view, 12> kRecordingExtensions = {
    ".wav", ".flac", ".ogg",  ".oga", ".opus", ".mp3",
    ".aif", ".aiff", ".aifc", ".au",  ".caf",  ".smp"};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::vector<Take> FolderTakes(const std::filesystem::path& folder) {
  std::vector<Take> takes;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (it->is_regular_file(ec) && IsRecordingName(it->path()))
      takes.push_back({it->path(), it->path().string()});
  }
  if (ec) {
    throw InputError("cannot list folder '" + folder.string() + "': " + ec.message(),
                     ec == std::errc::permission_denied ? kPermissionDenied : kPathFileAccessError);
  }
  if (takes.empty()) {
    throw InputError("folder '" + folder.string() + "' holds no recordings (" +
                         ".wav, .flac, .ogg, .aiff, .smp, ...)",
                     kFileNotFound);
  }
  std::sort(takes.begin(), takes.end(),
            [](const Take& a, const Take& b) { return a.name < b.name; });
  return takes;
}

std::vector<Take> GlobTakes(const std::string& pattern) {
  glob_t matches{};
  const int status = ::glob(pattern.c_str(), 0, nullptr, &matches);
  std::vector<Take> takes;
  if (status == 0) {
    for (std::size_t i = 0; i < matches.gl_pathc; ++i) {
      const std::string path = matches.gl_pathv[i];
      takes.push_back({path, path});
    }
  }
  ::globfree(&matches);
  if (takes.empty()) {
    throw InputError("'" + pattern + "' matches no file", kFileNotFound);
  }
  return takes;  // glob sorts its matches
}

}  // namespace

bool IsRecordingName(const std::filesystem::path& name) {
  const std::string extension = Lower(name.extension().string());
  return std::find(kRecordingExtensions.begin(), kRecordingExtensions.end(), extension) !=
         kRecordingExtensions.end();
}

std::vector<Take> ExpandInputs(const std::vector<std::string>& names,
                               std::optional<ScratchFolder>& scratch, bool& standard_input_used) {
  std::vector<Take> takes;
  for (const std::string& name : names) {
    std::error_code ec;
    if (name == kStandardStream) {
      if (standard_input_used)
        throw InputError("standard input ('-') can be named only once", kInvalidProcedureCall);
      standard_input_used = true;
      try {
        if (!scratch) scratch.emplace();
        takes.push_back({SaveStandardInput(*scratch, "stdin"), "-"});
      } catch (const PlatformError& e) {
        throw InputError(e.what(), e.number());
      }
    } else if (IsUrl(name)) {
      takes.push_back({name, name});  // read where it lies: "?" there is no pattern
    } else if (std::filesystem::is_directory(name, ec)) {
      for (Take& take : FolderTakes(name)) takes.push_back(std::move(take));
    } else if (name.find_first_of("*?[") != std::string::npos &&
               !std::filesystem::exists(name, ec)) {
      for (Take& take : GlobTakes(name)) takes.push_back(std::move(take));
    } else {
      takes.push_back({name, name});
    }
  }
  return takes;
}

}  // namespace pellix::analysis
