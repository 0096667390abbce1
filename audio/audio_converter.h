// Converting recordings to sample files.
//
//   ConvertedRecording take = ConvertToSamples("yes.wav");          // just the samples
//   ConvertToSampleFile("yes.wav", "yes.smp");                       // samples written out
//   ConvertRecordingBytes(bytes);                                    // a recording in memory
//   ConvertPcm({.floats = samples, .rate = 44100, .channels = 2});   // PCM samples in memory
//   ConvertToSamples("talk.wav", kDefaultSampleRate, kSampleWindow); // what the intake reads
//
//   ScratchFolder scratch;                                           // for an analysis run
//   std::filesystem::path smp = PrepareSampleFile("yes.wav", scratch);
//
// Any recording libsndfile reads (WAV, FLAC, Ogg Vorbis, AIFF, ...) is mixed down to mono
// (the average of its channels), resampled with libsoxr at high quality to the target rate and
// quantised to unsigned 8-bit samples centred on 128. Errors are FileError: a platform error
// number and a message naming the file, fit to show a user as it stands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "audio/input_file.h"
#include "audio/pcm_samples.h"
#include "audio/recording_levels.h"
#include "audio/sample_file.h"
#include "audio/scratch_folder.h"
#include "files/file_error.h"

namespace pellix {

// Source rates a recording may claim: from below telephone quality to the highest studio
// rates. Anything else is a damaged or hostile header, whose conversion could take hours.
inline constexpr int kLowestRecordingRate = 1000;
inline constexpr int kHighestRecordingRate = 768000;

// Converting without a limit on the samples kept.
inline constexpr std::size_t kWholeRecording = std::numeric_limits<std::size_t>::max();

// A recording converted to samples, with what was learnt about its source.
struct ConvertedRecording {
  std::uint32_t rate = 0;             // samples per second of `samples`
  std::vector<std::uint8_t> samples;  // mono, unsigned 8-bit, centred on 128, never 0
  // The samples the whole recording converts to: samples.size(), or more when the conversion
  // stopped at a limit.
  std::uint64_t total_samples = 0;
  double duration = 0;  // seconds, from the source's frames and rate
  int source_rate = 0;  // frames per second of the source
  int source_channels = 0;
  std::int64_t source_frames = 0;
};

// Converts the recording at `input` to samples at `rate` Hz, keeping the first `keep` of them
// (the intake reads only the first kSampleWindow; a host may warn about a longer recording).
// Decoding and resampling stop once `keep` samples are made; the recording's length is then
// taken from its header, after checking that its last frame can be read. A source already at
// `rate` is not resampled, so its samples pass through unchanged apart from the quantisation.
// Each sample is 128 + 128 x (the mono value, full scale being -1 to 1), rounded to the nearest
// whole number (halves to even), clipped to 1..255: 0 is never produced, since it would end the
// take. The samples kept are the same whatever `keep` is. Errors (FileError):
//   53 / 70 / 75  the file is missing / may not be read / is a directory, pipe or device,
//                 or reading it failed;
//   321           it is empty, is not a recording libsndfile can read, is truncated or
//                 damaged, holds no sound, or claims a rate outside kLowestRecordingRate to
//                 kHighestRecordingRate;
//   5             `rate` is 0, or the resampler refuses the conversion;
//   6             the result would hold more samples than a sample file can count.
// When `levels` is given, every mono value of the whole recording is added to it: past `keep`
// samples the rest is still read for it, though not resampled.
ConvertedRecording ConvertToSamples(const std::filesystem::path& input,
                                    std::uint32_t rate = kDefaultSampleRate,
                                    std::size_t keep = kWholeRecording,
                                    RecordingLevels* levels = nullptr);

// ConvertToSamples for the recording `file`, opened from `input` with OpenInputFile and read
// from its start. Errors as ConvertToSamples, but for those of opening it.
ConvertedRecording ConvertToSamples(const InputFile& file, const std::filesystem::path& input,
                                    std::uint32_t rate = kDefaultSampleRate,
                                    std::size_t keep = kWholeRecording,
                                    RecordingLevels* levels = nullptr);

// ConvertToSamples for the bytes of a whole recording file held in memory (read through
// libsndfile's virtual I/O, no file involved). `name` stands for the recording in messages.
// Errors as ConvertToSamples, but for those of opening and reading a file.
ConvertedRecording ConvertRecordingBytes(std::span<const std::uint8_t> bytes,
                                         std::uint32_t rate = kDefaultSampleRate,
                                         std::size_t keep = kWholeRecording,
                                         const std::string& name = "(in memory)",
                                         RecordingLevels* levels = nullptr);

// ConvertToSamples for PCM samples in memory, converted exactly as a recording file holding
// them is: 16-bit samples of one or two channels are mixed down as whole numbers, and so are
// float samples that are all 16-bit samples / 32768 (what a 16-bit recording decodes to), so
// that either gives the samples and levels of the file to the bit. `name` stands for the
// samples in messages. Errors (FileError):
//   5    a rate outside kLowestRecordingRate to kHighestRecordingRate, no channels or more
//        than kMostPcmChannels, a number of values that is not a whole number of frames;
//   321  no samples, or a float sample that is not a number or infinite;
//   and those of ConvertToSamples for the target `rate`.
ConvertedRecording ConvertPcm(const PcmSamples& pcm, std::uint32_t rate = kDefaultSampleRate,
                              std::size_t keep = kWholeRecording, RecordingLevels* levels = nullptr,
                              const std::string& name = "(in memory)");

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
