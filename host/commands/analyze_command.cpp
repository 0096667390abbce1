// pellix analyze: calibrates a control on a speaker's takes, checks the others and reports
// the stress levels, result codes and profile; or does so for every speaker of a manifest.
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/analysis/analysis_run.h"
#include "host/analysis/manifest.h"
#include "host/analysis/state_file.h"
#include "host/cli.h"
#include "host/commands/command.h"
#include "host/render/panel_render.h"
#include "host/same_file.h"

namespace pellix {
namespace {

constexpr const char* kAnalyzeHelp =
    R"(Takes: a sample file is used as it is; any recording libsndfile reads (WAV, FLAC, Ogg,
AIFF, ...) is converted to one first, in memory, as far as the control reads: at most 30001
samples of a take (about 2.7 s at 11025 Hz), of which it analyses the first utterance.

Order of work: the state (or a new control), --params and Initalize, every --calibrate take,
every --check take, the profiler, the state saved, the panel drawn.

--state BAG.json keeps the control's properties between runs, so a speaker calibrated once
can be checked later without calibrating again. A missing file is created; a file that is
not a saved property bag is reported and left as it is. Runs sharing a state file take turns
(an advisory lock on the hidden file .BAG.json.lock beside it), so no run's update is lost.

Formats:
  table  one line per take, then the profile digit by digit in words (the default)
  json   JSON lines: one object per calibration, check and profile, with a "kind" key
  csv    a header line, then one row per calibration and check; profiles are not part of
         csv output, so --profile needs table or json
Warnings and errors go to standard error, each naming its file; a take that cannot be read
is left out of the report and the others are still analysed.

--batch MANIFEST: a CSV file with a header and the columns speaker,role,file (role calibrate
or check; files relative to the manifest's folder). Each speaker gets a control of its own;
--jobs speakers are analysed at a time and reported in manifest order, with a speaker column.
--state and --panel need a single speaker.

Exit status: 0 when every take was analysed; 1 when a take, the manifest, the state or the
panel could not be read or written; 2 for a usage error. A take that the control rejects as
too short or silent is a warning, not a failure.

Examples:
  pellix analyze --calibrate cal1.wav cal2.wav cal3.wav --check answer1.wav answer2.wav
  pellix analyze --state alex.json --calibrate cal1.wav cal2.wav cal3.wav
  pellix analyze --state alex.json --check answer.flac --format json
  pellix analyze --batch examples/manifest.csv --jobs 2 --profile)";

struct AnalyzeOptions {
  std::string params = analysis::kDefaultParams;
  std::vector<std::string> calibrate;
  std::vector<std::string> check;
  bool profile = false;
  std::optional<std::string> state;
  std::string format = "table";
  std::optional<std::string> panel;
  std::optional<std::string> batch;
  int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
};

int UsageError(const std::string& message) {
  std::cerr << "pellix analyze: " << message << "\nRun with --help for more information.\n";
  return kUsageError;
}

// What --panel would overwrite among the run's inputs ("the state file 'a.json'"); empty when
// nothing.
std::string OverwrittenInput(const AnalyzeOptions& options) {
  if (!options.panel) return {};
  if (options.state && SameFile(*options.panel, *options.state)) {
    return "the state file '" + *options.state + "'";
  }
  for (const auto* files : {&options.calibrate, &options.check}) {
    for (const std::string& file : *files) {
      if (SameFile(*options.panel, file)) return "the take '" + file + "'";
    }
  }
  return {};
}

std::vector<analysis::Take> Takes(const std::vector<std::string>& files) {
  std::vector<analysis::Take> takes;
  for (const std::string& file : files) takes.push_back({file, file});
  return takes;
}

int RunAnalyze(const AnalyzeOptions& options) {
  // --format's validator let only known names through.
  const analysis::ReportFormat format =
      analysis::ParseReportFormat(options.format).value_or(analysis::ReportFormat::kTable);
  const bool batch = options.batch.has_value();
  if (batch) {
    if (!options.calibrate.empty() || !options.check.empty()) {
      return UsageError(
          "--batch takes its files from the manifest: leave out --calibrate and --check");
    }
    if (options.state)
      return UsageError("--state keeps one speaker's control: it cannot be used with --batch");
    if (options.panel)
      return UsageError("--panel draws one speaker's control: it cannot be used with --batch");
  } else if (options.calibrate.empty() && options.check.empty()) {
    return UsageError(
        "no file given: name takes with --calibrate and --check, or a manifest with --batch");
  }
  if (options.profile && format == analysis::ReportFormat::kCsv) {
    return UsageError(
        "profiles are not part of csv output: use --format table or json with --profile");
  }

  std::vector<analysis::SpeakerTakes> speakers;
  if (batch) {
    try {
      speakers = analysis::ReadManifest(*options.batch);
    } catch (const analysis::ManifestError& e) {
      std::cerr << "pellix: error: " << e.what() << '\n';
      return 1;
    }
  } else {
    speakers.push_back({"", Takes(options.calibrate), Takes(options.check)});
  }

  if (const std::string overwritten = OverwrittenInput(options); !overwritten.empty()) {
    return UsageError("--panel '" + *options.panel + "' would overwrite " + overwritten +
                      ": name another file");
  }

  // The whole read, analysis and save of the state, without another run in between.
  std::optional<analysis::StateLock> lock;
  if (options.state) {
    try {
      lock.emplace(*options.state, [&options] {
        std::cerr << "pellix: waiting for another run to finish with state file '" << *options.state
                  << "'\n";
      });
    } catch (const analysis::StateError& e) {
      std::cerr << "pellix: error: " << e.what() << '\n';
      return 1;
    }
  }

  analysis::RunOptions run;
  run.settings.params = options.params;
  run.settings.profile = options.profile;
  if (options.state) run.settings.state = *options.state;
  run.settings.show_speaker = batch;
  run.format = format;
  run.jobs = static_cast<unsigned>(options.jobs);
  analysis::RunResult result = analysis::RunAnalysis(speakers, run, std::cout, std::cerr);

  bool failed = result.failed;
  if (options.panel && result.sessions.front().started) {
    try {
      WritePanelSvg(*result.sessions.front().control, *options.panel);
    } catch (const std::exception& e) {
      std::cerr << "pellix: error: cannot write panel '" << *options.panel << "': " << e.what()
                << '\n';
      failed = true;
    }
  }
  return failed ? 1 : 0;
}

}  // namespace

