// The program name hosts create the control by ("Pellix.ALG_V1S"); also the source of its
// error information.
#pragma once

#include <string_view>

namespace pellix::component {

inline constexpr std::string_view kProgramName = "Pellix.ALG_V1S";

}  // namespace pellix::component
