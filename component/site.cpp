// The client site: the host hands it over through IObjectWithSite; the control asks it for the
// ambient UserMode and tells it of PropertyChanged.
#include <cstring>

#include "component/control_object.h"
#include "component/variant.h"
#include "control/interface_table.h"
#include "platform/conversions.h"
#include "platform/error.h"

namespace pellix::component {

namespace {

constexpr IID kNullId = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// An interface of the site, released when it goes out of scope.
template <class Interface>
class SiteInterface {
 public:
  SiteInterface(IUnknown* site, const IID& id) {
    void* found = nullptr;
    if (site != nullptr && site->lpVtbl->QueryInterface(site, &id, &found) >= 0) {
      interface_ = static_cast<Interface*>(found);
    }
  }
  ~SiteInterface() {
    if (interface_ != nullptr) interface_->lpVtbl->Release(interface_);
  }
  SiteInterface(const SiteInterface&) = delete;
  SiteInterface& operator=(const SiteInterface&) = delete;
  Interface* get() const noexcept { return interface_; }

 private:
  Interface* interface_ = nullptr;
};

// The dispatch identifier of the property that notifies under `name`.
DISPID NotifyingProperty(std::string_view name) {
  for (const InterfaceMember& member : InterfaceTable()) {
    if (member.notification == name) return member.dispid;
  }
  return DISPID_UNKNOWN;
}

}  // namespace

void HostSite::Set(IUnknown* site) noexcept {
  if (site != nullptr) site->lpVtbl->AddRef(site);
  IUnknown* old = site_;
  site_ = site;
  if (old != nullptr) old->lpVtbl->Release(old);
}

bool HostSite::UserMode() const {
  SiteInterface<IDispatch> ambient(site_, IID_IDispatch);
  if (ambient.get() == nullptr) return true;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  std::memset(&result, 0, sizeof result);
  const HRESULT status =
      ambient.get()->lpVtbl->Invoke(ambient.get(), DISPID_AMBIENT_USERMODE, &kNullId, 0,
                                    DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
  if (status < 0) return true;
  const std::optional<Value> value = FromVariant(result);
  ClearVariant(result);
  if (!value || value->is_empty()) return true;
  if (value->type() == ValueType::kBoolean) return value->boolean();
  try {
    return ToDouble(*value) != 0;
  } catch (const PlatformError&) {
    return true;  // an answer that is no truth value counts as no answer
  }
}

void HostSite::PropertyChanged(std::string_view name) {
  SiteInterface<IPropertyNotifySink> sink(site_, IID_IPropertyNotifySink);
  if (sink.get() != nullptr) sink.get()->lpVtbl->OnChanged(sink.get(), NotifyingProperty(name));
}

namespace {

HRESULT SetSite(IObjectWithSite* self, IUnknown* site) {
  return OnControl(self, [&](ControlObject& object) {
    object.site().Set(site);
    return S_OK;
  });
}

HRESULT GetSite(IObjectWithSite* self, const IID* riid, void** ppv) {
  if (ppv == nullptr) return Refuse(E_POINTER);
  *ppv = nullptr;
  return OnControl(self, [&](ControlObject& object) -> HRESULT {
    IUnknown* site = object.site().get();
    if (site == nullptr) return E_FAIL;
    return site->lpVtbl->QueryInterface(site, riid, ppv);
  });
}

constexpr IObjectWithSiteVtbl kObjectWithSite = {
    FaceQueryInterface<ControlObject, IObjectWithSite>, FaceAddRef<ControlObject, IObjectWithSite>,
    FaceRelease<ControlObject, IObjectWithSite>, SetSite, GetSite};

}  // namespace

const IObjectWithSiteVtbl& ObjectWithSiteTable() {
  return kObjectWithSite;
}

}  // namespace pellix::component

extern "C" PELLIX_API const char* PellixPropertyChangeName(DISPID dispid) {
  // The notification names are literals in the interface table, so they end in a zero.
  for (const pellix::InterfaceMember& member : pellix::InterfaceTable()) {
    if (member.dispid == dispid && !member.notification.empty()) {
      return member.notification.data();
    }
  }
  return nullptr;
}
