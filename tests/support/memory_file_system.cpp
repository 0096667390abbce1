#include "tests/support/memory_file_system.h"

#include <algorithm>
#include <utility>

#include "platform/error.h"

namespace pellix {

void MemoryFileSystem::Add(std::string path, std::vector<std::uint8_t> bytes) {
  failing_.erase(path);
  files_.insert_or_assign(std::move(path), std::move(bytes));
}

void MemoryFileSystem::AddFailing(std::string path, int error_number) {
  files_.erase(path);
  failing_.insert_or_assign(std::move(path), error_number);
}

// Behaves as the native layer does for a regular file: a short block at the end, none past it.
std::size_t MemoryFileSystem::ReadBlock(const std::string& path, std::uint64_t offset,
                                        std::span<std::uint8_t> out) {
  if (auto failing = failing_.find(path); failing != failing_.end()) {
    RaiseError(failing->second);
  }
  auto file = files_.find(path);
  if (file == files_.end()) RaiseError(kFileNotFound);
  const std::vector<std::uint8_t>& bytes = file->second;
  if (offset >= bytes.size()) return 0;
  std::size_t start = static_cast<std::size_t>(offset);
  std::size_t count = std::min(out.size(), bytes.size() - start);
  std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(start), count, out.begin());
  return count;
}

}  // namespace pellix
