// The bytes of a recording file, looked at in place a piece at a time: a file read in large
// blocks (RecordingReader) or a whole file held in memory (MemoryBytes). The converter's own
// readers of common formats take their samples from here with no copy of their own.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pellix {

class RecordingBytes {
 public:
  // The most bytes one View may ask for.
  static constexpr std::size_t kLargestView = std::size_t{1} << 16;

  // The recording's length in bytes.
  virtual std::uint64_t size() const noexcept = 0;

  // The `length` (at most kLargestView) bytes at `offset`, fewer only at the end of the
  // recording, valid until the next View. A failed read is FileError 75 naming the file.
  virtual std::span<const std::uint8_t> View(std::uint64_t offset, std::size_t length) = 0;

 protected:
  ~RecordingBytes() = default;
};

// A whole recording file in memory.
class MemoryBytes final : public RecordingBytes {
 public:
  explicit MemoryBytes(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}

  std::uint64_t size() const noexcept override { return bytes_.size(); }

  std::span<const std::uint8_t> View(std::uint64_t offset, std::size_t length) override {
    if (offset >= bytes_.size()) return {};
    const auto at = static_cast<std::size_t>(offset);
    return bytes_.subspan(at, std::min(length, bytes_.size() - at));
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

}  // namespace pellix
