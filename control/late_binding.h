// Late binding: what an automation host does with _ALG_V1S when it knows only names.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/value.h"

namespace pellix {

class ALG_V1S;

enum class InvokeKind { kMethod, kPropertyGet, kPropertyPut };

// The dispatch identifier of a member name, matched case-insensitively; raises
// "Object doesn't support this property or method" (438) for an unknown name.
std::int32_t GetIDOfName(std::string_view name);

// Invokes a member by dispatch identifier. A put converts `argument` to the property's type
// as late binding does (to text: number text, "True"/"False"; to a 16-bit integer: half to
// even with Overflow (6), a text read strictly with Type mismatch (13), a Boolean -1 or 0;
// CR_SFLC takes it as it is). An unknown identifier, a get or put of a method, or a method
// call of a property raises 438.
Value Invoke(ALG_V1S& control, std::int32_t dispid, InvokeKind kind,
             const Value& argument = Value());

}  // namespace pellix
