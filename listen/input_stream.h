// Live streams from a descriptor (standard input: `arecord ... | pellix listen -`) and from a
// file played as if live (`pellix listen --input talk.wav --realtime`).
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "listen/sound_stream.h"
#include "platform/numbered_error.h"

namespace pellix::listen {

// A stream that cannot be opened: the message names it and says why; `number` is the
// platform's error number (75 for a read that failed, 321 for a stream that is no WAV stream).
class StreamError : public NumberedError {
 public:
  StreamError(int number, const std::string& message) : NumberedError(message, number) {}
};

// The stream on descriptor `fd`: raw PCM of `raw` when given, else a WAV stream whose header
// is read first (16-bit PCM is kept as it is; 8, 24 and 32-bit PCM and 32 and 64-bit floats
// become floats). The sound ends where the data chunk's size says, or, where the size is
// unknown (0 or 0xFFFFFFFF, as a writer that cannot seek back leaves it), at the end of the
// stream. `stop` is polled while the header is awaited. Throws StreamError.
std::unique_ptr<SoundStream> OpenDescriptorStream(int fd, std::string name,
                                                  const std::optional<StreamFormat>& raw,
                                                  const std::atomic<bool>& stop);

// Any recording libsndfile reads, played as a stream: paced in real time (10 ms blocks, each
// due when its sound would have been heard) when `realtime`, else as fast as it can be read.
// Throws StreamError.
std::unique_ptr<SoundStream> OpenFileStream(const std::filesystem::path& path, bool realtime);

}  // namespace pellix::listen
