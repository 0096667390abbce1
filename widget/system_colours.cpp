#include "widget/system_colours.h"

#include <array>

#include "control/panel.h"

namespace pellix {
namespace {

// The platform's system colours 0 to 24, in index order, as the palette roles that play the
// same part on this desktop.
constexpr std::array<QPalette::ColorRole, 25> kSystemRoles = {
    QPalette::Button,           // 0 scroll bar
    QPalette::Dark,             // 1 desktop
    QPalette::Highlight,        // 2 active title bar
    QPalette::Mid,              // 3 inactive title bar
    QPalette::Window,           // 4 menu
    QPalette::Base,             // 5 window
    QPalette::Shadow,           // 6 window frame
    QPalette::WindowText,       // 7 menu text
    QPalette::Text,             // 8 window text
    QPalette::HighlightedText,  // 9 title bar text
    QPalette::Button,           // 10 active border
    QPalette::Button,           // 11 inactive border
    QPalette::Dark,             // 12 application workspace
    QPalette::Highlight,        // 13 highlight
    QPalette::HighlightedText,  // 14 highlighted text
    QPalette::Button,           // 15 button face
    QPalette::Mid,              // 16 button shadow
    QPalette::PlaceholderText,  // 17 grey text
    QPalette::ButtonText,       // 18 button text
    QPalette::PlaceholderText,  // 19 inactive title bar text
    QPalette::Light,            // 20 button highlight
    QPalette::Shadow,           // 21 button dark shadow
    QPalette::Midlight,         // 22 button light
    QPalette::ToolTipText,      // 23 tooltip text
    QPalette::ToolTipBase,      // 24 tooltip background
};

}  // namespace

std::optional<QPalette::ColorRole> SystemColourRole(std::uint32_t index) {
  if (index >= kSystemRoles.size()) return std::nullopt;
  return kSystemRoles[index];
}

QColor BackgroundColour(std::uint32_t back_color, const QPalette& palette) {
  const SurfaceColour colour = DecodeSurfaceColour(back_color);
  if (!colour.system) return QColor(colour.red, colour.green, colour.blue);
  return palette.color(SystemColourRole(colour.index).value_or(QPalette::Button));
}

}  // namespace pellix
