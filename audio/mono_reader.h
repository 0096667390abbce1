// Reading a recording opened with libsndfile block by block, mixed down to mono (the average
// of its channels), every block added to the recording's levels on the way.
//
//   MonoReader reader(sound, info, &levels);
//   while (std::size_t count = reader.Read(true)) Use(reader.mono(), count);
#pragma once

#include <sndfile.h>

#include <cstddef>
#include <cstdint>

#include "audio/recording_levels.h"

namespace pellix {

// Frames read at a time.
inline constexpr std::size_t kMonoBlockFrames = 4096;

class MonoReader {
 public:
  // Reads `sound` (described by `info`; it stays the caller's) from where it stands. `levels`
  // may be null. The buffers are the calling thread's, reused by its next reader.
  MonoReader(SNDFILE* sound, const SF_INFO& info, RecordingLevels* levels);

  // Reads up to kMonoBlockFrames frames, adds them to the levels and, when `mix`, leaves them
  // mixed down in mono(). Returns the frames read: 0 at the end, or after a failure that
  // sf_error then reports.
  std::size_t Read(bool mix);

  // Whether mono() holds floats rather than doubles: for sources of 16 bits or fewer, whose
  // mono values a float holds exactly.
  bool floats() const noexcept { return whole16_; }

  // The frames of the last Read(true), mixed down (full scale -1 to 1), as doubles when not
  // floats().
  const double* mono() const noexcept;
  const float* mono_floats() const noexcept;

  // Frames read so far.
  std::int64_t frames() const noexcept { return frames_; }

 private:
  std::size_t ReadWhole16(bool mix);
  std::size_t ReadDoubles(bool mix);

  SNDFILE* sound_;
  std::size_t channels_;
  RecordingLevels* levels_;
  bool whole16_;  // read as 16-bit whole numbers, which libsndfile's doubles are 1/32768 of
  std::int64_t frames_ = 0;
};

}  // namespace pellix
