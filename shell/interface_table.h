// The default interface _ALG_V1S, declared once: every member's position, name, kind, type,
// dispatch identifier, hidden flag and help string, and how late binding reaches it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/value.h"
#include "shell/panel.h"

namespace pellix {

class ALG_V1S;

enum class MemberKind { kMethod, kPropertyGet, kPropertyPut };

struct InterfaceMember {
  int position;           // index in the interface (get, then put, for a property)
  std::string_view name;  // exact case, as hosts bind to it
  MemberKind kind;
  ValueType type;  // the property's type; kEmpty stands for "variant"
  std::int32_t dispid;
  bool hidden;
  std::string_view help;  // empty for members without a help string
  // Late-bound call: a method or get ignores `argument` and returns its result; a put takes
  // the argument already converted to `type` and returns Empty.
  Value (*invoke)(ALG_V1S& control, const Value& argument);
  // The name a put notifies the container under with PropertyChanged: the property's name,
  // except the result code's bag key "CR_MSGX"; empty for a member that never notifies.
  std::string_view notification = {};
  // The caption behind a caption-backed property (on its get and its put); null for methods
  // and member-backed properties.
  Label& (*caption)(Panel&) = nullptr;
};

// The 52 members in interface order.
std::span<const InterfaceMember> InterfaceTable();

// The put of the property that notifies under `name` (which is also its caption's key in the
// property bag); null when no property does.
const InterfaceMember* PropertyNotifyingAs(std::string_view name);

// The outgoing interface __ALG_V1S: declared, never fired.
struct EventMember {
  std::string_view name;
  std::int32_t dispid;
  std::string_view parameters;  // as the type library declares them
  // The type of the parameter, an object the container passes by reference ("PropertyBag");
  // empty for an event without one.
  std::string_view parameter_type;
};
std::span<const EventMember> EventTable();

}  // namespace pellix
