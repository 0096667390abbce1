#include "host/commands/command_line.h"

#include <cstring>
#include <exception>
#include <iostream>
#include <new>
#include <string>

#include <CLI/CLI.hpp>

#include "host/commands/command.h"
#include "host/standard_output.h"
#include "platform/excerpt.h"

namespace pellix {
namespace {

// Every subcommand, in the order --help lists them.
constexpr AddCommand kCommands[] = {
    AddAnalyzeCommand, AddListenCommand, AddDemoCommand,    AddScriptCommand,
    AddConvertCommand, AddPanelCommand,  AddTypelibCommand, AddParamsCommand,
};

constexpr const char* kExamples = R"(Examples:
  pellix script session.pellix     run a script, one JSON line per statement
  pellix script < session.pellix   the same, reading standard input
  pellix script --help             the script statements
  pellix listen --state alex.json  calibrate and check each utterance from the microphone
  pellix convert yes.wav yes.smp   a recording as a sample file for the control
  pellix params 000023000005000000 what a parameter string sets, position by position
  pellix panel --svg panel.svg     a new instance's panel, as text and as a picture
  pellix typelib > Pellix.idl      the type library as IDL)";

// The first word when it is meant as a subcommand but names none; CLI11 would only say that
// a subcommand is required.
const char* UnknownCommand(const CLI::App& app, int argc, const char* const* argv) {
  if (argc < 2 || argv[1][0] == '-') return nullptr;
  for (const CLI::App* command : app.get_subcommands({})) {
    if (command->check_name(argv[1])) return nullptr;
  }
  return argv[1];
}

std::string CommandNames(const CLI::App& app) {
  std::string names;
  for (const CLI::App* command : app.get_subcommands({})) {
    names += (names.empty() ? "" : ", ") + command->get_name();
  }
  return names;
}

int Run(const CommandAction& action) {
  try {
    return action ? action() : 0;
  } catch (const std::bad_alloc&) {
    std::cerr << "pellix: out of memory: the input is too large for the memory available\n";
  } catch (const std::exception& e) {
    std::cerr << "pellix: " << e.what() << '\n';
  }
  return 1;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv) {
  CheckedStandardOutput output;
  CLI::App app("Pellix: the voice-stress analysis control ALG_V1S and its host", "pellix");
  app.set_version_flag("-V,--version", "pellix " PELLIX_VERSION);
  app.require_subcommand(1);
  app.footer(std::string(kExamples) + "\n\n" + ResultCodesHelp());

  CommandAction action;
  for (AddCommand add : kCommands) add(app, action);

  int status;
  if (const char* unknown = UnknownCommand(app, argc, argv)) {
    std::cerr << "pellix: unknown command " << QuotedExcerpt(unknown, '\'') << "; the commands are "
              << CommandNames(app) << "\nRun with --help for more information.\n";
    status = kUsageError;
  } else {
    try {
      app.parse(argc, argv);
      status = Run(action);
    } catch (const CLI::ParseError& e) {
      // --help and --version end here too, with status 0; every real parse error is a usage
      // error, whatever number CLI11 gives it.
      status = app.exit(e) == 0 ? 0 : kUsageError;
    }
  }

  if (const int error = output.Finish(); error != 0) {
    std::cerr << "pellix: cannot write to standard output: " << std::strerror(error) << '\n';
    return 1;
  }
  return status;
}

}  // namespace pellix
