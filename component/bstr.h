// Length-prefixed UTF-16 strings (BSTR) and their conversion to and from the control's UTF-8
// texts.
#pragma once

#include <string>
#include <string_view>

#include "Pellix.h"

namespace pellix::component {

// A new BSTR holding `text`; throws std::bad_alloc when memory runs out.
BSTR NewBstr(std::u16string_view text);
// A new BSTR holding the UTF-8 `text` (invalid sequences as U+FFFD).
BSTR BstrFromText(std::string_view text);

// The UTF-16 code units of a BSTR, by its length prefix (null reads as empty).
std::u16string_view BstrUnits(BSTR text) noexcept;
// The UTF-16 code units of a zero-terminated string (null reads as empty).
std::u16string_view OleStringUnits(const OLECHAR* text) noexcept;

// UTF-16 to UTF-8, lone surrogates as U+FFFD; and back.
std::string Utf8FromUtf16(std::u16string_view units);
std::u16string Utf16FromUtf8(std::string_view text);

// Frees a BSTR, owned strings and nulls alike.
void FreeBstr(BSTR text) noexcept;

}  // namespace pellix::component
