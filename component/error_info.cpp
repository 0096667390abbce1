// The error-information object and this thread's slot for it.
#include <cstdint>
#include <new>
#include <string>

#include <utility>

#include "component/bstr.h"
#include "component/failure.h"
#include "component/program_name.h"
#include "component/ref_counted.h"
#include "platform/error.h"

namespace pellix::component {

namespace {

const IErrorInfoVtbl& ErrorInfoTable();

struct ErrorInfo final : SingleInterface<ErrorInfo, IErrorInfo, IID_IErrorInfo> {
  explicit ErrorInfo(std::string text)
      : SingleInterface(ErrorInfoTable()), description(std::move(text)) {}
  std::string description;
};

HRESULT CopyText(std::string_view text, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return Guarded([&] {
    *out = BstrFromText(text);
    return S_OK;
  });
}

HRESULT GetGUID(IErrorInfo*, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  *guid = IID__ALG_V1S;
  return S_OK;
}
HRESULT GetSource(IErrorInfo*, BSTR* out) {
  return CopyText(kProgramName, out);
}
HRESULT GetDescription(IErrorInfo* self, BSTR* out) {
  if (self == nullptr) return E_POINTER;
  return CopyText(OwnerOf<ErrorInfo>(self).description, out);
}
HRESULT GetHelpFile(IErrorInfo*, BSTR* out) {
  return CopyText("", out);
}
HRESULT GetHelpContext(IErrorInfo*, DWORD* out) {
  if (out == nullptr) return E_POINTER;
  *out = 0;
  return S_OK;
}

constexpr IErrorInfoVtbl kVtbl = {FaceQueryInterface<ErrorInfo, IErrorInfo>,
                                  FaceAddRef<ErrorInfo, IErrorInfo>,
                                  FaceRelease<ErrorInfo, IErrorInfo>,
                                  GetGUID,
                                  GetSource,
                                  GetDescription,
                                  GetHelpFile,
                                  GetHelpContext};

const IErrorInfoVtbl& ErrorInfoTable() {
  return kVtbl;
}

// This thread's error information, with the one reference held here; released when the
// thread ends, so that a thread that fails once and exits leaves nothing behind. `sets`
// counts the descriptions the library left on this thread.
struct ThreadError {
  ThreadError() = default;
  ThreadError(const ThreadError&) = delete;
  ThreadError& operator=(const ThreadError&) = delete;
  ~ThreadError() { Replace(nullptr); }

  void Replace(IErrorInfo* next) noexcept {
    IErrorInfo* old = info;
    info = next;
    if (old != nullptr) old->lpVtbl->Release(old);
  }

  IErrorInfo* info = nullptr;
  std::uint64_t sets = 0;
};

thread_local ThreadError t_error;

}  // namespace

void SetThreadError(std::string_view description) noexcept {
  ++t_error.sets;
  try {
    t_error.Replace((new ErrorInfo(std::string(description)))->iface());
  } catch (...) {
    t_error.Replace(nullptr);  // no memory for a description: at least none that misleads
  }
}

std::uint64_t ThreadErrorMark() noexcept {
  return t_error.sets;
}

HRESULT Refuse(HRESULT status) noexcept {
  t_error.Replace(nullptr);
  return status;
}

HRESULT CurrentFailure() noexcept {
  try {
    throw;
  } catch (const PlatformError& e) {
    SetThreadError(e.description().empty() ? std::string_view(e.what()) : e.description());
    return static_cast<HRESULT>(e.status());
  } catch (const StatusError& e) {
    SetThreadError(e.description());
    return e.status();
  } catch (const std::bad_alloc&) {
    SetThreadError("Out of memory");
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    SetThreadError(e.what());
    return E_FAIL;
  } catch (...) {
    SetThreadError("Unexpected failure");
    return E_FAIL;
  }
}

}  // namespace pellix::component

extern "C" {

PELLIX_API HRESULT PellixSetErrorInfo(DWORD, IErrorInfo* info) {
  if (info != nullptr) info->lpVtbl->AddRef(info);
  pellix::component::t_error.Replace(info);
  return S_OK;
}

PELLIX_API HRESULT PellixGetErrorInfo(DWORD, IErrorInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = std::exchange(pellix::component::t_error.info, nullptr);
  return *info != nullptr ? S_OK : S_FALSE;
}

PELLIX_API BSTR PellixLastErrorDescription(void) {
  IErrorInfo* info = pellix::component::t_error.info;
  if (info == nullptr) return nullptr;
  BSTR text = nullptr;
  info->lpVtbl->GetDescription(info, &text);
  return text;
}

PELLIX_API int PellixErrorNumber(HRESULT status) {
  const auto bits = static_cast<std::uint32_t>(status);
  return (bits & 0xFFFF0000u) == 0x800A0000u ? static_cast<int>(bits & 0xFFFFu) : 0;
}

}  // extern "C"
