#include "host/render/panel_render.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "analysis/text_file.h"
#include "control/panel.h"
#include "platform/text.h"

namespace pellix {
namespace {

// The layout table reaches a label through a non-const panel; rendering only reads it.
const std::string& CaptionOf(const ALG_V1S& control, const PanelEntry& entry) {
  return entry.label(const_cast<Panel&>(control.panel())).caption();
}

// The code points of a caption, invalid UTF-8 read as U+FFFD.
std::vector<char32_t> CodePoints(std::string_view text) {
  const std::string valid = SanitizeUtf8(text);
  std::vector<char32_t> points;
  for (std::size_t i = 0; i < valid.size();) {
    const auto lead = static_cast<unsigned char>(valid[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t point = length == 1   ? lead
                     : length == 2 ? lead & 0x1Fu
                     : length == 3 ? lead & 0x0Fu
                                   : lead & 0x07u;
    for (std::size_t k = 1; k < length; ++k) {
      point = (point << 6) | (static_cast<unsigned char>(valid[i + k]) & 0x3Fu);
    }
    points.push_back(point);
    i += length;
  }
  return points;
}

// ---- Text ----

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kEllipsis = 0x2026;
constexpr int kColumns = (kPanelWidthTwips + kTwipsPerColumn - 1) / kTwipsPerColumn;
constexpr int kLines = (kPanelHeightTwips + kTwipsPerLine - 1) / kTwipsPerLine;

// One character cell of the terminal: whitespace controls become a blank so that the frame
// stays straight, other controls a visible U+FFFD.
char32_t TerminalCharacter(char32_t point) {
  if (point == '\t' || point == '\n' || point == '\r' || point == '\v' || point == '\f') {
    return ' ';
  }
  if (point < 0x20 || (point >= 0x7F && point < 0xA0)) return kReplacement;
  return point;
}

// Where a label stands on the character grid: the line nearest its top, the column its left
// edge falls in, and the end of the columns its rectangle touches.
struct GridPlace {
  int line;
  int column;
  int end;
};

GridPlace PlaceOnGrid(const TwipsRect& r) {
  GridPlace place;
  place.line = std::clamp((r.top + kTwipsPerLine / 2) / kTwipsPerLine, 0, kLines - 1);
  place.column = std::clamp(r.left / kTwipsPerColumn, 0, kColumns - 1);
  const int right = r.left + r.width;
  place.end = std::clamp((right + kTwipsPerColumn - 1) / kTwipsPerColumn, place.column, kColumns);
  return place;
}

// ---- SVG ----

// A length in SVG pixels, in at most four significant digits.
std::string Number(double pixels) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", pixels);
  return text;
}

// Twips as SVG pixels: whole where the scale divides evenly (every position of the form).
std::string Pixels(int twips) {
  if (twips % kTwipsPerPixel == 0) return std::to_string(twips / kTwipsPerPixel);
  return Number(static_cast<double>(twips) / kTwipsPerPixel);
}

// Text for XML character data and attribute values: the five special characters as
// entities, tab, line feed and carriage return as character references (so a parser keeps
// them as they are), and the characters XML 1.0 forbids (other controls, U+FFFE, U+FFFF)
// left out. Invalid UTF-8 reads as U+FFFD.
std::string XmlText(std::string_view text) {
  std::string out;
  for (char32_t point : CodePoints(text)) {
    switch (point) {
      case '&':
        out += "&amp;";
        continue;
      case '<':
        out += "&lt;";
        continue;
      case '>':
        out += "&gt;";
        continue;
      case '"':
        out += "&quot;";
        continue;
      case '\'':
        out += "&apos;";
        continue;
      case '\t':
        out += "&#9;";
        continue;
      case '\n':
        out += "&#10;";
        continue;
      case '\r':
        out += "&#13;";
        continue;
      default:
        break;
    }
    if (point < 0x20 || point == 0xFFFE || point == 0xFFFF) continue;
    AppendUtf8(out, point);
  }
  return out;
}

// Advance widths of DejaVu Sans for ' ' to '~', in 2048ths of an em.
constexpr std::uint16_t kDejaVuAdvances[95] = {
    651,  821,  942,  1716, 1303, 1946, 1597, 563,  799,  799,  1024, 1716, 651,  739,  651,  690,
    1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 690,  690,  1716, 1716, 1716, 1087,
    2048, 1401, 1405, 1430, 1577, 1294, 1178, 1587, 1540, 604,  604,  1343, 1141, 1767, 1532, 1612,
    1235, 1612, 1423, 1300, 1251, 1499, 1401, 2025, 1403, 1251, 1403, 799,  690,  799,  1716, 1024,
    1024, 1255, 1300, 1126, 1300, 1260, 721,  1300, 1298, 569,  569,  1186, 569,  1995, 1298, 1253,
    1300, 1300, 842,  1067, 803,  1298, 1212, 1675, 1212, 1212, 1075, 1303, 690,  1303, 1716};

// The rows of the measures' grid, top to bottom, and its columns, as a labelled picture names
// them.
constexpr std::string_view kGridRowNames[kGridRows] = {"take 1",     "take 2",     "take 3",
                                                       "take 4",     "take 5",     "break points",
                                                       "resolution", "calibrated", "last check"};
constexpr std::string_view kGridColumnsLegend =
    "SPT thorn rate, SPJ jump rate, JQ jump spread, AVJ average jump length";

// A caption's <text> element at the label's inset and baseline, fitted to `room_pixels`
// (FitCaption), after a <title> with the whole caption when it had to be shortened.
std::string CaptionText(std::string_view caption, double room_pixels) {
  const FittedCaption fitted = FitCaption(caption, room_pixels);
  std::string out;
  if (fitted.text != caption) out += "<title>" + XmlText(caption) + "</title>";
  out += "<text x=\"" + std::to_string(kSvgCaptionInset) + "\" y=\"" +
         std::to_string(kSvgCaptionBaseline) + "\"";
  if (fitted.pixels < kSvgCaptionPixels) out += " font-size=\"" + Number(fitted.pixels) + "\"";
  return out + ">" + XmlText(fitted.text) + "</text>";
}

// The decimals of `text` when it is a decimal number ("18.0364" has 4), else nothing.
std::optional<int> Decimals(std::string_view text) {
  const std::size_t point = text.find('.');
  if (point == std::string_view::npos || point + 1 == text.size()) return std::nullopt;
  const std::size_t first = text.front() == '-' ? 1 : 0;
  if (point == first) return std::nullopt;
  for (std::size_t i = first; i < text.size(); ++i) {
    if (i != point && (text[i] < '0' || text[i] > '9')) return std::nullopt;
  }
  return static_cast<int>(text.size() - point - 1);
}

// A colour of the control surface as #RRGGBB: the usual shades of the system colours a
// control surface normally uses, the button face for the others, plain colours as they are.
std::string CssColour(std::uint32_t back_color) {
  const SurfaceColour colour = DecodeSurfaceColour(back_color);
  std::uint32_t rgb = 0xF0F0F0;  // button face
  if (colour.system) {
    switch (colour.index) {
      case 5:
        rgb = 0xFFFFFF;
        break;  // window
      case 8:
        rgb = 0x000000;
        break;  // window text
      case 12:
        rgb = 0xABABAB;
        break;  // application workspace
      default:
        break;
    }
  } else {
    rgb = (std::uint32_t{colour.red} << 16) | (std::uint32_t{colour.green} << 8) | colour.blue;
  }
  char text[8];
  std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(rgb));
  return text;
}

}  // namespace

std::string RenderPanelText(const ALG_V1S& control) {
  const auto layout = PanelLayout();
  std::vector<GridPlace> places;
  for (const PanelEntry& entry : layout) places.push_back(PlaceOnGrid(entry.position));

  std::vector<std::vector<char32_t>> grid(kLines, std::vector<char32_t>(kColumns, ' '));
  std::vector<std::vector<bool>> starts(kLines, std::vector<bool>(kColumns, false));
  for (const GridPlace& place : places) starts[place.line][place.column] = true;

  for (std::size_t i = 0; i < layout.size(); ++i) {
    const GridPlace& place = places[i];
    // Stop a blank short of the next label that starts on the line, so that no caption hides
    // another or runs into it.
    int end = place.end;
    for (int column = place.column + 1; column <= end && column < kColumns; ++column) {
      if (starts[place.line][column]) end = column - 1;
    }
    const auto room = static_cast<std::size_t>(end - place.column);
    std::vector<char32_t> caption = CodePoints(CaptionOf(control, layout[i]));
    if (caption.size() > room) {
      caption.resize(room);
      if (room > 0) caption.back() = kEllipsis;
    }
    for (std::size_t k = 0; k < caption.size(); ++k) {
      grid[place.line][place.column + static_cast<int>(k)] = TerminalCharacter(caption[k]);
    }
  }

  const std::string rule = "+" + std::string(kColumns, '-') + "+\n";
  std::string out = rule;
  for (const auto& line : grid) {
    out += '|';
    for (char32_t point : line) AppendUtf8(out, point);
    out += "|\n";
  }
  out += rule;
  return out;
}

double CaptionWidthEms(std::string_view caption) {
  double units = 0;
  for (char32_t point : CodePoints(caption)) {
    if (point >= 0x20 && point <= 0x7E) {
      units += kDejaVuAdvances[point - 0x20];
    } else if (point == '\t' || point == '\n' || point == '\r') {
      units += kDejaVuAdvances[0];
    } else if (point >= 0x7F) {
      units += 2048;
    }
  }
  return units / 2048;
}

double FittingCaptionPixels(std::string_view caption, double room_pixels) {
  const double ems = CaptionWidthEms(caption);
  const double room = room_pixels - kSvgCaptionInset;
  if (ems * kSvgCaptionPixels <= room) return kSvgCaptionPixels;
  return std::max(0.1, std::floor(room / ems * 10) / 10);
}

FittedCaption FitCaption(std::string_view caption, double room_pixels) {
  FittedCaption fitted{std::string(caption), FittingCaptionPixels(caption, room_pixels)};
  if (fitted.pixels >= kSvgSmallestCaptionPixels) return fitted;
  // A number rounded to as many decimals as fit, written with a point whatever the locale.
  double value = 0;
  const std::optional<int> decimals = Decimals(caption);
  if (decimals &&
      std::from_chars(caption.data(), caption.data() + caption.size(), value).ec == std::errc()) {
    for (int kept = *decimals - 1; kept >= 0; --kept) {
      char text[64];
      const auto written =
          std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, kept);
      if (written.ec != std::errc()) break;
      fitted = {std::string(text, written.ptr), 0};
      fitted.pixels = FittingCaptionPixels(fitted.text, room_pixels);
      if (fitted.pixels >= kSvgSmallestCaptionPixels) return fitted;
    }
  }
  // Any other text: as much of it as fits before the ellipsis at the smallest size.
  const double room_ems = (room_pixels - kSvgCaptionInset) / kSvgSmallestCaptionPixels;
  const std::string ellipsis = [] {
    std::string text;
    AppendUtf8(text, kEllipsis);
    return text;
  }();
  double ems = CaptionWidthEms(ellipsis);
  std::string text;
  for (char32_t point : CodePoints(caption)) {
    std::string character;
    AppendUtf8(character, point);
    ems += CaptionWidthEms(character);
    if (ems > room_ems) break;
    text += character;
  }
  text += ellipsis;
  return {text, FittingCaptionPixels(text, room_pixels)};
}

