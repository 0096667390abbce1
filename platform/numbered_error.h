// An error whose message is whole (it names what failed and says why) and that carries the
// platform error number a host receives; each layer's own error types derive from it, so that
// callers can catch them apart and still read the number the same way.
#pragma once

#include <stdexcept>
#include <string>

namespace pellix {

class NumberedError : public std::runtime_error {
 public:
  NumberedError(const std::string& message, int number)
      : std::runtime_error(message), number_(number) {}
  int number() const noexcept { return number_; }

 private:
  int number_;
};

}  // namespace pellix
