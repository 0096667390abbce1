// PellixParameterWarnings: the warnings `pellix analyze` gives for a parameter string, read on
// an analysis state of its own, so that a speaker's state on the calling thread stays as it is.
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "PellixAnalysis.h"
#include "analysis/parameter_string.h"
#include "analysis/session.h"
#include "engine/tarvo_alg1.h"

namespace {

// Puts `state` on this thread for its lifetime and the thread's own back after.
class StateOnThisThread {
 public:
  explicit StateOnThisThread(Tarvo_alg1::SharedState& state) : state_(state) {
    std::swap(Tarvo_alg1::Shared(), state_);
  }
  ~StateOnThisThread() { std::swap(Tarvo_alg1::Shared(), state_); }
  StateOnThisThread(const StateOnThisThread&) = delete;
  StateOnThisThread& operator=(const StateOnThisThread&) = delete;

 private:
  Tarvo_alg1::SharedState& state_;
};

}  // namespace

const char* PellixParameterWarnings(const char* parameters) {
  thread_local std::string warnings;
  try {
    auto own = std::make_unique<Tarvo_alg1::SharedState>();
    const StateOnThisThread on_this_thread(*own);
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
