#include "host/same_file.h"

#include <sys/stat.h>

#include <system_error>
#include <utility>

namespace pellix {

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) noexcept {
  return SameFileAs(a)(b);
}

SameFileAs::SameFileAs(const std::filesystem::path& output) noexcept
    : identity_(IdentityOf(output)) {
  if (identity_) return;
  try {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::weakly_canonical(output, ec);
    if (!ec) full_output_ = std::move(full);
  } catch (...) {
    // Out of memory: nothing is taken for the output; let the write itself find out.
  }
}

std::optional<SameFileAs::Identity> SameFileAs::IdentityOf(
    const std::filesystem::path& path) noexcept {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return Identity{status.st_dev, status.st_ino};
}

bool SameFileAs::operator()(const std::filesystem::path& input) const noexcept {
  const std::optional<Identity> identity = IdentityOf(input);
  if (identity_ || identity) {
    return identity_ && identity && identity_->device == identity->device &&
           identity_->inode == identity->inode;
  }
  if (!full_output_) return false;
  try {
    std::error_code ec;
    const std::filesystem::path full_input = std::filesystem::weakly_canonical(input, ec);
    return !ec && *full_output_ == full_input;
  } catch (...) {
    return false;  // out of memory: let the write itself find out
  }
}

}  // namespace pellix
