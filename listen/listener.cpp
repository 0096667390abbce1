#include "listen/listener.h"

#include <fcntl.h>
#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <utility>

#include "analysis/memory_take.h"
#include "files/file_system.h"
#include "platform/error.h"

namespace pellix::listen {
namespace {

using analysis::Event;
using analysis::Message;
using analysis::Record;

constexpr const char* kKeptPrefix = "utterance-";

std::string Number4(std::uint64_t n) {
  char text[32];
  std::snprintf(text, sizeof text, "%04llu", static_cast<unsigned long long>(n));
  return text;
}

// One past the highest number of the utterances an earlier run kept in `folder`, so that a
// new run never overwrites them.
std::uint64_t NextKeptNumber(const std::filesystem::path& folder) {
  std::uint64_t next = 1;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(kKeptPrefix, 0) != 0 || entry.path().extension() != ".wav") continue;
    const std::string digits = entry.path().stem().string().substr(std::strlen(kKeptPrefix));
    if (digits.empty() || digits.size() > 12 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
      continue;
    next = std::max<std::uint64_t>(next, std::stoull(digits) + 1);
  }
  return next;
}

Clock::time_point After(Clock::time_point at, std::uint64_t frames, std::uint32_t rate) {
  return at + std::chrono::duration_cast<Clock::duration>(
                  std::chrono::duration<double>(static_cast<double>(frames) / rate));
}

// The first take of a process loads the pitch tracker's library, sets up the resampler and
// touches the engine's state for the first time; a throwaway session checks a tenth of a second
// of tone before the stream starts, so that the first utterance's row comes as fast as every
// other's. Every take is analysed as the first of a fresh process would be, so this changes no
// result.
void WarmUp(const StreamFormat& format, analysis::SampleSource& source) {
  std::vector<float> tone(format.rate / 10 * format.channels);
  for (std::size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<float>(0.5 * std::sin(static_cast<double>(i) * 0.07));
  analysis::Session session("", {}, source);
  if (session.Start())
    session.Check(analysis::PcmTake(std::move(tone), format.rate, format.channels, "warm-up"));
}

// Gives the sound of `part` the name `path` where no file has that name yet: 0, EEXIST when
// one has, or the errno of the failure. `part` is linked there; in a folder that has no hard
// links (a FAT stick) the name is taken first and `part` renamed over it.
int PlaceExclusively(const std::filesystem::path& part, const std::filesystem::path& path) {
  if (::link(part.c_str(), path.c_str()) == 0) return 0;
  if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK) return errno;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  ::close(fd);
  if (::rename(part.c_str(), path.c_str()) == 0) return 0;
  const int e = errno;
  ::unlink(path.c_str());
  return e;
}

// Why keeping an utterance failed: the cause in words and the error number it stands for.
struct KeepFailure {
  std::string cause;
  int number = kPathFileAccessError;
};

KeepFailure SystemFailure(int errno_value) {
  return {std::strerror(errno_value), FileErrorNumber(errno_value)};
}

// A hidden file of this process's own that an utterance's sound is written into first.
struct PartFile {
  int fd = -1;  // -1 when none could be created
  std::filesystem::path path;
};

// Creates a part file in `folder` under the first of this process's numbers from `next` that no
// file has (`next` moves past those tried); a descriptor of -1, with `failure` said, when none
// can be created.
PartFile CreatePartFile(const std::filesystem::path& folder, std::uint64_t& next,
                        std::optional<KeepFailure>& failure) {
  PartFile part;
  for (int attempt = 0; part.fd < 0 && attempt < 100; ++attempt) {
    part.path = folder / ("." + std::string(kKeptPrefix) + std::to_string(::getpid()) + "-" +
                          std::to_string(next++) + ".wav.part");
    part.fd = ::open(part.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (part.fd < 0 && errno != EEXIST) break;
  }
  if (part.fd < 0) failure = SystemFailure(errno);
  return part;
}

// Writes `frames` frames of `bytes`, in `format`, as a WAV into `fd` and closes it; the failure,
// when there was one.
std::optional<KeepFailure> WriteWav(int fd, std::span<const std::byte> bytes, sf_count_t frames,
                                    const StreamFormat& format) {
  std::string error;
  SF_INFO info{};
  info.samplerate = static_cast<int>(format.rate);
  info.channels = static_cast<int>(format.channels);
  info.format =
      SF_FORMAT_WAV | (format.format == SampleFormat::kS16 ? SF_FORMAT_PCM_16 : SF_FORMAT_FLOAT);
  if (SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE)) {
    const sf_count_t written =
        format.format == SampleFormat::kS16
            ? sf_writef_short(file, reinterpret_cast<const short*>(bytes.data()), frames)
            : sf_writef_float(file, reinterpret_cast<const float*>(bytes.data()), frames);
    if (written != frames) error = sf_strerror(file);
    if (sf_close(file) != 0 && error.empty()) error = "closing failed";
  } else {
    error = sf_strerror(nullptr);
  }
  if (::close(fd) != 0 && error.empty()) return SystemFailure(errno);
  if (!error.empty()) return KeepFailure{error};
  return std::nullopt;
}

// Puts `part` in place in `folder` under the first kept name from number `next` that no file
// has (`next` moves past it): that name's path, or nothing, with `failure` said.
std::optional<std::string> PlaceUnderNextName(const std::filesystem::path& part,
                                              const std::filesystem::path& folder,
                                              std::uint64_t& next,
                                              std::optional<KeepFailure>& failure) {
  for (;;) {
    const std::filesystem::path path = folder / (std::string(kKeptPrefix) + Number4(next) + ".wav");
    const int e = PlaceExclusively(part, path);
    if (e != 0 && e != EEXIST) {
      failure = SystemFailure(e);
      return std::nullopt;
    }
    ++next;
    if (e == 0) return path.string();
  }
}

}  // namespace

