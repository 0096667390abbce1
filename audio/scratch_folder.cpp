#include "audio/scratch_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>
#include <utility>

#include "files/file_error.h"

namespace pellix {

ScratchFolder::ScratchFolder() {
  const char* tmpdir = std::getenv("TMPDIR");
  std::filesystem::path parent = (tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : "/tmp";
  std::string pattern = (parent / "pellix-XXXXXX").string();
  int error = 0;
  {
    // Made and registered with no moment between for a signal to leave the folder behind.
    const CleanupOnSignal::Creation creating;
    // mkdtemp creates the folder with mode 0700 under a name nobody else can have taken.
    if (::mkdtemp(pattern.data()) != nullptr) {
      cleanup_ = CleanupOnSignal(pattern, CleanupOnSignal::Kind::kFolder);
    } else {
      error = errno;
    }
  }
  if (error != 0) RaiseFileError(error, "cannot create a temporary folder in", parent.string());
  path_ = pattern;
}

ScratchFolder::ScratchFolder(ScratchFolder&& other) noexcept
    : path_(std::exchange(other.path_, {})),
      cleanup_(std::move(other.cleanup_)),
      files_(other.files_) {}

ScratchFolder& ScratchFolder::operator=(ScratchFolder&& other) noexcept {
  if (this != &other) {
    Remove();
    path_ = std::exchange(other.path_, {});
    cleanup_ = std::move(other.cleanup_);
    files_ = other.files_;
  }
  return *this;
}

ScratchFolder::~ScratchFolder() {
  Remove();
}

std::filesystem::path ScratchFolder::NewFilePath(std::string_view name) {
  return path_ / (std::to_string(++files_) + "-" + std::string(name));
}

void ScratchFolder::Remove() noexcept {
  if (path_.empty()) return;
  try {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  } catch (...) {
    // Out of memory while walking the folder: leave it behind rather than throw.
  }
  cleanup_ = CleanupOnSignal();
  path_.clear();
}

}  // namespace pellix
