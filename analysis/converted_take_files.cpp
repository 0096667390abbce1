#include "analysis/converted_take_files.h"

#include <algorithm>
#include <utility>

namespace pellix::analysis {

void ConvertedTakeFiles::Hold(std::string path, std::vector<std::uint8_t> bytes) {
  path_ = std::move(path);
  bytes_ = std::move(bytes);
}

std::size_t ConvertedTakeFiles::ReadBlock(const std::string& path, std::uint64_t offset,
                                          std::span<std::uint8_t> out) {
  if (path_.empty() || path != path_) return others_.ReadBlock(path, offset, out);
  if (offset >= bytes_.size()) return 0;
  const std::size_t count = std::min<std::uint64_t>(out.size(), bytes_.size() - offset);
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), count, out.begin());
  return count;
}

}  // namespace pellix::analysis
