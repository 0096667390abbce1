#include "audio/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "files/file_error.h"

namespace pellix {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

int UniqueFd::release() noexcept {
  int fd = fd_;
  fd_ = -1;
  return fd;
}

InputFile OpenInputFile(const std::filesystem::path& path, const char* what) {
  // A name with a NUL in it names no file: the system would open the part before the NUL.
  if (path.native().find('\0') != std::string::npos) {
    RaiseFileError(ENOENT, std::string("cannot open ") + what, path.string());
  }
  // O_NONBLOCK so that naming a pipe or a device cannot hang the caller; the fstat below then
  // turns everything but a regular file away.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) RaiseFileError(errno, std::string("cannot open ") + what, path.string());
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    RaiseFileError(errno, std::string("cannot open ") + what, path.string());
  }
  if (!S_ISREG(st.st_mode)) {
    const char* kind = S_ISDIR(st.st_mode) ? "a directory" : "not a regular file";
    throw FileError::Message(kPathFileAccessError, std::string("cannot open ") + what + " '" +
                                                       path.string() + "': it is " + kind);
  }
  return InputFile{std::move(fd), static_cast<std::uint64_t>(st.st_size)};
}

std::size_t ReadAt(const InputFile& file, std::uint64_t offset, std::span<std::uint8_t> out,
                   const std::filesystem::path& path) {
  std::size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::pread(file.fd.get(), out.data() + done, out.size() - done,
                        static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseFileError(errno, "cannot read", path.string());
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

}  // namespace pellix