void AddAnalyzeCommand(CLI::App& app, CommandAction& action) {
  CLI::App* command = app.add_subcommand(
      "analyze", "Calibrate on a speaker's takes, check others, and report stress and verdicts");
  auto options = std::make_shared<AnalyzeOptions>();
  command
      ->add_option("--params", options->params,
                   "Packed parameter string for Initalize (default: jumps 2 to 30, "
                   "background border 5, automatic gain)")
      ->type_name("TEXT")
      ->capture_default_str();
  command->add_option("--calibrate", options->calibrate, "Takes to calibrate on, in order")
      ->type_name("FILE")
      ->check(NonEmptyPath());
  command->add_option("--check", options->check, "Takes to check, in order")
      ->type_name("FILE")
      ->check(NonEmptyPath());
  command->add_flag("--profile", options->profile,
                    "Run the profiler after the checks and explain the profile");
  command
      ->add_option("--state", options->state,
                   "JSON property bag to load before and save after the run")
      ->type_name("BAG.json")
      ->check(NonEmptyPath());
  command->add_option("--format", options->format, "table, json or csv")
      ->type_name("FORMAT")
      ->capture_default_str()
      ->check(CLI::IsMember({"table", "json", "csv"}));
  command->add_option("--panel", options->panel, "Draw the control's panel as SVG into this file")
      ->type_name("OUT.svg")
      ->check(NonEmptyPath());
  command
      ->add_option("--batch", options->batch,
                   "Manifest (CSV: speaker,role,file) of several speakers")
      ->type_name("MANIFEST")
      ->check(NonEmptyPath());
  command->add_option("--jobs", options->jobs, "Speakers analysed at the same time in batch mode")
      ->type_name("N")
      ->capture_default_str()
      ->check(CLI::Range(1, kMaxJobs));
  command->footer(kAnalyzeHelp);
  command->callback([options, &action] { action = [options] { return RunAnalyze(*options); }; });
}

}  // namespace pellix
