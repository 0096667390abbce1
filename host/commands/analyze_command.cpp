// pellix analyze: calibrates a control on a speaker's takes, checks the others and reports
// the stress levels, result codes and profile; or does so for every speaker of a manifest.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/analysis_run.h"
#include "analysis/inputs.h"
#include "analysis/manifest.h"
#include "analysis/parameter_string.h"
#include "analysis/report_file.h"
#include "analysis/resume.h"
#include "analysis/state_file.h"
#include "analysis/take_path.h"
#include "audio/scratch_folder.h"
#include "files/file_error.h"
#include "files/safe_read.h"
#include "host/commands/command.h"
#include "host/commands/command_line.h"
#include "host/render/panel_render.h"
#include "host/same_file.h"
#include "platform/error.h"
#include "plot/plot_surface.h"
#include "plot/session_plots.h"

namespace pellix {
namespace {

constexpr const char* kAnalyzeHelp =
    R"(Takes: a sample file is used as it is; any recording libsndfile reads (WAV, FLAC, Ogg,
AIFF, ...) is converted to one first, in memory, as far as the control reads: at most 30001
samples of a take (about 2.7 s at 11025 Hz), of which it analyses the first utterance. A
take may be "-" (standard input, once), a folder (its recordings, sorted by name), a quoted
glob pattern ('takes/*.wav', sorted) or a file:// URL (file:///data/a%20b.wav); URLs of
other schemes (s3://, http://, ...) are read through the Python package, with fsspec
(python3 -m pellix.batch MANIFEST, or pellix.analyze). The report gives the stretch the
control kept, in seconds of the recording, with the recording's levels, pitch and flags.

Order of work: the state (or a new control), --params and Initalize, every --calibrate take,
every --check take, the profiler, the state saved, the panel drawn.

What a check does to the calibration: every check that reaches a verdict moves three
calibration constants (thorn rate, jump rate, jump spread) one sixth of the way towards the
take's own measures, adapts two resolutions, and adds a row to the check history. So the same
take checked twice can give two answers, and with --state the moved constants are saved.
--fixed-calibration checks every take against the calibration as loaded (and as this run's
--calibrate takes left it): what each check moved is undone before the next and never saved,
so the same take always gives the same answer. The history still grows.

--state BAG.json keeps the control's properties between runs, so a speaker calibrated once
can be checked later without calibrating again; the check history is kept beside it in
BAG.history.jsonl (a state file not named .json, NAME, in NAME-history.jsonl), so --profile
covers every check of the speaker so far, across runs. A missing file is created; a file that
is not a saved property bag is reported and left as it is. Runs sharing a state file take turns
(an advisory lock on the hidden file .BAG.json.lock beside it), and each save keeps what the
others saved, so no run's update is lost.

Formats (-o FILE writes the report there instead of standard output; "-" is standard output):
  table  one line per take with notes under it, then the profile digit by digit in words
  json   JSON lines, one object per calibration, check, profile and failure
  csv    a header line, then one row per calibration, check, profile and failure
json and csv share one set of keys, described by docs/report.schema.json: speaker, role
(calibrate, check, profile, state, plot), file, code, meaning, the stress levels, measures
and constants, recording_s, stretch_start_s, stretch_end_s, stretch_s, peak_dbfs, rms_dbfs,
clipped_source, clipped_8bit, pitch_hz, voiced_share, flags, refusal, advice, profile,
profile_checks, error_number, error_message.
Flags: clipped, very_quiet, short_stretch (under 0.5 s analysed), no_voiced_speech,
steady_tone, pitch_mismatch (a check's pitch over 1.5 times, or under 2/3 of, that of the
calibration takes of the same run). A refused take says why in the intake's terms and what
to try.

Warnings and errors go to standard error, each naming its file; a take that cannot be read is
a failure row (with its error number and message) and the others are still analysed. A
summary (speakers, takes, refused, failed, time) ends the run on standard error; -q leaves out
warnings, the progress bar, the summary and the note that a run waits for a state file. A
recording longer than the analysis window is named once, however many speakers use it; from
the sixth such recording on they are only counted, and one line at the end gives their number.

-o FILE is written beside FILE and renamed into place, so it holds the old report or the new
one, never a report cut short by a full disk; a run stopped part-way (Ctrl-C, kill) leaves the
speakers written up to half a minute before.

--batch MANIFEST: a CSV file with a header and the columns speaker,role,file (role calibrate
or check; files relative to the manifest's folder, or file:// URLs). Each speaker gets a
control of its own; --jobs speakers are analysed at a time and reported in manifest order.
--state and --panel need a single speaker. --resume with -o FILE (csv or json) keeps the
report an earlier run of the same manifest left in FILE and carries on after it (the last
speaker there is analysed again, as it may have been cut short, and so is any speaker it
lacks, each written in its place), so an interrupted batch can be finished; a FILE that is
not this manifest's report (another header, a speaker the manifest lacks or out of its
order) is refused and left as it is. No output may be an input: -o, --panel and the state,
the manifest or a take naming the same file is refused before anything is written.

--plot DIR draws, per take, the waveform with the analysed stretch shaded, the flic
boundaries, the thorns (red) and jumps (blue); and per speaker the trend of the three stress
levels and result codes with the verdict's thresholds (--plot-format svg, png or pdf).

)";

constexpr const char* kAnalyzeExamples = R"(

Exit status: 0 when every take was analysed; 1 when a take, the manifest, the state, a plot or
the panel could not be read or written; 2 for a usage error. A take that the control rejects
as too short or silent is a warning, not a failure.

Examples:
  pellix analyze --calibrate cal1.wav cal2.wav cal3.wav --check answer1.wav answer2.wav
  pellix analyze --state alex.json --calibrate cal1.wav cal2.wav cal3.wav
  pellix analyze --state alex.json --check answers/ --profile --plot plots
  pellix analyze --state alex.json --fixed-calibration --check 'answers/*.flac' --format json
  sox answer.wav -t wav - | pellix analyze --state alex.json --check -
  pellix analyze --batch examples/manifest.csv --jobs 2 --format csv -o results.csv --resume)";

