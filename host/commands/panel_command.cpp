// pellix panel [--state BAG.json] [--svg OUT.svg]: shows a control's panel, new or loaded.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "control/alg_v1s.h"
#include "files/file_error.h"
#include "files/json_property_bag.h"
#include "host/commands/command.h"
#include "host/commands/command_line.h"
#include "host/render/panel_render.h"
#include "host/same_file.h"
#include "platform/error.h"

namespace pellix {
namespace {

constexpr const char* kPanelHelp =
    R"(Without --state the panel is that of a new instance; with it, that of an instance
loaded from a property bag saved by `pellix script` (save PATH). A bag that cannot be read,
or a value in it that the control refuses, is reported with its error number (exit 1).

Examples:
  pellix panel
  pellix panel --state session.json
  pellix panel --state session.json --svg panel.svg)";

struct PanelOptions {
  std::optional<std::string> state;  // an empty path given is an error, not "no bag"
  std::optional<std::string> svg;
};

std::string Describe(const PlatformError& e) {
  return std::string(e.description()) + " (error " + std::to_string(e.number()) + ")";
}

int RunPanel(const PanelOptions& options) {
  if (options.state && options.svg && SameFile(*options.state, *options.svg)) {
    std::cerr << "pellix panel: --svg '" << *options.svg << "' would overwrite the property bag '"
              << *options.state << "': name another file\n";
    return kUsageError;
  }
  ALG_V1S control;
  if (!options.state) {
    control.InitProperties();
  } else {
    const std::string& path = *options.state;
    std::optional<JsonPropertyBag> bag;
    try {
      bag = JsonPropertyBag::Load(path);
    } catch (const FileError& e) {
      std::cerr << "pellix: cannot read property bag '" << path << "': " << e.what() << ", "
                << Describe(e) << '\n';
      return 1;
    } catch (const PlatformError& e) {
      std::cerr << "pellix: cannot read property bag '" << path << "': " << Describe(e) << '\n';
      return 1;
    }
    KeyTrackingBag tracked(*bag);
    try {
      control.ReadProperties(tracked);
    } catch (const PlatformError& e) {
      std::cerr << "pellix: cannot load property bag '" << path << "': the value of \""
                << tracked.last_key() << "\" is refused: " << Describe(e) << '\n';
      return 1;
    }
  }

  if (options.svg) {
    try {
      WritePanelSvg(control, *options.svg);
    } catch (const PlatformError& e) {
      std::cerr << "pellix: " << e.what() << " (error " << e.number() << ")\n";
      return 1;
    }
  }
  std::cout << RenderPanelText(control);
  return 0;
}

}  // namespace

void AddPanelCommand(CLI::App& app, CommandAction& action, LineOptions&) {
  CLI::App* command = app.add_subcommand("panel", "Show the control's panel as text or SVG");
  auto options = std::make_shared<PanelOptions>();
  command
      ->add_option("--state", options->state,
                   "A saved property bag (JSON) to load instead of a new instance")
      ->check(NonEmptyPath());
  command->add_option("--svg", options->svg, "Also write the panel as an SVG picture here")
      ->check(NonEmptyPath());
  command->footer(kPanelHelp);
  command->callback([options, &action] { action = [options] { return RunPanel(*options); }; });
}

}  // namespace pellix
