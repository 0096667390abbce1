// pellix params STRING: what Initalize makes of a packed parameter string, field by field, with
// warnings about values that make every take refused.
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "analysis/parameter_string.h"
#include "analysis/session.h"
#include "host/commands/command.h"
#include "host/commands/command_line.h"

namespace pellix {
namespace {

void PrintField(const std::string& positions, const std::string& text, const std::string& what) {
  std::cout << "  " << positions
            << std::string(positions.size() < 6 ? 6 - positions.size() : 0, ' ') << "\"" << text
            << "\"" << std::string(text.size() < 4 ? 4 - text.size() : 0, ' ') << " -> " << what
            << '\n';
}

int RunParams(const std::optional<std::string>& given) {
  const std::string parameters = given.value_or(analysis::kDefaultParams);
  const analysis::ParameterReading reading = analysis::ReadParameters(parameters);
  std::cout << "Parameter string \"" << parameters << "\""
            << (given ? "" : " (the default: what pellix analyze and listen use without --params)")
            << ":\n";
  PrintField("1-3", reading.head, "not read by the control");
  for (const analysis::FieldReading& f : reading.fields) {
    const std::string positions = f.field->length == 1
                                      ? std::to_string(f.field->position)
                                      : std::to_string(f.field->position) + "-" +
                                            std::to_string(f.field->position + f.field->length - 1);
    PrintField(positions, f.text,
               std::string(f.field->name) + " = " + f.value + "  (" + std::string(f.field->target) +
                   ": " + std::string(f.field->meaning) + ")");
  }
  if (!reading.tail.empty()) PrintField("19-", reading.tail, "not read by the control");
  for (const std::string& warning : reading.warnings) {
    std::cerr << "pellix: warning: " << warning << '\n';
  }
  return 0;
}

}  // namespace

void AddParamsCommand(CLI::App& app, CommandAction& action, LineOptions&) {
  CLI::App* command = app.add_subcommand(
      "params", "Explain a packed parameter string position by position, with warnings");
  auto parameters = std::make_shared<std::optional<std::string>>();
  command->add_option("STRING", *parameters,
                      "The parameter string, as given to --params (default: the default string)");
  SetFooter(
      command, [] { return ParametersHelp() + "\n"; },
      "\nWarnings go to standard error; the exit status is 0 all the same, since "
      "a host may pass any string.\n\nExamples:\n  pellix params\n  pellix params "
      "000023000005000000\n  pellix params abc");
  command->callback(
      [parameters, &action] { action = [parameters] { return RunParams(*parameters); }; });
}

}  // namespace pellix
