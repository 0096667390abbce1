// pellix listen: a speaker's session on a live stream (a capture device, standard input, or a
// file played as if live); each utterance is calibrated on or checked as it ends, with its row
// written at once.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/parameter_string.h"
#include "analysis/report.h"
#include "analysis/state_file.h"
#include "files/atomic_file.h"
#include "files/file_error.h"
#include "host/commands/command.h"
#include "host/commands/command_line.h"
#include "host/same_file.h"
#include "listen/device_stream.h"
#include "listen/input_stream.h"
#include "listen/listener.h"
#include "platform/error.h"

namespace pellix {
namespace {

constexpr const char* kListenHelp = R"(Sources (one of them):
  (none)          the default capture device, through PortAudio; --device NAME another one
                  (its name, part of it, or its number in --list-devices)
  -               standard input: a WAV stream, or raw PCM when --rate is given (with
                  --channels and --sample-format s16le or f32le)
  --input FILE    any recording libsndfile reads, played as if live: in real time with
                  --realtime, else as fast as it can be read

Utterances: the stream is cut into 10 ms frames, each compared with the noise floor (the
quietest frame of the last 3 s). A frame 12 dB above the floor (and above --quietest-speech)
opens an utterance; it stays open while frames are 6 dB above the floor, and a pause of
--shortest-pause ends it. An utterance starts where the level first rose and ends after its
last loud frame; bursts shorter than --shortest-utterance are dropped (a click, a cough), and
an utterance that reaches --longest-utterance is cut there, with a warning. A stream that
begins with speech is judged again from its first frame once its first quiet moment shows the
floor, so that an utterance that starts the stream is found whole.

Each utterance becomes a take, converted as any recording is (only its first 2.7 s reach the
control, which analyses their first utterance). Until --calibrate takes were accepted for
calibration the utterances calibrate, unless --state brings a calibration; every further one
is checked. A row per utterance is written as it ends, with its place in the stream
(stream_start_s, stream_end_s) and every fact of a pellix analyze report; a profile follows
every ten checks and ends the run. --keep DIR saves each utterance as DIR/utterance-NNNN.wav
(the next number no file has, so that runs never overwrite each other's), and the row names
that file; without --keep, or where keeping failed, it names the utterance ("utterance 3").

Ctrl-C, the end of the stream, or a device that stops (the sound server stopped) ends the
run cleanly: the rows so far written, the utterance in progress analysed, the state saved and
the profile printed. Standard input that sends nothing for --stall seconds ends the utterance
in progress there; the run waits on. Samples that are not numbers, or infinite, are taken as
silence and counted.

--timings FILE gets, when the run ends, a line per utterance: the milliseconds from the moment
its pause was over (or the stream ended) to its row on standard output. A stream read faster
than it was spoken (--input without --realtime, a file piped in) has no such moment: its
timings run from when the utterance's last sound arrived, and a warning says so.

)";

constexpr const char* kListenExamples = R"(

Exit status: 0 when the stream ended or was stopped and every utterance was analysed; 1 when
the stream, a take, the state or the keep folder failed; 2 for a usage error.

Examples:
  pellix listen --state alex.json                         the default microphone
  pellix listen --list-devices
  pellix listen --device pulse --calibrate 5 --keep takes/
  arecord -q -f S16_LE -r 16000 -c 1 -t wav | pellix listen -
  parec --format=s16le --rate=16000 --channels=1 | pellix listen - --rate 16000
  pellix listen --input interview.wav --realtime --format json
  pellix listen --input interview.flac --state alex.json --format csv > rows.csv)";

struct ListenOptions {
  std::string source;
  std::optional<std::string> input;
  bool realtime = false;
  std::optional<std::string> device;
  bool list_devices = false;
  std::optional<std::uint32_t> rate;
  std::optional<std::uint32_t> channels;
  std::optional<std::string> sample_format;
  int calibrate = 3;
  std::optional<std::string> state;
  std::string params = analysis::kDefaultParams;
  bool fixed_calibration = false;
  std::string format = "table";
  std::optional<std::string> keep;
  std::optional<std::string> timings;
  double stall = 2;
  bool quiet = false;
  listen::SegmenterSettings segmenter;
};

// The most sound the listener may hold for one utterance.
constexpr double kMostHeldBytes = 512.0 * (1 << 20);

std::atomic<bool> stop_requested{false};

void OnStop(int) {
  stop_requested.store(true);
}

// Ctrl-C and kill end the run cleanly rather than the process; a reader of our rows that went
// away is a failed write, noticed at the next row.
void InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStop;
  ::sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: a wait for sound returns at once
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

// Rows to standard output the moment they arise; messages to standard error.
class RowWriter final : public listen::ListenerOutput {
 public:
  RowWriter(analysis::ReportFormat format, std::size_t file_width, bool quiet,
            AtomicFileWriter* timings)
      : quiet_(quiet), timings_(timings) {
    analysis::ReportLayout layout;
    layout.stream_place = true;
    layout.file_width = file_width;
    report_ = analysis::MakeReport(format, layout);
    std::cout << report_->Header() << std::flush;
  }

