#include "listen/listener.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "voice_stream.h"

namespace pellix::listen {
namespace {

constexpr std::uint32_t kRate = 8000;

class CountingOutput final : public ListenerOutput {
 public:
  void Events(std::vector<analysis::Event> events, std::optional<Clock::time_point>) override {
    for (const analysis::Event& event : events) {
      if (const auto* record = std::get_if<analysis::Record>(&event)) {
        if (std::holds_alternative<analysis::CalibrationRecord>(*record)) ++calibrations;
        if (std::holds_alternative<analysis::CheckRecord>(*record)) ++checks;
        if (std::holds_alternative<analysis::ProfileRecord>(*record)) ++profiles;
      }
    }
  }
  int calibrations = 0;
  int checks = 0;
  int profiles = 0;
};

// Feeds `samples` as a float stream in 100 ms blocks, keeping the most frames ever held.
std::uint64_t Feed(Listener& listener, const std::vector<float>& samples) {
  std::vector<std::byte> block(kRate / 10 * sizeof(float));
  std::uint64_t most_held = 0;
  for (std::size_t at = 0; at < samples.size(); at += kRate / 10) {
    const std::size_t frames = std::min<std::size_t>(kRate / 10, samples.size() - at);
    std::memcpy(block.data(), samples.data() + at, frames * sizeof(float));
    listener.Feed({std::span<std::byte>(block).first(frames * sizeof(float)), frames},
                  Clock::now());
    most_held = std::max(most_held, listener.held_frames());
  }
  return most_held;
}

TEST(ListenerTest, HoldsNoMoreSoundThanTheLongestUtteranceHoweverLongItRuns) {
  ListenSettings settings;
  settings.calibrations = 0;
  CountingOutput output;
  analysis::SampleSource source;
  Listener listener(settings, {kRate, 1, SampleFormat::kF32}, source, output);
  ASSERT_TRUE(listener.Start());
  // An hour of a quiet room, a speaker who talks for 25 s without a pause, then twelve
  // answers, then a minute of the room again.
  testing::VoiceStream room(kRate, 1);
  room.Noise(-65).Pause(60);
  testing::VoiceStream talk(kRate, 2);
  talk.Noise(-65).Pause(1).Speech(25, -20).Pause(1);
  for (int i = 0; i < 12; ++i) talk.Voice(1.2, -20).Pause(0.8);
  talk.Pause(60);
  std::uint64_t held_in_room = 0;
  for (int minute = 0; minute < 60; ++minute)
    held_in_room = std::max(held_in_room, Feed(listener, room.samples()));
  const std::uint64_t held_in_talk = Feed(listener, talk.samples());
  listener.End();
  // The room: the onset reach (0.3 s) and a frame. The talk: the longest utterance (10 s),
  // the onset reach and the block that ended it.
  EXPECT_LE(held_in_room, kRate * 31 / 100);
  EXPECT_LE(held_in_talk, kRate * 104 / 10);
  // 25 s cut at 10 and 20 s: three utterances; then the twelve answers; a profile after ten
  // checks and one at the end.
  EXPECT_EQ(output.calibrations, 0);
  EXPECT_EQ(output.checks, 15);
  EXPECT_EQ(output.profiles, 2);
  EXPECT_EQ(listener.utterances(), 15u);
}

}  // namespace
}  // namespace pellix::listen
