// An in-memory file layer: named byte strings instead of files, for tests and fuzzing.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "files/file_system.h"

namespace pellix {

class MemoryFileSystem final : public FileSystem {
 public:
  void Add(std::string path, std::vector<std::uint8_t> bytes);
  // Makes `path` fail to open with the given platform error number (53, 70, 75 ...).
  void AddFailing(std::string path, int error_number);

  std::size_t ReadBlock(const std::string& path, std::uint64_t offset,
                        std::span<std::uint8_t> out) override;

 private:
  std::map<std::string, std::vector<std::uint8_t>, std::less<>> files_;
  std::map<std::string, int, std::less<>> failing_;
};

}  // namespace pellix
