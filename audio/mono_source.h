// Where the converter reads a recording from: blocks of mono values (the average of the
// recording's channels), each added to the recording's levels on the way. libsndfile reads any
// recording (MonoReader); the commonest are read straight from their bytes (WavPcmSource,
// FlacSource), which spares libsndfile's copies and start-up and gives the same values to the
// bit.
//
//   while (std::size_t count = source.Read(true)) Use(source.mono_floats(), count);
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pellix {

// Frames read at a time: the blocks every source reads, so that the levels, which add up each
// block's figures in turn, come out the same from any of them.
inline constexpr std::size_t kMonoBlockFrames = 4096;

// What a recording says of itself before its sound is read.
struct SourceFacts {
  int rate = 0;  // frames per second
  int channels = 0;
  std::int64_t frames = 0;  // announced
  bool seekable = false;    // its last frame can be read without reading those before
};

// Thrown by a source that reads a recording straight from its bytes when the recording turns
// out not to be one it reads exactly as libsndfile does (an unusual header, a damaged frame, a
// count that disagrees): the converter then reads it again from its start through libsndfile,
// so that such a recording fails or succeeds as it always has.
struct ReadThroughLibsndfile {};

class MonoSource {
 public:
  virtual ~MonoSource() = default;

  virtual const SourceFacts& facts() const noexcept = 0;

  // Reads up to kMonoBlockFrames frames, adds them to the levels and, when `mix`, leaves them
  // mixed down in mono() or mono_floats(). Returns the frames read: 0 at the end, or after a
  // failure that CheckRead then reports.
  virtual std::size_t Read(bool mix) = 0;

  // Whether the mono values are floats rather than doubles: for sources of 16 bits or fewer,
  // whose mono values a float holds exactly.
  virtual bool floats() const noexcept = 0;

  // The frames of the last Read(true), mixed down (full scale -1 to 1): doubles, or floats
  // when floats().
  virtual const double* mono() const noexcept = 0;
  virtual const float* mono_floats() const noexcept = 0;

  // Frames read so far.
  virtual std::int64_t frames() const noexcept = 0;

  // After the reads: refuses a recording they found damaged (FileError 321).
  virtual void CheckRead(const std::string& name) = 0;

  // When reading stopped before the end: refuses a recording whose last announced frame cannot
  // be read, which is cut short (FileError 321).
  virtual void RequireLastFrame(const std::string& name) = 0;
};

}  // namespace pellix
