// The packed parameter string that Initalize distributes over the control, declared once: each
// field's 1-based character position and length, the cell or member it fills, and what the
// analysis does with it. Initalize walks it in this order; analysis/parameter_string.h explains
// a string by it and reads each field back from where it went.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "control/panel.h"

namespace pellix {

// Where Initalize puts a field: a cell of the panel, which shows the field's number as text, or
// one of two members, each stored as its own property's type.
enum class FieldTarget { kCell, kDensityLevel, kMode };

struct ParameterField {
  std::size_t position;
  std::size_t length;
  std::string_view name;     // "shortest jump"
  std::string_view target;   // where Initalize puts it, in words
  std::string_view meaning;  // what the analysis does with it
  FieldTarget kind = FieldTarget::kCell;
  Label& (*cell)(Panel&) = nullptr;  // the cell, for kCell
};

// Positions 1 to 3 and 19 onward are not the control's.
inline constexpr std::size_t kParameterHeadLength = 3;
inline constexpr std::size_t kParameterTailStart = 19;

inline constexpr std::array<ParameterField, 8> kParameterFields = {{
    {4, 2, "shortest jump", "Filters(3), the BGfilter property",
     "the shortest flat run, in positions, that counts as a jump", FieldTarget::kCell,
     LabelAt<&Panel::Filters, kShortestJumpCell>},
    {6, 2, "longest jump", "Filters(4)",
     "the longest flat run that counts as a jump; more than 100 fails the scan", FieldTarget::kCell,
     LabelAt<&Panel::Filters, kLongestJumpCell>},
    {8, 2, "density level", "the DensityLevel property", "kept for the host; not analysed",
     FieldTarget::kDensityLevel},
    // Not the cell Filters(5), which the bag keeps under the same key.
    {10, 1, "mode", "the Mode property", "kept for the host; not analysed", FieldTarget::kMode},
    {11, 2, "background border", "BG_LEVEL, the BGbord property",
     "a sample is loud when its level is beyond plus or minus this", FieldTarget::kCell,
     LabelOf<&Panel::BG_LEVEL>},
    {13, 2, "background filter", "Filters(0)", "kept for the host; not analysed",
     FieldTarget::kCell, LabelAt<&Panel::Filters, kBackgroundFilterCell>},
    {15, 2, "volume", "Filters(1)",
     "the gain in thirds (3 is unity); 0 chooses the gain from the take's peak", FieldTarget::kCell,
     LabelAt<&Panel::Filters, kVolumeCell>},
    {17, 2, "added volume", "Filters(2), the ADDvolume property", "kept for the host; not analysed",
     FieldTarget::kCell, LabelAt<&Panel::Filters, kAddedVolumeCell>},
}};

// The index of the field of that name, found while compiling: a misspelt name does not compile.
consteval std::size_t FieldNamed(std::string_view name) {
  for (std::size_t i = 0; i < kParameterFields.size(); ++i) {
    if (kParameterFields[i].name == name) return i;
  }
  throw "no field of that name";
}

}  // namespace pellix
