// A failed file operation: the platform error number a host receives, and the cause in words
// for the people reading the message.
#pragma once

#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/error.h"
#include "platform/file_system.h"

namespace pellix {

// what() gives the cause ("No space left on device", "it is a pipe, not a regular file"), not
// the number's description, so that a message can say both.
class FileError : public PlatformError {
 public:
  FileError(int number, const std::string& reason) : PlatformError(number), reason_(reason) {}

  // The error for a failed system call: FileErrorNumber(errno_value), and strerror's text.
  static FileError FromErrno(int errno_value) {
    return FileError(FileErrorNumber(errno_value), std::strerror(errno_value));
  }

  const char* what() const noexcept override { return reason_.what(); }

 private:
  // std::runtime_error keeps the text in a shared buffer, so copying the error cannot throw.
  std::runtime_error reason_;
};

}  // namespace pellix
