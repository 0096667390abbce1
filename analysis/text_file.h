// Writing a whole text file safely (WriteFileAtomically), with a message for people.
#pragma once

#include <filesystem>
#include <string_view>

namespace pellix {

// Writes `text` to `path` with WriteFileAtomically: `path` holds either the old file or the
// whole new one, a symbolic link is written through, a replaced file keeps its permissions.
// Errors are FileError, a PlatformError whose message reads "cannot write <what> '<path>':
// <reason>": 53 when the folder does not exist or `path` is empty, 70 when writing there is
// not permitted, 75 otherwise (a directory, pipe or device at `path`, the disk is full).
void WriteTextFile(const std::filesystem::path& path, std::string_view text, std::string_view what);

}  // namespace pellix
