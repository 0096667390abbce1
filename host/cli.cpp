#include "host/cli.h"

#include <exception>
#include <iostream>

#include <CLI/CLI.hpp>

#include "host/commands/command.h"

namespace pellix {
namespace {

// Every subcommand, in the order --help lists them.
constexpr AddCommand kCommands[] = {
    AddAnalyzeCommand, AddParamsCommand, AddDemoCommand,    AddScriptCommand,
    AddConvertCommand, AddPanelCommand,  AddTypelibCommand,
};

constexpr const char* kExamples = R"(Examples:
  pellix script session.pellix     run a script, one JSON line per statement
  pellix script < session.pellix   the same, reading standard input
  pellix script --help             the script statements
  pellix convert yes.wav yes.smp   a recording as a sample file for the control
  pellix params 000023000005000000 what a parameter string sets, position by position
  pellix panel --svg panel.svg     a new instance's panel, as text and as a picture
  pellix typelib > Pellix.idl      the type library as IDL)";

}  // namespace

int RunCommandLine(int argc, const char* const* argv) {
  CLI::App app("Pellix: the voice-stress analysis control ALG_V1S and its host", "pellix");
  app.set_version_flag("-V,--version", "pellix " PELLIX_VERSION);
  app.require_subcommand(1);
  app.footer(std::string(kExamples) + "\n\n" + ResultCodesHelp());

  CommandAction action;
  for (AddCommand add : kCommands) add(app, action);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end here too, with status 0; every real parse error is a usage
    // error, whatever number CLI11 gives it.
    return app.exit(e) == 0 ? 0 : kUsageError;
  }

  try {
    return action ? action() : 0;
  } catch (const std::exception& e) {
    std::cerr << "pellix: " << e.what() << '\n';
    return 1;
  }
}

}  // namespace pellix
