#include "component/control_object.h"

#include "engine/tarvo_alg1.h"
#include "files/file_system.h"

namespace pellix::component {

const std::shared_ptr<Tarvo_alg1::SharedState>& ThreadEngineState() {
  thread_local const std::shared_ptr<Tarvo_alg1::SharedState> state =
      std::make_shared<Tarvo_alg1::SharedState>();
  return state;
}

ControlObject::ControlObject()
    : owner_(std::this_thread::get_id()),
      control_(&site_, NativeFileSystem(), ThreadEngineState()) {
  dual = {{&DualTable()}, this};
  support_error_info = {{&SupportErrorInfoTable()}, this};
  persist = {{&PersistPropertyBagTable()}, this};
  with_site = {{&ObjectWithSiteTable()}, this};
  connection_points = {{&ConnectionPointContainerTable()}, this};
  event_point = {{&ConnectionPointTable()}, this};
}

HRESULT ControlObject::QueryInterface(const IID* riid, void** ppv) noexcept {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (riid == nullptr) return E_POINTER;
  if (SameId(riid, IID_IUnknown) || SameId(riid, IID_IDispatch) || SameId(riid, IID__ALG_V1S)) {
    *ppv = &dual.iface;
  } else if (SameId(riid, IID_ISupportErrorInfo)) {
    *ppv = &support_error_info.iface;
  } else if (SameId(riid, IID_IPersistPropertyBag)) {
    *ppv = &persist.iface;
  } else if (SameId(riid, IID_IObjectWithSite)) {
    *ppv = &with_site.iface;
  } else if (SameId(riid, IID_IConnectionPointContainer)) {
    *ppv = &connection_points.iface;
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

// ISupportErrorInfo: every failure of the control's own interface leaves a description.
namespace {

HRESULT InterfaceSupportsErrorInfo(ISupportErrorInfo* self, const IID* riid) {
  if (self == nullptr || riid == nullptr) return E_POINTER;
  const bool own = SameId(riid, IID__ALG_V1S) || SameId(riid, IID_IDispatch) ||
                   SameId(riid, IID_IPersistPropertyBag);
  return own ? S_OK : S_FALSE;
}

constexpr ISupportErrorInfoVtbl kSupportErrorInfo = {
    FaceQueryInterface<ControlObject, ISupportErrorInfo>,
    FaceAddRef<ControlObject, ISupportErrorInfo>, FaceRelease<ControlObject, ISupportErrorInfo>,
    InterfaceSupportsErrorInfo};

}  // namespace

const ISupportErrorInfoVtbl& SupportErrorInfoTable() {
  return kSupportErrorInfo;
}

}  // namespace pellix::component

extern "C" PELLIX_API pellix::ALG_V1S* PellixControlOf(IUnknown* object) {
  using namespace pellix::component;
  void* dual = nullptr;
  if (object == nullptr || object->lpVtbl->QueryInterface(object, &IID__ALG_V1S, &dual) < 0) {
    return nullptr;
  }
  auto* face = static_cast<_ALG_V1S*>(dual);
  // Only this library's objects show its own table.
  pellix::ALG_V1S* control =
      face->lpVtbl == &DualTable() ? &OwnerOf<ControlObject>(face).control() : nullptr;
  face->lpVtbl->Release(face);
  return control;
}
