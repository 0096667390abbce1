// Converting recordings to sample files.
//
//   ConvertedRecording take = ConvertToSamples("yes.wav");          // just the samples
//   ConvertToSampleFile("yes.wav", "yes.smp");                       // samples written out
//
//   ScratchFolder scratch;                                           // for an analysis run
//   std::filesystem::path smp = PrepareSampleFile("yes.wav", scratch);
//
// Any recording libsndfile reads (WAV, FLAC, Ogg Vorbis, AIFF, ...) is mixed down to mono
// (the average of its channels), resampled with libsoxr at high quality to the target rate and
// quantised to unsigned 8-bit samples centred on 128. Errors are AudioError: a platform error
// number and a message naming the file, fit to show a user as it stands.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "host/audio/audio_error.h"
#include "host/audio/recording_levels.h"
#include "host/audio/sample_file.h"
#include "host/audio/scratch_folder.h"

namespace pellix {

// A recording converted to samples, with what was learnt about its source.
struct ConvertedRecording {
  std::uint32_t rate = 0;             // samples per second of `samples`
  std::vector<std::uint8_t> samples;  // mono, unsigned 8-bit, centred on 128, never 0
  double duration = 0;                // seconds, from the source's frames and rate
  int source_rate = 0;                // frames per second of the source
  int source_channels = 0;
  std::int64_t source_frames = 0;
};

// Converts the whole recording at `input` to samples at `rate` Hz (the intake reads only the
// first kSampleWindow of them; a host may warn about a longer recording). A source already at
// `rate` is not resampled, so its samples pass through unchanged apart from the quantisation. Each
// sample is 128 + 128 x (the mono value, full scale being -1 to 1), rounded to the nearest whole
// number (halves to even), clipped to 1..255: 0 is never produced, since it would end the take.
// Errors (AudioError):
//   53 / 70 / 75  the file is missing / may not be read / is a directory, pipe or device,
//                 or reading it failed;
//   321           it is empty, is not a recording libsndfile can read, is truncated or
//                 damaged, or holds no sound;
//   5             `rate` is 0, or the resampler refuses the conversion;
//   6             the result would hold more samples than a sample file can count.
// When `levels` is given, every mono value read from the source is added to it.
ConvertedRecording ConvertToSamples(const std::filesystem::path& input,
                                    std::uint32_t rate = kDefaultSampleRate,
                                    RecordingLevels* levels = nullptr);

// Converts `input` and writes the result as a sample file at `output` (see WriteSampleFile).
// Returns the converted recording. Errors as ConvertToSamples and WriteSampleFile.
ConvertedRecording ConvertToSampleFile(const std::filesystem::path& input,
                                       const std::filesystem::path& output,
                                       std::uint32_t rate = kDefaultSampleRate,
                                       RecordingLevels* levels = nullptr);

// The sample file to hand the control for `input`: `input` itself when it already is one
// (IsSampleFile), otherwise a new sample file in `scratch` converted from it at `rate` Hz,
// named after the input ("<n>-yes.smp" for "yes.wav"). Errors as ConvertToSampleFile.
std::filesystem::path PrepareSampleFile(const std::filesystem::path& input, ScratchFolder& scratch,
                                        std::uint32_t rate = kDefaultSampleRate);

}  // namespace pellix
