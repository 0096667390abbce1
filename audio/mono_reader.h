// Reading a recording opened with libsndfile block by block, mixed down to mono (the average
// of its channels), every block added to the recording's levels on the way: the source of any
// recording libsndfile reads.
//
//   MonoReader reader(sound, info, &levels);
//   while (std::size_t count = reader.Read(true)) Use(reader.mono(), count);
#pragma once

#include <sndfile.h>

#include <cstddef>
#include <cstdint>

#include <string>

#include "audio/mono_source.h"
#include "audio/recording_levels.h"

namespace pellix {

class MonoReader final : public MonoSource {
 public:
  // Reads `sound` (described by `info`; it stays the caller's) from where it stands. `levels`
  // may be null. The buffers are the calling thread's, reused by its next reader.
  MonoReader(SNDFILE* sound, const SF_INFO& info, RecordingLevels* levels);

  const SourceFacts& facts() const noexcept override { return facts_; }
  std::size_t Read(bool mix) override;
  bool floats() const noexcept override { return whole16_; }
  const double* mono() const noexcept override;
  const float* mono_floats() const noexcept override;
  std::int64_t frames() const noexcept override { return frames_; }
  // What sf_error says of the reads.
  void CheckRead(const std::string& name) override;
  // Seeks to the last frame and reads it.
  void RequireLastFrame(const std::string& name) override;

 private:
  std::size_t ReadWhole16(bool mix);
  std::size_t ReadDoubles(bool mix);

  SNDFILE* sound_;
  SourceFacts facts_;
  std::size_t channels_;
  RecordingLevels* levels_;
  bool whole16_;  // read as 16-bit whole numbers, which libsndfile's doubles are 1/32768 of
  std::int64_t frames_ = 0;
};

}  // namespace pellix
