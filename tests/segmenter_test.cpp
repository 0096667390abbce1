#include "listen/segmenter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "voice_stream.h"

namespace pellix::listen {
namespace {

using testing::Burst;
using testing::VoiceStream;

constexpr std::uint32_t kRate = 16000;
constexpr double kTolerance = 0.030;  // seconds between a boundary found and the truth

std::vector<Utterance> Segment(const std::vector<float>& samples, const SegmenterSettings& settings,
                               std::size_t block = 160) {
  Segmenter segmenter(settings, kRate);
  std::vector<Utterance> ended;
  for (std::size_t at = 0; at < samples.size(); at += block) {
    const std::size_t n = std::min(block, samples.size() - at);
    segmenter.Feed(std::span<const float>(samples).subspan(at, n), ended);
  }
  segmenter.End(ended);
  return ended;
}

double Seconds(std::uint64_t frames) {
  return static_cast<double>(frames) / kRate;
}

void ExpectBoundaries(const std::vector<Utterance>& found, const std::vector<Burst>& truth) {
  ASSERT_EQ(found.size(), truth.size()) << "an utterance was split, merged, missed or invented";
  for (std::size_t i = 0; i < truth.size(); ++i) {
    EXPECT_NEAR(Seconds(found[i].start), truth[i].start_s, kTolerance) << "start of " << i;
    EXPECT_NEAR(Seconds(found[i].end), truth[i].end_s, kTolerance) << "end of " << i;
  }
}

struct StreamCase {
  const char* name;
  VoiceStream stream;
};

// Bursts with pauses known to the sample, in a range of rooms: each must be found whole.
std::vector<StreamCase> Streams() {
  std::vector<StreamCase> cases;
  cases.push_back({"digital silence between bursts", VoiceStream(kRate)
                                                         .Pause(0.5)
                                                         .Voice(0.6, -20)
                                                         .Pause(0.5)
                                                         .Voice(1.5, -20)
                                                         .Pause(0.8)
                                                         .Voice(2.4, -20)
                                                         .Pause(1.2)});
  cases.push_back({"a steady noise floor", VoiceStream(kRate, 2)
                                               .Noise(-55)
                                               .Pause(1.0)
                                               .Voice(1.2, -25)
                                               .Pause(0.4)
                                               .Voice(0.8, -25)
                                               .Pause(0.35)
                                               .Voice(2.0, -25)
                                               .Pause(1.0)});
  cases.push_back({"speech from whisper to shout", VoiceStream(kRate, 3)
                                                       .Noise(-70)
                                                       .Pause(1.0)
                                                       .Voice(1.0, -42)
                                                       .Pause(0.6)
                                                       .Voice(1.0, -8)
                                                       .Pause(0.6)
                                                       .Voice(1.5, -30)
                                                       .Pause(0.6)
                                                       .Voice(0.7, -4)
                                                       .Pause(0.8)});
  cases.push_back({"a noise floor rising 20 dB", VoiceStream(kRate, 4)
                                                     .Noise(-70)
                                                     .Pause(1.0)
                                                     .Voice(1.0, -20)
                                                     .Noise(-70, -60)
                                                     .Pause(6.0)
                                                     .Noise(-60)
                                                     .Voice(1.0, -20)
                                                     .Noise(-60, -50)
                                                     .Pause(6.0)
                                                     .Noise(-50)
                                                     .Voice(1.0, -20)
                                                     .Pause(1.0)});
  cases.push_back({"a noise floor falling 25 dB", VoiceStream(kRate, 5)
                                                      .Noise(-45)
                                                      .Pause(1.0)
                                                      .Voice(1.0, -15)
                                                      .Noise(-45, -70)
                                                      .Pause(2.0)
                                                      .Noise(-70)
                                                      .Voice(0.9, -35)
                                                      .Pause(0.7)});
  // A stream that opens with speech has no floor to go by until its first pause, one that
  // opens with loud noise must not be taken for speech while the floor is learnt.
  cases.push_back(
      {"speech from the first sample",
       VoiceStream(kRate, 6).Noise(-60).Voice(0.8, -20).Pause(0.9).Voice(1.0, -20).Pause(0.9)});
  cases.push_back(
      {"speech from the first sample in a loud room",
       VoiceStream(kRate, 7).Noise(-40).Speech(1.6, -12).Pause(0.9).Voice(1.0, -12).Pause(0.9)});
  cases.push_back({"loud noise from the first sample",
                   VoiceStream(kRate, 8).Noise(-40).Pause(1.5).Voice(1.0, -12).Pause(0.9)});
  return cases;
}

TEST(SegmenterTest, FindsEachBurstWithinThirtyMilliseconds) {
  for (StreamCase& c : Streams()) {
    SCOPED_TRACE(c.name);
    ExpectBoundaries(Segment(c.stream.samples(), {}), c.stream.bursts());
  }
}

TEST(SegmenterTest, BlockSizesDoNotChangeTheBoundaries) {
  const VoiceStream stream = Streams()[2].stream;
  const std::vector<Utterance> by_frame = Segment(stream.samples(), {}, 160);
  for (std::size_t block : {1, 37, 4096, 1 << 20}) {
    const std::vector<Utterance> other = Segment(stream.samples(), {}, block);
    ASSERT_EQ(other.size(), by_frame.size()) << block;
    for (std::size_t i = 0; i < other.size(); ++i) {
      EXPECT_EQ(other[i].start, by_frame[i].start) << block;
      EXPECT_EQ(other[i].end, by_frame[i].end) << block;
    }
  }
}

TEST(SegmenterTest, ThePauseSettingDecidesWhatIsOneUtterance) {
  // Two bursts 0.2 s apart, then a third after 0.5 s.
  VoiceStream stream(kRate, 6);
  stream.Noise(-60).Pause(1).Voice(0.8, -20).Pause(0.2).Voice(0.8, -20).Pause(0.5).Voice(0.8, -20);
  stream.Pause(1);
  const std::vector<Burst>& b = stream.bursts();
  struct Case {
    double shortest_pause_s;
    std::vector<Burst> utterances;
  };
  const Case cases[] = {
      {0.15, {b[0], b[1], b[2]}},
      {0.3, {{b[0].start_s, b[1].end_s}, b[2]}},
      {0.6, {{b[0].start_s, b[2].end_s}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shortest_pause_s);
    SegmenterSettings settings;
    settings.shortest_pause_s = c.shortest_pause_s;
    ExpectBoundaries(Segment(stream.samples(), settings), c.utterances);
  }
}

TEST(SegmenterTest, EachUtteranceIsReportedOneShortestPauseAfterItsEnd) {
  VoiceStream stream(kRate);
  stream.Pause(0.5).Voice(1, -20).Pause(2);
  const std::vector<Utterance> found = Segment(stream.samples(), {});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].ending, Ending::kPause);
  // Closed at the end of the first frame that completes 0.3 s of pause.
  EXPECT_EQ(found[0].closed - found[0].end, 4800u);
}

TEST(SegmenterTest, ClicksShorterThanTheShortestUtteranceAreDropped) {
  VoiceStream stream(kRate, 7);
  stream.Noise(-60).Pause(1).Voice(0.1, -10).Pause(1).Voice(0.4, -20).Pause(1).Voice(0.2, -10);
  stream.Pause(1);
  const std::vector<Burst> truth = {stream.bursts()[1]};
  ExpectBoundaries(Segment(stream.samples(), {}), truth);
}

TEST(SegmenterTest, ABurstOfExactlyTheShortestUtteranceIsKept) {
  // From digital silence, a tone on whole 10 ms frames (160 samples) opens with its first frame
  // and ends after its last: 25 frames are the shortest utterance of 0.25 s, 24 are a click.
  for (const std::size_t frames : {24u, 25u, 26u}) {
    std::vector<float> samples(1600, 0.0f);
    for (std::size_t i = 0; i < frames * 160; ++i) {
      samples.push_back(static_cast<float>(0.1 * std::sin(0.08 * static_cast<double>(i))));
    }
    samples.resize(samples.size() + 8000, 0.0f);
    const std::vector<Utterance> found = Segment(samples, SegmenterSettings{});
    ASSERT_EQ(found.size(), frames >= 25 ? 1u : 0u) << frames;
    if (found.empty()) continue;
    EXPECT_EQ(found[0].start, 1600u);
    EXPECT_EQ(found[0].end, 1600 + frames * 160);
  }
}

TEST(SegmenterTest, ASpeakerWhoNeverPausesIsCutAtTheLongestUtterance) {
  VoiceStream stream(kRate, 8);
  stream.Noise(-60).Pause(1).Speech(7.2, -20).Pause(1);
  SegmenterSettings settings;
  settings.longest_utterance_s = 3;
  const std::vector<Utterance> found = Segment(stream.samples(), settings);
  const double start = stream.bursts()[0].start_s;
  ExpectBoundaries(
      found, {{start, start + 3}, {start + 3, start + 6}, {start + 6, stream.bursts()[0].end_s}});
  EXPECT_EQ(found[0].ending, Ending::kLongest);
  EXPECT_EQ(found[1].ending, Ending::kLongest);
  EXPECT_EQ(found[2].ending, Ending::kPause);
  EXPECT_EQ(found[0].end - found[0].start, 3u * kRate);
}

TEST(SegmenterTest, TheEndOfTheStreamEndsAnUtteranceAtItsLastLoudFrame) {
  VoiceStream stream(kRate);
  stream.Pause(0.5).Voice(1, -20).Pause(0.1);
  const std::vector<Utterance> found = Segment(stream.samples(), {});
  ExpectBoundaries(found, stream.bursts());
  EXPECT_EQ(found[0].ending, Ending::kStream);
}

TEST(SegmenterTest, NothingQuieterThanTheQuietestSpeechOpensAnUtterance) {
  VoiceStream stream(kRate);
  stream.Pause(1).Voice(1, -60).Pause(1);
  EXPECT_TRUE(Segment(stream.samples(), {}).empty());
  SegmenterSettings settings;
  settings.quietest_speech_dbfs = -70;
  ExpectBoundaries(Segment(stream.samples(), settings), stream.bursts());
}

TEST(SegmenterTest, NoiseHoveringBetweenTheThresholdsKeepsNoSoundBack) {
  // A minute of noise whose level swings 8 dB above and below, over a floor it set itself:
  // frames rise above the lower threshold and fall back, never opening an utterance.
  Segmenter segmenter({}, kRate);
  std::vector<Utterance> ended;
  std::vector<float> block(160);
  for (int frame = 0; frame < 6000; ++frame) {
    const float level = frame % 400 < 200 ? 0.001f : 0.0025f;
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = i % 2 ? level : -level;
    segmenter.Feed(block, ended);
    EXPECT_LE(segmenter.position() - segmenter.KeepFrom(), 4800u + 160u);
  }
  EXPECT_TRUE(ended.empty());
}

TEST(SegmenterTest, SettingsOutsideTheirRangesAreNamed) {
  struct Case {
    SegmenterSettings settings;
    std::string problem;
  };
  SegmenterSettings nan_pause;
  nan_pause.shortest_pause_s = NAN;
  SegmenterSettings inverted;
  inverted.shortest_utterance_s = 5;
  inverted.longest_utterance_s = 4;
  SegmenterSettings thresholds;
  thresholds.close_db = 12;
  const Case cases[] = {
      {{}, ""},
      {nan_pause, "the shortest pause must be 0.05 to 10 s"},
      {inverted, "the longest utterance must be longer than the shortest"},
      {thresholds,
       "the closing threshold must be 0 dB or more above the floor, and below the opening one"},
  };
  for (const Case& c : cases) EXPECT_EQ(SettingsProblem(c.settings), c.problem);
}

}  // namespace
}  // namespace pellix::listen
