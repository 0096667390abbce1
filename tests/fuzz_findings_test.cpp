// What the fuzzers found, kept as tests: each input lives in the fuzzer's seed corpus, so the
// fuzz smoke run replays it too.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "audio/audio_converter.h"

namespace pellix {
namespace {

std::vector<std::uint8_t> CorpusInput(const std::string& target, const std::string& name) {
  std::ifstream in(std::string(PELLIX_SOURCE_DIR) + "/fuzz/corpus/" + target + "/" + name,
                   std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FuzzFindingsTest, ARecordingThatCannotSeekIsConvertedWholeButKeepsOnlyWhatWasAsked) {
  // A damaged WAV header that libsndfile reads as a stream it cannot seek in: the conversion
  // must still keep at most the 300 samples asked for (the input's first byte chose 300).
  const std::vector<std::uint8_t> input =
      CorpusInput("convert", "regression_unseekable_keeps_what_was_asked");
  ASSERT_GT(input.size(), 1u);
  const ConvertedRecording take =
      ConvertRecordingBytes(std::span(input).subspan(1), kDefaultSampleRate, 300);
  EXPECT_LE(take.samples.size(), 300u);
  EXPECT_GE(take.total_samples, take.samples.size());
}

}  // namespace
}  // namespace pellix
