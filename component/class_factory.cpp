// The class factory of ALG_V1S and the server's exports that hand it out and answer whether
// the library may be unloaded.
#include <new>

#include "component/control_object.h"
#include "component/module_count.h"
#include "component/ref_counted.h"

namespace pellix::component {

namespace {

const IClassFactoryVtbl& FactoryTable();

struct ClassFactory final : SingleInterface<ClassFactory, IClassFactory, IID_IClassFactory> {
  ClassFactory() noexcept : SingleInterface(FactoryTable()) {}
};

HRESULT CreateInstance(IClassFactory* self, IUnknown* outer, const IID* riid, void** ppv) {
  if (ppv == nullptr) return Refuse(E_POINTER);
  *ppv = nullptr;
  if (self == nullptr || riid == nullptr) return Refuse(E_POINTER);
  if (outer != nullptr) return Refuse(CLASS_E_NOAGGREGATION);
  return Guarded([&] {
    auto* object = new ControlObject();
    const HRESULT status = object->QueryInterface(riid, ppv);
    object->Release();  // the creation's own reference; the host keeps the one it asked for
    return status;
  });
}

HRESULT LockServer(IClassFactory* self, BOOL lock) {
  if (self == nullptr) return E_POINTER;
  Lock(lock != 0);
  return S_OK;
}

constexpr IClassFactoryVtbl kVtbl = {
    FaceQueryInterface<ClassFactory, IClassFactory>, FaceAddRef<ClassFactory, IClassFactory>,
    FaceRelease<ClassFactory, IClassFactory>, CreateInstance, LockServer};

const IClassFactoryVtbl& FactoryTable() {
  return kVtbl;
}

}  // namespace

}  // namespace pellix::component

extern "C" {

PELLIX_API HRESULT DllGetClassObject(const CLSID* rclsid, const IID* riid, void** ppv) {
  using namespace pellix::component;
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (rclsid == nullptr || riid == nullptr) return E_POINTER;
  if (!SameId(rclsid, CLSID_ALG_V1S)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) ClassFactory();
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT status = factory->QueryInterface(riid, ppv);
  factory->Release();
  return status;
}

PELLIX_API HRESULT DllCanUnloadNow(void) {
  return pellix::component::CanUnload() ? S_OK : S_FALSE;
}

}  // extern "C"