struct AnalyzeOptions {
  std::string params = analysis::kDefaultParams;
  std::vector<std::string> calibrate;
  std::vector<std::string> check;
  bool profile = false;
  std::optional<std::string> state;
  bool fixed_calibration = false;
  std::string format = "table";
  std::optional<std::string> panel;
  std::optional<std::string> batch;
  std::string output = "-";
  bool quiet = false;
  bool resume = false;
  std::string plot;
  std::string plot_format = "svg";
  int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
};

// What the file `output` would overwrite among the run's inputs ("the state file 'a.json'"):
// the state, the manifest, every take; empty when nothing.
std::string OverwrittenInput(const std::string& output, const AnalyzeOptions& options,
                             const std::vector<analysis::SpeakerTakes>& speakers) {
  const SameFileAs same(output);
  if (options.state && same(*options.state)) return "the state file '" + *options.state + "'";
  if (options.batch && same(*options.batch)) return "the manifest '" + *options.batch + "'";
  for (const analysis::SpeakerTakes& speaker : speakers) {
    for (const auto* takes : {&speaker.calibrations, &speaker.checks}) {
      for (const analysis::Take& take : *takes) {
        std::filesystem::path path;
        try {
          path = analysis::LocalTakePath(take.path.string(), "recording");
        } catch (const FileError&) {
          continue;  // read elsewhere, or refused when it is read
        }
        if (same(path)) return "the take '" + take.name + "'";
      }
    }
  }
  return {};
}

