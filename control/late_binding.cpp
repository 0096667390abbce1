#include "control/late_binding.h"

#include "control/interface_table.h"
#include "platform/conversions.h"
#include "platform/error.h"

namespace pellix {

namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

MemberKind KindOf(InvokeKind kind) {
  switch (kind) {
    case InvokeKind::kMethod:
      return MemberKind::kMethod;
    case InvokeKind::kPropertyGet:
      return MemberKind::kPropertyGet;
    case InvokeKind::kPropertyPut:
      break;
  }
  return MemberKind::kPropertyPut;
}

// The argument of a put, converted to the property's type as automation coerces it before
// the accessor runs.
Value ConvertForPut(ValueType type, const Value& argument) {
  switch (type) {
    case ValueType::kString:
      return Value::String(ToText(argument));
    case ValueType::kInteger:
      return Value::Integer(ToInteger16(argument));
    default:
      return argument;  // a variant takes the value as it is
  }
}

}  // namespace

std::int32_t GetIDOfName(std::string_view name) {
  for (const InterfaceMember& member : InterfaceTable()) {
    if (SameNameIgnoringCase(member.name, name)) return member.dispid;
  }
  RaiseError(kMemberNotSupported);
}

Value Invoke(ALG_V1S& control, std::int32_t dispid, InvokeKind kind, const Value& argument) {
  const MemberKind wanted = KindOf(kind);
  for (const InterfaceMember& member : InterfaceTable()) {
    if (member.dispid != dispid || member.kind != wanted) continue;
    if (wanted == MemberKind::kPropertyPut) {
      return member.invoke(control, ConvertForPut(member.type, argument));
    }
    return member.invoke(control, argument);
  }
  // An unknown identifier, a get or put of a method, a call of a property.
  RaiseError(kMemberNotSupported);
}

}  // namespace pellix
