// pellix demo: the whole pattern of work on the bundled example recordings: Initalize,
// three calibrations, twelve checks and the profiler for the first speaker of the examples,
// reported as `pellix analyze` reports it, the profile's characters told position by position,
// and the control's panel drawn as panel.svg, its rows and columns named.
#include <unistd.h>

#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "analysis/analysis_run.h"
#include "analysis/manifest.h"
#include "host/commands/command.h"
#include "host/render/panel_render.h"
#include "host/render/profile_characters.h"

namespace pellix {
namespace {

constexpr const char* kDemoHelp =
    R"(The examples are found beside the installed program (share/pellix/examples), or in the
source tree the program was built from. To analyse every speaker of them:
  pellix analyze --batch examples/manifest.csv --profile

Examples:
  pellix demo
  pellix demo --out /tmp/pellix-demo)";

constexpr const char* kManifestName = "manifest.csv";

// Where the example manifest may be: installed beside the program, or in the source tree.
std::vector<std::filesystem::path> ManifestCandidates() {
  std::vector<std::filesystem::path> candidates;
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    candidates.push_back(program.parent_path().parent_path() / "share" / "pellix" / "examples" /
                         kManifestName);
  }
  candidates.push_back(std::filesystem::path(PELLIX_EXAMPLES_DIR) / kManifestName);
  return candidates;
}

// The example manifest: the first candidate that is a file. Ends the run, naming every place
// looked in, when there is none.
std::filesystem::path FindManifest() {
  const std::vector<std::filesystem::path> candidates = ManifestCandidates();
  for (const std::filesystem::path& candidate : candidates) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
  }
  std::cerr << "pellix: error: the example recordings are missing; looked for";
  for (const std::filesystem::path& candidate : candidates)
    std::cerr << " '" << candidate.string() << "'";
  std::cerr << '\n';
  EndRun(1);
}

// The manifest's first speaker, its takes named as the manifest names them
// ("recordings/alex_check_01.wav"), not by their long paths.
std::vector<analysis::SpeakerTakes> FirstSpeaker(const std::filesystem::path& manifest) {
  std::vector<analysis::SpeakerTakes> speakers;
  try {
    speakers = analysis::ReadManifest(manifest);
  } catch (const analysis::ManifestError& e) {
    EndRun(Failure(e.what()));
  }
  speakers.resize(1);
  for (auto* takes : {&speakers.front().calibrations, &speakers.front().checks}) {
    for (analysis::Take& take : *takes) {
      take.name = take.path.lexically_relative(manifest.parent_path()).string();
    }
  }
  return speakers;
}

// Where panel.svg goes: in `out_folder` (the current folder when empty), made when missing, and
// said in full, so that the picture can be opened from wherever the reader is.
std::filesystem::path PanelPath(const std::string& out_folder) {
  const std::filesystem::path folder = out_folder.empty() ? "." : out_folder;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    EndRun(Failure("cannot create folder '" + folder.string() + "': " + ec.message()));
  }
  const std::filesystem::path panel =
      std::filesystem::absolute(folder / "panel.svg", ec).lexically_normal();
  if (ec) {
    EndRun(Failure("cannot tell where '" + folder.string() + "' is: " + ec.message()));
  }
  return panel;
}

// Tells the characters of the profile (which DATAstr holds after the profiler) and draws the
// labelled panel; false, with the failure said, when that failed.
bool TellProfileAndDrawPanel(const analysis::RunResult& result,
                             const std::filesystem::path& panel) {
  try {
    if (!result.first_control) throw std::runtime_error("the control did not start");
    const std::string characters = ExplainProfileCharacters(result.first_control->get_DATAstr());
    if (!characters.empty()) std::cout << characters << '\n';
    PanelSvgOptions labelled;
    labelled.labelled = true;
    WritePanelSvg(*result.first_control, panel.string(), labelled);
    std::cout << "The control's panel: " << panel.string() << '\n';
    return true;
  } catch (const std::exception& e) {
    std::cerr << "pellix: error: cannot write panel '" << panel.string() << "': " << e.what()
              << '\n';
    return false;
  }
}

int RunDemo(const std::string& out_folder) {
  const std::filesystem::path manifest = FindManifest();
  const std::vector<analysis::SpeakerTakes> speakers = FirstSpeaker(manifest);
  const std::filesystem::path panel = PanelPath(out_folder);

  const analysis::SpeakerTakes& speaker = speakers.front();
  std::cout << "Speaker " << speaker.speaker << " of " << manifest.string() << ": "
            << speaker.calibrations.size() << " takes to calibrate on, " << speaker.checks.size()
            << " to check\n\n"
            << std::flush;
  analysis::RunOptions run;
  run.settings.profile = true;
  run.keep_first_control = true;
  const analysis::RunResult result = analysis::RunAnalysis(speakers, run, std::cout, std::cerr);
  const bool drawn = TellProfileAndDrawPanel(result, panel);
  return result.failed || !drawn ? 1 : 0;
}

}  // namespace

void AddDemoCommand(CLI::App& app, CommandAction& action, LineOptions&) {
  CLI::App* command = app.add_subcommand(
      "demo", "Analyse the bundled example recordings of one speaker and draw the panel");
  auto out = std::make_shared<std::string>();
  command->add_option("--out", *out, "Folder for panel.svg (default: the current folder)")
      ->type_name("DIR");
  command->footer(kDemoHelp);
  command->callback([out, &action] { action = [out] { return RunDemo(*out); }; });
}

}  // namespace pellix
