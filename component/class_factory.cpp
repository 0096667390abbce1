// The class factory of ALG_V1S and the server's exports that hand it out and answer whether
// the library may be unloaded.
#include <atomic>
#include <new>

#include "component/control_object.h"
#include "component/face.h"
#include "component/module_count.h"

namespace pellix::component {

namespace {

struct ClassFactory {
  Face<IClassFactory, ClassFactory> face;
  std::atomic<ULONG> references{1};
};

HRESULT QueryInterface(IClassFactory* self, const IID* riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (self == nullptr || riid == nullptr) return E_POINTER;
  if (!SameId(riid, IID_IUnknown) && !SameId(riid, IID_IClassFactory)) return E_NOINTERFACE;
  self->lpVtbl->AddRef(self);
  *ppv = self;
  return S_OK;
}

ULONG AddRef(IClassFactory* self) {
  return self == nullptr ? 0 : ++OwnerOf<ClassFactory>(self).references;
}

ULONG Release(IClassFactory* self) {
  if (self == nullptr) return 0;
  ClassFactory* factory = &OwnerOf<ClassFactory>(self);
  const ULONG left = --factory->references;
  if (left == 0) {
    delete factory;
    ObjectDestroyed();
  }
  return left;
}

HRESULT CreateInstance(IClassFactory* self, IUnknown* outer, const IID* riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (self == nullptr || riid == nullptr) return E_POINTER;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  auto* object = new (std::nothrow) ControlObject();
  if (object == nullptr) return E_OUTOFMEMORY;
  const HRESULT status = object->QueryInterface(riid, ppv);
  object->Release();  // the creation's own reference; the host keeps the one it asked for
  return status;
}

HRESULT LockServer(IClassFactory* self, BOOL lock) {
  if (self == nullptr) return E_POINTER;
  Lock(lock != 0);
  return S_OK;
}

constexpr IClassFactoryVtbl kVtbl = {QueryInterface, AddRef, Release, CreateInstance, LockServer};

}  // namespace

}  // namespace pellix::component

extern "C" {

PELLIX_API HRESULT DllGetClassObject(const CLSID* rclsid, const IID* riid, void** ppv) {
  using namespace pellix::component;
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (rclsid == nullptr || riid == nullptr) return E_POINTER;
  if (!SameId(rclsid, CLSID_ALG_V1S)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) ClassFactory{};
  if (factory == nullptr) return E_OUTOFMEMORY;
  factory->face = {{&kVtbl}, factory};
  ObjectCreated();
  IClassFactory* iface = &factory->face.iface;
  const HRESULT status = QueryInterface(iface, riid, ppv);
  Release(iface);
  return status;
}

PELLIX_API HRESULT DllCanUnloadNow(void) {
  return pellix::component::CanUnload() ? S_OK : S_FALSE;
}

}  // extern "C"
