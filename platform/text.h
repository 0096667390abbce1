// Texts are sequences of Unicode characters stored as UTF-8; positions count characters.
#pragma once

#include <string>
#include <string_view>

namespace pellix {

// Replaces every invalid UTF-8 sequence by U+FFFD, so that the result is valid UTF-8: overlong
// forms, surrogates, code points above U+10FFFF, stray and missing continuation bytes. Each
// maximal subpart of an ill-formed sequence (the longest start of a valid one) gives one U+FFFD,
// as decoders following the Unicode recommendation do: "\xE2\x82A" gives U+FFFD then "A".
std::string SanitizeUtf8(std::string_view bytes);

// Appends the UTF-8 form of `point`, a Unicode scalar value (no surrogate, at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t point);

// Mid$(text, start, length): the characters (code points) from 1-based position `start`,
// at most `length` of them; empty when `start` lies beyond the end. `text` is valid UTF-8.
// A start of 0 raises Invalid procedure call (5).
std::string MidText(std::string_view text, std::size_t start, std::size_t length);

}  // namespace pellix