  void Events(std::vector<analysis::Event> events,
              std::optional<listen::Clock::time_point> pause_ended) override {
    std::string rows;
    for (const analysis::Event& event : events) {
      if (const auto* record = std::get_if<analysis::Record>(&event)) {
        rows += report_->Format(*record);
        tally_.Add(*record);
      } else {
        const auto& message = std::get<analysis::Message>(event);
        if (message.error) failed_ = true;
        if (quiet_ && !message.error) continue;
        std::cerr << "pellix: " << (message.error ? "error: " : "warning: ") << message.text
                  << '\n';
      }
    }
    std::cout << rows << std::flush;
    if (!std::cout) broken_ = true;
    if (pause_ended && timings_) {
      const double ms =
          std::chrono::duration<double, std::milli>(listen::Clock::now() - *pause_ended).count();
      char line[32];
      std::snprintf(line, sizeof line, "%.3f\n", ms);
      if (timings_error_.empty()) {
        try {
          timings_->Write(line);
        } catch (const FileError& e) {
          timings_error_ = TimingsError(e);
        }
      }
    }
  }

  // Puts the timings in place; false, with the error said, when writing them failed.
  bool FinishTimings(const std::string& path) {
    if (timings_ == nullptr) return true;
    if (timings_error_.empty()) {
      try {
        timings_->Commit();
        return true;
      } catch (const FileError& e) {
        timings_error_ = TimingsError(e);
      }
    }
    std::cerr << "pellix: error: cannot write '" << path << "': " << timings_error_ << '\n';
    return false;
  }

  bool broken() const { return broken_; }
  bool failed() const { return failed_; }
  std::string Summary() const {
    return std::to_string(tally_.calibrations) + " calibrated on, " +
           std::to_string(tally_.checks) + " checked, " + std::to_string(tally_.refused) +
           " refused, " + std::to_string(tally_.failed) + " failed";
  }

 private:
  static std::string TimingsError(const FileError& e) {
    return std::string(e.what()) + " (error " + std::to_string(e.number()) + ")";
  }

