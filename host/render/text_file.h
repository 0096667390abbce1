// Writing a whole text file safely: a temporary file beside the target, then a rename.
#pragma once

#include <filesystem>
#include <string_view>

namespace pellix {

// Writes `text` to `path`, replacing any regular file there (keeping its permissions). The
// text goes into a new temporary file in the same folder, which is flushed to disk and renamed
// over `path`, so `path` holds either the old file or the whole new one, and no temporary file
// stays behind. Errors are AudioError, a PlatformError whose message reads "cannot write
// <what> '<path>': <reason>": 53 when the folder does not exist, 70 when writing there is not
// permitted, 75 otherwise (`path` is empty or a directory, pipe or device, the disk is full).
void WriteTextFile(const std::filesystem::path& path, std::string_view text, std::string_view what);

}  // namespace pellix
