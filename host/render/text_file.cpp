#include "host/render/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <utility>

#include "host/audio/audio_error.h"

namespace pellix {
namespace {

// The temporary file: closed, and removed unless it was renamed into place.
class TemporaryFile {
 public:
  TemporaryFile(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }

  int fd() const noexcept { return fd_; }
  const std::filesystem::path& path() const noexcept { return path_; }
  // Closes the descriptor; returns the errno of a failed close (the data may be lost), or 0.
  int Close() noexcept {
    const int fd = std::exchange(fd_, -1);
    return ::close(fd) == 0 ? 0 : errno;
  }
  void Keep() noexcept { path_.clear(); }

 private:
  int fd_;
  std::filesystem::path path_;
};

}  // namespace

void WriteTextFile(const std::filesystem::path& path, std::string_view text,
                   std::string_view what) {
  const std::string action = "cannot write " + std::string(what);
  auto fail = [&](const std::string& reason) {
    throw AudioError(kPathFileAccessError, action + " '" + path.string() + "': " + reason);
  };
  if (path.empty()) fail("the path is empty");
  if (!path.has_filename()) fail("the path names a folder");

  // Never replace a directory, pipe or device by a regular file.
  struct stat old_file {};
  const bool replacing = ::stat(path.c_str(), &old_file) == 0;
  if (replacing && S_ISDIR(old_file.st_mode)) fail("it is a directory");
  if (replacing && !S_ISREG(old_file.st_mode)) fail("it is not a regular file");

  // A name no other writer uses: hidden, with the process id and a counter.
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
  int fd = -1;
  std::filesystem::path temporary_path;
  for (int attempt = 0; fd < 0; ++attempt) {
    temporary_path = folder / ("." + path.filename().string() + ".tmp-" +
                               std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fd = ::open(temporary_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EINTR && (errno != EEXIST || attempt == 100)) {
      RaiseFileError(errno, action, path.string());
    }
  }
  TemporaryFile temporary(fd, temporary_path);
  if (replacing) (void)::fchmod(temporary.fd(), old_file.st_mode & 07777);

  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::write(temporary.fd(), text.data() + done, text.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      RaiseFileError(errno, action, path.string());
    }
    done += static_cast<std::size_t>(wrote);
  }
  if (::fsync(temporary.fd()) != 0) RaiseFileError(errno, action, path.string());
  if (const int error = temporary.Close(); error != 0) RaiseFileError(error, action, path.string());
  if (::rename(temporary.path().c_str(), path.c_str()) != 0) {
    RaiseFileError(errno, action, path.string());
  }
  temporary.Keep();
}

}  // namespace pellix
