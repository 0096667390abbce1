#include "component/variant.h"

#include <cstring>
#include <new>

#include "component/bstr.h"

namespace pellix::component {

namespace {

void SetEmpty(VARIANT& value) noexcept {
  std::memset(&value, 0, sizeof value);
  value.vt = VT_EMPTY;
}

}  // namespace

void ToVariant(const Value& value, VARIANT& out) {
  SetEmpty(out);
  switch (value.type()) {
    case ValueType::kEmpty:
      break;
    case ValueType::kInteger:
      out.vt = VT_I2;
      out.u.iVal = value.integer();
      break;
    case ValueType::kLong:
      out.vt = VT_I4;
      out.u.lVal = value.long_value();
      break;
    case ValueType::kDouble:
      out.vt = VT_R8;
      out.u.dblVal = value.double_value();
      break;
    case ValueType::kString:
      out.u.bstrVal = BstrFromText(value.string());
      out.vt = VT_BSTR;
      break;
    case ValueType::kBoolean:
      out.vt = VT_BOOL;
      out.u.boolVal = value.boolean() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
  }
}

std::optional<Value> FromVariant(const VARIANT& value) {
  const bool by_reference = (value.vt & VT_BYREF) != 0;
  if (by_reference && value.u.byref == nullptr) return std::nullopt;
  switch (value.vt & ~VT_BYREF) {
    case VT_EMPTY:
      if (by_reference) return std::nullopt;
      return Value();
    case VT_I2:
      return Value::Integer(by_reference ? *value.u.piVal : value.u.iVal);
    case VT_UI1:
      return Value::Integer(by_reference ? *value.u.pbVal : value.u.bVal);
    case VT_I4:
      return Value::Long(by_reference ? *value.u.plVal : value.u.lVal);
    case VT_R4:
      return Value::Double(by_reference ? *value.u.pfltVal : value.u.fltVal);
    case VT_R8:
      return Value::Double(by_reference ? *value.u.pdblVal : value.u.dblVal);
    case VT_BSTR:
      return Value::String(
          Utf8FromUtf16(BstrUnits(by_reference ? *value.u.pbstrVal : value.u.bstrVal)));
    case VT_BOOL:
      return Value::Boolean((by_reference ? *value.u.pboolVal : value.u.boolVal) != 0);
    case VT_VARIANT:
      // A reference to another record: one level only, as the platform passes it.
      if (by_reference && (value.u.pvarVal->vt & VT_BYREF) == 0) {
        return FromVariant(*value.u.pvarVal);
      }
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

HRESULT ClearVariant(VARIANT& value) noexcept {
  switch (value.vt) {
    case VT_BSTR:
      FreeBstr(value.u.bstrVal);
      break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      if (value.u.punkVal != nullptr) value.u.punkVal->lpVtbl->Release(value.u.punkVal);
      break;
    default:
      break;
  }
  SetEmpty(value);
  return S_OK;
}

HRESULT CopyVariant(VARIANT& dest, const VARIANT& src) noexcept {
  if (&dest == &src) return S_OK;
  VARIANT copy = src;
  if (src.vt == VT_BSTR && src.u.bstrVal != nullptr) {
    try {
      copy.u.bstrVal = NewBstr(BstrUnits(src.u.bstrVal));
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  } else if ((src.vt == VT_DISPATCH || src.vt == VT_UNKNOWN) && src.u.punkVal != nullptr) {
    src.u.punkVal->lpVtbl->AddRef(src.u.punkVal);
  }
  ClearVariant(dest);
  dest = copy;
  return S_OK;
}

}  // namespace pellix::component
