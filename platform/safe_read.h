// Reading a whole small file (a bag, a manifest, a script) safely: never blocking, regular
// files only, and never more than a stated size, so that naming a pipe, a device or a huge
// file by mistake ends at once with a clear error instead of a hang or exhausted memory.
#pragma once

#include <cstdint>
#include <string>

namespace pellix {

// The most a manifest or a script may hold: far more than any real one.
inline constexpr std::uint64_t kMaxTextFileSize = 64u << 20;

// The most a property bag may hold. Larger: a bag keeps every text property whole, and a
// megabyte of control characters in each is saved as over a hundred megabytes of escapes.
inline constexpr std::uint64_t kMaxBagFileSize = 512u << 20;

// The whole contents of the regular file at `path`. Raises FileError: File not found (53) for
// a missing file or folder, Permission denied (70), Path/File access error (75) for a
// directory, pipe, device or socket ("it is a pipe, not a regular file") or a failed read,
// Invalid file format (321) when it holds more than `max_bytes` bytes.
std::string ReadRegularFile(const std::string& path, std::uint64_t max_bytes = kMaxTextFileSize);

// Why a file of mode `mode` (from stat) is not a regular file, in words ("it is a directory");
// empty for a regular file.
std::string NotRegularFileReason(unsigned mode);

}  // namespace pellix
