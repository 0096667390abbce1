#include "files/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <utility>

#include "files/file_error.h"
#include "files/safe_read.h"
#include "files/signal_cleanup.h"

namespace pellix {
namespace {

thread_local const ScopedAtomicWriteFault* current_fault = nullptr;

// Whether `step` is to fail now (tests); sets errno as the failing call would.
bool Injected(AtomicWriteStep step) noexcept {
  const int errno_value = ScopedAtomicWriteFault::ErrnoFor(step);
  if (errno_value == 0) return false;
  errno = errno_value;
  return true;
}

// The temporary file: closed, and removed unless it was renamed into place. Registered for
// removal should a signal end the process while it exists.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  // Takes the file just created at `path`, open as `fd`. Neither allocates nor frees memory, so
  // that it may run under a CleanupOnSignal::Creation.
  void Own(int fd, std::string& path) noexcept {
    fd_ = fd;
    path_ = std::move(path);
    cleanup_ = CleanupOnSignal(path_, CleanupOnSignal::Kind::kFile);
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int fd() const noexcept { return fd_; }
  const std::string& path() const noexcept { return path_; }
  // Closes the descriptor; a failed close may mean the data never reached the file.
  void Close() {
    const int fd = std::exchange(fd_, -1);
    if (Injected(AtomicWriteStep::kClose)) {
      ::close(fd);
      throw FileError::FromErrno(errno);
    }
    if (::close(fd) != 0) throw FileError::FromErrno(errno);
  }
  void Keep() noexcept { path_.clear(); }

 private:
  int fd_ = -1;
  std::string path_;
  CleanupOnSignal cleanup_;
};

std::unique_ptr<TemporaryFile> CreateTemporaryBeside(const std::string& folder,
                                                     const std::string& name) {
  // A name no other writer uses: hidden, with the process id and a counter. O_EXCL with a
  // name of our own (rather than mkstemp) gives the usual permissions under the umask.
  static std::atomic<unsigned> counter{0};
  auto file = std::make_unique<TemporaryFile>();
  for (int attempt = 0;; ++attempt) {
    std::string path = folder + "/." + name + ".tmp-" + std::to_string(::getpid()) + "-" +
                       std::to_string(counter.fetch_add(1));
    if (Injected(AtomicWriteStep::kCreate)) throw FileError::FromErrno(errno);
    int error = 0;
    {
      // Made and registered with no moment between for a signal to leave the file behind.
      const CleanupOnSignal::Creation creating;
      int fd;
      do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      } while (fd < 0 && errno == EINTR);
      if (fd >= 0) {
        file->Own(fd, path);
      } else {
        error = errno;
      }
    }
    if (error == 0) return file;
    if (error != EEXIST || attempt == 100) throw FileError::FromErrno(error);
  }
}

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    if (Injected(AtomicWriteStep::kWrite)) throw FileError::FromErrno(errno);
    const ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
    if (wrote < 0) {
      if (errno == EINTR) continue;
      throw FileError::FromErrno(errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(wrote));
  }
}

// Makes the rename itself durable; a folder that cannot be flushed costs only that.
void SyncFolder(const std::string& folder) noexcept {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

}  // namespace

ScopedAtomicWriteFault::ScopedAtomicWriteFault(AtomicWriteStep step, int errno_value)
    : step_(step), errno_value_(errno_value), previous_(current_fault) {
  current_fault = this;
}

ScopedAtomicWriteFault::~ScopedAtomicWriteFault() {
  current_fault = previous_;
}

int ScopedAtomicWriteFault::ErrnoFor(AtomicWriteStep step) noexcept {
  return current_fault != nullptr && current_fault->step_ == step ? current_fault->errno_value_ : 0;
}

