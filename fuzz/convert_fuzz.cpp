// Fuzzes the audio conversion of `pellix convert`: arbitrary bytes as a recording file, read
// through libsndfile's virtual I/O, so no file is involved.
//
// The first byte picks how many samples to keep (all, none, a few, the intake's window). Besides
// the sanitizers, it checks that a recording is either refused with a FileError of a
// documented number or converted into samples that a sample file can hold: never a 0, no more
// than were asked for, and no more than the whole recording makes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "audio/audio_converter.h"
#include "fuzz/fuzz_support.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr const char* kTarget = "pellix_fuzz_convert";
  if (size < 1) return 0;
  const std::size_t keeps[] = {pellix::kWholeRecording, 0, 1, 300, pellix::kSampleWindow};
  const std::size_t keep = keeps[data[0] % std::size(keeps)];
  try {
    const pellix::ConvertedRecording take = pellix::ConvertRecordingBytes(
        std::span(data + 1, size - 1), pellix::kDefaultSampleRate, keep);
    if (take.samples.size() > keep) pellix::fuzzing::Fail(kTarget, "more samples than asked for");
    if (take.samples.size() > take.total_samples) pellix::fuzzing::Fail(kTarget, "total");
    for (std::uint8_t s : take.samples) {
      if (s == 0) pellix::fuzzing::Fail(kTarget, "a 0 sample would end the take");
    }
  } catch (const pellix::FileError& e) {
    const int n = e.number();
    if (n != pellix::kInvalidFileFormat && n != pellix::kInvalidProcedureCall &&
        n != pellix::kOverflow) {
      pellix::fuzzing::Fail(kTarget, "an error the conversion does not document");
    }
  }
  return 0;
}
