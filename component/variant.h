// Value records (VARIANT): the control's values across the boundary.
#pragma once

#include <optional>

#include "Pellix.h"
#include "platform/value.h"

namespace pellix::component {

// Fills `out` (assumed Empty or uninitialised) with `value`: Empty, VT_I2, VT_I4, VT_R8,
// VT_BSTR or VT_BOOL. Throws std::bad_alloc when memory runs out.
void ToVariant(const Value& value, VARIANT& out);

// The value a record holds, following one VT_BYREF: Empty, VT_I2, VT_UI1 (as integers), VT_I4,
// VT_R4, VT_R8, VT_BSTR and VT_BOOL; std::nullopt for any other tag or a null reference.
std::optional<Value> FromVariant(const VARIANT& value);

// Frees what the record owns (a string, an object reference) and leaves it Empty.
HRESULT ClearVariant(VARIANT& value) noexcept;

// A deep copy of `src` into `dest`, which is cleared first.
HRESULT CopyVariant(VARIANT& dest, const VARIANT& src) noexcept;

}  // namespace pellix::component
