#include "platform/text.h"

#include <cstddef>
#include <cstdint>

#include "platform/error.h"

namespace pellix {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the valid UTF-8 sequence at `pos`, or 0 when the bytes there do not start one.
// When they do not, `bad` receives how many bytes form the maximal subpart: the longest prefix
// of a valid sequence (at least 1), which becomes one U+FFFD.
std::size_t ValidSequenceLength(std::string_view bytes, std::size_t pos, std::size_t& bad) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(pos);
  bad = 1;
  if (lead < 0x80) return 1;

  std::size_t length = 0;
  // The allowed range of the second byte excludes overlongs (E0, F0), surrogates (ED) and code
  // points above U+10FFFF (F4); every later byte is a plain continuation byte.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;  // C0, C1, F5 to FF and stray continuation bytes: never part of a sequence
  }

  for (std::size_t i = 1; i < length; ++i) {
    if (pos + i >= bytes.size()) return 0;
    const unsigned char next = byte(pos + i);
    if (next < low || next > high) return 0;
    low = 0x80;
    high = 0xBF;
    bad = i + 1;
  }
  return length;
}

}  // namespace

std::string SanitizeUtf8(std::string_view bytes) {
  std::string result;
  result.reserve(bytes.size());
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t bad = 1;
    const std::size_t length = ValidSequenceLength(bytes, pos, bad);
    if (length > 0) {
      result.append(bytes.substr(pos, length));
      pos += length;
    } else {
      // The byte that broke the sequence is read again as the start of the next one.
      result.append(kReplacement);
      pos += bad;
    }
  }
  return result;
}

std::string MidText(std::string_view text, std::size_t start, std::size_t length) {
  if (start == 0) RaiseError(kInvalidProcedureCall);
  const auto is_continuation = [&](std::size_t i) {
    return (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
  };
  // Byte offset of the first character: skip start - 1 characters.
  std::size_t first = 0;
  for (std::size_t skipped = 1; skipped < start && first < text.size(); ++skipped) {
    ++first;
    while (first < text.size() && is_continuation(first)) ++first;
  }
  std::size_t last = first;
  for (std::size_t taken = 0; taken < length && last < text.size(); ++taken) {
    ++last;
    while (last < text.size() && is_continuation(last)) ++last;
  }
  return std::string(text.substr(first, last - first));
}

void AppendUtf8(std::string& out, char32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | (point >> 6));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | (point >> 12));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (point >> 18));
    out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

}  // namespace pellix
