// The error-information object and this thread's slot for it.
#include <atomic>
#include <cstdint>
#include <new>
#include <string>

#include "component/bstr.h"
#include "component/face.h"
#include "component/failure.h"
#include "component/module_count.h"
#include "component/program_name.h"
#include "platform/error.h"

namespace pellix::component {

namespace {

struct ErrorInfo {
  Face<IErrorInfo, ErrorInfo> face;
  std::atomic<ULONG> references{1};
  std::string description;
};

ErrorInfo* Self(IErrorInfo* face) {
  return &OwnerOf<ErrorInfo>(face);
}

HRESULT CopyText(std::string_view text, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return Guarded([&] {
    *out = BstrFromText(text);
    return S_OK;
  });
}

HRESULT QueryInterface(IErrorInfo* self, const IID* riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (self == nullptr || riid == nullptr) return E_POINTER;
  if (!SameId(riid, IID_IUnknown) && !SameId(riid, IID_IErrorInfo)) return E_NOINTERFACE;
  self->lpVtbl->AddRef(self);
  *ppv = self;
  return S_OK;
}
ULONG AddRef(IErrorInfo* self) {
  return ++Self(self)->references;
}
ULONG Release(IErrorInfo* self) {
  const ULONG left = --Self(self)->references;
  if (left == 0) {
    delete Self(self);
    ObjectDestroyed();
  }
  return left;
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
  return CopyText(Self(self)->description, out);
}
HRESULT GetHelpFile(IErrorInfo*, BSTR* out) {
  return CopyText("", out);
}
HRESULT GetHelpContext(IErrorInfo*, DWORD* out) {
  if (out == nullptr) return E_POINTER;
  *out = 0;
  return S_OK;
}

constexpr IErrorInfoVtbl kVtbl = {QueryInterface, AddRef,         Release,     GetGUID,
                                  GetSource,      GetDescription, GetHelpFile, GetHelpContext};

// This thread's error information; one reference is held here.
thread_local IErrorInfo* t_error = nullptr;

void Replace(IErrorInfo* info) noexcept {
  IErrorInfo* old = t_error;
  t_error = info;
  if (old != nullptr) old->lpVtbl->Release(old);
}

}  // namespace

void SetThreadError(std::string_view description) noexcept {
  auto* info = new (std::nothrow) ErrorInfo{};
  if (info == nullptr) return Replace(nullptr);
  info->face = {{&kVtbl}, info};
  try {
    info->description = description;
  } catch (...) {
    delete info;
    return Replace(nullptr);
  }
  ObjectCreated();
  Replace(&info->face.iface);
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
  pellix::component::Replace(info);
  return S_OK;
}

PELLIX_API HRESULT PellixGetErrorInfo(DWORD, IErrorInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = pellix::component::t_error;
  pellix::component::t_error = nullptr;
  return *info != nullptr ? S_OK : S_FALSE;
}

PELLIX_API BSTR PellixLastErrorDescription(void) {
  IErrorInfo* info = pellix::component::t_error;
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
