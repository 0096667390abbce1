// PellixParameterWarnings: the warnings `pellix analyze` gives for a parameter string, read on a
// control of its own, so that no speaker's state is touched.
#include <new>
#include <string>
#include <utility>

#include "PellixAnalysis.h"
#include "analysis/parameter_string.h"
#include "analysis/session.h"

const char* PellixParameterWarnings(const char* parameters) {
  thread_local std::string warnings;
  try {
    std::string lines;
    for (const std::string& warning :
         pellix::analysis::ReadParameters(parameters ? parameters
                                                     : pellix::analysis::kDefaultParams)
             .warnings) {
      lines += warning + '\n';
    }
    warnings = std::move(lines);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return warnings.c_str();
}
