// How failures cross the boundary: a status code for the caller and, for the error-information
// call, a description.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "Pellix.h"

namespace pellix::component {

// A failure with a status of its own and a description (a host bag's status, a damaged
// registry naming its file).
class StatusError : public std::exception {
 public:
  StatusError(HRESULT status, std::string description)
      : status_(status), description_(std::move(description)) {}
  HRESULT status() const noexcept { return status_; }
  const std::string& description() const noexcept { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  HRESULT status_;
  std::string description_;
};

// Records `description` as this thread's error information (source "Pellix.ALG_V1S").
void SetThreadError(std::string_view description) noexcept;

// How many descriptions the library has left on this thread so far.
std::uint64_t ThreadErrorMark() noexcept;

// A failure that has no description of its own: clears this thread's error information, so
// that a host never reads an older failure's description for this one, and gives `status`.
HRESULT Refuse(HRESULT status) noexcept;

// The status of the exception being handled, its description left as this thread's error
// information: a platform error n gives 0x800A0000 + n, a StatusError its own status,
// memory exhaustion E_OUTOFMEMORY, anything else E_FAIL. Call only inside a catch block.
HRESULT CurrentFailure() noexcept;

// Runs `body` (returning HRESULT), turning whatever it throws into a status. A failure the
// body returns without leaving a description clears the thread's (see Refuse).
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
  const std::uint64_t mark = ThreadErrorMark();
  HRESULT status;
  try {
    status = body();
  } catch (...) {
    return CurrentFailure();
  }
  return status < 0 && ThreadErrorMark() == mark ? Refuse(status) : status;
}

}  // namespace pellix::component
