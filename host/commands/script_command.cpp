// pellix script [FILE]: runs a script against control instances, printing JSON lines.
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "files/file_error.h"
#include "files/safe_read.h"
#include "host/commands/command.h"
#include "host/script/script_runner.h"

namespace pellix {
namespace {

constexpr const char* kScriptHelp = R"(Statements, one per line ('#' starts a comment line):
  set NAME VALUE      property put; VALUE is a number, a "string" or true/false
  get NAME            property get
  call NAME           call a method (Initalize, Calibrate, Check, ResetCal, ResetAll,
                      profiler)
  usermode true|false the container's ambient UserMode for every instance
  new                 create an instance (InitProperties) and make it current; a script
                      holds at most 1000 instances (then error 7, Out of memory)
  use K               make instance K current (0 is the one created at start)
  save PATH           save the current instance's property bag as JSON (not onto the
                      script itself: error 75, Path/File access error)
  load PATH           create an instance from a saved property bag
  panel               show the captions of the current instance's value cells

Every statement prints one JSON line, with "ok" and, on failure, the error number and
description; property-change notifications print as they happen. A line that is not a
statement stops the script with exit status 2.

Examples:
  pellix script session.pellix
  printf 'set DATAstr "xyz0530"\ncall Initalize\npanel\n' | pellix script)";

// The help above names the limit.
static_assert(script::kMaxInstances == 1000);

int RunScript(const std::string& file) {
  script::ScriptRunner runner(std::cout);
  if (file == "-") return runner.Run(std::cin, std::cerr, "<stdin>");

  // Read whole and safely: a pipe or device named here would hang or never end (standard
  // input, "-", takes any stream).
  std::istringstream in;
  try {
    in.str(ReadRegularFile(file));
  } catch (const FileError& e) {
    std::cerr << "pellix: cannot read script " << file << ": " << e.what() << '\n';
    return script::kScriptUsageError;
  }
  runner.set_script_file(file);
  return runner.Run(in, std::cerr, file);
}

}  // namespace

void AddScriptCommand(CLI::App& app, CommandAction& action, LineOptions&) {
  CLI::App* command = app.add_subcommand(
      "script", "Drive control instances from a script and print what happens as JSON lines");
  auto file = std::make_shared<std::string>("-");
  command->add_option("FILE", *file, "The script; standard input when absent or -");
  command->footer(kScriptHelp);
  command->callback([file, &action] { action = [file] { return RunScript(*file); }; });
}

}  // namespace pellix