Listener::Listener(ListenSettings settings, const StreamFormat& format,
                   analysis::SampleSource& source, ListenerOutput& output)
    : settings_(std::move(settings)),
      format_(format),
      output_(output),
      source_(source),
      session_("", settings_.session, source),
      segmenter_(settings_.segmenter, format.rate),
      buffer_(format.frame_bytes()) {
  if (settings_.keep) next_keep_number_ = NextKeptNumber(*settings_.keep);
}

bool Listener::Start() {
  WarmUp(format_, source_);
  started_ = session_.Start();
  // A state that brings a calibration is checked against from the first utterance.
  calibrations_left_ = session_.calibrated() ? 0 : settings_.calibrations;
  Emit(session_.TakeEvents(), std::nullopt);
  return started_;
}

double Listener::seconds() const {
  return static_cast<double>(segmenter_.position()) / format_.rate;
}

void Listener::Feed(SoundBlock block, Clock::time_point live_at) {
  const Clock::time_point arrived = Clock::now();
  const std::size_t cleared = ClearNonFinite(format_, block);
  if (cleared > 0 && non_finite_ == 0) {
    Emit({Message{false, "the stream holds samples that are not numbers or are infinite, at " +
                             std::to_string(seconds()) +
                             " s; they are taken as silence (the count comes at the end)"}},
         std::nullopt);
  }
  non_finite_ += cleared;
  buffer_.Append(block.bytes.first(block.frames * format_.frame_bytes()));
  MixDown(format_, block, mono_);
  const std::uint64_t anchor = segmenter_.position();
  ended_.clear();
  segmenter_.Feed(mono_, ended_);
  Analyse(ended_, live_at, anchor, arrived);
  buffer_.DropBefore(segmenter_.KeepFrom());
}

void Listener::Stall() {
  ended_.clear();
  segmenter_.End(ended_);
  const Clock::time_point now = Clock::now();
  Analyse(ended_, now, segmenter_.position(), now);
  buffer_.DropBefore(segmenter_.KeepFrom());
}

void Listener::End() {
  if (!started_) return;
  Stall();
  if (non_finite_ > 0) {
    Emit({Message{false, std::to_string(non_finite_) +
                             " samples of the stream were not numbers or infinite, and were "
                             "taken as silence"}},
         std::nullopt);
  }
  if (!profiled_since_check_) session_.Profile();
  session_.Finish();
  Emit(session_.TakeEvents(), std::nullopt);
}

