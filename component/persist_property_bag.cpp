// Property-bag persistence over a bag the host implements: InitNew, Load and Save drive the
// control's InitProperties, ReadProperties and WriteProperties.
#include <cstring>
#include <string>

#include "component/bstr.h"
#include "component/control_object.h"
#include "component/variant.h"
#include "platform/error.h"
#include "platform/property_bag.h"

namespace pellix::component {

namespace {

// The host's IPropertyBag as the control's PropertyBag. A name the bag does not hold
// (E_INVALIDARG from Read) gives the default; any other failed call ends the handler at that
// key with the bag's status.
class HostPropertyBag final : public PropertyBag {
 public:
  explicit HostPropertyBag(IPropertyBag* bag) : bag_(bag) {}

  Value ReadProperty(std::string_view name, const Value& default_value) override {
    const std::u16string key = Utf16FromUtf8(name);
    VARIANT value;
    std::memset(&value, 0, sizeof value);
    const HRESULT status = bag_->lpVtbl->Read(bag_, Key(key), &value, nullptr);
    if (status == E_INVALIDARG) return default_value;
    if (status < 0) Fail(status, "read", name);
    const std::optional<Value> read = FromVariant(value);
    ClearVariant(value);
    if (!read) RaiseError(kTypeMismatch);
    return *read;
  }

  void WriteProperty(std::string_view name, const Value& value, const Value&) override {
    const std::u16string key = Utf16FromUtf8(name);
    VARIANT record;
    ToVariant(value, record);
    const HRESULT status = bag_->lpVtbl->Write(bag_, Key(key), &record);
    ClearVariant(record);
    if (status < 0) Fail(status, "write", name);
  }

 private:
  static LPCOLESTR Key(const std::u16string& key) {
    return reinterpret_cast<LPCOLESTR>(key.c_str());
  }
  // A bag that answers with a platform error's status (an overflowing number, a type it
  // cannot give) fails with that error and its description, as the control's own bags do.
  [[noreturn]] static void Fail(HRESULT status, std::string_view what, std::string_view name) {
    if (const int number = PellixErrorNumber(status); number != 0) RaiseError(number);
    throw StatusError(status, "The property bag could not " + std::string(what) + " \"" +
                                  std::string(name) + "\"");
  }

  IPropertyBag* bag_;
};

HRESULT GetClassID(IPersistPropertyBag* self, CLSID* id) {
  if (self == nullptr || id == nullptr) return Refuse(E_POINTER);
  *id = CLSID_ALG_V1S;
  return S_OK;
}

HRESULT InitNew(IPersistPropertyBag* self) {
  return OnControl(self, [](ControlObject& object) {
    object.control().InitProperties();
    return S_OK;
  });
}

HRESULT Load(IPersistPropertyBag* self, IPropertyBag* bag, IErrorLog*) {
  return OnControl(self, [&](ControlObject& object) -> HRESULT {
    if (bag == nullptr) return E_POINTER;
    HostPropertyBag host_bag(bag);
    object.control().ReadProperties(host_bag);
    return S_OK;
  });
}

HRESULT Save(IPersistPropertyBag* self, IPropertyBag* bag, BOOL, BOOL) {
  return OnControl(self, [&](ControlObject& object) -> HRESULT {
    if (bag == nullptr) return E_POINTER;
    HostPropertyBag host_bag(bag);
    object.control().WriteProperties(host_bag);
    return S_OK;
  });
}

constexpr IPersistPropertyBagVtbl kPersist = {
    FaceQueryInterface<ControlObject, IPersistPropertyBag>,
    FaceAddRef<ControlObject, IPersistPropertyBag>,
    FaceRelease<ControlObject, IPersistPropertyBag>,
    GetClassID,
    InitNew,
    Load,
    Save};

}  // namespace

const IPersistPropertyBagVtbl& PersistPropertyBagTable() {
  return kPersist;
}

}  // namespace pellix::component
