// A live stream of sound: frames as they come, from a capture device, standard input or a
// file played as if live.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <span>
#include <string>

#include "listen/stream_format.h"

namespace pellix::listen {

using Clock = std::chrono::steady_clock;

struct StreamRead {
  enum class Status {
    kData,    // `frames` frames were read (perhaps none, when a signal interrupted the wait)
    kStall,   // nothing came for the whole wait
    kEnd,     // the stream ended normally
    kFailed,  // the stream broke: `message` says how
  };
  Status status = Status::kData;
  std::size_t frames = 0;
  // When the first frame read was sound in the room (or, for a file, when it was due).
  Clock::time_point live_at;
  std::string message;
};

class SoundStream {
 public:
  virtual ~SoundStream() = default;
  virtual const StreamFormat& format() const = 0;
  // What the stream is, for messages: "standard input", "the device 'pulse'", "'talk.wav'".
  virtual const std::string& name() const = 0;
  // Reads whole frames into `out` (a multiple of the frame size), waiting at most `wait` for
  // the first of them.
  virtual StreamRead Read(std::span<std::byte> out, std::chrono::milliseconds wait) = 0;
};

}  // namespace pellix::listen