  bool quiet_;
  AtomicFileWriter* timings_;
  std::string timings_error_;
  std::unique_ptr<analysis::Report> report_;
  bool broken_ = false;
  bool failed_ = false;
  analysis::TakeTally tally_;
};

int ListDevices() {
  try {
    const std::vector<listen::InputDevice> devices = listen::ListInputDevices();
    if (devices.empty()) return Failure("no capture device: PortAudio finds no input");
    for (const listen::InputDevice& d : devices) {
      char line[64];
      std::snprintf(line, sizeof line, "%3d  ", d.index);
      std::cout << line << d.name << (d.is_default ? "  [default]" : "") << "  (" << d.channels
                << " channels, " << static_cast<long>(std::lround(d.rate)) << " Hz)\n";
    }
    return 0;
  } catch (const listen::StreamError& e) {
    return Failure(WithErrorNumber(e.what(), e.number()));
  }
}

// What an output of the run would overwrite among what it reads, in words ("--timings 'a.json'
// would overwrite the state file 'a.json'"); empty when nothing. The state is read and saved.
std::string OverwrittenInput(const ListenOptions& options) {
  std::vector<std::pair<std::string, std::string>> inputs;  // what, path
  if (options.input) inputs.emplace_back("the recording '" + *options.input + "'", *options.input);
  // Standard input redirected from a file is that file.
  if (options.source == "-") inputs.emplace_back("standard input", "/dev/stdin");
  const std::vector<std::pair<std::string, std::string>> sound_inputs = inputs;
  if (options.state) inputs.emplace_back("the state file '" + *options.state + "'", *options.state);
  if (options.timings) {
    for (const auto& [what, path] : inputs) {
      if (SameFile(*options.timings, path))
        return "--timings '" + *options.timings + "' would overwrite " + what;
    }
  }
  if (options.state) {
    for (const auto& [what, path] : sound_inputs) {
      if (SameFile(*options.state, path))
        return "--state '" + *options.state + "' would overwrite " + what;
    }
  }
  return {};
}

std::unique_ptr<listen::SoundStream> OpenSource(const ListenOptions& options) {
  if (options.input) return listen::OpenFileStream(*options.input, options.realtime);
  if (options.source == "-") {
    std::optional<listen::StreamFormat> raw;
    if (options.rate) {
      raw.emplace();
      raw->rate = *options.rate;
      raw->channels = options.channels.value_or(1);
      raw->format = listen::ParseSampleFormat(options.sample_format.value_or("s16le"))
                        .value_or(listen::SampleFormat::kS16);
      if (std::string problem = listen::FormatProblem(*raw); !problem.empty())
        throw listen::StreamError(kInvalidProcedureCall, "standard input: " + problem);
    }
    return listen::OpenDescriptorStream(STDIN_FILENO, "standard input", raw, stop_requested);
  }
  return listen::OpenDeviceStream(options.device, options.rate, options.channels);
}

// Ends the run with a usage error when the options do not go together.
void RefuseClashingOptions(const ListenOptions& options) {
  if (!options.source.empty() && options.source != "-")
    EndRun(
        UsageError("listen", "the source is '-' (standard input); name a file with --input FILE"));
  const int sources =
      (options.source == "-") + options.input.has_value() + options.device.has_value();
  if (sources > 1)
    EndRun(UsageError("listen", "choose one source: -, --input FILE or --device NAME"));
  if (options.realtime && !options.input)
    EndRun(UsageError("listen", "--realtime paces an --input file"));
  if (options.source != "-" && options.sample_format)
    EndRun(UsageError("listen", "--sample-format describes raw PCM on standard input (-)"));
  if (options.source == "-" && !options.rate && (options.channels || options.sample_format))
    EndRun(
        UsageError("listen", "raw PCM on standard input needs --rate (a WAV stream says its own)"));
  if (options.input && (options.rate || options.channels))
    EndRun(UsageError("listen", "an --input file says its own rate and channels"));
  if (std::string problem = listen::SettingsProblem(options.segmenter); !problem.empty())
    EndRun(UsageError("listen", problem));
  if (const std::string overwritten = OverwrittenInput(options); !overwritten.empty())
    EndRun(UsageError("listen", overwritten + ": name another file"));
}

// The source the options name, open; ends the run when it cannot be opened.
std::unique_ptr<listen::SoundStream> OpenStream(const ListenOptions& options) {
  try {
    return OpenSource(options);
  } catch (const listen::StreamError& e) {
    EndRun(Failure(WithErrorNumber(e.what(), e.number())));
  }
}

// The listener holds up to the longest utterance of sound: at a studio rate with many channels
// that is more memory than a listener should take, and the run ends.
void RefuseUtterancesTooLargeToHold(const listen::SoundStream& stream,
                                    const listen::SegmenterSettings& segmenter) {
  const listen::StreamFormat& format = stream.format();
  const double held_bytes =
      segmenter.longest_utterance_s * format.rate * static_cast<double>(format.frame_bytes());
  if (held_bytes <= kMostHeldBytes) return;
  EndRun(Failure(WithErrorNumber(
      stream.name() + ": an utterance of " +
          std::to_string(static_cast<int>(segmenter.longest_utterance_s)) + " s would take " +
          std::to_string(static_cast<long long>(held_bytes / (1 << 20))) + " MiB at " +
          std::to_string(format.rate) + " Hz and " + std::to_string(format.channels) +
          " channels; lower --longest-utterance",
      kInvalidProcedureCall)));
}

// Opens --timings' file, written beside it and put in place when the run ends; ends the run
// when it cannot be written.
void OpenTimings(const std::string& path, std::optional<AtomicFileWriter>& timings) {
  try {
    timings.emplace(path);
  } catch (const FileError& e) {
    EndRun(Failure("cannot write '" + path + "': " + WithErrorNumber(e.what(), e.number())));
  }
}

listen::ListenSettings ListenerSettings(const ListenOptions& options) {
  listen::ListenSettings settings;
  settings.segmenter = options.segmenter;
  settings.calibrations = options.calibrate;
  settings.session.params = options.params;
  if (options.state) settings.session.state = *options.state;
  settings.session.fixed_calibration = options.fixed_calibration;
  if (options.keep) settings.keep = *options.keep;
  return settings;
}

// The width of the rows' file column: they name the kept file, or the utterance ("utterance
// 12").
std::size_t RowFileWidth(const ListenOptions& options) {
  return options.keep
             ? (std::filesystem::path(*options.keep) / "utterance-0001.wav").string().size()
             : std::string("utterance 1000").size();
}

// Reads the stream until it ends, fails or the run is stopped, and hands the listener what
// comes, with when it was sound in the room.
class StreamReading {
 public:
  StreamReading(const ListenOptions& options, listen::SoundStream& stream,
                listen::Listener& listener, const RowWriter& writer,
                listen::Clock::time_point opened_at)
      : options_(options),
        stream_(stream),
        listener_(listener),
        writer_(writer),
        opened_at_(opened_at),
        stall_after_(options.stall),
        block_(std::max<std::size_t>(stream.format().rate / 10, 1) *
               stream.format().frame_bytes()) {}

