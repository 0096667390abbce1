// "-" as a file name: standard input saved to a file that the converter can seek in, and a
// finished file copied to standard output.
#pragma once

#include <filesystem>
#include <string_view>

#include "audio/scratch_folder.h"

namespace pellix {

// The name that stands for standard input or standard output.
inline constexpr std::string_view kStandardStream = "-";

// Copies all of standard input into a new file in `scratch` whose name ends in `name`, and
// returns its path. Errors (FileError): 75 when standard input cannot be read or the copy
// cannot be written.
std::filesystem::path SaveStandardInput(ScratchFolder& scratch, std::string_view name);

// Copies the file at `path` to standard output and flushes it. Errors (FileError): 75 when
// the file cannot be read or standard output refuses the bytes (a closed pipe, a full disk).
void CopyToStandardOutput(const std::filesystem::path& path);

}  // namespace pellix
