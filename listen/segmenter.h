// Utterances out of a stream of sound: a voice-activity segmenter that a live host feeds
// block by block and that tells where each utterance began and ended.
//
//   Segmenter segmenter(SegmenterSettings{}, 16000);
//   std::vector<Utterance> ended;
//   segmenter.Feed(mono_block, ended);   // as often as sound arrives
//   segmenter.End(ended);                // at the end of the stream
//
// The stream is cut into 10 ms frames and each frame's level (RMS, dBFS) compared with the
// noise floor: the quietest frame of the last few seconds. A frame opens an utterance when it
// is clearly above the floor (and above the quietest level taken for speech); once open, the
// utterance stays open while frames are merely above a lower threshold (hysteresis), and a
// pause ends it only when it has lasted the shortest pause (the hangover). An utterance starts
// where the level first rose above the lower threshold, and ends after its last frame above it.
// Bursts shorter than the shortest utterance are dropped (a click, a cough); an utterance that
// reaches the longest length is cut there, and what follows is a new utterance.
//
// A stream that opens with speech has no quiet frame to learn its floor from: its first frames
// set the floor and cannot stand above it. So while the opening is undecided (until a frame too
// quiet to be speech under any floor, the first utterance ended, a full floor window, or the
// longest utterance), every fall of the floor judges the frames so far again against the new
// floor, from the first frame on: speech that started the stream is found from its first
// sample, and noise that started it stays noise. Until then the sound from the stream's start
// is kept (KeepFrom).
//
// Memory is fixed by the settings: the segmenter holds levels, never sound.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pellix::listen {

struct SegmenterSettings {
  double shortest_pause_s = 0.3;       // silence at least this long ends an utterance
  double shortest_utterance_s = 0.25;  // shorter bursts are not utterances
  double longest_utterance_s = 10;     // an utterance is cut at this length
  double open_db = 12;                 // a frame this far above the floor opens an utterance
  double close_db = 6;                 // and frames this far above it keep it open
  double quietest_speech_dbfs = -50;   // nothing quieter opens an utterance, whatever the floor
  double floor_window_s = 3;           // the floor is the quietest frame of this much stream
};

// What is wrong with `settings` in words ("--shortest-pause must be ..."), or nothing.
std::string SettingsProblem(const SegmenterSettings& settings);

// How an utterance ended.
enum class Ending {
  kPause,    // by a pause of at least the shortest pause
  kLongest,  // cut at the longest utterance
  kStream,   // the stream ended, or stalled, while it was going on
};

// An utterance, in sample frames of the stream (one frame = one sample per channel).
struct Utterance {
  std::uint64_t start = 0;
  std::uint64_t end = 0;     // one past its last frame
  std::uint64_t closed = 0;  // the stream position at which it was known to have ended
  Ending ending = Ending::kPause;
};

class Segmenter {
 public:
  // `rate`: frames per second of the stream. The settings must pass SettingsProblem.
  Segmenter(const SegmenterSettings& settings, std::uint32_t rate);

  // Feeds the next `mono` samples (full scale -1 to 1; the mean of a frame's channels) and
  // appends the utterances they ended to `ended`, in order.
  void Feed(std::span<const float> mono, std::vector<Utterance>& ended);
  // Ends an utterance in progress at its last loud frame, as if a long pause had come: at the
  // end of the stream, or when it stalls. The partial frame so far is counted first.
  void End(std::vector<Utterance>& ended);

  // Frames fed so far.
  std::uint64_t position() const { return position_; }
  // The earliest frame an utterance not yet reported can start at: a caller that keeps the
  // stream's sound for the utterances may drop everything before it.
  std::uint64_t KeepFrom() const;
  // The current noise floor in dBFS (for messages and tests).
  double floor_dbfs() const { return floor_; }

 private:
  void Frame(double level, std::vector<Utterance>& ended);
  void Rejudge(std::vector<Utterance>& ended);
  void Step(double level, std::uint64_t frame_end, std::vector<Utterance>& ended);
  void Close(std::uint64_t end, Ending ending, std::vector<Utterance>& ended);

  std::uint32_t frame_length_;  // samples per 10 ms frame
  std::uint64_t shortest_pause_;
  std::uint64_t shortest_utterance_;
  std::uint64_t longest_utterance_;
  std::uint64_t onset_reach_;  // how far back before the opening frame a start may lie
  double open_db_;
  double close_db_;
  double quietest_speech_;

  std::vector<double> levels_;  // the last frames' levels, a ring
  std::size_t next_level_ = 0;
  std::size_t levels_seen_ = 0;
  double floor_ = 0;
  // The stream's opening is still undecided: every frame so far may yet prove to be speech
  // once a quieter frame shows the floor, so none of the sound may be dropped.
  bool at_start_ = true;

  std::uint64_t position_ = 0;  // frames fed
  double frame_energy_ = 0;     // sum of squares of the frame so far
  std::uint32_t frame_filled_ = 0;

  bool open_ = false;
  std::uint64_t start_ = 0;       // of the utterance in progress
  std::uint64_t loud_end_ = 0;    // one past its last frame above the lower threshold
  bool rising_ = false;           // frames above the lower threshold, not yet opened
  std::uint64_t rise_start_ = 0;  // where they began
};

}  // namespace pellix::listen
