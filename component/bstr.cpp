#include "component/bstr.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/text.h"

namespace pellix::component {

namespace {

// The 32-bit byte length stands right before the first code unit.
constexpr std::size_t kPrefixBytes = sizeof(std::uint32_t);

}  // namespace

BSTR NewBstr(std::u16string_view text) {
  // The byte length must fit the 32-bit prefix.
  if (text.size() > (0x7FFFFFFFu - kPrefixBytes) / 2) throw std::bad_alloc();
  const std::size_t bytes = text.size() * sizeof(char16_t);
  auto* block = static_cast<unsigned char*>(std::malloc(kPrefixBytes + bytes + sizeof(OLECHAR)));
  if (block == nullptr) throw std::bad_alloc();
  const auto length = static_cast<std::uint32_t>(bytes);
  std::memcpy(block, &length, kPrefixBytes);
  if (bytes != 0) std::memcpy(block + kPrefixBytes, text.data(), bytes);
  std::memset(block + kPrefixBytes + bytes, 0, sizeof(OLECHAR));
  return reinterpret_cast<BSTR>(block + kPrefixBytes);
}

BSTR BstrFromText(std::string_view text) {
  return NewBstr(Utf16FromUtf8(text));
}

std::u16string_view BstrUnits(BSTR text) noexcept {
  if (text == nullptr) return {};
  std::uint32_t length;
  std::memcpy(&length, reinterpret_cast<const unsigned char*>(text) - kPrefixBytes, kPrefixBytes);
  return {reinterpret_cast<const char16_t*>(text), length / sizeof(char16_t)};
}

std::u16string_view OleStringUnits(const OLECHAR* text) noexcept {
  if (text == nullptr) return {};
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  return {reinterpret_cast<const char16_t*>(text), length};
}

std::string Utf8FromUtf16(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string Utf16FromUtf8(std::string_view text) {
  const std::string valid = SanitizeUtf8(text);
  std::u16string out;
  out.reserve(valid.size());
  for (std::size_t i = 0; i < valid.size();) {
    const auto lead = static_cast<unsigned char>(valid[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1   ? lead
                 : length == 2 ? lead & 0x1F
                 : length == 3 ? lead & 0x0F
                               : lead & 0x07;
    for (std::size_t k = 1; k < length; ++k) {
      c = (c << 6) | (static_cast<unsigned char>(valid[i + k]) & 0x3F);
    }
    i += length;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

void FreeBstr(BSTR text) noexcept {
  if (text != nullptr) std::free(reinterpret_cast<unsigned char*>(text) - kPrefixBytes);
}

}  // namespace pellix::component
