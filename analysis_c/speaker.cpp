// The C interface of PellixAnalysis.h over analysis::Session. Nothing but a number and a
// message leaves a call: every exception ends at the boundary.
#include <cmath>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "PellixAnalysis.h"
#include "analysis/check_history.h"
#include "analysis/manifest.h"
#include "analysis/profile_reading.h"
#include "analysis/report.h"
#include "analysis/result_meanings.h"
#include "analysis/sample_source.h"
#include "analysis/session.h"
#include "analysis/state_file.h"
#include "analysis/take_facts.h"
#include "analysis_c/failure.h"
#include "platform/error.h"

namespace {

using namespace pellix;
using namespace pellix::analysis;
using pellix::analysis_c::Failure;

constexpr double kNotMeasured = std::numeric_limits<double>::quiet_NaN();

// The flag bits of the header are the flags' places in kTakeFlags.
static_assert(kTakeFlags.size() == 6 && kTakeFlags[0].name == "clipped" &&
              kTakeFlags[1].name == "very_quiet" && kTakeFlags[2].name == "short_stretch" &&
              kTakeFlags[3].name == "no_voiced_speech" && kTakeFlags[4].name == "steady_tone" &&
              kTakeFlags[5].name == "pitch_mismatch");
static_assert(PELLIX_FLAG_STEADY_TONE == 1 << 4 && PELLIX_FLAG_PITCH_MISMATCH == 1 << 5);
static_assert(int{PELLIX_INVALID_ARGUMENT} == int{kInvalidProcedureCall} &&
              int{PELLIX_OUT_OF_MEMORY} == int{kOutOfMemory} &&
              int{PELLIX_INTERNAL_ERROR} == int{kInternalError} &&
              int{PELLIX_INVALID_FILE_FORMAT} == int{kInvalidFileFormat});
static_assert(int{PELLIX_STATE_FILE_BUSY} == 55);  // the platform's "File already open"

// A figure as its number; NaN for one not measured, or published as no number.
double Number(const std::optional<double>& value) {
  return value.value_or(kNotMeasured);
}

std::string Row(ReportFormat format, const Record& record) {
  std::string line = MakeReport(format, {})->Format(record);
  if (!line.empty() && line.back() == '\n') line.pop_back();
  return line;
}

}  // namespace

struct PellixSpeaker {
  std::mutex mutex;
  std::string name;  // what its rows' speaker column shows; empty for none
  std::string parameters;
  std::optional<std::filesystem::path> state_file;
  SampleSource source;
  std::unique_ptr<Session> session;
  std::optional<Failure> open_failure;  // a speaker whose open failed does nothing else

  // What the last call from one thread handed out: kept apart for each calling thread, so that
  // a call from another thread never takes away what a thread is still reading.
  struct Handed {
    std::string error;
    // A deque never moves what it holds: texts handed out stay where they are as more are kept.
    std::deque<std::string> texts;
    std::vector<HistoryRow> history;
    std::vector<PellixHistoryRow> history_rows;
  };
  std::map<std::thread::id, Handed> handed_by_thread;
  Handed* handed = nullptr;  // the calling thread's, during a call

  // The calling thread's; made on its first call. The caller holds the mutex.
  Handed& HandedHere() { return handed_by_thread[std::this_thread::get_id()]; }

  const char* Keep(std::string text) {
    handed->texts.push_back(std::move(text));
    return handed->texts.back().c_str();
  }

  // A new session on `state` with the speaker's parameters, on a control with a fresh analysis
  // state of its own; the speaker takes it only when the start succeeds.
  std::optional<Failure> StartSession(const std::optional<std::filesystem::path>& state) {
    SessionSettings settings;
    settings.params = parameters;
    settings.state = state;
    settings.show_speaker = !name.empty();
    auto started = std::make_unique<Session>(name, std::move(settings), source);
    if (!started->Start()) {
      for (const Event& event : started->TakeEvents()) {
        if (const auto* record = std::get_if<Record>(&event)) {
          if (const auto* f = std::get_if<FailureRecord>(record)) {
            return Failure{f->error_number, f->error_message};
          }
        }
      }
      return Failure{PELLIX_INTERNAL_ERROR, "the speaker could not be started"};
    }
    started->TakeEvents();
    session = std::move(started);
    state_file = state;
    return std::nullopt;
  }
};

