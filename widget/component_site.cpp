#include "widget/component_site.h"

#include <cstring>

#include "control/interface_table.h"

namespace pellix {
namespace {

bool Same(const IID* a, const IID& b) {
  return a != nullptr && std::memcmp(a, &b, sizeof b) == 0;
}

// Both interfaces answer for the whole site, which lives as long as its widget: they count
// no references.
template <typename Interface>
HRESULT SiteQueryInterface(Interface* self, const IID* riid, void** ppv) {
  return ComponentSite::Of(self).QueryInterface(riid, ppv);
}
template <typename Interface>
ULONG Uncounted(Interface*) {
  return 1;
}

HRESULT GetTypeInfoCount(IDispatch*, UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}
HRESULT GetTypeInfo(IDispatch*, UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return E_NOTIMPL;
}
HRESULT GetIDsOfNames(IDispatch*, const IID*, LPOLESTR*, UINT, LCID, DISPID*) {
  return DISP_E_UNKNOWNNAME;
}

// The one ambient property a control asks its container for.
HRESULT Invoke(IDispatch* self, DISPID dispid, const IID*, LCID, WORD flags, DISPPARAMS*,
               VARIANT* result, EXCEPINFO*, UINT*) {
  if (dispid != DISPID_AMBIENT_USERMODE || (flags & DISPATCH_PROPERTYGET) == 0) {
    return DISP_E_MEMBERNOTFOUND;
  }
  if (result != nullptr) {
    std::memset(result, 0, sizeof *result);
    result->vt = VT_BOOL;
    result->u.boolVal = ComponentSite::Of(self).UserMode() ? VARIANT_TRUE : VARIANT_FALSE;
  }
  return S_OK;
}

HRESULT OnChanged(IPropertyNotifySink* self, DISPID dispid) {
  ComponentSite::Of(self).Changed(dispid);
  return S_OK;
}
HRESULT OnRequestEdit(IPropertyNotifySink*, DISPID) {
  return S_OK;
}

constexpr IDispatchVtbl kDispatchTable = {SiteQueryInterface<IDispatch>,
                                          Uncounted<IDispatch>,
                                          Uncounted<IDispatch>,
                                          GetTypeInfoCount,
                                          GetTypeInfo,
                                          GetIDsOfNames,
                                          Invoke};
constexpr IPropertyNotifySinkVtbl kNotifyTable = {
    SiteQueryInterface<IPropertyNotifySink>, Uncounted<IPropertyNotifySink>,
    Uncounted<IPropertyNotifySink>, OnChanged, OnRequestEdit};

}  // namespace

ComponentSite::ComponentSite(std::function<bool()> user_mode,
                             std::function<void(std::string_view)> changed)
    : dispatch_{{&kDispatchTable}, this},
      notify_{{&kNotifyTable}, this},
      user_mode_(std::move(user_mode)),
      changed_(std::move(changed)) {}

ComponentSite& ComponentSite::Of(IDispatch* self) noexcept {
  return *reinterpret_cast<Dispatch*>(self)->site;
}

ComponentSite& ComponentSite::Of(IPropertyNotifySink* self) noexcept {
  return *reinterpret_cast<Notify*>(self)->site;
}

HRESULT ComponentSite::QueryInterface(const IID* riid, void** ppv) noexcept {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (Same(riid, IID_IUnknown) || Same(riid, IID_IDispatch)) {
    *ppv = &dispatch_.iface;
  } else if (Same(riid, IID_IPropertyNotifySink)) {
    *ppv = &notify_.iface;
  } else {
    return E_NOINTERFACE;
  }
  return S_OK;
}

// The control notifies by dispatch identifier; the widget passes on the name it stands for.
void ComponentSite::Changed(DISPID dispid) const {
  for (const InterfaceMember& member : InterfaceTable()) {
    if (member.dispid == dispid && !member.notification.empty()) {
      changed_(member.notification);
      return;
    }
  }
}

}  // namespace pellix
