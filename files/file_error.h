// A failed file operation: the platform error number a host receives, and words for the people
// reading the message. One type for every layer: the platform's own file code gives the cause
// alone, and the readers and writers that know what the file is for give a whole message that
// names it.
#pragma once

#include <cstring>
#include <stdexcept>
#include <string>

#include "files/file_system.h"
#include "platform/error.h"

namespace pellix {

class FileError : public PlatformError {
 public:
  // what() gives the cause ("No space left on device", "it is a pipe, not a regular file"), not
  // the number's description, so that a message can say both.
  FileError(int number, const std::string& reason) : FileError(number, reason, false) {}

  // The error for a failed system call: FileErrorNumber(errno_value), and strerror's text.
  static FileError FromErrno(int errno_value) {
    return FileError(FileErrorNumber(errno_value), std::strerror(errno_value));
  }

  // An error whose what() is a whole message that names the file ("cannot open recording
  // 'a.wav': No such file or directory").
  static FileError Message(int number, const std::string& message) {
    return FileError(number, message, true);
  }

  const char* what() const noexcept override { return text_.what(); }
  bool names_file() const noexcept { return names_file_; }

 private:
  FileError(int number, const std::string& text, bool names_file)
      : PlatformError(number), text_(text), names_file_(names_file) {}

  // std::runtime_error keeps the text in a shared buffer, so copying the error cannot throw.
  std::runtime_error text_;
  bool names_file_;
};

// True for a FileError whose what() is a whole message naming its file; a caller adds the
// file's name to any other error's words.
inline bool NamesItsFile(const PlatformError& e) noexcept {
  const auto* file_error = dynamic_cast<const FileError*>(&e);
  return file_error != nullptr && file_error->names_file();
}

// Throws FileError::Message(FileErrorNumber(errno_value), "<action> '<path>': <reason>").
[[noreturn]] inline void RaiseFileError(int errno_value, const std::string& action,
                                        const std::string& path) {
  throw FileError::Message(FileErrorNumber(errno_value),
                           action + " '" + path + "': " + std::strerror(errno_value));
}

}  // namespace pellix
