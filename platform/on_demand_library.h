// A shared library loaded the first time one of its functions is wanted.
//
// The pellix program draws pictures (cairo), captures from devices (PortAudio), resamples
// (libsoxr) and opens recordings (libsndfile) only in some commands, but a program linked to
// those libraries loads them, and the forty others they bring, at every start: most of what
// `pellix --version` cost. It links stand-ins for the functions it calls instead
// (plot/cairo_on_demand.cpp, listen/portaudio_on_demand.cpp, audio/soxr_on_demand.cpp,
// audio/sndfile_on_demand.cpp), which find the real ones here on first use.
#pragma once

#include <mutex>
#include <string>

namespace pellix {

class OnDemandLibrary {
 public:
  // `file` is the library's name as the dynamic loader looks it up ("libcairo.so.2").
  explicit OnDemandLibrary(const char* file) : file_(file) {}

  // The function `name`, loading the library on the first call; nullptr when the library or
  // the function cannot be found, with `problem` saying which and why.
  void* Find(const char* name, std::string& problem);

  // The function `name`; when it cannot be found, throws what `error(problem)` makes of why,
  // so that each stand-in fails as its own layer's errors do.
  template <typename MakeError>
  void* FindOr(const char* name, MakeError error) {
    std::string problem;
    if (void* function = Find(name, problem)) return function;
    throw error(problem);
  }

 private:
  const char* file_;
  std::once_flag loaded_;
  void* handle_ = nullptr;
  std::string load_error_;
};

// What one library's stand-ins load, and how they fail when a function cannot be found: with
// make(number, failing + why), the error of their own layer, so that a caller handles it as any
// other failure of that layer.
template <typename Error>
struct OnDemandStandIns {
  const char* file;  // as the dynamic loader looks it up
  Error (*make)(int number, const std::string& message);
  int number;
  const char* failing;
};

// The function `name` of the stand-ins' library, loaded on first use. The library is one per
// `standins` object, so every stand-in of a file shares one.
template <const auto& standins>
void* FindOnDemand(const char* name) {
  static OnDemandLibrary library(standins.file);
  return library.FindOr(name, [](const std::string& problem) {
    return standins.make(standins.number, standins.failing + problem);
  });
}

}  // namespace pellix

// The body of a stand-in for the library function `name` of `standins` (an OnDemandStandIns):
// the real one, found on the first call, called with the same arguments.
#define PELLIX_ON_DEMAND_CALL(standins, name, ...)                                  \
  static auto* const real =                                                         \
      reinterpret_cast<decltype(&::name)>(::pellix::FindOnDemand<standins>(#name)); \
  return real(__VA_ARGS__)
