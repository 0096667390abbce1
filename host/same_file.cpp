#include "host/same_file.h"

#include <sys/stat.h>

#include <system_error>

namespace pellix {

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) noexcept {
  return SameFileAs(a)(b);
}

SameFileAs::SameFileAs(const std::filesystem::path& output) noexcept
    : identity_(IdentityOf(output)) {
  try {
    output_ = output;
  } catch (...) {
    identity_.reset();  // out of memory: let the write itself find out
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
  try {
    std::error_code ec;
    const std::filesystem::path full_output = std::filesystem::weakly_canonical(output_, ec);
    if (ec) return false;
    const std::filesystem::path full_input = std::filesystem::weakly_canonical(input, ec);
    return !ec && full_output == full_input;
  } catch (...) {
    return false;  // out of memory: let the write itself find out
  }
}

}  // namespace pellix