namespace {

// Runs `call` for `speaker` under its lock; returns the number and keeps the message.
template <typename Call>
int Run(PellixSpeaker* speaker, Call&& call) {
  if (speaker == nullptr) return PELLIX_INVALID_ARGUMENT;
  std::lock_guard lock(speaker->mutex);
  std::optional<Failure> failure;
  try {
    speaker->handed = &speaker->HandedHere();
    speaker->handed->texts.clear();
    if (speaker->open_failure) {
      failure = speaker->open_failure;
    } else {
      failure = call(*speaker);
    }
  } catch (const std::bad_alloc&) {
    failure = Failure{PELLIX_OUT_OF_MEMORY, "out of memory"};
  } catch (const PlatformError& e) {
    failure = Failure{e.number(), e.what()};
  } catch (const std::exception& e) {
    failure = Failure{PELLIX_INTERNAL_ERROR, e.what()};
  } catch (...) {
    failure = Failure{PELLIX_INTERNAL_ERROR, "internal error"};
  }
  // Without a place for this thread's texts (out of memory), the failure goes without words.
  PellixSpeaker::Handed* const handed = std::exchange(speaker->handed, nullptr);
  if (!failure) {
    if (handed != nullptr) handed->error.clear();
    return 0;
  }
  // A number of 0 would read as success.
  if (failure->number == 0) failure->number = PELLIX_INTERNAL_ERROR;
  if (handed != nullptr) {
    try {
      handed->error = std::move(failure->message);
    } catch (...) {
      handed->error.clear();
    }
  }
  return failure->number;
}

Failure InvalidArgument(std::string message) {
  return {PELLIX_INVALID_ARGUMENT, std::move(message)};
}

Failure NoStateFile() {
  return InvalidArgument("the state file's name is empty: an empty path names no file");
}

// The lock of a state file: waited for as long as it takes (`seconds` none), or at most
// `seconds`, after which it is busy and holds nothing.
StateLock LockOf(const std::filesystem::path& path, std::optional<double> seconds) {
  return seconds ? StateLock(path, *seconds) : StateLock(path, std::function<void()>());
}

// Saves the speaker to `state_file` (NULL: its own) while holding the file's lock; none when
// the file stayed busy.
std::optional<Failure> SaveSpeaker(PellixSpeaker& s, const char* state_file,
                                   std::optional<double> seconds) {
  if (state_file == nullptr && !s.state_file) {
    return InvalidArgument("no state file to save to: the speaker was opened without one");
  }
  if (state_file != nullptr && *state_file == '\0') return NoStateFile();
  const std::filesystem::path path = state_file != nullptr ? state_file : *s.state_file;
  try {
    // Other programs saving the same speaker take turns with this one.
    const StateLock held = LockOf(path, seconds);
    if (held.busy()) {
      return Failure{PELLIX_STATE_FILE_BUSY, "state file '" + path.string() +
                                                 "' is in use by another run; nothing was saved"};
    }
    s.session->Save(path);
  } catch (const StateError& e) {
    return Failure{e.number(), e.what()};
  }
  return std::nullopt;
}

// Replaces the speaker by the state at `state_file`, holding the file's lock.
std::optional<Failure> LoadSpeaker(PellixSpeaker& s, const char* state_file,
                                   std::optional<double> seconds) {
  if (state_file == nullptr) return InvalidArgument("no state file given to load");
  if (*state_file == '\0') return NoStateFile();
  try {
    const StateLock held = LockOf(state_file, seconds);
    if (held.busy()) {
      return Failure{PELLIX_STATE_FILE_BUSY,
                     "state file '" + std::string(state_file) +
                         "' is in use by another run; the speaker was left as it was"};
    }
    // Opening makes a new speaker where there is no state yet; a load needs one to load.
    std::error_code ec;
    if (!std::filesystem::exists(state_file, ec)) {
      return Failure{kFileNotFound,
                     "cannot load state file '" + std::string(state_file) +
                         "' (error 53: " + std::string(ErrorDescription(kFileNotFound)) +
                         "); the speaker was left as it was"};
    }
    return s.StartSession(std::filesystem::path(state_file));
  } catch (const StateError& e) {
    return Failure{e.number(), e.what()};
  }
}

// Copies of samples the host handed over at an address their type may not be read from.
struct AlignedCopies {
  std::vector<std::int16_t> whole16;
  std::vector<float> floats;
  std::vector<double> doubles;
};

// The `size` values of type T at `data`: in place when they are aligned for T, else copied
// into `copy` (NumPy hands out arrays at any offset into a buffer).
template <typename T>
std::span<const T> Samples(const void* data, std::size_t size, std::vector<T>& copy) {
  if (reinterpret_cast<std::uintptr_t>(data) % alignof(T) == 0) {
    return {static_cast<const T*>(data), size};
  }
  copy.resize(size);
  std::memcpy(copy.data(), data, size * sizeof(T));
  return copy;
}

// The host's take as the analysis's: the memory stays the host's for the call, or is copied
// into `copies` when it is not aligned for its samples.
std::variant<Take, Failure> ToTake(const PellixTake* take, AlignedCopies& copies) {
  if (take == nullptr) return InvalidArgument("no take given");
  Take out;
  const bool in_memory = take->kind != PELLIX_TAKE_FILE;
  out.name = take->name != nullptr ? take->name : in_memory ? "(in memory)" : "";
  if (!in_memory) {
    if (take->name == nullptr) return InvalidArgument("a take file needs a name");
    out.path = take->data != nullptr ? static_cast<const char*>(take->data) : take->name;
    return out;
  }
  if (take->data == nullptr && take->size != 0) {
    return InvalidArgument("take '" + out.name + "' has " + std::to_string(take->size) +
                           " values but no data");
  }
  PcmSamples pcm;
  pcm.rate = take->rate;
  pcm.channels = take->channels;
  switch (take->kind) {
    case PELLIX_TAKE_BYTES:
      out.bytes = std::span(static_cast<const std::uint8_t*>(take->data), take->size);
      return out;
    case PELLIX_TAKE_PCM_INT16:
      pcm.whole16 = Samples(take->data, take->size, copies.whole16);
      break;
    case PELLIX_TAKE_PCM_FLOAT32:
      pcm.floats = Samples(take->data, take->size, copies.floats);
      break;
    case PELLIX_TAKE_PCM_FLOAT64:
      pcm.doubles = Samples(take->data, take->size, copies.doubles);
      break;
    default:
      return InvalidArgument("take '" + out.name + "' is of unknown kind " +
                             std::to_string(take->kind));
  }
  out.pcm = pcm;
  return out;
}

void ClearResult(PellixTakeResult& result) {
  result = PellixTakeResult{};
  const char* const empty = "";
  result.error_message = result.file = result.meaning = result.refusal = result.advice =
      result.warnings = result.json = result.csv = empty;
  for (double* value : {&result.thorn_rate,      &result.jump_rate,         &result.jump_spread,
                        &result.avg_jump_len,    &result.cal_thorn_rate,    &result.cal_jump_rate,
                        &result.cal_jump_spread, &result.cal_avg_jump_len,  &result.lie_stress,
                        &result.global_stress,   &result.excitement_stress, &result.recording_s,
                        &result.stretch_start_s, &result.stretch_end_s,     &result.stretch_s,
                        &result.peak_dbfs,       &result.rms_dbfs,          &result.clipped_source,
                        &result.clipped_8bit,    &result.pitch_hz,          &result.voiced_share}) {
    *value = kNotMeasured;
  }
}

void PutMeasures(PellixTakeResult& result, const std::optional<Measures>& m) {
  if (!m) return;
  result.thorn_rate = Number(m->thorn_rate.value());
  result.jump_rate = Number(m->jump_rate.value());
  result.jump_spread = Number(m->jump_spread.value());
  result.avg_jump_len = Number(m->avg_jump_len.value());
}

void PutFacts(PellixSpeaker& speaker, PellixTakeResult& result, const TakeFacts& f) {
  result.recording_s = Number(f.recording_s);
  result.stretch_start_s = Number(f.stretch_start_s);
  result.stretch_end_s = Number(f.stretch_end_s);
  result.stretch_s = Number(f.stretch_s());
  result.peak_dbfs = Number(f.peak_dbfs);
  result.rms_dbfs = Number(f.rms_dbfs);
  result.clipped_source = Number(f.clipped_source);
  result.clipped_8bit = Number(f.clipped_8bit);
  result.pitch_hz = Number(f.pitch_hz);
  result.voiced_share = Number(f.voiced_share);
  for (const std::string& flag : f.flags) {
    for (std::size_t i = 0; i < kTakeFlags.size(); ++i) {
      if (kTakeFlags[i].name == flag) result.flags |= 1u << i;
    }
  }
  result.refusal = speaker.Keep(f.refusal);
  result.advice = speaker.Keep(f.advice);
}

// Fills `result` from what the session made of the take: its record and its messages.
std::optional<Failure> PutTake(PellixSpeaker& speaker, PellixTakeResult& result,
                               const std::vector<Event>& events) {
  std::string warnings;
  const Record* taken = nullptr;
  for (const Event& event : events) {
    if (const auto* message = std::get_if<Message>(&event)) {
      warnings += (warnings.empty() ? "" : "\n") + message->text;
    } else {
      taken = &std::get<Record>(event);
    }
  }
  result.warnings = speaker.Keep(std::move(warnings));
  if (taken == nullptr) return Failure{PELLIX_INTERNAL_ERROR, "the take left no record"};
  result.json = speaker.Keep(Row(ReportFormat::kJson, *taken));
  result.csv = speaker.Keep(Row(ReportFormat::kCsv, *taken));
  if (const auto* c = std::get_if<CalibrationRecord>(taken)) {
    result.file = speaker.Keep(c->file);
    result.code = c->code.value().value_or(Tarvo_alg1::kNoConclusion);
    result.refused = c->refused() ? 1 : 0;
    result.meaning = speaker.Keep(CalibrationMeaningText(c->accepted()));
    PutMeasures(result, c->measures);
    if (c->constants) {
      result.cal_thorn_rate = Number(c->constants->thorn_rate.value());
      result.cal_jump_rate = Number(c->constants->jump_rate.value());
      result.cal_jump_spread = Number(c->constants->jump_spread.value());
      result.cal_avg_jump_len = Number(c->constants->avg_jump_len.value());
    }
    PutFacts(speaker, result, c->facts);
  } else if (const auto* k = std::get_if<CheckRecord>(taken)) {
    result.file = speaker.Keep(k->file);
    result.code = k->code.value().value_or(Tarvo_alg1::kNoConclusion);
    result.refused = k->refused() ? 1 : 0;
    result.meaning = speaker.Keep(CodeMeaningText(k->code, false));
    PutMeasures(result, k->measures);
    if (k->stress) {
      result.lie_stress = Number(k->stress->lie.value());
      result.global_stress = Number(k->stress->global.value());
      result.excitement_stress = Number(k->stress->excitement.value());
    }
    PutFacts(speaker, result, k->facts);
  } else if (const auto* f = std::get_if<FailureRecord>(taken)) {
    result.file = speaker.Keep(f->file);
    return Failure{f->error_number, f->error_message};
  }
  return std::nullopt;
}

int AnalyseTake(PellixSpeaker* speaker, const PellixTake* take, PellixTakeResult* result,
                bool check) {
  PellixTakeResult local;
  PellixTakeResult& out = result != nullptr ? *result : local;
  ClearResult(out);
  const int number = Run(speaker, [&](PellixSpeaker& s) -> std::optional<Failure> {
    AlignedCopies copies;
    std::variant<Take, Failure> converted = ToTake(take, copies);
    if (auto* failure = std::get_if<Failure>(&converted)) return std::move(*failure);
    const Take& analysed = std::get<Take>(converted);
    if (check) {
      s.session->Check(analysed);
    } else {
      s.session->Calibrate(analysed);
    }
    return PutTake(s, out, s.session->TakeEvents());
  });
  out.error_number = number;
  if (number != 0) out.error_message = PellixSpeakerError(speaker);
  return number;
}

}  // namespace

