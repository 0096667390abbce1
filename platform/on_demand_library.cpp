#include "platform/on_demand_library.h"

#include <dlfcn.h>

namespace pellix {

void* OnDemandLibrary::Find(const char* name, std::string& problem) {
  std::call_once(loaded_, [this] {
    // Bound lazily, as a library the program linked would be: libsndfile and the codec
    // libraries it brings call hundreds of functions of each other, of which a recording uses a
    // few; binding them all at once cost a third of what loading them did.
    handle_ = ::dlopen(file_, RTLD_LAZY | RTLD_LOCAL);
    if (handle_ == nullptr) {
      const char* error = ::dlerror();
      load_error_ =
          std::string(file_) + " cannot be loaded: " + (error ? error : "no reason given");
    }
  });
  if (handle_ == nullptr) {
    problem = load_error_;
    return nullptr;
  }
  void* function = ::dlsym(handle_, name);
  if (function == nullptr) problem = std::string(file_) + " has no function " + name;
  return function;
}

}  // namespace pellix
