// The control surface's colours on this desktop: the platform's system colours as the roles of
// the widget's palette, plain colours as themselves.
#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>
#include <optional>

namespace pellix {

// The palette role that stands for system colour `index` (15, the button face, is
// QPalette::Button); nothing for an index the platform does not define.
std::optional<QPalette::ColorRole> SystemColourRole(std::uint32_t index);

// The colour a BackColor value shows in `palette`. An undefined system colour shows as the
// button face, the surface's default.
QColor BackgroundColour(std::uint32_t back_color, const QPalette& palette);

}  // namespace pellix
