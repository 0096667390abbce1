// The reference counting every object the library hands out shares: one count per object,
// AddRef and Release from any thread, Release to zero destroys it, and the object counts
// among the library's live objects (DllCanUnloadNow) from construction to destruction.
#pragma once

#include <atomic>
#include <type_traits>

#include "Pellix.h"
#include "component/face.h"
#include "component/module_count.h"

namespace pellix::component {

template <class Derived>
class RefCounted {
 public:
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  ULONG AddRef() noexcept { return ++references_; }
  ULONG Release() noexcept {
    const ULONG left = --references_;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }

 protected:
  RefCounted() noexcept { ObjectCreated(); }
  ~RefCounted() { ObjectDestroyed(); }

 private:
  std::atomic<ULONG> references_{1};
};

// Holds a reference for a scope: an entry that calls into the host keeps its object alive
// until it returns, whatever the host releases meanwhile.
template <class Object>
class Hold {
 public:
  explicit Hold(Object& object) noexcept : object_(object) { object_.AddRef(); }
  ~Hold() { object_.Release(); }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  Object& object_;
};

// The IUnknown entries of a face: they reach the owner's one count. The owner answers
// QueryInterface(riid, ppv) for all of its faces.
template <class Owner, class Interface>
HRESULT FaceQueryInterface(Interface* self, const IID* riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (self == nullptr || riid == nullptr) return E_POINTER;
  return OwnerOf<Owner>(self).QueryInterface(riid, ppv);
}
template <class Owner, class Interface>
ULONG FaceAddRef(Interface* self) {
  return self == nullptr ? 0 : OwnerOf<Owner>(self).AddRef();
}
template <class Owner, class Interface>
ULONG FaceRelease(Interface* self) {
  return self == nullptr ? 0 : OwnerOf<Owner>(self).Release();
}

// An object with one interface besides IUnknown, identified by `id`.
template <class Derived, class Interface, const IID& id>
class SingleInterface : public RefCounted<Derived> {
 public:
  explicit SingleInterface(std::remove_pointer_t<decltype(Interface::lpVtbl)>& table) noexcept
      : face_{{&table}, static_cast<Derived*>(this)} {}

  Interface* iface() noexcept { return &face_.iface; }
  HRESULT QueryInterface(const IID* riid, void** ppv) noexcept {
    if (!SameId(riid, IID_IUnknown) && !SameId(riid, id)) return E_NOINTERFACE;
    this->AddRef();
    *ppv = iface();
    return S_OK;
  }

 private:
  Face<Interface, Derived> face_;
};

}  // namespace pellix::component
