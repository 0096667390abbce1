// Quoting what a user typed in a message without letting a huge or binary token flood it.
#pragma once

#include <string>
#include <string_view>

namespace pellix {

// The longest excerpt of a token a message quotes, in characters.
inline constexpr std::size_t kExcerptLength = 40;

// `text` between `quote` characters; when longer than kExcerptLength characters, its first
// kExcerptLength characters, "...", and its whole length ("abcd..." (50000 bytes)). Cuts
// only between UTF-8 characters; control characters (a NUL, a line break) show as '?'.
std::string QuotedExcerpt(std::string_view text, char quote = '"');

}  // namespace pellix
