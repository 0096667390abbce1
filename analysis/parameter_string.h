// The packed parameter string that Initalize distributes over the control: its layout, what
// a given string puts where, and warnings about values with which every take is refused.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pellix::analysis {

// One field of the parameter string, by 1-based character position.
struct ParameterField {
  std::size_t position;
  std::size_t length;
  std::string_view name;     // "shortest jump"
  std::string_view target;   // where Initalize puts it
  std::string_view meaning;  // what the analysis does with it
};

inline constexpr std::array<ParameterField, 8> kParameterFields = {{
    {4, 2, "shortest jump", "Filters(3), the BGfilter property",
     "the shortest flat run, in positions, that counts as a jump"},
    {6, 2, "longest jump", "Filters(4)",
     "the longest flat run that counts as a jump; more than 100 fails the scan"},
    {8, 2, "density level", "the DensityLevel property", "kept for the host; not analysed"},
    {10, 1, "mode", "the Mode property", "kept for the host; not analysed"},
    {11, 2, "background border", "BG_LEVEL, the BGbord property",
     "a sample is loud when its level is beyond plus or minus this"},
    {13, 2, "background filter", "Filters(0)", "kept for the host; not analysed"},
    {15, 2, "volume", "Filters(1)",
     "the gain in thirds (3 is unity); 0 chooses the gain from the take's peak"},
    {17, 2, "added volume", "Filters(2), the ADDvolume property",
     "kept for the host; not analysed"},
}};

// The layout in words, one line per field, for --help and `pellix params`.
std::string ParameterLayout();

struct FieldReading {
  const ParameterField* field;
  std::string text;   // the characters at the field's positions (empty past the end)
  std::string value;  // what Initalize put there, read back from the control
};

struct ParameterReading {
  std::string head;                   // positions 1 to 3, which the control does not read
  std::vector<FieldReading> fields;   // in the order of kParameterFields
  std::string tail;                   // positions 19 on, which it does not read either
  std::vector<std::string> warnings;  // values with which every take is refused, and worse
};

// Runs Initalize on a new control with `parameters` and reads back every field. Uses the
// calling thread's analysis state, as any Initalize does.
ParameterReading ReadParameters(const std::string& parameters);

}  // namespace pellix::analysis
