// Late binding through IDispatch: names to identifiers and Invoke, with the dispatch
// interface's statuses for what cannot be called and the platform's conversions for arguments.
#include "component/dispatch.h"

#include <cstring>
#include <optional>

#include "component/bstr.h"
#include "component/control_object.h"
#include "component/program_name.h"
#include "component/variant.h"
#include "control/interface_table.h"
#include "control/late_binding.h"
#include "platform/error.h"

namespace pellix::component {

namespace {

// The kinds a dispatch identifier offers.
struct Kinds {
  bool method = false;
  bool get = false;
  bool put = false;
  bool any() const { return method || get || put; }
};

Kinds KindsOf(DISPID dispid) {
  Kinds kinds;
  for (const InterfaceMember& member : InterfaceTable()) {
    if (member.dispid != dispid) continue;
    kinds.method |= member.kind == MemberKind::kMethod;
    kinds.get |= member.kind == MemberKind::kPropertyGet;
    kinds.put |= member.kind == MemberKind::kPropertyPut;
  }
  return kinds;
}

// The platform error of a failed member into the exception record.
void FillException(EXCEPINFO* exception, HRESULT status) {
  if (exception == nullptr) return;
  std::memset(exception, 0, sizeof *exception);
  exception->scode = status;
  BSTR description = PellixLastErrorDescription();
  exception->bstrDescription = description;
  try {
    exception->bstrSource = BstrFromText(kProgramName);
  } catch (const std::bad_alloc&) {
    exception->bstrSource = nullptr;
  }
}

}  // namespace

HRESULT GetTypeInfoCount(_ALG_V1S* self, UINT* count) {
  if (count == nullptr) return Refuse(E_POINTER);
  *count = 0;
  return OnControl(self, [&](ControlObject&) {
    *count = 1;
    return S_OK;
  });
}

HRESULT GetTypeInfo(_ALG_V1S* self, UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return Refuse(E_POINTER);
  *info = nullptr;
  return OnControl(self, [&](ControlObject&) -> HRESULT {
    if (index != 0) return DISP_E_BADINDEX;
    *info = NewTypeInfo();
    return S_OK;
  });
}

DISPID DispatchIdOfName(LPCOLESTR name) {
  try {
    return GetIDOfName(Utf8FromUtf16(OleStringUnits(name)));
  } catch (const PlatformError&) {
    return DISPID_UNKNOWN;
  }
}

HRESULT GetIDsOfNames(_ALG_V1S* self, const IID*, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (names == nullptr || ids == nullptr) return Refuse(E_POINTER);
  return OnControl(self, [&](ControlObject&) -> HRESULT {
    if (count == 0) return E_INVALIDARG;
    // Only members have names here: a parameter name after the member's is unknown.
    ids[0] = DispatchIdOfName(names[0]);
    for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
  });
}

HRESULT Invoke(_ALG_V1S* self, DISPID dispid, const IID*, LCID, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* exception, UINT* argument_error) {
  return OnControl(self, [&](ControlObject& object) -> HRESULT {
    if (params == nullptr) return E_POINTER;
    if (params->cArgs != 0 && params->rgvarg == nullptr) return E_POINTER;
    if (params->cNamedArgs != 0 && params->rgdispidNamedArgs == nullptr) return E_POINTER;
    const Kinds kinds = KindsOf(dispid);
    if (!kinds.any()) return DISP_E_MEMBERNOTFOUND;

    InvokeKind kind;
    Value argument;
    if ((flags & DISPATCH_PROPERTYPUT) != 0) {
      if (!kinds.put) return DISP_E_MEMBERNOTFOUND;
      if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
      if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        return DISP_E_PARAMNOTOPTIONAL;
      }
      const std::optional<Value> value = FromVariant(params->rgvarg[0]);
      if (!value) {
        if (argument_error != nullptr) *argument_error = 0;
        return DISP_E_TYPEMISMATCH;
      }
      argument = *value;
      kind = InvokeKind::kPropertyPut;
    } else {
      if ((flags & DISPATCH_METHOD) != 0 && kinds.method) {
        kind = InvokeKind::kMethod;
      } else if ((flags & DISPATCH_PROPERTYGET) != 0 && kinds.get) {
        kind = InvokeKind::kPropertyGet;
      } else {
        return DISP_E_MEMBERNOTFOUND;
      }
      if (params->cArgs != 0 || params->cNamedArgs != 0) return DISP_E_BADPARAMCOUNT;
    }

    Value value;
    try {
      value = pellix::Invoke(object.control(), dispid, kind, argument);
    } catch (const PlatformError&) {
      FillException(exception, CurrentFailure());
      return DISP_E_EXCEPTION;
    }
    if (result != nullptr) ToVariant(value, *result);
    return S_OK;
  });
}

}  // namespace pellix::component
