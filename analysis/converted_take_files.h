// The file layer a session reads its takes through: the take it converted last is read from
// memory, every other file as before. A converted take is never written to disk, or read back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace pellix::analysis {

class ConvertedTakeFiles final : public FileSystem {
 public:
  // Every path but the held one is read through `others`.
  explicit ConvertedTakeFiles(FileSystem& others) noexcept : others_(others) {}

  // From now on `path` reads as `bytes` (a whole sample file), in place of the take held before.
  void Hold(std::string path, std::vector<std::uint8_t> bytes);

  std::size_t ReadBlock(const std::string& path, std::uint64_t offset,
                        std::span<std::uint8_t> out) override;

 private:
  FileSystem& others_;
  std::string path_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace pellix::analysis
