// The control's panel drawn for people: as text for a terminal, and as an SVG picture.
//
//   std::cout << RenderPanelText(control);
//   WritePanelSvg(control, "panel.svg");
//
// Both draw every label of PanelLayout() at its position with its current caption.
#pragma once

#include <string>
#include <string_view>

#include "control/alg_v1s.h"

namespace pellix {

// Character grid of the text rendering: one column per 72 twips and one line per 150 twips,
// so the 5520 x 4695-twip surface (77 columns, 32 lines) fits an 80-column terminal framed.
inline constexpr int kTwipsPerColumn = 72;
inline constexpr int kTwipsPerLine = 150;
// Scale of the SVG picture: the surface becomes 368 x 313 pixels.
inline constexpr int kTwipsPerPixel = 15;
// The SVG captions: DejaVu Sans first, the widest of the families named, at the largest size
// in half pixels up to the form's 8 points (10.67 pixels) at which every design caption fits
// its label after the inset. "BG filter" decides: 39 of its 41 pixels at 9.5, 41.05 at 10.
// The narrower families fit too.
inline constexpr std::string_view kSvgCaptionFamilies =
    "DejaVu Sans, Arial, Helvetica, Liberation Sans, sans-serif";
inline constexpr double kSvgCaptionPixels = 9.5;
inline constexpr int kSvgCaptionInset = 2;      // pixels from the label's left edge
inline constexpr int kSvgCaptionBaseline = 12;  // pixels below the label's top

// The panel as text inside a frame of '+', '-' and '|'. A label starts on the line nearest
// its top and in the column its left edge falls in, and covers the columns its rectangle
// touches, but always stops one blank short of the next label's start on its line; a caption
// longer than that is cut and ends in "…". Control characters show as a blank (tab, line feed,
// carriage return) or U+FFFD, and invalid UTF-8 as U+FFFD. Lines end in '\n'. Raises the label's
// error when a caption get is refused.
std::string RenderPanelText(const ALG_V1S& control);

// Room beside and below the panel for the words of a labelled picture.
inline constexpr int kSvgRowNamesPixels = 74;
inline constexpr int kSvgLegendPixels = 24;

// The width of `caption` in DejaVu Sans, in ems (of the font size): its advance widths for
// printable ASCII, one em for anything else, so that no caption is thought narrower than it is.
double CaptionWidthEms(std::string_view caption);

// The font size, in pixels, at which `caption` fits `room_pixels` after the inset and a pixel
// to spare: kSvgCaptionPixels when it fits at that size, else smaller, to a tenth of a pixel.
double FittingCaptionPixels(std::string_view caption, double room_pixels);

// The smallest size a caption is drawn at; one that would need less is shortened to fit at this
// size or more: a decimal number rounded to fewer decimals, any other text cut and ended with
// "…".
inline constexpr double kSvgSmallestCaptionPixels = 8;

struct FittedCaption {
  std::string text;  // the caption, or what of it fits
  double pixels;     // its font size
};

// `caption` as drawn in a label `room_pixels` wide.
FittedCaption FitCaption(std::string_view caption, double room_pixels);

struct PanelSvgOptions {
  // Names the rows of the measures' grid on the left (the five calibration takes, the break
  // points, the resolution, the calibrated constants and the last check) and the columns
  // below the panel, on a picture that is kSvgRowNamesPixels wider and kSvgLegendPixels taller.
  bool labelled = false;
};

// The panel as a standalone SVG document, twips scaled to pixels. Each label is an <svg>
// element carrying data-label="NAME" (the name as on the form, "SPT(5)") and its scaled
// x, y, width and height, which clips the caption to the label; value cells also carry
// data-value-cell="true" and a light box. The caption is the text of the label's <text>
// element, XML-escaped, with the characters XML 1.0 forbids left out; one too wide for its
// label at the panel's size has a font-size of its own at which it fits, and one shortened to
// fit (FitCaption) has the whole caption as the label's <title>.
// The background follows the control surface's BackColor and BackStyle, a border its
// BorderStyle.
std::string RenderPanelSvg(const ALG_V1S& control, const PanelSvgOptions& options = {});

// Writes RenderPanelSvg(control, options) to `path` through a temporary file beside it and a
// rename, so `path` never holds a half-written picture. Errors (a PlatformError whose what()
// names the file): 53 when the folder does not exist, 70 when writing there is not permitted,
// 75 otherwise (`path` is a directory, the disk is full, ...).
void WritePanelSvg(const ALG_V1S& control, const std::string& path,
                   const PanelSvgOptions& options = {});

}  // namespace pellix
