// The connection point of the event interface __ALG_V1S. Hosts connect to it as to any
// control's events; the control never fires them.
#include "component/control_object.h"

namespace pellix::component {

EventSinks::~EventSinks() {
  for (auto& [cookie, sink] : sinks_) sink->lpVtbl->Release(sink);
}

DWORD EventSinks::Add(IUnknown* sink) {
  sinks_.reserve(sinks_.size() + 1);
  sink->lpVtbl->AddRef(sink);
  sinks_.emplace_back(next_cookie_, sink);
  return next_cookie_++;
}

bool EventSinks::Remove(DWORD cookie) noexcept {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->first != cookie) continue;
    IUnknown* sink = it->second;
    sinks_.erase(it);
    sink->lpVtbl->Release(sink);
    return true;
  }
  return false;
}

namespace {

HRESULT EnumConnectionPoints(IConnectionPointContainer*, void** ppEnum) {
  if (ppEnum != nullptr) *ppEnum = nullptr;
  return E_NOTIMPL;
}

HRESULT FindConnectionPoint(IConnectionPointContainer* self, const IID* riid,
                            IConnectionPoint** point) {
  if (point == nullptr) return Refuse(E_POINTER);
  *point = nullptr;
  return OnControl(self, [&](ControlObject& object) -> HRESULT {
    if (riid == nullptr) return E_POINTER;
    if (!SameId(riid, DIID___ALG_V1S)) return CONNECT_E_NOCONNECTION;
    object.AddRef();
    *point = &object.event_point.iface;
    return S_OK;
  });
}

constexpr IConnectionPointContainerVtbl kContainer = {
    FaceQueryInterface<ControlObject, IConnectionPointContainer>,
    FaceAddRef<ControlObject, IConnectionPointContainer>,
    FaceRelease<ControlObject, IConnectionPointContainer>, EnumConnectionPoints,
    FindConnectionPoint};

// The point is a face of the control; asked for its interfaces it answers as the point.
HRESULT PointQueryInterface(IConnectionPoint* self, const IID* riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (self == nullptr || riid == nullptr) return E_POINTER;
  if (!SameId(riid, IID_IUnknown) && !SameId(riid, IID_IConnectionPoint)) return E_NOINTERFACE;
  OwnerOf<ControlObject>(self).AddRef();
  *ppv = self;
  return S_OK;
}

HRESULT GetConnectionInterface(IConnectionPoint* self, IID* id) {
  if (self == nullptr || id == nullptr) return E_POINTER;
  *id = DIID___ALG_V1S;
  return S_OK;
}

HRESULT GetConnectionPointContainer(IConnectionPoint* self, IConnectionPointContainer** out) {
  if (out == nullptr) return Refuse(E_POINTER);
  *out = nullptr;
  return OnControl(self, [&](ControlObject& object) {
    object.AddRef();
    *out = &object.connection_points.iface;
    return S_OK;
  });
}

HRESULT Advise(IConnectionPoint* self, IUnknown* sink, DWORD* cookie) {
  if (cookie == nullptr) return Refuse(E_POINTER);
  *cookie = 0;
  return OnControl(self, [&](ControlObject& object) -> HRESULT {
    if (sink == nullptr) return E_POINTER;
    *cookie = object.events().Add(sink);
    return S_OK;
  });
}

HRESULT Unadvise(IConnectionPoint* self, DWORD cookie) {
  return OnControl(self, [&](ControlObject& object) {
    return object.events().Remove(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
  });
}

HRESULT EnumConnections(IConnectionPoint*, void** ppEnum) {
  if (ppEnum != nullptr) *ppEnum = nullptr;
  return E_NOTIMPL;
}

constexpr IConnectionPointVtbl kPoint = {PointQueryInterface,
                                         FaceAddRef<ControlObject, IConnectionPoint>,
                                         FaceRelease<ControlObject, IConnectionPoint>,
                                         GetConnectionInterface,
                                         GetConnectionPointContainer,
                                         Advise,
                                         Unadvise,
                                         EnumConnections};

}  // namespace

const IConnectionPointContainerVtbl& ConnectionPointContainerTable() {
  return kContainer;
}
const IConnectionPointVtbl& ConnectionPointTable() {
  return kPoint;
}

}  // namespace pellix::component