  // Reads to the end; false when the stream or the rows' output failed.
  bool ReadToTheEnd() {
    using Status = listen::StreamRead::Status;
    for (;;) {
      if (stop_requested.load()) {
        if (!options_.quiet) std::cerr << "pellix: stopped; finishing\n";
        return true;
      }
      if (writer_.broken()) {
        std::cerr << "pellix: error: cannot write the rows to standard output; finishing\n";
        return false;
      }
      const listen::StreamRead read = stream_.Read(block_, kWait);
      if (read.status == Status::kData) {
        Sound(read);
      } else if (read.status == Status::kStall) {
        Silence();
      } else if (read.status == Status::kEnd) {
        if (!read.message.empty() && !options_.quiet)
          std::cerr << "pellix: warning: " << stream_.name() << ": " << read.message << '\n';
        return true;
      } else {
        std::cerr << "pellix: error: " << read.message << "; finishing\n";
        return false;
      }
    }
  }

 private:
  // A read returns at least this often, so that Ctrl-C and stalls are noticed.
  static constexpr std::chrono::milliseconds kWait{100};

  void Sound(const listen::StreamRead& read) {
    if (!read.message.empty() && !options_.quiet)
      std::cerr << "pellix: warning: " << read.message << '\n';
    if (read.frames == 0) return;
    quiet_since_ = listen::Clock::now();
    stalled_ = false;
    if (!unpaced_ && OutranTheClock(read.frames)) {
      unpaced_ = true;
      if (options_.timings && !options_.quiet) {
        std::cerr << "pellix: warning: " << stream_.name()
                  << " comes faster than it was spoken: each of the --timings runs from when "
                     "the utterance's last sound arrived\n";
      }
    }
    listener_.Feed(
        {std::span<std::byte>(block_).first(read.frames * stream_.format().frame_bytes()),
         read.frames},
        unpaced_ ? quiet_since_ : read.live_at);
  }

  // Nothing came for a while: once for --stall seconds, the utterance in progress ends.
  void Silence() {
    if (stalled_ || listen::Clock::now() - quiet_since_ < stall_after_) return;
    stalled_ = true;
    listener_.Stall();
    if (!options_.quiet) {
      std::cerr << "pellix: warning: " << stream_.name() << " has sent nothing for "
                << options_.stall << " s; still waiting (Ctrl-C ends)\n";
    }
  }

  // A stream read faster than it was spoken has no moment in a room that a pause ended at: its
  // timings run from when the sound arrived. An --input file without --realtime is such a
  // stream; standard input is taken for one once it has sent a second more sound than time
  // has passed since it opened (a file piped in).
  bool OutranTheClock(std::size_t frames) {
    if (options_.input) return !options_.realtime;
    if (options_.source != "-") return false;
    seconds_read_ += static_cast<double>(frames) / stream_.format().rate;
    return seconds_read_ >
           std::chrono::duration<double>(listen::Clock::now() - opened_at_).count() + 1.0;
  }

  const ListenOptions& options_;
  listen::SoundStream& stream_;
  listen::Listener& listener_;
  const RowWriter& writer_;
  const listen::Clock::time_point opened_at_;
  const std::chrono::duration<double> stall_after_;
  std::vector<std::byte> block_;
  listen::Clock::time_point quiet_since_ = listen::Clock::now();
  bool stalled_ = false;
  bool unpaced_ = false;
  double seconds_read_ = 0;
};

void SayListening(const ListenOptions& options, const listen::SoundStream& stream) {
  const listen::StreamFormat& f = stream.format();
  std::cerr << "pellix: listening to " << stream.name() << " (" << f.rate << " Hz, " << f.channels
            << (f.channels == 1 ? " channel" : " channels") << ")"
            << (options.input || options.source == "-" ? "" : "; Ctrl-C ends") << '\n';
}

// The line that ends a run on standard error: the sound heard, the utterances and their rows.
void SaySummary(const listen::SoundStream& stream, const listen::Listener& listener,
                const RowWriter& writer) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f s", listener.seconds());
  std::cerr << "pellix: " << seconds << " of " << stream.name() << ", " << listener.utterances()
            << (listener.utterances() == 1 ? " utterance: " : " utterances: ") << writer.Summary()
            << '\n';
}

