// A speaker's session fed from a live stream: the segmenter finds each utterance, which
// becomes a take in memory (converted as any recording is) and goes to the session: the first
// ones calibrate, unless the state brought a calibration, and every further one is checked.
//
//   Listener listener(settings, stream.format(), source, output);
//   if (listener.Start()) {
//     while (...) listener.Feed(block, live_at);
//     listener.End();
//   }
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "analysis/records.h"
#include "analysis/sample_source.h"
#include "analysis/session.h"
#include "listen/segmenter.h"
#include "listen/sound_stream.h"
#include "listen/stream_format.h"
#include "listen/utterance_buffer.h"

namespace pellix::listen {

struct ListenSettings {
  SegmenterSettings segmenter;
  // Accepted calibrations to gather before checking, when the state brings no calibration
  // (the control keeps at most five).
  int calibrations = 3;
  analysis::SessionSettings session;
  std::optional<std::filesystem::path> keep;  // a folder to save each utterance in, as WAV
  int profile_every = 10;                     // checks recorded between profiles
};

// Where the listener's records and messages go, as they arise.
class ListenerOutput {
 public:
  virtual ~ListenerOutput() = default;
  // Records carry their utterance's place in the stream (TakeFacts::stream_start_s, _end_s).
  // `pause_ended`: for an utterance's events, when the pause that ended it was over, or the
  // stream ended or stalled (in the clock of the stream's live_at, and never later than the
  // sound that showed it arrived), so that the output can tell how long the row took.
  virtual void Events(std::vector<analysis::Event> events,
                      std::optional<Clock::time_point> pause_ended) = 0;
};

class Listener {
 public:
  Listener(ListenSettings settings, const StreamFormat& format, analysis::SampleSource& source,
           ListenerOutput& output);

  // Starts the session (the state, or a new control; the parameters). False, with the state's
  // failure written, when the state is unusable.
  bool Start();
  // The next frames of the stream; `live_at` is when the first of them was sound in the room.
  // Non-finite float samples are made silence (and counted).
  void Feed(SoundBlock block, Clock::time_point live_at);
  // The stream stalled: an utterance in progress ends at its last loud frame.
  void Stall();
  // The stream ended (or was stopped): the utterance in progress, the profile, the state saved.
  void End();

  bool failed() const { return session_.failed() || keep_failed_; }
  std::uint64_t utterances() const { return utterances_; }
  std::uint64_t non_finite() const { return non_finite_; }
  double seconds() const;
  // Frames of sound held for utterances to come (for tests of memory).
  std::uint64_t held_frames() const { return buffer_.end_frame() - buffer_.first_frame(); }

 private:
  void Analyse(const std::vector<Utterance>& ended, Clock::time_point anchor_at,
               std::uint64_t anchor, Clock::time_point arrived);
  analysis::Take MakeTake(const Utterance& utterance, const std::string& name);
  std::optional<std::string> Keep(const Utterance& utterance, std::vector<analysis::Event>& events);
  void Emit(std::vector<analysis::Event> events, std::optional<Clock::time_point> pause_ended);

  ListenSettings settings_;
  StreamFormat format_;
  ListenerOutput& output_;
  analysis::SampleSource& source_;
  analysis::Session session_;
  Segmenter segmenter_;
  UtteranceBuffer buffer_;
  std::vector<float> mono_;
  std::vector<Utterance> ended_;
  int calibrations_left_ = 0;
  int checks_since_profile_ = 0;
  bool profiled_since_check_ = false;
  std::uint64_t utterances_ = 0;
  std::uint64_t next_keep_number_ = 1;  // the next number to try for a kept utterance
  std::uint64_t next_part_number_ = 0;  // of the files the sound is written into first
  std::uint64_t non_finite_ = 0;
  bool keep_failed_ = false;
  bool started_ = false;
};

}  // namespace pellix::listen
