// The string and value helpers a C host needs to talk to the component.
#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "component/bstr.h"
#include "component/variant.h"

using namespace pellix::component;

extern "C" {

PELLIX_API BSTR PellixSysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  try {
    return NewBstr(OleStringUnits(text));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

PELLIX_API BSTR PellixSysAllocStringLen(const OLECHAR* text, UINT length) {
  try {
    if (text != nullptr) return NewBstr({reinterpret_cast<const char16_t*>(text), length});
    // No text: a string of `length` zero code units for the caller to fill.
    return NewBstr(std::u16string(length, u'\0'));
  } catch (const std::bad_alloc&) {
    return nullptr;
  } catch (const std::length_error&) {
    return nullptr;
  }
}

PELLIX_API BSTR PellixSysAllocStringUtf8(const char* text) {
  if (text == nullptr) return nullptr;
  try {
    return BstrFromText(text);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

PELLIX_API void PellixSysFreeString(BSTR text) {
  FreeBstr(text);
}

PELLIX_API UINT PellixSysStringLen(BSTR text) {
  return static_cast<UINT>(BstrUnits(text).size());
}

PELLIX_API size_t PellixStringToUtf8(BSTR text, char* out, size_t size) {
  std::string utf8;
  try {
    utf8 = Utf8FromUtf16(BstrUnits(text));
  } catch (const std::bad_alloc&) {
    if (out != nullptr && size != 0) out[0] = '\0';
    return 0;
  }
  if (out != nullptr && size != 0) {
    const std::size_t copied = std::min(utf8.size(), size - 1);
    std::memcpy(out, utf8.data(), copied);
    out[copied] = '\0';
  }
  return utf8.size();
}

PELLIX_API void PellixVariantInit(VARIANT* value) {
  if (value != nullptr) std::memset(value, 0, sizeof *value);
}

PELLIX_API HRESULT PellixVariantClear(VARIANT* value) {
  if (value == nullptr) return E_POINTER;
  return ClearVariant(*value);
}

PELLIX_API HRESULT PellixVariantCopy(VARIANT* dest, const VARIANT* src) {
  if (dest == nullptr || src == nullptr) return E_POINTER;
  return CopyVariant(*dest, *src);
}

}  // extern "C"
