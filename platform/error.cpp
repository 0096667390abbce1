#include "platform/error.h"

namespace pellix {
namespace {

struct ErrorText {
  int number;
  const char* description;  // a string literal, so always NUL-terminated
};

// Every number the control raises or its libraries return, with the platform's words for it.
constexpr ErrorText kErrorTexts[] = {
    {kInvalidProcedureCall, "Invalid procedure call or argument"},
    {kOverflow, "Overflow"},
    {kOutOfMemory, "Out of memory"},
    {kSubscriptOutOfRange, "Subscript out of range"},
    {kDivisionByZero, "Division by zero"},
    {kTypeMismatch, "Type mismatch"},
    {kInternalError, "Internal error"},
    {kFileNotFound, "File not found"},
    {kPermissionDenied, "Permission denied"},
    {kPathFileAccessError, "Path/File access error"},
    {kInvalidFileFormat, "Invalid file format"},
    {kSetNotSupportedAtRuntime, "Set not supported at runtime"},
    {kGetNotSupportedAtRuntime, "Get not supported at runtime"},
    {kMemberNotSupported, "Object doesn't support this property or method"},
};

}  // namespace

std::string_view ErrorDescription(int number) noexcept {
  for (const ErrorText& entry : kErrorTexts) {
    if (entry.number == number) return entry.description;
  }
  return {};
}

const char* PlatformError::what() const noexcept {
  std::string_view text = ErrorDescription(number_);
  return text.empty() ? "Application-defined or object-defined error" : text.data();
}

void RaiseError(int number) {
  throw PlatformError(number);
}

}  // namespace pellix
