// Errors of the audio unit: a platform error number for hosts that report numbers, and a
// message naming the file for people.
#pragma once

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/error.h"
#include "platform/file_system.h"

namespace pellix {

// A platform error (53, 70, 75, 321, ...) with a message that says which file and what went
// wrong. Catch it as PlatformError to get the number; what() gives the message.
class AudioError : public PlatformError {
 public:
  AudioError(int number, const std::string& message) : PlatformError(number), message_(message) {}

  const char* what() const noexcept override { return message_.what(); }

 private:
  // std::runtime_error keeps the text in a shared buffer, so copying the error cannot throw.
  std::runtime_error message_;
};

// Throws AudioError(FileErrorNumber(errno_value)) with "<action> '<path>': <reason>".
[[noreturn]] inline void RaiseFileError(int errno_value, const std::string& action,
                                        const std::string& path) {
  throw AudioError(FileErrorNumber(errno_value),
                   action + " '" + path + "': " + std::strerror(errno_value));
}

}  // namespace pellix
