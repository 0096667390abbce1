#include "host/same_file.h"

#include <system_error>

namespace pellix {

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) noexcept {
  try {
    std::error_code ec;
    if (std::filesystem::exists(a, ec) && std::filesystem::exists(b, ec)) {
      return std::filesystem::equivalent(a, b, ec);
    }
    const std::filesystem::path full_a = std::filesystem::weakly_canonical(a, ec);
    if (ec) return false;
    const std::filesystem::path full_b = std::filesystem::weakly_canonical(b, ec);
    return !ec && full_a == full_b;
  } catch (...) {
    return false;  // out of memory: let the write itself find out
  }
}

}  // namespace pellix
