// Help texts drawn from the tables the reports use, so that --help, the man page and the
// README say what the reports say.
#include <cstdio>
#include <string>

#include "analysis/parameter_string.h"
#include "analysis/result_meanings.h"
#include "analysis/session.h"
#include "host/commands/command.h"

namespace pellix {

std::string ParametersHelp() {
  return "The parameter string (--params), by character position, as Initalize reads it:\n" +
         analysis::ParameterLayout() + "The default, " + analysis::kDefaultParams +
         ", gives jumps of 2 to 30 positions, a background border of 5 and automatic gain;\n"
         "`pellix params STRING` explains a string and warns about values that refuse every take.";
}

std::string ResultCodesHelp() {
  std::string out = "Result codes (code in the reports, CR_msgX of the control):\n";
  for (const analysis::ResultCodeEntry& entry : analysis::ResultCodes()) {
    char line[32];
    std::snprintf(line, sizeof line, "  %3d  ", entry.code);
    out += line + std::string(entry.meaning.description) + "\n";
  }
  return out + "A calibration publishes 0 when it accepts the take and -1 when it refuses it.";
}

}  // namespace pellix
