#include "listen/utterance_buffer.h"

#include <algorithm>
#include <stdexcept>

namespace pellix::listen {

void UtteranceBuffer::Append(std::span<const std::byte> frames) {
  bytes_.insert(bytes_.end(), frames.begin(), frames.end());
}

void UtteranceBuffer::DropBefore(std::uint64_t frame) {
  if (frame <= first_frame_) return;
  const std::uint64_t drop = std::min(frame, end_frame()) - first_frame_;
  begin_ += static_cast<std::size_t>(drop) * frame_bytes_;
  first_frame_ += drop;
  // Moving the rest down costs a copy of what is held; done once the dropped part is the larger,
  // it costs no more than the appends did.
  if (begin_ > bytes_.size() / 2) {
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(begin_));
    begin_ = 0;
  }
}

std::span<const std::byte> UtteranceBuffer::Frames(std::uint64_t start, std::uint64_t end) const {
  if (start < first_frame_ || end > end_frame() || start > end)
    throw std::out_of_range("the utterance's sound is no longer held");
  const std::size_t from = begin_ + static_cast<std::size_t>(start - first_frame_) * frame_bytes_;
  return std::span<const std::byte>(bytes_).subspan(
      from, static_cast<std::size_t>(end - start) * frame_bytes_);
}

}  // namespace pellix::listen