std::string FollowSymlinks(const std::string& path) {
  std::string target = path;
  for (int hops = 0;; ++hops) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
    if (hops == 40) throw FileError::FromErrno(ELOOP);
    char link[PATH_MAX];
    const ssize_t length = ::readlink(target.c_str(), link, sizeof link);
    if (length < 0) throw FileError::FromErrno(errno);
    if (static_cast<std::size_t>(length) == sizeof link) throw FileError::FromErrno(ENAMETOOLONG);
    std::string next(link, static_cast<std::size_t>(length));
    if (next.empty()) throw FileError::FromErrno(ENOENT);
    if (next.front() != '/') {
      const std::size_t slash = target.rfind('/');
      if (slash != std::string::npos) next = target.substr(0, slash + 1) + next;
    }
    target = std::move(next);
  }
}

// Where an atomic write goes: the target's folder and name, the old file's mode, and the
// temporary file being written.
struct AtomicFileWriter::Target {
  std::string path;    // the file finally written, symbolic links followed
  std::string folder;  // its folder
  std::string name;    // its name in the folder
  bool replacing = false;
  mode_t mode = 0;  // the replaced file's permissions
  std::unique_ptr<TemporaryFile> temporary;

  void NewTemporary() {
    temporary = CreateTemporaryBeside(folder, name);
    // Keep who may read the file; a file system without permissions cannot refuse anyone.
    if (replacing) (void)::fchmod(temporary->fd(), mode);
  }

  // Flushes and closes the temporary file and renames it over the target.
  void Publish(TemporaryFile& file) {
    if (Injected(AtomicWriteStep::kSync) || ::fsync(file.fd()) != 0) {
      throw FileError::FromErrno(errno);
    }
    file.Close();
    if (Injected(AtomicWriteStep::kRename) || ::rename(file.path().c_str(), path.c_str()) != 0) {
      throw FileError::FromErrno(errno);
    }
    file.Keep();
    SyncFolder(folder);
  }
};

AtomicFileWriter::AtomicFileWriter(const std::string& path) : target_(std::make_unique<Target>()) {
  if (path.empty()) throw FileError(kFileNotFound, "the path is empty");
  if (path.find('\0') != std::string::npos) throw FileError(kFileNotFound, "the path holds a NUL");
  Target& t = *target_;
  t.path = FollowSymlinks(path);
  const std::size_t slash = t.path.rfind('/');
  t.folder = slash == std::string::npos ? "." : slash == 0 ? "/" : t.path.substr(0, slash);
  t.name = t.path.substr(slash == std::string::npos ? 0 : slash + 1);
  if (t.name.empty() || t.name == "." || t.name == "..") {
    throw FileError(kPathFileAccessError, "the path names a folder, not a file");
  }
  // Never replace a directory, pipe or device by a regular file.
  struct stat old_file {};
  t.replacing = ::stat(t.path.c_str(), &old_file) == 0;
  if (t.replacing && !S_ISREG(old_file.st_mode)) {
    throw FileError(kPathFileAccessError, NotRegularFileReason(old_file.st_mode));
  }
  t.mode = old_file.st_mode & 07777;
  t.NewTemporary();
}

AtomicFileWriter::~AtomicFileWriter() = default;

void AtomicFileWriter::Write(std::string_view bytes) {
  WriteAll(target_->temporary->fd(), bytes);
}

void AtomicFileWriter::Checkpoint() {
  Target& t = *target_;
  std::unique_ptr<TemporaryFile> written = std::move(t.temporary);
  t.NewTemporary();
  // The next temporary file starts as a copy of what is put in place now.
  char block[1 << 16];
  for (off_t offset = 0;;) {
    const ssize_t got = ::pread(written->fd(), block, sizeof block, offset);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw FileError::FromErrno(errno);
    }
    if (got == 0) break;
    WriteAll(t.temporary->fd(), std::string_view(block, static_cast<std::size_t>(got)));
    offset += got;
  }
  t.Publish(*written);
}

void AtomicFileWriter::Commit() {
  Target& t = *target_;
  t.Publish(*t.temporary);
  t.temporary.reset();
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFileWriter writer(path);
  writer.Write(bytes);
  writer.Commit();
}

}  // namespace pellix