extern "C" {

PELLIX_ANALYSIS_API int PellixSpeakerOpen(const char* parameters, const char* state_file,
                                          PellixSpeaker** speaker) {
  return PellixSpeakerOpenNamed(nullptr, parameters, state_file, speaker);
}

PELLIX_ANALYSIS_API int PellixSpeakerOpenNamed(const char* name, const char* parameters,
                                               const char* state_file, PellixSpeaker** speaker) {
  if (speaker == nullptr) return PELLIX_INVALID_ARGUMENT;
  *speaker = new (std::nothrow) PellixSpeaker;
  if (*speaker == nullptr) return PELLIX_OUT_OF_MEMORY;
  PellixSpeaker* opened = *speaker;
  const int number = Run(opened, [&](PellixSpeaker& s) -> std::optional<Failure> {
    if (name != nullptr) s.name = name;
    s.parameters = parameters != nullptr ? parameters : kDefaultParams;
    std::optional<std::filesystem::path> state;
    if (state_file != nullptr) {
      if (*state_file == '\0') return NoStateFile();
      state = state_file;
    }
    return s.StartSession(state);
  });
  if (number != 0) opened->open_failure = Failure{number, PellixSpeakerError(opened)};
  return number;
}

PELLIX_ANALYSIS_API void PellixSpeakerClose(PellixSpeaker* speaker) {
  if (speaker == nullptr) return;
  // A call in flight on another thread ends first: it holds the speaker's mutex throughout.
  speaker->mutex.lock();
  speaker->mutex.unlock();
  delete speaker;
}

PELLIX_ANALYSIS_API const char* PellixSpeakerError(const PellixSpeaker* speaker) {
  if (speaker == nullptr) return "no speaker given";
  auto* const self = const_cast<PellixSpeaker*>(speaker);
  std::lock_guard lock(self->mutex);
  const auto here = self->handed_by_thread.find(std::this_thread::get_id());
  return here != self->handed_by_thread.end() ? here->second.error.c_str() : "";
}

PELLIX_ANALYSIS_API int PellixSpeakerCalibrate(PellixSpeaker* speaker, const PellixTake* take,
                                               PellixTakeResult* result) {
  return AnalyseTake(speaker, take, result, false);
}

PELLIX_ANALYSIS_API int PellixSpeakerCheck(PellixSpeaker* speaker, const PellixTake* take,
                                           PellixTakeResult* result) {
  return AnalyseTake(speaker, take, result, true);
}

PELLIX_ANALYSIS_API int PellixSpeakerProfile(PellixSpeaker* speaker, PellixProfile* profile) {
  PellixProfile local;
  PellixProfile& out = profile != nullptr ? *profile : local;
  out = PellixProfile{};
  out.error_message = out.text = out.meaning = out.json = "";
  for (auto& digit : out.digits) digit = {'0', "", ""};
  for (auto& percentage : out.percentages) percentage = {0, "", ""};
  const int number = Run(speaker, [&](PellixSpeaker& s) -> std::optional<Failure> {
    s.session->Profile();
    for (const Event& event : s.session->TakeEvents()) {
      const auto* record = std::get_if<Record>(&event);
      if (record == nullptr) continue;
      if (const auto* f = std::get_if<FailureRecord>(record)) {
        return Failure{f->error_number, f->error_message};
      }
      const auto& p = std::get<ProfileRecord>(*record);
      out.text = s.Keep(p.profile);
      out.checks = p.checks;
      out.json = s.Keep(Row(ReportFormat::kJson, *record));
      const std::optional<ProfileReading> reading = ReadProfile(p.profile);
      out.meaning = s.Keep(p.profile == "0" ? std::string(kProfileUnavailable)
                           : reading        ? "the profile of the checks so far"
                                            : "not a profile this report can read");
      if (!reading) continue;
      out.readable = 1;
      for (int i = 0; i < kProfileDigits; ++i) {
        const char digit = reading->digits[static_cast<std::size_t>(i)];
        out.digits[i] = {digit, s.Keep(std::string(ProfileDigitTopic(i + 1))),
                         s.Keep(std::string(ProfileDigitMeaning(i + 1, digit)))};
      }
      for (int i = 0; i < kProfilePercentages; ++i) {
        const PercentageMeaning meaning = ProfilePercentageMeaning(i);
        out.percentages[i] = {reading->percentages[static_cast<std::size_t>(i)],
                              s.Keep(std::string(meaning.name)),
                              s.Keep(std::string(meaning.description))};
      }
    }
    return std::nullopt;
  });
  out.error_number = number;
  if (number != 0) out.error_message = PellixSpeakerError(speaker);
  return number;
}

PELLIX_ANALYSIS_API int PellixSpeakerHistory(PellixSpeaker* speaker, const PellixHistoryRow** rows,
                                             std::size_t* count) {
  if (rows == nullptr || count == nullptr) return PELLIX_INVALID_ARGUMENT;
  *rows = nullptr;
  *count = 0;
  return Run(speaker, [&](PellixSpeaker& s) -> std::optional<Failure> {
    PellixSpeaker::Handed& handed = *s.handed;
    handed.history = s.session->History();
    handed.history_rows.clear();
    for (const HistoryRow& row : handed.history) {
      handed.history_rows.push_back({row.file.c_str(), row.lie_stress, row.global_stress,
                                     row.excitement_stress, row.code, row.avg_jump_len});
    }
    *rows = handed.history_rows.empty() ? nullptr : handed.history_rows.data();
    *count = handed.history_rows.size();
    return std::nullopt;
  });
}

namespace {

// Saves or loads (`act`) with the file's lock waited for as long as it takes (`seconds` none)
// or at most `seconds`.
int WithStateFile(PellixSpeaker* speaker, const char* state_file, std::optional<double> seconds,
                  std::optional<Failure> (*act)(PellixSpeaker&, const char*,
                                                std::optional<double>)) {
  return Run(speaker, [&](PellixSpeaker& s) -> std::optional<Failure> {
    if (seconds && !(*seconds >= 0)) return InvalidArgument("a wait must be 0 seconds or more");
    return act(s, state_file, seconds);
  });
}

}  // namespace

PELLIX_ANALYSIS_API int PellixSpeakerSave(PellixSpeaker* speaker, const char* state_file) {
  return WithStateFile(speaker, state_file, std::nullopt, SaveSpeaker);
}

PELLIX_ANALYSIS_API int PellixSpeakerSaveWithin(PellixSpeaker* speaker, const char* state_file,
                                                double seconds) {
  return WithStateFile(speaker, state_file, seconds, SaveSpeaker);
}

PELLIX_ANALYSIS_API int PellixSpeakerLoad(PellixSpeaker* speaker, const char* state_file) {
  return WithStateFile(speaker, state_file, std::nullopt, LoadSpeaker);
}

PELLIX_ANALYSIS_API int PellixSpeakerLoadWithin(PellixSpeaker* speaker, const char* state_file,
                                                double seconds) {
  return WithStateFile(speaker, state_file, seconds, LoadSpeaker);
}

PELLIX_ANALYSIS_API int PellixSpeakerFailedTake(PellixSpeaker* speaker, int check, const char* name,
                                                int error_number, const char* message,
                                                PellixTakeResult* result) {
  PellixTakeResult local;
  PellixTakeResult& out = result != nullptr ? *result : local;
  ClearResult(out);
  return Run(speaker, [&](PellixSpeaker& s) -> std::optional<Failure> {
    if (name == nullptr || message == nullptr || error_number == 0) {
      return InvalidArgument("a failed take needs its name, a number and a message");
    }
    const Record record =
        FailureRecord{s.name, check != 0 ? FailureRole::kCheck : FailureRole::kCalibrate, name,
                      error_number, message};
    out.error_number = error_number;
    out.error_message = s.Keep(message);
    out.file = s.Keep(name);
    out.json = s.Keep(Row(ReportFormat::kJson, record));
    out.csv = s.Keep(Row(ReportFormat::kCsv, record));
    return std::nullopt;
  });
}

PELLIX_ANALYSIS_API const char* PellixCsvHeader(void) {
  try {
    static const std::string header = [] {
      std::string line = MakeReport(ReportFormat::kCsv, {})->Header();
      if (!line.empty() && line.back() == '\n') line.pop_back();
      return line;
    }();
    return header.c_str();
  } catch (...) {
    return "";  // out of memory on the first call; the next tries again
  }
}

PELLIX_ANALYSIS_API const char* PellixFlagName(std::uint32_t flag) {
  for (std::size_t i = 0; i < kTakeFlags.size(); ++i) {
    if (flag == 1u << i) return kTakeFlags[i].name.data();
  }
  return "";
}

PELLIX_ANALYSIS_API const char* PellixFlagWords(std::uint32_t flag) {
  for (std::size_t i = 0; i < kTakeFlags.size(); ++i) {
    if (flag == 1u << i) return kTakeFlags[i].words.data();
  }
  return "";
}

}  // extern "C"
