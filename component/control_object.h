// One ALG_V1S instance as the component hands it out: the control, the faces it shows to
// hosts (the dual _ALG_V1S, error-information support, property-bag persistence, the site,
// the connection points), one reference count for all of them, and the thread it belongs to.
#pragma once

#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "Pellix.h"
#include "component/face.h"
#include "component/failure.h"
#include "component/ref_counted.h"
#include "control/alg_v1s.h"
#include "platform/container_site.h"

namespace pellix::component {

// The container as the control sees it, over the client site the host handed over.
class HostSite final : public ContainerSite {
 public:
  HostSite() = default;
  HostSite(const HostSite&) = delete;
  HostSite& operator=(const HostSite&) = delete;
  ~HostSite() override { Set(nullptr); }

  // Takes a reference to `site` (null removes it) and gives back the old one.
  void Set(IUnknown* site) noexcept;
  IUnknown* get() const noexcept { return site_; }

  // The site's ambient UserMode; run mode when the site does not answer.
  bool UserMode() const override;
  // IPropertyNotifySink::OnChanged on the site, with the property's dispatch identifier.
  void PropertyChanged(std::string_view name) override;

 private:
  IUnknown* site_ = nullptr;
};

// The sinks connected to the event interface __ALG_V1S (never called: the control fires no
// events).
class EventSinks {
 public:
  EventSinks() = default;
  EventSinks(const EventSinks&) = delete;
  EventSinks& operator=(const EventSinks&) = delete;
  ~EventSinks();

  DWORD Add(IUnknown* sink);  // takes a reference; returns the cookie
  bool Remove(DWORD cookie) noexcept;

 private:
  std::vector<std::pair<DWORD, IUnknown*>> sinks_;
  DWORD next_cookie_ = 1;
};

class ControlObject final : public RefCounted<ControlObject> {
 public:
  // A new instance with one reference, belonging to the calling thread. Its control works on
  // the engine state all instances made on this thread share (ThreadEngineState).
  ControlObject();

  HRESULT QueryInterface(const IID* riid, void** ppv) noexcept;

  bool OnOwnerThread() const noexcept { return std::this_thread::get_id() == owner_; }
  ALG_V1S& control() noexcept { return control_; }
  HostSite& site() noexcept { return site_; }
  EventSinks& events() noexcept { return events_; }

  Face<_ALG_V1S, ControlObject> dual;
  Face<ISupportErrorInfo, ControlObject> support_error_info;
  Face<IPersistPropertyBag, ControlObject> persist;
  Face<IObjectWithSite, ControlObject> with_site;
  Face<IConnectionPointContainer, ControlObject> connection_points;
  Face<IConnectionPoint, ControlObject> event_point;

 private:
  friend class RefCounted<ControlObject>;
  ~ControlObject() = default;

  std::thread::id owner_;
  HostSite site_;
  EventSinks events_;
  ALG_V1S control_;
};

// The engine state of the instances made on the calling thread: all share one, as all instances
// on a thread share the module's variables, so that two instances calibrating and checking in
// turn see each other's values. Made with the thread's first instance and kept for the thread's
// life: the constants an Initalize loaded stay for the instances made after.
const std::shared_ptr<Tarvo_alg1::SharedState>& ThreadEngineState();

// The function tables of the faces, each defined beside its entries.
const _ALG_V1SVtbl& DualTable();
const ISupportErrorInfoVtbl& SupportErrorInfoTable();
const IPersistPropertyBagVtbl& PersistPropertyBagTable();
const IObjectWithSiteVtbl& ObjectWithSiteTable();
const IConnectionPointContainerVtbl& ConnectionPointContainerTable();
const IConnectionPointVtbl& ConnectionPointTable();

// Runs `body(object)` for an entry of one of the control's faces: E_POINTER for a null
// interface pointer, RPC_E_WRONG_THREAD off the thread that created the instance, and
// whatever the body throws as a status with its description left for the host. The entry
// holds a reference until it returns: the host may release the instance from any call the
// control makes into it (the site, a bag, a sink), as hosts may of any control.
template <class Interface, class Body>
HRESULT OnControl(Interface* self, Body&& body) noexcept {
  if (self == nullptr) return Refuse(E_POINTER);
  ControlObject& object = OwnerOf<ControlObject>(self);
  if (!object.OnOwnerThread()) return Refuse(RPC_E_WRONG_THREAD);
  const Hold<ControlObject> hold(object);
  return Guarded([&]() -> HRESULT { return body(object); });
}

}  // namespace pellix::component
