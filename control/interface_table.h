// The default interface _ALG_V1S, declared once: every member's position, name, kind, type,
// dispatch identifier, hidden flag and help string, how late binding reaches it, the name a
// put notifies under, and how the property bag keeps each property.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "control/panel.h"
#include "platform/value.h"

namespace pellix {

class ALG_V1S;

enum class MemberKind { kMethod, kPropertyGet, kPropertyPut };

// A default of the property bag, as a constant: a value of `type` made from `number`, or from
// `text` for a text.
struct BagDefault {
  ValueType type = ValueType::kEmpty;
  double number = 0;
  std::string_view text = {};

  Value ToValue() const;
};

// No place in an order: the key is never saved.
inline constexpr int kNeverSaved = -1;

// One key of the property bag: its name, the default ReadProperty and WriteProperty are given,
// its places in ReadProperties' and WriteProperties' orders, and where its value is kept: a
// caption (`cell`, loaded as text), or else what `load` stores (converted, without
// notification) and `save` gives back (a get: it ignores its argument).
struct BagKey {
  std::string_view key;
  BagDefault default_value;
  int load_place = kNeverSaved;
  int save_place = kNeverSaved;
  void (*load)(ALG_V1S& control, const Value& value) = nullptr;
  Value (*save)(ALG_V1S& control, const Value& unused) = nullptr;
  Label& (*cell)(Panel&) = nullptr;
};

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
  // The name a put notifies the container under with PropertyChanged: its bag key, which is
  // the property's name except the result code's "CR_MSGX"; empty on a get and for a put that
  // never notifies.
  std::string_view notification = {};
  // The caption behind a caption-backed property (on its get and its put); null for methods
  // and member-backed properties.
  Label& (*caption)(Panel&) = nullptr;
  // How the property bag keeps the property (on its get and its put); no key for a method.
  BagKey bag = {};
  // Whether `caption` is set, known while compiling (see members::Optional).
  bool caption_backed = false;
};

// The 52 members in interface order.
std::span<const InterfaceMember> InterfaceTable();

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
