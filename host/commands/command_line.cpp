#include "host/commands/command_line.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "host/commands/command.h"
#include "host/commands/line_options.h"
#include "host/standard_output.h"
#include "platform/excerpt.h"

namespace pellix {
namespace {

// A subcommand: the names its Add function gives it, that function, and whether it builds only
// the options the line names (analyze, whose options cost the most) or every one.
struct CommandEntry {
  std::string_view name;
  std::string_view alias;  // empty when it has none
  AddCommand add;
  bool named_options_only = false;
};

// Every subcommand, in the order --help lists them.
constexpr CommandEntry kCommands[] = {
    {"analyze", "analyse", AddAnalyzeCommand, true},
    {"listen", "", AddListenCommand},
    {"demo", "", AddDemoCommand},
    {"script", "", AddScriptCommand},
    {"convert", "", AddConvertCommand},
    {"panel", "", AddPanelCommand},
    {"typelib", "", AddTypelibCommand},
    {"params", "", AddParamsCommand},
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

// Adds to `app` the subcommands the command line can reach. Building a subcommand's options
// costs more than a small command's whole run (CLI11 checks each new option against every
// earlier one), so a line whose first word names a subcommand gets that one alone, and a line
// that only asks for the version gets none: what either does, says or fails with does not
// depend on the others. Any other line (help, no words, a word naming no subcommand) may list
// them all, and gets them all, with pellix's own help footer, which only such a line shows.
// With `named_only`, a subcommand that can builds only the options the line names; false when
// the line names one it was not given, and so must be parsed with every option.
bool AddReachableCommands(CLI::App& app, CommandAction& action, int argc, const char* const* argv,
                          bool named_only) {
  LineOptions every;
  if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0))
    return true;
  if (argc > 1) {
    const std::string_view word = argv[1];
    for (const CommandEntry& command : kCommands) {
      if (word == command.name || (!command.alias.empty() && word == command.alias)) {
        if (!named_only || !command.named_options_only) {
          command.add(app, action, every);
          return true;
        }
        LineOptions named(argc, argv);
        command.add(app, action, named);
        return named.AllBuilt();
      }
    }
  }
  for (const CommandEntry& command : kCommands) command.add(app, action, every);
  app.footer(std::string(kExamples) + "\n\n" + ResultCodesHelp());
  return true;
}

// A parser with pellix's own flags, and no subcommand yet.
std::unique_ptr<CLI::App> NewParser() {
  auto app = std::make_unique<CLI::App>(
      "Pellix: the voice-stress analysis control ALG_V1S and its host", "pellix");
  app->set_version_flag("-V,--version", "pellix " PELLIX_VERSION);
  app->require_subcommand(1);
  return app;
}

// The subcommand `name` names (an alias included), or null.
const CLI::App* CommandNamed(const CLI::App& app, const std::string& name) {
  for (const CLI::App* command : app.get_subcommands({})) {
    if (command->check_name(name)) return command;
  }
  return nullptr;
}

// The first word when it is meant as a subcommand but names none; CLI11 would only say that
// a subcommand is required.
const char* UnknownCommand(const CLI::App& app, int argc, const char* const* argv) {
  if (argc < 2 || argv[1][0] == '-') return nullptr;
  return CommandNamed(app, argv[1]) != nullptr ? nullptr : argv[1];
}

std::string CommandNames(const CLI::App& app) {
  std::string names;
  for (const CLI::App* command : app.get_subcommands({})) {
    names += (names.empty() ? "" : ", ") + command->get_name();
  }
  return names;
}

// How many letters must be put in, left out or changed to turn `a` into `b`.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// Of `names`, the one `typed` most likely meant: within two letters of it, and nearer than a
// third of its length; empty when none is.
std::string Nearest(std::string_view typed, const std::vector<std::string>& names) {
  std::string best;
  std::size_t best_distance = std::min<std::size_t>(3, typed.size() / 3 + 1);
  for (const std::string& name : names) {
    const std::size_t distance = EditDistance(typed, name);
    if (distance < best_distance) {
      best = name;
      best_distance = distance;
    }
  }
  return best;
}

// " Did you mean 'x'?" for the nearest of `names`, or nothing.
std::string Suggestion(std::string_view typed, const std::vector<std::string>& names) {
  const std::string nearest = Nearest(typed, names);
  return nearest.empty() ? std::string() : "; did you mean '" + nearest + "'?";
}

// What to say of a command line CLI11 refused, in the command's words: the first option the
// command (or, with none, pellix itself) does not know, with the one it most likely meant; or
// CLI11's own message.
std::string ParseErrorMessage(const CLI::ParseError& error, const CLI::App& app,
                              const CLI::App* command, int argc, const char* const* argv) {
  if (dynamic_cast<const CLI::ExtrasError*>(&error) == nullptr &&
      dynamic_cast<const CLI::RequiredError*>(&error) == nullptr) {
    return error.what();
  }
  std::vector<std::string> names;
  for (const CLI::App* scope : {command, &app}) {
    if (scope == nullptr) continue;
    for (const CLI::Option* option : scope->get_options()) {
      for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    }
  }
  for (int i = command != nullptr ? 2 : 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--") break;
    if (!word.starts_with("--")) continue;
    const std::string_view name = word.substr(0, word.find('='));
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    return "unknown option " + QuotedExcerpt(name, '\'') + Suggestion(name, names);
  }
  return error.what();
}

int Run(const CommandAction& action) {
  try {
    return action ? action() : 0;
  } catch (const RunEnd& end) {
    return end.status;
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
  CommandAction action;
  std::unique_ptr<CLI::App> parser = NewParser();
  if (!AddReachableCommands(*parser, action, argc, argv, true)) {
    parser = NewParser();
    AddReachableCommands(*parser, action, argc, argv, false);
  }
  CLI::App& app = *parser;

  int status;
  if (const char* unknown = UnknownCommand(app, argc, argv)) {
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands({})) names.push_back(command->get_name());
    const std::string suggestion = Suggestion(unknown, names);
    std::cerr << "pellix: unknown command " << QuotedExcerpt(unknown, '\'') << suggestion
              << (suggestion.empty() ? "; the" : " The") << " commands are " << CommandNames(app)
              << "\nRun with --help for more information.\n";
    status = kUsageError;
  } else {
    try {
      app.parse(argc, argv);
      status = Run(action);
    } catch (const CLI::ParseError& e) {
      if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
        status = app.exit(e);  // --help and --version
      } else {
        // Every real parse error is a usage error, whatever number CLI11 gives it, said in
        // the command's words.
        const CLI::App* command = argc > 1 ? CommandNamed(app, argv[1]) : nullptr;
        std::cerr << "pellix" << (command != nullptr ? " " + command->get_name() : "") << ": "
                  << ParseErrorMessage(e, app, command, argc, argv)
                  << "\nRun with --help for more information.\n";
        status = kUsageError;
      }
    }
  }

  if (const int error = output.Finish(); error != 0) {
    std::cerr << "pellix: cannot write to standard output: " << std::strerror(error) << '\n';
    return 1;
  }
  return status;
}

}  // namespace pellix
