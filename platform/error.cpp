#include "platform/error.h"

namespace pellix {

std::string_view ErrorDescription(int number) noexcept {
  switch (number) {
    case kInvalidProcedureCall:
      return "Invalid procedure call or argument";
    case kOverflow:
      return "Overflow";
    case kOutOfMemory:
      return "Out of memory";
    case kSubscriptOutOfRange:
      return "Subscript out of range";
    case kDivisionByZero:
      return "Division by zero";
    case kTypeMismatch:
      return "Type mismatch";
    case kInternalError:
      return "Internal error";
    case kFileNotFound:
      return "File not found";
    case kPermissionDenied:
      return "Permission denied";
    case kPathFileAccessError:
      return "Path/File access error";
    case kInvalidFileFormat:
      return "Invalid file format";
    case kSetNotSupportedAtRuntime:
      return "Set not supported at runtime";
    case kGetNotSupportedAtRuntime:
      return "Get not supported at runtime";
    case kMemberNotSupported:
      return "Object doesn't support this property or method";
    default:
      return {};
  }
}

// The descriptions are string literals, so the view is always NUL-terminated.
const char* PlatformError::what() const noexcept {
  std::string_view text = ErrorDescription(number_);
  return text.empty() ? "Application-defined or object-defined error" : text.data();
}

void RaiseError(int number) {
  throw PlatformError(number);
}

}  // namespace pellix
