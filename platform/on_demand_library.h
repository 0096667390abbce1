// A shared library loaded the first time one of its functions is wanted.
//
// The pellix program draws pictures (cairo), captures from devices (PortAudio) and resamples
// (libsoxr) only in some commands, but a program linked to those libraries loads them, and the
// thirty others they bring, at every start: most of what `pellix --version` cost. It links
// stand-ins for the functions it calls instead (plot/cairo_on_demand.cpp,
// listen/portaudio_on_demand.cpp, audio/soxr_on_demand.cpp), which find the real ones here on
// first use.
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

}  // namespace pellix

// The body of a stand-in for the library function `name`: the real one, found through
// `find(#name)` on the first call, called with the same arguments.
#define PELLIX_ON_DEMAND_CALL(find, name, ...)                                \
  static auto* const real = reinterpret_cast<decltype(&::name)>(find(#name)); \
  return real(__VA_ARGS__)
