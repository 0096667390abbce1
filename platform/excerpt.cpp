#include "platform/excerpt.h"

namespace pellix {

std::string QuotedExcerpt(std::string_view text, char quote) {
  std::string out(1, quote);
  std::size_t characters = 0;
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const bool starts_character = (byte & 0xC0) != 0x80;
    if (starts_character && characters++ == kExcerptLength) break;
    out += byte < 0x20 || byte == 0x7F ? '?' : static_cast<char>(byte);
  }
  out += quote;
  if (i < text.size()) {
    out.insert(out.size() - 1, "...");
    out += " (" + std::to_string(text.size()) + " bytes)";
  }
  return out;
}

}  // namespace pellix
