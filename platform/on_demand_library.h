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

 private:
  const char* file_;
  std::once_flag loaded_;
  void* handle_ = nullptr;
  std::string load_error_;
};

}  // namespace pellix
