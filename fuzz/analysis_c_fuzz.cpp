// Fuzzes the C interface of the analysis (PellixAnalysis.h) with takes in memory: arbitrary
// bytes as a recording or sample file, and arbitrary values as PCM samples of an arbitrary
// rate and channel count, calibrated on and then checked by a fresh speaker; and arbitrary text
// as a manifest.
//
// Input: byte 0 with its top bit set makes the rest manifest text. Otherwise byte 0 picks the
// kind of take (bytes, 16-bit, float or double PCM); bytes 1 to 4 are the rate and byte 5 the
// channels (little-endian, PCM only); the rest is the take. Besides the sanitizers, it checks
// that every call either succeeds with a report row (a manifest: speakers, each with a take)
// or fails with a documented number and a message, and that the speaker still works after a
// failure.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "PellixAnalysis.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr const char* kTarget = "pellix_fuzz_analysis_c";

void CheckOutcome(int number, const PellixTakeResult& result) {
  if (number != result.error_number) pellix::fuzzing::Fail(kTarget, "two error numbers");
  if (number == 0) {
    if (result.json[0] != '{') pellix::fuzzing::Fail(kTarget, "an analysed take without a row");
    return;
  }
  if (result.error_message[0] == '\0') pellix::fuzzing::Fail(kTarget, "a failure without words");
  // Invalid argument, overflow, the control's subscript and division errors, bad data.
  for (int documented : {5, 6, 9, 11, 321}) {
    if (number == documented) return;
  }
  std::fprintf(stderr, "%s: error %d: %s\n", kTarget, number, result.error_message);
  pellix::fuzzing::Fail(kTarget, "an error the interface does not document");
}

// The manifest of `size` bytes of text: its speakers, or a failure in words.
void FuzzManifest(const char* text, std::size_t size) {
  PellixManifest* manifest = nullptr;
  const int number = PellixManifestParse(text, size, "fuzz.csv", "dir", &manifest);
  const PellixManifestSpeaker* speakers = nullptr;
  const std::size_t count = PellixManifestSpeakers(manifest, &speakers);
  if (number != 0) {
    if (number != 321 || PellixManifestError(manifest)[0] == '\0' || count != 0) {
      pellix::fuzzing::Fail(kTarget, "a manifest refused without its number, words or in full");
    }
  } else if (count == 0) {
    pellix::fuzzing::Fail(kTarget, "a manifest without speakers");
  }
  for (std::size_t i = 0; i < count; ++i) {
    const PellixManifestSpeaker& s = speakers[i];
    if (s.speaker[0] == '\0' || s.calibration_count + s.check_count == 0) {
      pellix::fuzzing::Fail(kTarget, "a speaker without a name or a take");
    }
    for (const PellixManifestTake* t = s.checks; t != nullptr && t < s.checks + s.check_count;
         ++t) {
      if (t->path[0] == '\0' || t->name[0] == '\0')
        pellix::fuzzing::Fail(kTarget, "a take unnamed");
    }
  }
  PellixManifestClose(manifest);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size >= 1 && (data[0] & 0x80) != 0) {
    FuzzManifest(reinterpret_cast<const char*>(data + 1), size - 1);
    return 0;
  }
  if (size < 6) return 0;
  const int kinds[] = {PELLIX_TAKE_BYTES, PELLIX_TAKE_PCM_INT16, PELLIX_TAKE_PCM_FLOAT32,
                       PELLIX_TAKE_PCM_FLOAT64};
  PellixTake take{};
  take.kind = kinds[data[0] % std::size(kinds)];
  take.name = "fuzz";
  std::memcpy(&take.rate, data + 1, sizeof take.rate);
  take.channels = data[5];
  // The values copied to memory aligned for their type.
  const std::size_t value_size = take.kind == PELLIX_TAKE_BYTES         ? 1
                                 : take.kind == PELLIX_TAKE_PCM_INT16   ? 2
                                 : take.kind == PELLIX_TAKE_PCM_FLOAT32 ? 4
                                                                        : 8;
  std::vector<double> aligned((size - 6) / sizeof(double) + 1);
  std::memcpy(aligned.data(), data + 6, size - 6);
  take.data = aligned.data();
  take.size = (size - 6) / value_size;

  PellixSpeaker* speaker = nullptr;
  if (PellixSpeakerOpen(nullptr, nullptr, &speaker) != 0) {
    pellix::fuzzing::Fail(kTarget, "a speaker without a state file did not open");
  }
  PellixTakeResult result;
  CheckOutcome(PellixSpeakerCalibrate(speaker, &take, &result), result);
  CheckOutcome(PellixSpeakerCheck(speaker, &take, &result), result);
  PellixProfile profile;
  if (PellixSpeakerProfile(speaker, &profile) != 0) {
    pellix::fuzzing::Fail(kTarget, "the profile failed after a take");
  }
  PellixSpeakerClose(speaker);
  return 0;
}
