#include "platform/safe_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/file_descriptor.h"
#include "platform/file_error.h"

namespace pellix {
namespace {

std::string Size(std::uint64_t bytes) {
  if (bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  return std::to_string(bytes) + " bytes";
}

}  // namespace

std::string NotRegularFileReason(unsigned mode) {
  if (S_ISREG(mode)) return {};
  if (S_ISDIR(mode)) return "it is a directory";
  const char* kind = S_ISFIFO(mode)                   ? "a pipe"
                     : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                     : S_ISSOCK(mode)                 ? "a socket"
                                                      : "something else";
  return std::string("it is ") + kind + ", not a regular file";
}

std::string ReadRegularFile(const std::string& path, std::uint64_t max_bytes) {
  if (path.empty()) throw FileError(kFileNotFound, "the path is empty");
  if (path.find('\0') != std::string::npos) throw FileError(kFileNotFound, "the path holds a NUL");

  // Non-blocking, so that opening a FIFO with no writer returns at once; refused below.
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw FileError::FromErrno(errno);
  FileDescriptor file(fd);

  struct stat info {};
  if (::fstat(file.get(), &info) != 0) throw FileError::FromErrno(errno);
  if (!S_ISREG(info.st_mode))
    throw FileError(kPathFileAccessError, NotRegularFileReason(info.st_mode));
  auto too_large = [&] {
    return FileError(kInvalidFileFormat,
                     "it is larger than " + Size(max_bytes) + ", more than such a file ever holds");
  };
  if (static_cast<std::uint64_t>(info.st_size) > max_bytes) throw too_large();

  // The file may grow while it is read: read at most one byte more than allowed to notice.
  std::string bytes(static_cast<std::size_t>(info.st_size) + 1, '\0');
  std::size_t done = 0;
  for (;;) {
    if (done == bytes.size()) {
      if (done > max_bytes) throw too_large();
      bytes.resize(std::min<std::uint64_t>(max_bytes + 1, 2 * bytes.size() + 4096));
    }
    const ssize_t got = ::read(file.get(), bytes.data() + done, bytes.size() - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw FileError::FromErrno(errno);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  if (done > max_bytes) throw too_large();
  bytes.resize(done);
  return bytes;
}

}  // namespace pellix
