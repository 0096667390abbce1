// What each value of an enumeration stands for (its name, its spelling in another language),
// written once as a table of pairs and read in both directions.
#pragma once

#include <cstddef>
#include <optional>
#include <type_traits>

namespace pellix {

template <typename Enum, typename Meaning>
struct EnumEntry {
  Enum key;
  Meaning meaning;
};

// What `key` stands for in `table`; `fallback` for a value the table leaves out.
template <typename Enum, typename Meaning, std::size_t N>
constexpr Meaning MeaningOf(const EnumEntry<Enum, Meaning> (&table)[N], Enum key,
                            std::type_identity_t<Meaning> fallback = {}) {
  for (const EnumEntry<Enum, Meaning>& entry : table) {
    if (entry.key == key) return entry.meaning;
  }
  return fallback;
}

// The first value that stands for `meaning` in `table`; nothing when none does.
template <typename Enum, typename Meaning, std::size_t N, typename Probe>
constexpr std::optional<Enum> KeyOf(const EnumEntry<Enum, Meaning> (&table)[N],
                                    const Probe& meaning) {
  for (const EnumEntry<Enum, Meaning>& entry : table) {
    if (entry.meaning == meaning) return entry.key;
  }
  return std::nullopt;
}

}  // namespace pellix
