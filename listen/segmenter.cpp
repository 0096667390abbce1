#include "listen/segmenter.h"

#include <algorithm>
#include <cmath>

namespace pellix::listen {
namespace {

constexpr double kFrameSeconds = 0.01;
// A level below this (a frame of digital silence) counts as this.
constexpr double kSilentDbfs = -120;
// An utterance starts at most this long before the frame that opened it: a voice rises
// from the lower threshold to the upper in far less, and a long stretch of noise hovering
// between the two must not make the caller keep its sound.
constexpr double kOnsetReachSeconds = 0.3;

std::uint64_t Frames(double seconds, std::uint32_t frame_length, std::uint32_t rate) {
  const double frames = std::ceil(seconds * rate / frame_length - 1e-9);
  return static_cast<std::uint64_t>(std::max(1.0, frames)) * frame_length;
}

bool Within(double value, double low, double high) {
  return std::isfinite(value) && value >= low && value <= high;
}

}  // namespace

std::string SettingsProblem(const SegmenterSettings& s) {
  if (!Within(s.shortest_pause_s, 0.05, 10)) return "the shortest pause must be 0.05 to 10 s";
  if (!Within(s.shortest_utterance_s, 0.01, 10))
    return "the shortest utterance must be 0.01 to 10 s";
  if (!Within(s.longest_utterance_s, 0.5, 60)) return "the longest utterance must be 0.5 to 60 s";
  if (s.longest_utterance_s <= s.shortest_utterance_s)
    return "the longest utterance must be longer than the shortest";
  if (!Within(s.open_db, 1, 60)) return "the opening threshold must be 1 to 60 dB above the floor";
  if (!Within(s.close_db, 0, 60) || s.close_db >= s.open_db)
    return "the closing threshold must be 0 dB or more above the floor, and below the opening one";
  if (!Within(s.quietest_speech_dbfs, -100, 0)) return "the quietest speech must be -100 to 0 dBFS";
  if (!Within(s.floor_window_s, 0.5, 60)) return "the floor window must be 0.5 to 60 s";
  return {};
}

Segmenter::Segmenter(const SegmenterSettings& s, std::uint32_t rate)
    : frame_length_(std::max<std::uint32_t>(
          1, static_cast<std::uint32_t>(std::lround(rate * kFrameSeconds)))),
      shortest_pause_(Frames(s.shortest_pause_s, frame_length_, rate)),
      shortest_utterance_(Frames(s.shortest_utterance_s, frame_length_, rate)),
      longest_utterance_(Frames(s.longest_utterance_s, frame_length_, rate)),
      onset_reach_(Frames(kOnsetReachSeconds, frame_length_, rate)),
      open_db_(s.open_db),
      close_db_(s.close_db),
      quietest_speech_(s.quietest_speech_dbfs),
      levels_(
          static_cast<std::size_t>(Frames(s.floor_window_s, frame_length_, rate) / frame_length_)) {
}

void Segmenter::Feed(std::span<const float> mono, std::vector<Utterance>& ended) {
  for (const float sample : mono) {
    const double value = sample;
    frame_energy_ += value * value;
    ++position_;
    if (++frame_filled_ == frame_length_) {
      const double mean = frame_energy_ / frame_length_;
      frame_energy_ = 0;
      frame_filled_ = 0;
      Frame(mean, ended);
    }
  }
}

void Segmenter::End(std::vector<Utterance>& ended) {
  if (frame_filled_ > 0) {
    const double mean = frame_energy_ / frame_filled_;
    frame_energy_ = 0;
    frame_filled_ = 0;
    Frame(mean, ended);
  }
  if (open_) Close(loud_end_, Ending::kStream, ended);
  rising_ = false;
  // Whatever follows a stall is judged as it comes: the frames before it are done with.
  at_start_ = false;
}

std::uint64_t Segmenter::KeepFrom() const {
  if (at_start_) return 0;
  if (open_) return start_;
  const std::uint64_t frame_start = position_ - frame_filled_;
  if (!rising_) return frame_start;
  return std::max(rise_start_, frame_start > onset_reach_ ? frame_start - onset_reach_ : 0);
}

// One frame ending at position_, of mean square `mean`.
void Segmenter::Frame(double mean, std::vector<Utterance>& ended) {
  const double level = mean > 0 && std::isfinite(mean)
                           ? std::max(kSilentDbfs, 10 * std::log10(mean))
                           : (mean > 0 ? 0.0 : kSilentDbfs);
  const double earlier_floor = floor_;
  levels_[next_level_] = level;
  next_level_ = (next_level_ + 1) % levels_.size();
  levels_seen_ = std::min(levels_seen_ + 1, levels_.size());
  floor_ = *std::min_element(levels_.begin(), levels_.begin() + levels_seen_);

  if (at_start_ && floor_ < earlier_floor) {
    Rejudge(ended);
  } else {
    Step(level, position_, ended);
  }
  // The opening is decided once a frame comes that no floor could make part of an utterance,
  // once the window is full (the ring then starts to forget the first frames), or at the
  // longest utterance; and once an utterance was reported (Close).
  if (level < quietest_speech_ - open_db_ + close_db_ || levels_seen_ == levels_.size() ||
      position_ >= longest_utterance_)
    at_start_ = false;
}

// The floor has just fallen while the stream's opening is undecided: the frames so far are
// judged again against it, as if it had been known from the first frame. Until then, speech
// that began the stream set the floor itself and could not stand above it.
void Segmenter::Rejudge(std::vector<Utterance>& ended) {
  open_ = false;
  rising_ = false;
  // The ring holds every frame so far, in order; all are whole but the last (the end's part).
  for (std::size_t i = 0; i < levels_seen_; ++i) {
    Step(levels_[i], i + 1 == levels_seen_ ? position_ : (i + 1) * std::uint64_t{frame_length_},
         ended);
  }
}

// Moves the utterance state on by one frame of `level` ending at `frame_end`.
void Segmenter::Step(double level, std::uint64_t frame_end, std::vector<Utterance>& ended) {
  // The lower threshold keeps its distance below the upper one where the quietest speech
  // lifts the upper above the floor (digital silence, a very quiet room).
  const double open_level = std::max(floor_ + open_db_, quietest_speech_);
  const double close_level = open_level - (open_db_ - close_db_);
  const bool loud = level >= close_level;
  const std::uint64_t frame_start = frame_end - std::min<std::uint64_t>(frame_end, frame_length_);

  if (!open_) {
    if (!loud) {
      rising_ = false;
      return;
    }
    if (!rising_) {
      rising_ = true;
      rise_start_ = frame_start;
    }
    if (level < open_level) return;
    open_ = true;
    rising_ = false;
    start_ = std::max(rise_start_, frame_start > onset_reach_ ? frame_start - onset_reach_ : 0);
    loud_end_ = frame_end;
    return;
  }

  if (loud) loud_end_ = frame_end;
  if (frame_end - loud_end_ >= shortest_pause_) {
    Close(loud_end_, Ending::kPause, ended);
  } else if (frame_end - start_ >= longest_utterance_) {
    // Cut at the longest length; a voice still sounding goes on as the next utterance.
    Close(loud ? frame_end : loud_end_, Ending::kLongest, ended);
    if (loud) {
      open_ = true;
      start_ = frame_end;
      loud_end_ = frame_end;
    }
  }
}

void Segmenter::Close(std::uint64_t end, Ending ending, std::vector<Utterance>& ended) {
  open_ = false;
  at_start_ = false;
  if (ending == Ending::kLongest || end - start_ >= shortest_utterance_)
    ended.push_back({start_, end, position_, ending});
}

}  // namespace pellix::listen