std::string Plural(std::size_t count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

// Ends the run with a usage error when the options do not go together.
void RefuseClashingOptions(const AnalyzeOptions& options, analysis::ReportFormat format) {
  const bool batch = options.batch.has_value();
  if (batch) {
    if (!options.calibrate.empty() || !options.check.empty()) {
      EndRun(UsageError(
          "analyze",
          "--batch takes its files from the manifest: leave out --calibrate and --check"));
    }
    if (options.state)
      EndRun(UsageError("analyze",
                        "--state keeps one speaker's control: it cannot be used with --batch"));
    if (options.panel)
      EndRun(UsageError("analyze",
                        "--panel draws one speaker's control: it cannot be used with --batch"));
  } else if (options.calibrate.empty() && options.check.empty()) {
    EndRun(UsageError(
        "analyze",
        "no file given: name takes with --calibrate and --check, or a manifest with --batch"));
  }
  if (options.resume) {
    if (!batch) EndRun(UsageError("analyze", "--resume skips the speakers of a --batch run"));
    if (options.output == "-") EndRun(UsageError("analyze", "--resume needs -o FILE to append to"));
    if (format == analysis::ReportFormat::kTable)
      EndRun(UsageError("analyze", "--resume needs --format csv or json"));
  }
}

// The speakers of the manifest, or the one speaker whose takes --calibrate and --check name
// (what standard input sends is saved in `scratch`).
std::vector<analysis::SpeakerTakes> ReadSpeakers(const AnalyzeOptions& options,
                                                 std::optional<ScratchFolder>& scratch) {
  try {
    if (options.batch) return analysis::ReadManifest(*options.batch);
    bool standard_input_used = false;
    analysis::SpeakerTakes takes;
    takes.calibrations = analysis::ExpandInputs(options.calibrate, scratch, standard_input_used);
    takes.checks = analysis::ExpandInputs(options.check, scratch, standard_input_used);
    std::vector<analysis::SpeakerTakes> speakers;
    speakers.push_back(std::move(takes));
    return speakers;
  } catch (const analysis::ManifestError& e) {
    EndRun(Failure(e.what()));
  } catch (const analysis::InputError& e) {
    EndRun(Failure(WithErrorNumber(e.what(), e.number())));
  } catch (const PlatformError& e) {
    EndRun(Failure(WithErrorNumber(e.what(), e.number())));
  }
}

// Ends the run with a usage error when an output would overwrite an input or the other output,
// before anything is written.
void RefuseOutputsThatAreInputs(const AnalyzeOptions& options,
                                const std::vector<analysis::SpeakerTakes>& speakers) {
  std::vector<std::pair<std::string, std::string>> outputs;  // option, file
  if (options.output != "-") outputs.emplace_back("-o", options.output);
  if (options.panel) outputs.emplace_back("--panel", *options.panel);
  for (const auto& [option, file] : outputs) {
    if (const std::string overwritten = OverwrittenInput(file, options, speakers);
        !overwritten.empty()) {
      EndRun(UsageError("analyze", option + " '" + file + "' would overwrite " + overwritten +
                                       ": name another file"));
    }
  }
  if (options.panel && options.output != "-" && SameFile(options.output, *options.panel)) {
    EndRun(UsageError("analyze", "-o and --panel name the same file '" + options.output +
                                     "': name another file for one of them"));
  }
}

// Where --resume carries on in the report an earlier run of the manifest left in -o's file
// (nothing kept when there is no such file yet); ends the run when that file is not this
// manifest's report or cannot be read.
analysis::ResumePoint FindWhereToResume(const AnalyzeOptions& options,
                                        analysis::ReportFormat format,
                                        const std::vector<analysis::SpeakerTakes>& speakers) {
  std::string written;
  try {
    written = ReadRegularFile(options.output);
  } catch (const FileError& e) {
    if (e.number() != kFileNotFound) {
      EndRun(Failure("cannot resume '" + options.output +
                     "': " + WithErrorNumber(e.what(), e.number())));
    }
  }
  try {
    return analysis::FindResumePoint(written, format, speakers, options.output);
  } catch (const analysis::ResumeError& e) {
    EndRun(Failure(WithErrorNumber(e.what(), kInvalidFileFormat) + "; it was left as it is"));
  }
}

// The speakers `plan` analyses, in its order.
std::vector<analysis::SpeakerTakes> SpeakersToAnalyse(std::vector<analysis::SpeakerTakes> speakers,
                                                      const analysis::ResumePlan& plan) {
  std::vector<analysis::SpeakerTakes> analysed;
  analysed.reserve(plan.analyse.size());
  for (const std::size_t i : plan.analyse) analysed.push_back(std::move(speakers[i]));
  return analysed;
}

// Where the report goes: standard output, or the file -o names, which is written beside it and
// put in place by Commit.
class ReportDestination {
 public:
  // Opens -o's file, with `header` (a resumed report's) written first; ends the run when it
  // cannot be written.
  ReportDestination(const std::string& output, std::string_view header) : output_(output) {
    if (output == "-") return;
    try {
      file_.emplace(output);
    } catch (const FileError& e) {
      EndRun(Failure("cannot write the report to '" + output +
                     "': " + WithErrorNumber(e.what(), e.number())));
    }
    stream_.emplace(&*file_);
    *stream_ << header;
  }

  std::ostream& stream() { return stream_ ? *stream_ : std::cout; }

  // Puts the report file in place; false, with what it holds said, when that failed. Standard
  // output is checked when the command ends, as for every command.
  bool Commit() {
    if (!file_) return true;
    const std::string error = file_->Commit();
    if (error.empty()) return true;
    std::cerr << "pellix: error: cannot write the report to '" << output_ << "': " << error << "; "
              << (file_->checkpointed() ? "it holds the speakers written up to its last checkpoint"
                                        : "it holds what it held before this run")
              << '\n';
    return false;
  }

 private:
  std::string output_;
  std::optional<ReportFile> file_;
  std::optional<std::ostream> stream_;
};

// What the run's sessions are given, from the options and the resumed report's plan.
analysis::RunOptions SessionRunOptions(const AnalyzeOptions& options, analysis::ReportFormat format,
                                       const analysis::ResumePlan& plan,
                                       plot::FolderPlotter* plotter) {
  analysis::RunOptions run;
  run.settings.params = options.params;
  run.settings.profile = options.profile;
  if (options.state) run.settings.state = *options.state;
  run.settings.fixed_calibration = options.fixed_calibration;
  run.settings.plotter = plotter;
  run.settings.show_speaker = options.batch.has_value();
  run.format = format;
  run.jobs = static_cast<unsigned>(options.jobs);
  run.quiet = options.quiet;
  run.header = plan.header.empty();
  run.before = plan.before;
  run.keep_first_control = options.panel.has_value();
  return run;
}

// Draws --panel from the first speaker's control; false, with the failure said, when that failed.
bool DrawPanel(const AnalyzeOptions& options, const analysis::RunResult& result) {
  if (!options.panel || !result.first_control) return true;
  try {
    WritePanelSvg(*result.first_control, *options.panel);
    return true;
  } catch (const std::exception& e) {
    std::cerr << "pellix: error: cannot write panel '" << *options.panel << "': " << e.what()
              << '\n';
    return false;
  }
}

// The line that ends a run on standard error: speakers, takes, refused, failed, time taken.
void SaySummary(std::size_t speakers, const analysis::TakeTally& tally,
                std::chrono::steady_clock::time_point started) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  char time[32];
  std::snprintf(time, sizeof time, "%.1f s", seconds);
  // Standard error writes each piece at once: the line is put together first and written in
  // one piece: one system call rather than a dozen, and never split by another program's
  // output on the same terminal.
  const std::string line = "pellix: " + Plural(speakers, "speaker") + ", " +
                           Plural(tally.takes(), "take") + ": " + std::to_string(tally.refused) +
                           " refused, " + std::to_string(tally.failed) + " failed, in " + time +
                           "\n";
  std::cerr << line;
}