int RunListen(const ListenOptions& options) {
  if (options.list_devices) return ListDevices();
  RefuseClashingOptions(options);
  const analysis::ReportFormat format =
      analysis::ParseReportFormat(options.format).value_or(analysis::ReportFormat::kTable);
  WarnOfParameters(options.params, options.quiet);
  InstallStopHandlers();
  const std::unique_ptr<listen::SoundStream> stream = OpenStream(options);
  const auto opened_at = listen::Clock::now();
  RefuseUtterancesTooLargeToHold(*stream, options.segmenter);
  if (options.keep) MakeOutputFolder(*options.keep, "the keep folder");
  std::optional<AtomicFileWriter> timings;
  if (options.timings) OpenTimings(*options.timings, timings);
  std::optional<analysis::StateLock> lock;
  LockStateFile(lock, options.state, options.quiet);

  RowWriter writer(format, RowFileWidth(options), options.quiet, timings ? &*timings : nullptr);
  analysis::SampleSource source;
  listen::Listener listener(ListenerSettings(options), stream->format(), source, writer);
  if (!listener.Start()) return 1;
  if (!options.quiet) SayListening(options, *stream);
  bool failed = !StreamReading(options, *stream, listener, writer, opened_at).ReadToTheEnd();
  listener.End();
  if (!writer.FinishTimings(options.timings.value_or(""))) failed = true;
  if (!options.quiet) SaySummary(*stream, listener, writer);
  return failed || listener.failed() || writer.failed() || writer.broken() ? 1 : 0;
}

}  // namespace

void AddListenCommand(CLI::App& app, CommandAction& action, LineOptions&) {
  CLI::App* command = app.add_subcommand(
      "listen", "Listen to a live stream: calibrate and check each utterance as it ends");
  auto options = std::make_shared<ListenOptions>();
  command->add_option("source", options->source, "- for standard input")->type_name("-");
  AddPathOption(command, "--input", options->input, "Play this recording as if it were live",
                "FILE");
  command->add_flag("--realtime", options->realtime, "Pace --input in real time");
  command->add_option("--device", options->device, "Capture from this device")->type_name("NAME");
  command->add_flag("--list-devices", options->list_devices, "List the capture devices");
  command->add_option("--rate", options->rate, "Frames per second (raw PCM; a device's rate)")
      ->type_name("HZ");
  command->add_option("--channels", options->channels, "Channels (raw PCM; a device's)")
      ->type_name("N");
  command->add_option("--sample-format", options->sample_format, "Raw PCM samples: s16le or f32le")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"s16le", "f32le"}));
  AddOptionWithDefault(command, "--calibrate", options->calibrate,
                       "Accepted calibrations before checking (unless --state brings one)", "N")
      ->check(CLI::Range(0, 5));
  AddPathOption(command, "--state", options->state,
                "JSON property bag to load before and save after, with its check history",
                "BAG.json");
  AddOptionWithDefault(command, "--params", options->params,
                       "Packed parameter string for Initalize", "TEXT");
  command->add_flag("--fixed-calibration", options->fixed_calibration,
                    "Check against the calibration as loaded: what checks move is undone");
  AddReportFormatOption(command, options->format);
  AddPathOption(command, "--keep", options->keep, "Save each utterance as a WAV in DIR", "DIR");
  AddOptionWithDefault(command, "--shortest-pause", options->segmenter.shortest_pause_s,
                       "Seconds of pause that end an utterance", "S");
  AddOptionWithDefault(command, "--shortest-utterance", options->segmenter.shortest_utterance_s,
                       "Seconds: shorter bursts are dropped", "S");
  AddOptionWithDefault(command, "--longest-utterance", options->segmenter.longest_utterance_s,
                       "Seconds: a longer utterance is cut", "S");
  AddOptionWithDefault(command, "--quietest-speech", options->segmenter.quietest_speech_dbfs,
                       "dBFS: nothing quieter opens an utterance", "DBFS");
  AddOptionWithDefault(command, "--stall", options->stall,
                       "Seconds without input that end the utterance in progress", "S")
      ->check(CLI::Range(0.1, 3600.0));
  AddPathOption(command, "--timings", options->timings, "Write pause-to-row milliseconds to FILE",
                "FILE");
  command->add_flag("-q,--quiet", options->quiet, "No warnings or summary");
  SetFooter(
      command,
      [] {
        return std::string(kListenHelp) + ParametersHelp() + "\n\n" + ResultCodesHelp() + "\n";
      },
      kListenExamples + 1);
  command->callback([options, &action] { action = [options] { return RunListen(*options); }; });
}

}  // namespace pellix
