// The packed parameter string that Initalize distributes over the control (its layout is
// control/parameter_fields.h): the layout in words, what a given string puts where, and warnings
// about values with which every take is refused.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "control/parameter_fields.h"

namespace pellix::analysis {

// The fields of the parameter string as the control declares them.
using pellix::kParameterFields;
using pellix::ParameterField;

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

// Runs Initalize on a new control with `parameters` and reads back every field. The control's
// analysis state is its own: no other control's is touched.
ParameterReading ReadParameters(const std::string& parameters);

}  // namespace pellix::analysis