int RunAnalyze(const AnalyzeOptions& options) {
  const auto started = std::chrono::steady_clock::now();
  // The validators of --format and --plot-format let only known names through.
  const analysis::ReportFormat format =
      analysis::ParseReportFormat(options.format).value_or(analysis::ReportFormat::kTable);
  const plot::PlotFormat plot_format =
      plot::ParsePlotFormat(options.plot_format).value_or(plot::PlotFormat::kSvg);
  RefuseClashingOptions(options, format);
  WarnOfParameters(options.params, options.quiet);
  std::optional<ScratchFolder> scratch;  // standard input, saved
  std::vector<analysis::SpeakerTakes> speakers = ReadSpeakers(options, scratch);
  RefuseOutputsThatAreInputs(options, speakers);
  // The whole read, analysis and save of the state, without another run in between.
  std::optional<analysis::StateLock> lock;
  LockStateFile(lock, options.state, options.quiet);

  // An earlier run's report, carried on: its header and speakers are written in their places
  // among the speakers analysed now, every one the file lacks.
  analysis::ResumePoint point;
  analysis::ResumePlan plan;
  if (options.resume) {
    point = FindWhereToResume(options, format, speakers);
    plan = analysis::PlanResume(point, speakers.size());
    speakers = SpeakersToAnalyse(std::move(speakers), plan);
  }
  if (!options.plot.empty()) MakeOutputFolder(options.plot, "plot folder");
  ReportDestination report(options.output, plan.header);
  std::optional<plot::FolderPlotter> plotter;
  if (!options.plot.empty()) plotter.emplace(options.plot, plot_format);
  const analysis::RunResult result = analysis::RunAnalysis(
      speakers, SessionRunOptions(options, format, plan, plotter ? &*plotter : nullptr),
      report.stream(), std::cerr);

  bool failed = result.failed;
  if (!report.Commit()) failed = true;
  if (!DrawPanel(options, result)) failed = true;
  if (!options.quiet) SaySummary(speakers.size(), result.tally, started);
  return failed ? 1 : 0;
}

}  // namespace

