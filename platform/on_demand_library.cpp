#include "platform/on_demand_library.h"

#include <dlfcn.h>

namespace pellix {

void* OnDemandLibrary::Find(const char* name, std::string& problem) {
  std::call_once(loaded_, [this] {
    handle_ = ::dlopen(file_, RTLD_NOW | RTLD_LOCAL);
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