void Listener::Analyse(const std::vector<Utterance>& ended, Clock::time_point anchor_at,
                       std::uint64_t anchor, Clock::time_point arrived) {
  for (const Utterance& utterance : ended) {
    ++utterances_;
    std::vector<Event> events;
    // A row names the file its sound is in, or, where none was kept, the utterance.
    std::optional<std::string> kept;
    if (settings_.keep) kept = Keep(utterance, events);
    const std::string name = kept ? *kept : "utterance " + std::to_string(utterances_);
    const analysis::Take take = MakeTake(utterance, name);
    const bool calibrating = calibrations_left_ > 0;
    if (calibrating) {
      session_.Calibrate(take);
    } else {
      session_.Check(take);
    }
    const double start_s = static_cast<double>(utterance.start) / format_.rate;
    const double end_s = static_cast<double>(utterance.end) / format_.rate;
    for (Event& event : session_.TakeEvents()) {
      if (auto* record = std::get_if<Record>(&event)) {
        if (auto* c = std::get_if<analysis::CalibrationRecord>(record)) {
          c->facts.stream_start_s = start_s;
          c->facts.stream_end_s = end_s;
          if (c->accepted()) --calibrations_left_;
        } else if (auto* k = std::get_if<analysis::CheckRecord>(record)) {
          k->facts.stream_start_s = start_s;
          k->facts.stream_end_s = end_s;
          if (k->stress) {
            ++checks_since_profile_;
            profiled_since_check_ = false;
          }
        }
      }
      events.push_back(std::move(event));
    }
    if (utterance.ending == Ending::kLongest) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "%s reached the longest utterance (%.1f s) and was cut there: the speaker "
                    "went on without a pause",
                    name.c_str(), end_s - start_s);
      events.push_back(Message{false, text});
    }
    // The sound that showed the utterance over cannot have been heard after it arrived: a
    // stream read faster than real time would otherwise place its pause in the future.
    Emit(std::move(events),
         std::min(After(anchor_at, utterance.closed - anchor, format_.rate), arrived));
    if (checks_since_profile_ >= settings_.profile_every) {
      checks_since_profile_ = 0;
      profiled_since_check_ = true;
      session_.Profile();
      Emit(session_.TakeEvents(), std::nullopt);
    }
  }
}

analysis::Take Listener::MakeTake(const Utterance& utterance, const std::string& name) {
  const std::span<const std::byte> bytes = buffer_.Frames(utterance.start, utterance.end);
  if (format_.format == SampleFormat::kS16) {
    std::vector<std::int16_t> samples(bytes.size() / sizeof(std::int16_t));
    std::memcpy(samples.data(), bytes.data(), bytes.size());
    return analysis::PcmTake(std::move(samples), format_.rate, format_.channels, name);
  }
  std::vector<float> samples(bytes.size() / sizeof(float));
  std::memcpy(samples.data(), bytes.data(), bytes.size());
  return analysis::PcmTake(std::move(samples), format_.rate, format_.channels, name);
}

// Saves the utterance as a WAV in the keep folder under the next free number and returns its
// path; on failure an error message joins `events` and nothing is returned. The sound is
// written into a file of this run's own beside, then put in place under a name no file has
// yet: neither an earlier run's utterances nor those of another run keeping into the same
// folder at the same time are ever overwritten, and a kept file is always whole.
std::optional<std::string> Listener::Keep(const Utterance& utterance, std::vector<Event>& events) {
  const std::filesystem::path& folder = *settings_.keep;
  std::optional<KeepFailure> failure;
  std::optional<std::string> kept;
  const PartFile part = CreatePartFile(folder, next_part_number_, failure);
  if (part.fd >= 0) {
    failure = WriteWav(part.fd, buffer_.Frames(utterance.start, utterance.end),
                       static_cast<sf_count_t>(utterance.end - utterance.start), format_);
    if (!failure) kept = PlaceUnderNextName(part.path, folder, next_keep_number_, failure);
    ::unlink(part.path.c_str());
  }
  if (!kept) {
    keep_failed_ = true;
    events.push_back(Message{true, "cannot keep utterance " + std::to_string(utterances_) +
                                       " in '" + folder.string() + "': " + failure->cause +
                                       " (error " + std::to_string(failure->number) + ")"});
  }
  return kept;
}

void Listener::Emit(std::vector<Event> events, std::optional<Clock::time_point> pause_ended) {
  if (events.empty()) return;
  output_.Events(std::move(events), pause_ended);
}

}  // namespace pellix::listen
