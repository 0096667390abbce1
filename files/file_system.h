// The file layer: open a named file for binary reading, read a block at a byte position, close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace pellix {

// Reads a block of a named file. Opening never blocks and only regular files are read:
// File not found (53) for a missing file, Permission denied (70) when reading is not
// permitted, Path/File access error (75) for a directory, pipe, device or failed read.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens `path`, reads up to out.size() bytes starting at the 0-based byte `offset` into
  // `out`, closes the file and returns the number of bytes read (short at end of file).
  // Must not allocate: the sample intake calls it on the analysis path.
  virtual std::size_t ReadBlock(const std::string& path, std::uint64_t offset,
                                std::span<std::uint8_t> out) = 0;
};

// The platform error number for a failed file operation's errno: File not found (53) for a
// missing file or folder, Permission denied (70) when the operation is not permitted, Path/File
// access error (75) for anything else.
int FileErrorNumber(int errno_value) noexcept;

// The operating system's files.
FileSystem& NativeFileSystem();

}  // namespace pellix
