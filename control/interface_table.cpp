#include "control/interface_table.h"

#include "control/interface_members.h"

namespace pellix {

namespace {

// __ALG_V1S: declared for hosts that connect to it; the control never fires these.
constexpr EventMember kEvents[] = {
    {"InitProperties", 1, "", ""},
    {"ReadProperties", 2, "PropBag", "PropertyBag"},
    {"WriteProperties", 3, "PropBag", "PropertyBag"},
};

}  // namespace

Value BagDefault::ToValue() const {
  switch (type) {
    case ValueType::kInteger:
      return Value::Integer(static_cast<std::int16_t>(number));
    case ValueType::kLong:
      return Value::Long(static_cast<std::int32_t>(number));
    case ValueType::kDouble:
      return Value::Double(number);
    case ValueType::kString:
      return Value::String(std::string(text));
    case ValueType::kBoolean:
      return Value::Boolean(number != 0);
    case ValueType::kEmpty:
      break;
  }
  return Value();
}

std::span<const InterfaceMember> InterfaceTable() {
  return InterfaceDeclarations::kMembers;
}

std::span<const EventMember> EventTable() {
  return kEvents;
}

}  // namespace pellix
