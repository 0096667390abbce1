// The subcommands of `pellix`. Each lives in a file of its own under host/commands/ and adds
// itself to the application; command_line.cpp lists them.
#pragma once

#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>

#include <CLI/CLI.hpp>

#include "analysis/parameter_string.h"
#include "analysis/session.h"
#include "analysis/state_file.h"
#include "host/commands/command_line.h"
#include "host/commands/line_options.h"
#include "platform/error.h"

namespace pellix {

// What the chosen subcommand runs once the whole command line has parsed; returns the
// process's exit status.
using CommandAction = std::function<int()>;

// Adds one subcommand to `app`, with the options `line` wants of it (analyze builds those
// alone; the others build every option). When the command line chooses it, its parse callback
// stores the work to do in `action`.
using AddCommand = void (*)(CLI::App& app, CommandAction& action, LineOptions& line);

// Says on standard error what is wrong with the command line of `pellix command` and where
// help is; returns the exit status of a usage error.
inline int UsageError(const char* command, const std::string& message) {
  std::cerr << "pellix " << command << ": " << message
            << "\nRun with --help for more information.\n";
  return kUsageError;
}

// Says on standard error what failed; returns the exit status of a failed run.
inline int Failure(const std::string& message) {
  std::cerr << "pellix: error: " << message << '\n';
  return 1;
}

// Thrown by a step of a command that ends the run before its end, once the step has said why;
// the process exits with `status`.
struct RunEnd {
  int status;
};

// Ends the run with `status` (that of UsageError or Failure, which say why).
[[noreturn]] inline void EndRun(int status) {
  throw RunEnd{status};
}

// "MESSAGE (error NUMBER)": a failure with the platform error number it stands for.
inline std::string WithErrorNumber(const std::string& message, int number) {
  return message + " (error " + std::to_string(number) + ")";
}

// Makes `folder` (with its parents) for the files an option writes there; ends the run when it
// cannot, naming it as `what` ("cannot make the keep folder 'k': ... (error 75)").
inline void MakeOutputFolder(const std::string& folder, const std::string& what) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    EndRun(Failure("cannot make " + what + " '" + folder +
                   "': " + WithErrorNumber(ec.message(), kPathFileAccessError)));
  }
}

// Says on standard error, unless `quiet`, what in the --params string Initalize will not read
// as the user may have meant it.
inline void WarnOfParameters(const std::string& params, bool quiet) {
  // The default string draws none (the parameter string tests hold it to that): reading it
  // back would build a control and zero its engine state for nothing, at every run.
  if (quiet || params == analysis::kDefaultParams) return;
  for (const std::string& warning : analysis::ReadParameters(params).warnings)
    std::cerr << "pellix: warning: --params: " << warning << '\n';
}

// The most jobs --jobs takes: more threads than that only cost memory.
inline constexpr int kMaxJobs = 1024;

// A check for options that name a file: an empty path ("--state ''") names none, and is a
// usage error rather than the option left out.
inline CLI::Validator NonEmptyPath() {
  return CLI::Validator(
      [](const std::string& value) {
        return value.empty() ? std::string("an empty path names no file") : std::string();
      },
      "", "NonEmptyPath");
}

// An option that names a file or folder, shown in the help as `type`; it may not be empty.
template <typename T>
CLI::Option* AddPathOption(CLI::App* command, const std::string& name, T& path,
                           const std::string& help, const std::string& type) {
  return command->add_option(name, path, help)->type_name(type)->check(NonEmptyPath());
}

// An option whose default the help shows, shown in the help as `type`.
template <typename T>
CLI::Option* AddOptionWithDefault(CLI::App* command, const std::string& name, T& value,
                                  const std::string& help, const std::string& type) {
  return command->add_option(name, value, help)->type_name(type)->capture_default_str();
}

// --format: the report as a table, json lines or csv.
inline CLI::Option* AddReportFormatOption(CLI::App* command, std::string& format) {
  return AddOptionWithDefault(command, "--format", format, "table, json or csv", "FORMAT")
      ->check(CLI::IsMember({"table", "json", "csv"}));
}

// Takes the lock of the state file a run reads and saves, when it names one, for as long as
// `lock` lives, so that no other run reads or saves that file in between. While another run
// holds it, says so once on standard error unless `quiet`. Ends the run, with the failure said,
// when locking fails.
inline void LockStateFile(std::optional<analysis::StateLock>& lock,
                          const std::optional<std::string>& state, bool quiet) {
  if (!state) return;
  try {
    lock.emplace(*state, [&state, quiet] {
      if (!quiet) {
        std::cerr << "pellix: waiting for another run to finish with state file '" << *state
                  << "'\n";
      }
    });
  } catch (const analysis::StateError& e) {
    EndRun(Failure(e.what()));
  }
}

void AddAnalyzeCommand(CLI::App& app, CommandAction& action, LineOptions& line);
void AddListenCommand(CLI::App& app, CommandAction& action, LineOptions& line);
void AddDemoCommand(CLI::App& app, CommandAction& action, LineOptions& line);
void AddScriptCommand(CLI::App& app, CommandAction& action, LineOptions& line);
void AddConvertCommand(CLI::App& app, CommandAction& action, LineOptions& line);
void AddPanelCommand(CLI::App& app, CommandAction& action, LineOptions& line);
void AddTypelibCommand(CLI::App& app, CommandAction& action, LineOptions& line);
void AddParamsCommand(CLI::App& app, CommandAction& action, LineOptions& line);

// Sets the help footer of `command` to head() + tail, with head() made only when the help is
// shown: the tables the footers draw on take longer to format than a small command's own work.
// head() ends with a newline.
inline void SetFooter(CLI::App* command, std::function<std::string()> head, std::string tail) {
  // CLI11 shows the footer function's text, a newline, then the footer string.
  command->footer([head = std::move(head)] {
    std::string text = head();
    text.pop_back();
    return text;
  });
  command->footer(std::move(tail));
}

// The parameter string's layout and default, for the help of every command that takes one.
std::string ParametersHelp();

// Every result code the control publishes and what it means, one per line.
std::string ResultCodesHelp();

}  // namespace pellix
