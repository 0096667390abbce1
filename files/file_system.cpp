#include "files/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>

#include "files/file_descriptor.h"
#include "platform/error.h"

namespace pellix {
namespace {

class NativeFileSystemImpl final : public FileSystem {
 public:
  std::size_t ReadBlock(const std::string& path, std::uint64_t offset,
                        std::span<std::uint8_t> out) override {
    // A name with a NUL byte in it names no file; the system call would see a shorter name.
    if (path.find('\0') != std::string::npos) RaiseError(kFileNotFound);

    // Non-blocking, so that opening a FIFO with no writer returns at once; it is refused below.
    int fd;
    do {
      fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) RaiseError(FileErrorNumber(errno));
    FileDescriptor file(fd);

    // Only a regular file has a defined end: a directory, pipe, socket or device does not.
    struct stat info;
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
      RaiseError(kPathFileAccessError);
    }

    constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
    std::size_t done = 0;
    while (done < out.size()) {
      std::uint64_t position = offset + done;
      if (position < offset || position > kMaxOffset) break;  // beyond any file: end of file
      ssize_t got =
          ::pread(file.get(), out.data() + done, out.size() - done, static_cast<off_t>(position));
      if (got < 0) {
        if (errno == EINTR) continue;
        RaiseError(kPathFileAccessError);
      }
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
      // A short read that reached the end the file had when opened is the end: asking again
      // would only return 0, one more system call on every take shorter than the block.
      const std::uint64_t reached = offset + done;
      if (done < out.size() && reached >= static_cast<std::uint64_t>(info.st_size)) break;
    }
    return done;
  }
};

}  // namespace

int FileErrorNumber(int errno_value) noexcept {
  switch (errno_value) {
    case ENOENT:
    case ENOTDIR:
      return kFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return kPermissionDenied;
    default:
      return kPathFileAccessError;
  }
}

FileSystem& NativeFileSystem() {
  static NativeFileSystemImpl native;
  return native;
}

}  // namespace pellix
