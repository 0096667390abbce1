// The function table of the dual interface _ALG_V1S, built from the interface table: after
// IUnknown's three and IDispatch's four entries, the member at position p is entry 7 + p, with
// the signature its kind and type give it.
#include <array>
#include <cstring>
#include <utility>

#include "component/bstr.h"
#include "component/control_object.h"
#include "component/dispatch.h"
#include "component/variant.h"
#include "control/interface_table.h"
#include "platform/conversions.h"
#include "platform/error.h"

namespace pellix::component {

namespace {

using Entry = void (*)();
constexpr std::size_t kLeadingEntries = 7;
// The generated table's size fixes the number of members.
constexpr std::size_t kMembers = sizeof(_ALG_V1SVtbl) / sizeof(Entry) - kLeadingEntries;

template <std::size_t P>
Value Run(ControlObject& object, const Value& argument) {
  return InterfaceTable()[P].invoke(object.control(), argument);
}

template <std::size_t P>
HRESULT Method(_ALG_V1S* self, VARIANT* result) {
  return OnControl(self, [&](ControlObject& object) -> HRESULT {
    if (result == nullptr) return E_POINTER;
    const Value value = Run<P>(object, Value());
    ToVariant(value, *result);
    return S_OK;
  });
}

template <std::size_t P>
HRESULT GetText(_ALG_V1S* self, BSTR* out) {
  return OnControl(self, [&](ControlObject& object) -> HRESULT {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    *out = BstrFromText(ToText(Run<P>(object, Value())));
    return S_OK;
  });
}

template <std::size_t P>
HRESULT GetInteger(_ALG_V1S* self, std::int16_t* out) {
  return OnControl(self, [&](ControlObject& object) -> HRESULT {
    if (out == nullptr) return E_POINTER;
    *out = ToInteger16(Run<P>(object, Value()));
    return S_OK;
  });
}

template <std::size_t P>
HRESULT GetVariant(_ALG_V1S* self, VARIANT* out) {
  return OnControl(self, [&](ControlObject& object) -> HRESULT {
    if (out == nullptr) return E_POINTER;
    std::memset(out, 0, sizeof *out);
    ToVariant(Run<P>(object, Value()), *out);
    return S_OK;
  });
}

template <std::size_t P>
HRESULT PutText(_ALG_V1S* self, BSTR value) {
  return OnControl(self, [&](ControlObject& object) {
    Run<P>(object, Value::String(Utf8FromUtf16(BstrUnits(value))));
    return S_OK;
  });
}

template <std::size_t P>
HRESULT PutInteger(_ALG_V1S* self, std::int16_t value) {
  return OnControl(self, [&](ControlObject& object) {
    Run<P>(object, Value::Integer(value));
    return S_OK;
  });
}

template <std::size_t P>
HRESULT PutVariant(_ALG_V1S* self, VARIANT value) {
  return OnControl(self, [&](ControlObject& object) {
    const std::optional<Value> argument = FromVariant(value);
    if (!argument) RaiseError(kTypeMismatch);
    Run<P>(object, *argument);
    return S_OK;
  });
}

// The entry of the member at position P, by its kind and type.
template <std::size_t P>
Entry EntryAt() {
  const InterfaceMember& member = InterfaceTable()[P];
  switch (member.kind) {
    case MemberKind::kMethod:
      return reinterpret_cast<Entry>(&Method<P>);
    case MemberKind::kPropertyGet:
      if (member.type == ValueType::kString) return reinterpret_cast<Entry>(&GetText<P>);
      if (member.type == ValueType::kInteger) return reinterpret_cast<Entry>(&GetInteger<P>);
      return reinterpret_cast<Entry>(&GetVariant<P>);
    case MemberKind::kPropertyPut:
      if (member.type == ValueType::kString) return reinterpret_cast<Entry>(&PutText<P>);
      if (member.type == ValueType::kInteger) return reinterpret_cast<Entry>(&PutInteger<P>);
      return reinterpret_cast<Entry>(&PutVariant<P>);
  }
  return nullptr;
}

template <std::size_t... P>
std::array<Entry, kMembers> MemberEntries(std::index_sequence<P...>) {
  return {EntryAt<P>()...};
}

_ALG_V1SVtbl BuildTable() {
  _ALG_V1SVtbl table{};
  table.QueryInterface = FaceQueryInterface<ControlObject, _ALG_V1S>;
  table.AddRef = FaceAddRef<ControlObject, _ALG_V1S>;
  table.Release = FaceRelease<ControlObject, _ALG_V1S>;
  table.GetTypeInfoCount = GetTypeInfoCount;
  table.GetTypeInfo = GetTypeInfo;
  table.GetIDsOfNames = GetIDsOfNames;
  table.Invoke = Invoke;
  const std::array<Entry, kMembers> members = MemberEntries(std::make_index_sequence<kMembers>());
  std::memcpy(reinterpret_cast<unsigned char*>(&table) + kLeadingEntries * sizeof(Entry),
              members.data(), sizeof members);
  return table;
}

}  // namespace

const _ALG_V1SVtbl& DualTable() {
  static const _ALG_V1SVtbl table = BuildTable();
  return table;
}

}  // namespace pellix::component