void AddAnalyzeCommand(CLI::App& app, CommandAction& action, LineOptions& line) {
  CLI::App* command = app.add_subcommand(
      "analyze", "Calibrate on a speaker's takes, check others, and report stress and verdicts");
  command->alias("analyse");  // the British spelling, as the reports write "analysed"
  auto options = std::make_shared<AnalyzeOptions>();
  // The options the line names, or all of them (line_options.h), in the order help lists them.
  if (line.Wants("--params")) {
    AddOptionWithDefault(command, "--params", options->params,
                         "Packed parameter string for Initalize (default: jumps 2 to 30, "
                         "background border 5, automatic gain)",
                         "TEXT");
  }
  if (line.Wants("--calibrate")) {
    AddPathOption(command, "--calibrate", options->calibrate, "Takes to calibrate on, in order",
                  "FILE");
  }
  if (line.Wants("--check")) {
    AddPathOption(command, "--check", options->check, "Takes to check, in order", "FILE");
  }
  if (line.Wants("--profile")) {
    command->add_flag("--profile", options->profile,
                      "Run the profiler after the checks and explain the profile");
  }
  if (line.Wants("--fixed-calibration")) {
    command->add_flag("--fixed-calibration", options->fixed_calibration,
                      "Check every take against the calibration as loaded: what checks move is "
                      "undone and not saved");
  }
  if (line.Wants("--state")) {
    AddPathOption(command, "--state", options->state,
                  "JSON property bag to load before and save after the run", "BAG.json");
  }
  if (line.Wants("--format")) AddReportFormatOption(command, options->format);
  if (line.Wants("--panel")) {
    AddPathOption(command, "--panel", options->panel,
                  "Draw the control's panel as SVG into this file", "OUT.svg");
  }
  if (line.Wants("--batch")) {
    AddPathOption(command, "--batch", options->batch,
                  "Manifest (CSV: speaker,role,file) of several speakers", "MANIFEST");
  }
  if (line.Wants("--jobs")) {
    AddOptionWithDefault(command, "--jobs", options->jobs,
                         "Speakers analysed at the same time in batch mode", "N")
        ->check(CLI::Range(1, kMaxJobs));
  }
  if (line.Wants("-o,--output")) {
    AddPathOption(command, "-o,--output", options->output,
                  "Write the report to FILE (- for stdout)", "FILE");
  }
  if (line.Wants("--resume")) {
    command->add_flag("--resume", options->resume,
                      "With --batch and -o: skip the speakers FILE already holds, append the rest");
  }
  if (line.Wants("-q,--quiet")) {
    command->add_flag("-q,--quiet", options->quiet, "No warnings, progress bar or summary");
  }
  if (line.Wants("--plot")) {
    AddPathOption(command, "--plot", options->plot,
                  "Draw each take and each speaker's trend into DIR", "DIR");
  }
  if (line.Wants("--plot-format")) {
    AddOptionWithDefault(command, "--plot-format", options->plot_format, "svg, png or pdf",
                         "FORMAT")
        ->check(CLI::IsMember({"svg", "png", "pdf"}));
  }
  SetFooter(
      command,
      [] {
        return std::string(kAnalyzeHelp) + ParametersHelp() + "\n\n" + ResultCodesHelp() + "\n";
      },
      kAnalyzeExamples + 1);
  command->callback([options, &action] { action = [options] { return RunAnalyze(*options); }; });
}

}  // namespace pellix
