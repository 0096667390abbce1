// The sound of a stream from the earliest frame an utterance may still start at: what the
// listener cuts each utterance from. It holds no more than the segmenter lets it, so memory
// stays flat however long the stream runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pellix::listen {

class UtteranceBuffer {
 public:
  explicit UtteranceBuffer(std::size_t frame_bytes) : frame_bytes_(frame_bytes) {}

  // Appends the stream's next frames (whole frames).
  void Append(std::span<const std::byte> frames);
  // Forgets every frame before `frame` (a stream position).
  void DropBefore(std::uint64_t frame);
  // The bytes of frames `start` to `end` (stream positions, end excluded), all still held.
  std::span<const std::byte> Frames(std::uint64_t start, std::uint64_t end) const;

  std::uint64_t first_frame() const { return first_frame_; }
  std::uint64_t end_frame() const { return first_frame_ + (bytes_.size() - begin_) / frame_bytes_; }

 private:
  std::size_t frame_bytes_;
  std::vector<std::byte> bytes_;
  std::size_t begin_ = 0;          // bytes of bytes_ already dropped
  std::uint64_t first_frame_ = 0;  // the stream position of the first frame held
};

}  // namespace pellix::listen
