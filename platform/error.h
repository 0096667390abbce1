// Platform errors: the numbered run-time errors a host receives from a failed call.
#pragma once

#include <cstdint>
#include <exception>
#include <string_view>

namespace pellix {

// The platform's standard error numbers used by the control and its libraries; each has its
// description in the one table of error.cpp.
enum ErrorNumber : int {
  kInvalidProcedureCall = 5,
  kOverflow = 6,
  kOutOfMemory = 7,
  kSubscriptOutOfRange = 9,
  kDivisionByZero = 11,
  kTypeMismatch = 13,
  kInternalError = 51,
  kFileNotFound = 53,
  kPermissionDenied = 70,
  kPathFileAccessError = 75,
  kInvalidFileFormat = 321,
  kSetNotSupportedAtRuntime = 382,
  kGetNotSupportedAtRuntime = 393,
  kMemberNotSupported = 438,
};

// The platform's description of an error number ("Overflow" for 6); empty for unknown numbers.
std::string_view ErrorDescription(int number) noexcept;

// The status code a failed call returns: facility control, severity failure.
constexpr std::uint32_t ErrorStatus(int number) noexcept {
  return 0x800A0000u + static_cast<std::uint32_t>(number);
}

// A run-time error of the platform, thrown from the failing step and caught by whoever
// resumes (the resume-on-error steps) or by the host boundary.
class PlatformError : public std::exception {
 public:
  explicit PlatformError(int number) noexcept : number_(number) {}

  int number() const noexcept { return number_; }
  std::uint32_t status() const noexcept { return ErrorStatus(number_); }
  std::string_view description() const noexcept { return ErrorDescription(number_); }
  const char* what() const noexcept override;

 private:
  int number_;
};

[[noreturn]] void RaiseError(int number);

}  // namespace pellix
