// Opening a file to read from, safely: never blocking, regular files only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace pellix {

// An open file descriptor, closed on destruction.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd();

  int get() const noexcept { return fd_; }
  int release() noexcept;

 private:
  int fd_ = -1;
};

// A regular file opened for reading, with its size at the time of opening.
struct InputFile {
  UniqueFd fd;
  std::uint64_t size = 0;
};

// Opens `path` for reading without blocking. Fails with FileError: 53 when it does not exist,
// 70 when it may not be read, 75 when it is a directory, pipe, device or socket. `what` names
// the kind of file in the message ("recording", "sample file").
InputFile OpenInputFile(const std::filesystem::path& path, const char* what);

// Reads up to out.size() bytes at `offset`; returns the number read (short only at the end of
// the file). A failed read is FileError 75 naming `path`.
std::size_t ReadAt(const InputFile& file, std::uint64_t offset, std::span<std::uint8_t> out,
                   const std::filesystem::path& path);

}  // namespace pellix
