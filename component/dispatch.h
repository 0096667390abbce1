// IDispatch's four entries of _ALG_V1S: type information, names to identifiers, invoke.
#pragma once

#include "Pellix.h"

namespace pellix::component {

HRESULT GetTypeInfoCount(_ALG_V1S* self, UINT* count);
HRESULT GetTypeInfo(_ALG_V1S* self, UINT index, LCID lcid, ITypeInfo** info);
HRESULT GetIDsOfNames(_ALG_V1S* self, const IID* riid, LPOLESTR* names, UINT count, LCID lcid,
                      DISPID* ids);
HRESULT Invoke(_ALG_V1S* self, DISPID dispid, const IID* riid, LCID lcid, WORD flags,
               DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argument_error);

// A new ITypeInfo of _ALG_V1S with one reference (type_info.cpp).
ITypeInfo* NewTypeInfo();

// The identifier of a member name, matched without regard to case; DISPID_UNKNOWN when no
// member has that name.
DISPID DispatchIdOfName(LPCOLESTR name);

}  // namespace pellix::component