std::string RenderPanelSvg(const ALG_V1S& control, const PanelSvgOptions& options) {
  const ControlSurface& surface = control.surface();
  const std::string width = Pixels(kPanelWidthTwips);
  const std::string height = Pixels(kPanelHeightTwips);
  const std::string font = "font-family=\"" + std::string(kSvgCaptionFamilies) + "\" font-size=\"" +
                           Number(kSvgCaptionPixels) + "\" fill=\"#000000\"";

  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  if (options.labelled) {
    const int panel_width = kPanelWidthTwips / kTwipsPerPixel;
    const std::string outer_width = std::to_string(kSvgRowNamesPixels + panel_width);
    const std::string outer_height =
        std::to_string(kPanelHeightTwips / kTwipsPerPixel + kSvgLegendPixels);
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + outer_width + "\" height=\"" +
           outer_height + "\" viewBox=\"0 0 " + outer_width + " " + outer_height + "\">\n";
    out += "<title>ALG_V1S panel</title>\n<g " + font + " xml:space=\"preserve\">\n";
    // Each row's name in the margin, level with its first cell.
    std::size_t row = 0;
    for (const PanelEntry& entry : PanelLayout()) {
      if (!entry.name.starts_with("SPT(") || row == kGridRows) continue;
      out += "<svg class=\"row-name\" x=\"0\" y=\"" + Pixels(entry.position.top) + "\" width=\"" +
             std::to_string(kSvgRowNamesPixels - kSvgCaptionInset) + "\" height=\"" +
             Pixels(entry.position.height) + "\">" +
             CaptionText(kGridRowNames[row++], kSvgRowNamesPixels - 2 * kSvgCaptionInset) +
             "</svg>\n";
    }
    out += "<svg class=\"legend\" x=\"" + std::to_string(kSvgRowNamesPixels) + "\" y=\"" + height +
           "\" width=\"" + width + "\" height=\"" + std::to_string(kSvgLegendPixels) + "\">" +
           CaptionText(kGridColumnsLegend, panel_width) + "</svg>\n</g>\n";
    out += "<svg x=\"" + std::to_string(kSvgRowNamesPixels) + "\" y=\"0\" width=\"" + width +
           "\" height=\"" + height + "\" viewBox=\"0 0 " + width + " " + height + "\">\n";
  } else {
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + width + "\" height=\"" + height +
           "\" viewBox=\"0 0 " + width + " " + height + "\">\n";
    out += "<title>ALG_V1S panel</title>\n";
  }
  out += "<rect class=\"surface\" x=\"0\" y=\"0\" width=\"" + width + "\" height=\"" + height +
         "\" fill=\"" + (surface.BackStyle == 0 ? "none" : CssColour(surface.BackColor)) + "\"";
  if (surface.BorderStyle != 0) out += " stroke=\"#000000\" stroke-width=\"1\"";
  out += "/>\n";
  // Blanks kept; the size is the one at which every design caption fits its label.
  out += "<g " + font + " xml:space=\"preserve\">\n";
  for (const PanelEntry& entry : PanelLayout()) {
    const TwipsRect& r = entry.position;
    // A nested <svg> is a viewport: it places the label and clips its caption to it.
    out += "<svg data-label=\"" + XmlText(entry.name) + "\"";
    if (entry.value_cell) out += " data-value-cell=\"true\"";
    out += " x=\"" + Pixels(r.left) + "\" y=\"" + Pixels(r.top) + "\" width=\"" + Pixels(r.width) +
           "\" height=\"" + Pixels(r.height) + "\">";
    if (entry.value_cell) {
      out += "<rect x=\"0.5\" y=\"0.5\" width=\"" + Pixels(r.width - kTwipsPerPixel) +
             "\" height=\"" + Pixels(r.height - kTwipsPerPixel) +
             "\" fill=\"#FFFFFF\" fill-opacity=\"0.7\" stroke=\"#A0A0A0\" stroke-width=\"1\"/>";
    }
    out += CaptionText(CaptionOf(control, entry), static_cast<double>(r.width) / kTwipsPerPixel) +
           "</svg>\n";
  }
  out += "</g>\n</svg>\n";
  if (options.labelled) out += "</svg>\n";
  return out;
}

void WritePanelSvg(const ALG_V1S& control, const std::string& path,
                   const PanelSvgOptions& options) {
  WriteTextFile(path, RenderPanelSvg(control, options), "panel picture");
}

}  // namespace pellix
