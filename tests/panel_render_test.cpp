// The panel drawn for people: every label in the SVG picture with its caption and its scaled
// position, captions escaped so that any text a host sets keeps the document well formed, the
// text rendering on its character grid, and the picture written safely to a file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "control/alg_v1s.h"
#include "control/panel.h"
#include "host/render/panel_render.h"
#include "platform/error.h"

namespace pellix {
namespace {

namespace fs = std::filesystem;

// ---- A tiny XML reader: enough to check the picture is well formed and to read it back ----

struct Element {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::vector<Element> children;
  std::string text;  // character data directly inside, entities resolved
};

class XmlReader {
 public:
  explicit XmlReader(std::string_view doc) : doc_(doc) {}

  Element Document() {
    Skip();
    if (doc_.substr(at_, 5) == "<?xml") at_ = doc_.find("?>", at_) + 2;
    Skip();
    Element root = ReadElement();
    Skip();
    if (at_ != doc_.size()) Fail("content after the root element");
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error(what + " at byte " + std::to_string(at_));
  }
  void Skip() {
    while (at_ < doc_.size() && std::isspace(static_cast<unsigned char>(doc_[at_]))) ++at_;
  }
  std::string Name() {
    std::size_t start = at_;
    while (at_ < doc_.size() && (std::isalnum(static_cast<unsigned char>(doc_[at_])) ||
                                 doc_[at_] == '-' || doc_[at_] == ':' || doc_[at_] == '_')) {
      ++at_;
    }
    if (start == at_) Fail("a name expected");
    return std::string(doc_.substr(start, at_ - start));
  }
  // Character data up to `end`, with the five entities and numeric references resolved; a raw
  // '<' or '&' that starts nothing is an error, as is a control character XML forbids.
  std::string Data(char end) {
    std::string out;
    while (at_ < doc_.size() && doc_[at_] != end) {
      char c = doc_[at_];
      if (c == '<') Fail("raw '<' in character data");
      auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') Fail("forbidden character");
      if (c != '&') {
        out += c;
        ++at_;
        continue;
      }
      std::size_t semi = doc_.find(';', at_);
      if (semi == std::string_view::npos) Fail("unterminated entity");
      std::string_view entity = doc_.substr(at_ + 1, semi - at_ - 1);
      static const std::map<std::string_view, char> kNamed = {
          {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
      if (auto it = kNamed.find(entity); it != kNamed.end()) {
        out += it->second;
      } else if (entity.size() > 1 && entity[0] == '#') {
        out += static_cast<char>(std::stoi(std::string(entity.substr(1))));
      } else {
        Fail("unknown entity");
      }
      at_ = semi + 1;
    }
    return out;
  }
  Element ReadElement() {
    if (doc_[at_] != '<') Fail("'<' expected");
    ++at_;
    Element e;
    e.name = Name();
    while (true) {
      Skip();
      if (doc_.substr(at_, 2) == "/>") {
        at_ += 2;
        return e;
      }
      if (doc_[at_] == '>') break;
      std::string key = Name();
      if (doc_.substr(at_, 2) != "=\"") Fail("attribute value expected");
      at_ += 2;
      std::string value = Data('"');
      ++at_;
      if (!e.attributes.emplace(key, value).second) Fail("duplicate attribute " + key);
    }
    ++at_;
    while (true) {
      e.text += Data('<');
      if (at_ >= doc_.size()) Fail("unterminated element " + e.name);
      if (doc_.substr(at_, 2) == "</") {
        at_ += 2;
        if (Name() != e.name) Fail("mismatched end tag for " + e.name);
        Skip();
        if (doc_[at_] != '>') Fail("'>' expected");
        ++at_;
        return e;
      }
      e.children.push_back(ReadElement());
    }
  }

  std::string_view doc_;
  std::size_t at_ = 0;
};

// Every element carrying data-label, by label name, anywhere in the tree.
void CollectLabels(const Element& e, std::map<std::string, std::vector<const Element*>>& out) {
  if (auto it = e.attributes.find("data-label"); it != e.attributes.end()) {
    out[it->second].push_back(&e);
  }
  for (const Element& child : e.children) CollectLabels(child, out);
}

// The caption drawn in a label element: the text of its <text> child.
std::string CaptionIn(const Element& label) {
  for (const Element& child : label.children) {
    if (child.name == "text") return child.text;
  }
  return "<no text element>";
}

bool HasBox(const Element& label) {
  for (const Element& child : label.children) {
    if (child.name == "rect") return true;
  }
  return false;
}

struct Geometry {
  std::string x, y, width, height;
  friend bool operator==(const Geometry&, const Geometry&) = default;
};

Geometry GeometryOf(const Element& e) {
  auto get = [&e](const char* key) {
    auto it = e.attributes.find(key);
    return it == e.attributes.end() ? std::string("?") : it->second;
  };
  return {get("x"), get("y"), get("width"), get("height")};
}

std::ostream& operator<<(std::ostream& os, const Geometry& g) {
  return os << g.x << "," << g.y << " " << g.width << "x" << g.height;
}

class PanelSvg : public ::testing::Test {
 protected:
  PanelSvg() { control.InitProperties(); }

  std::map<std::string, std::vector<const Element*>> Labels() {
    root = XmlReader(svg = RenderPanelSvg(control)).Document();
    std::map<std::string, std::vector<const Element*>> labels;
    CollectLabels(root, labels);
    return labels;
  }

  ALG_V1S control;
  std::string svg;
  Element root;
};

// ---- SVG ----

TEST_F(PanelSvg, IsASurfaceOf368By313Pixels) {
  Labels();
  EXPECT_EQ(root.name, "svg");
  EXPECT_EQ(root.attributes["xmlns"], "http://www.w3.org/2000/svg");
  // 5520 / 15 and 4695 / 15.
  EXPECT_EQ(root.attributes["width"], "368");
  EXPECT_EQ(root.attributes["height"], "313");
  EXPECT_EQ(root.attributes["viewBox"], "0 0 368 313");
}

TEST_F(PanelSvg, EveryLabelOnceWithItsCaptionPositionAndKind) {
  auto labels = Labels();
  EXPECT_EQ(labels.size(), PanelLayout().size());
  for (const PanelEntry& entry : PanelLayout()) {
    const std::string name(entry.name);
    ASSERT_EQ(labels[name].size(), 1u) << name;
    const Element& label = *labels[name].front();
    const TwipsRect& r = entry.position;
    EXPECT_EQ(GeometryOf(label),
              (Geometry{std::to_string(r.left / 15), std::to_string(r.top / 15),
                        std::to_string(r.width / 15), std::to_string(r.height / 15)}))
        << name;
    EXPECT_EQ(CaptionIn(label), entry.design_caption) << name;
    EXPECT_EQ(HasBox(label), entry.value_cell) << name;
    EXPECT_EQ(label.attributes.count("data-value-cell"), entry.value_cell ? 1u : 0u) << name;
  }
}

TEST_F(PanelSvg, PositionsScaledBy15TwipsPerPixel) {
  auto labels = Labels();
  // Worked by hand from the form's twips.
  const std::map<std::string, std::pair<Geometry, std::string>> expected = {
      {"Label2", {{"224", "186", "133", "25"}, "Stereo Algorithem V2.00"}},
      {"Label1(0)", {{"9", "6", "204", "19"}, "Calibration det."}},
      {"Label1(18)", {{"168", "30", "45", "15"}, "AVJ"}},
      {"Llll(19)", {{"218", "96", "57", "19"}, "MODE"}},
      {"SPT(5)", {{"10", "160", "45", "17"}, "120"}},
      {"AVJ(5)", {{"168", "160", "45", "17"}, "0"}},
      {"SPJ(7)", {{"65", "244", "45", "17"}, "0"}},  // 15 twips right of its column
      {"SPT(8)", {{"11", "288", "45", "17"}, "0"}},
      {"Filters(3)", {{"322", "26", "41", "19"}, "2"}},
      {"Filters(4)", {{"322", "72", "41", "19"}, "30"}},
      {"BG_LEVEL", {{"294", "28", "25", "19"}, "0"}},
      {"LBL_MSG", {{"290", "286", "73", "19"}, "0"}},
  };
  for (const auto& [name, want] : expected) {
    ASSERT_EQ(labels[name].size(), 1u) << name;
    EXPECT_EQ(GeometryOf(*labels[name].front()), want.first) << name;
    EXPECT_EQ(CaptionIn(*labels[name].front()), want.second) << name;
  }
}

TEST_F(PanelSvg, ShowsTheCurrentCaptionsNotTheDesignOnes) {
  control.put<"CR_msgX">("7");
  control.put<"CAL_spT">("131.5");
  control.put<"BGfilter">("4");
  auto labels = Labels();
  EXPECT_EQ(CaptionIn(*labels["LBL_MSG"].front()), "7");
  EXPECT_EQ(CaptionIn(*labels["SPT(7)"].front()), "131.5");
  EXPECT_EQ(CaptionIn(*labels["Filters(3)"].front()), "4");  // BGfilter is the Min J. cell
  EXPECT_EQ(CaptionIn(*labels["Filters(0)"].front()), "0");
}

TEST_F(PanelSvg, CaptionsAreEscapedAndForbiddenCharactersLeftOut) {
  control.put<"CR_msgX">("a<b&c\"d'e>f");
  control.put<"LIEstress">("x\x01y\x1Fz\x7F");            // C0 controls are not XML; DEL is
  control.put<"GLBstress">("tab\tline\ncr\r.");           // kept, as references
  control.put<"EXCstress">("\xEF\xBF\xBF\xEF\xBF\xBE!");  // U+FFFF and U+FFFE are not XML
  control.put<"CAL_spT">("\xFF\xC3\xA9");                 // invalid byte, then e-acute
  control.put<"CR_spT">("</text></svg><svg data-label=\"LBL_MSG\">");
  auto labels = Labels();  // throws on a document that is not well formed
  EXPECT_EQ(CaptionIn(*labels["LBL_MSG"].front()), "a<b&c\"d'e>f");
  EXPECT_EQ(CaptionIn(*labels["LBL_LIE"].front()), "xyz\x7F");
  EXPECT_EQ(CaptionIn(*labels["LBL_GLB"].front()), "tab\tline\ncr\r.");
  EXPECT_EQ(CaptionIn(*labels["LBL_EXC"].front()), "!");
  EXPECT_EQ(CaptionIn(*labels["SPT(7)"].front()), "\xEF\xBF\xBD\xC3\xA9");
  // Too long for its cell: shortened, and whole in the label's title.
  EXPECT_EQ(CaptionIn(*labels["SPT(8)"].front()), "</text>\xE2\x80\xA6");
  const auto& children = labels["SPT(8)"].front()->children;
  EXPECT_TRUE(std::any_of(children.begin(), children.end(), [](const Element& e) {
    return e.name == "title" && e.text == "</text></svg><svg data-label=\"LBL_MSG\">";
  }));
  EXPECT_EQ(labels["LBL_MSG"].size(), 1u);
  EXPECT_EQ(svg.find("a<b"), std::string::npos);
  EXPECT_NE(svg.find("a&lt;b&amp;c&quot;d&apos;e&gt;f"), std::string::npos);
}

TEST_F(PanelSvg, BackgroundFollowsTheControlSurface) {
  auto surface_fill = [this] {
    Labels();
    for (const Element& child : root.children) {
      if (child.name == "rect") return child.attributes.at("fill");
    }
    return std::string("<none>");
  };
  EXPECT_EQ(surface_fill(), "#F0F0F0");      // the button face, 0x8000000F
  control.surface().BackColor = 0x00336699;  // blue 0x33, green 0x66, red 0x99
  EXPECT_EQ(surface_fill(), "#996633");
  control.surface().BackStyle = 0;  // transparent
  EXPECT_EQ(surface_fill(), "none");
}

TEST_F(PanelSvg, ARefusedCaptionGetFailsWithItsError) {
  control.panel().LBL_GLB.RefuseCaptionGets(kPermissionDenied);
  try {
    RenderPanelSvg(control);
    FAIL() << "no error";
  } catch (const PlatformError& e) {
    EXPECT_EQ(e.number(), kPermissionDenied);
  }
}

// ---- Text ----

// The lines of a text rendering, without their frame; fails on a line that is not framed.
std::vector<std::u32string> Inside(const std::string& text) {
  std::vector<std::u32string> lines;
  std::u32string line;
  for (std::size_t i = 0; i < text.size();) {
    auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t point = length == 1   ? lead
                     : length == 2 ? lead & 0x1F
                     : length == 3 ? lead & 0x0F
                                   : lead & 0x07;
    for (std::size_t k = 1; k < length; ++k) point = (point << 6) | (text[i + k] & 0x3F);
    i += length;
    if (point == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += point;
    }
  }
  EXPECT_TRUE(line.empty()) << "the last line has no line feed";
  std::vector<std::u32string> inside;
  for (std::size_t n = 1; n + 1 < lines.size(); ++n) {
    EXPECT_EQ(lines[n].size(), 79u) << "line " << n;
    EXPECT_EQ(lines[n].front(), U'|');
    EXPECT_EQ(lines[n].back(), U'|');
    inside.push_back(lines[n].substr(1, lines[n].size() - 2));
  }
  return inside;
}

// A line of 77 blanks with `pieces` written at their columns.
std::u32string Line(std::initializer_list<std::pair<int, std::u32string>> pieces) {
  std::u32string line(77, U' ');
  for (const auto& [column, text] : pieces) line.replace(column, text.size(), text);
  return line;
}

TEST(PanelText, FramedGridOf77ColumnsAnd32Lines) {
  ALG_V1S control;
  control.InitProperties();
  std::string text = RenderPanelText(control);
  const std::string rule = "+" + std::string(77, '-') + "+\n";
  EXPECT_EQ(text.substr(0, rule.size()), rule);
  EXPECT_EQ(text.substr(text.size() - rule.size()), rule);
  EXPECT_EQ(Inside(text).size(), 32u);  // 4695 twips at 150 a line, rounded up
}

// Columns are left / 72 (rounded down), lines top / 150 (rounded to the nearest), worked by
// hand: "BG filter" at 3270 twips is column 45 of line 3 (420 / 150 = 2.8); "Min J." cell at
// 4830, 390 is column 67 of line 3 as well (2.6).
TEST(PanelText, NewInstanceLabelsStandAtTheirPlaces) {
  ALG_V1S control;
  control.InitProperties();
  auto lines = Inside(RenderPanelText(control));
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[0], Line({}));
  EXPECT_EQ(lines[1], Line({{1, U"Calibration det."}, {45, U"Filters"}, {67, U"Min J."}}));
  EXPECT_EQ(lines[3], Line({{2, U"SPT"},
                            {13, U"SPJ"},
                            {24, U"JQ"},
                            {35, U"AVJ"},
                            {45, U"BG filter"},
                            {55, U"0"},
                            {61, U"0"},
                            {67, U"2"}}));
  EXPECT_EQ(lines[5], Line({{2, U"0"},
                            {13, U"0"},
                            {24, U"0"},
                            {35, U"0"},
                            {45, U"Volume"},
                            {57, U"0"},
                            {67, U"Max J."}}));
  EXPECT_EQ(lines[7], Line({{45, U"Added vol."}, {57, U"0"}, {67, U"30"}}));
  EXPECT_EQ(lines[10],
            Line({{2, U"0"}, {13, U"0"}, {24, U"0"}, {35, U"0"}, {45, U"MODE"}, {57, U"0"}}));
  EXPECT_EQ(lines[16], Line({{2, U"120"}, {13, U"120"}, {24, U"120"}, {35, U"0"}}));
  EXPECT_EQ(lines[18], Line({{1, U"Resolution"}}));
  EXPECT_EQ(lines[19], Line({{46, U"Stereo Algorithem V2.00"}}));
  EXPECT_EQ(lines[22], Line({{2, U"CONSTANTS"}, {45, U"LIE STRESS"}, {60, U"GLB STRESS"}}));
  // Rows 7 and 8 of SPT and SPJ stand 15 twips right: 165 / 72 is still 2, 975 / 72 13.
  EXPECT_EQ(lines[24],
            Line({{2, U"0"}, {13, U"0"}, {24, U"0"}, {35, U"0"}, {45, U"0"}, {60, U"0"}}));
  EXPECT_EQ(lines[27], Line({{2, U"Results"}, {45, U"EXCITE"}, {60, U"MSG"}}));
  EXPECT_EQ(lines[29],
            Line({{2, U"0"}, {13, U"0"}, {24, U"0"}, {35, U"0"}, {45, U"0"}, {60, U"0"}}));
}

TEST(PanelText, ShowsEveryValueCaption) {
  ALG_V1S control;
  control.InitProperties();
  std::vector<std::string> captions;
  int n = 0;
  for (const PanelEntry& entry : PanelLayout()) {
    if (!entry.value_cell) continue;
    const std::string caption = (n < 10 ? "v0" : "v") + std::to_string(n);
    ++n;
    entry.label(control.panel()).set_caption(caption);
    captions.push_back(caption);
  }
  ASSERT_EQ(captions.size(), 47u);
  std::string text = RenderPanelText(control);
  for (const std::string& caption : captions) {
    EXPECT_NE(text.find(caption), std::string::npos) << caption;
  }
}

TEST(PanelText, LongCaptionsAreCutAndNeverReachTheNextLabel) {
  ALG_V1S control;
  control.InitProperties();
  // BG_LEVEL covers columns 61 to 66 (4785 / 72 = 66.5); Filters(3) starts at 67, so it
  // keeps column 66 blank and shows four digits and the mark.
  control.put<"BGbord">("123456789");
  // Filters(0) at 55 would reach 60 (4365 / 72 = 60.6); BG_LEVEL starts at 61.
  control.panel().Filters[0].set_caption("abcdefgh");
  // LBL_GLB at 60 covers up to 75 (5445 / 72 = 75.6): sixteen columns.
  control.put<"GLBstress">("0.123456789012345");
  auto lines = Inside(RenderPanelText(control));
  EXPECT_EQ(lines[3], Line({{2, U"SPT"},
                            {13, U"SPJ"},
                            {24, U"JQ"},
                            {35, U"AVJ"},
                            {45, U"BG filter"},
                            {55, U"abcd…"},
                            {61, U"1234…"},
                            {67, U"2"}}));
  EXPECT_EQ(lines[24].substr(60), U"0.1234567890123… ");
}

TEST(PanelText, ControlCharactersAndInvalidBytesKeepTheFrameStraight) {
  ALG_V1S control;
  control.InitProperties();
  control.put<"CR_msgX">("a\tb\nc\x01\xFF");
  control.put<"LIEstress">("\xC3\xA9t\xC3\xA9");  // two-byte characters take one column each
  auto lines = Inside(RenderPanelText(control));
  EXPECT_EQ(lines[29].substr(60, 7), U"a b c\uFFFD\uFFFD");
  EXPECT_EQ(lines[24].substr(45, 4), U"été ");
}

// ---- Writing the picture ----

class PanelSvgFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "pellix-svg-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    control.InitProperties();
  }
  void TearDown() override {
    ::chmod(dir_.c_str(), 0700);
    fs::remove_all(dir_);
  }

  int ErrorWriting(const fs::path& path) {
    try {
      WritePanelSvg(control, path.string());
    } catch (const PlatformError& e) {
      EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos) << e.what();
      return e.number();
    }
    return 0;
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  fs::path dir_;
  ALG_V1S control;
};

TEST(PanelSvgCaptionFit, WidthsInDejaVuSansAndTheSizeThatFits) {
  struct Case {
    std::string_view caption;
    double room;    // the label's width in pixels
    double ems;     // sum of the advance widths, in 2048ths, worked by hand
    double pixels;  // 9.5 when the caption fits, else the fit to a tenth below
  };
  const Case cases[] = {
      {"", 45, 0, 9.5},
      {"0", 45, 1303 / 2048.0, 9.5},
      // B G ' ' f i l t e r: 8407 units, 38.997 of the 39 pixels after the inset.
      {"BG filter", 41, 8407 / 2048.0, 9.5},
      // Seven digits and a point: 9772 units, 45.33 pixels for 43: 43 / 4.7715 = 9.01.
      {"18.03642", 45, 9772 / 2048.0, 9.0},
      // A minus and 13 digits: 17678 units; 43 / 8.6318 = 4.98.
      {"-1234567890123", 45, 17678 / 2048.0, 4.9},
      // Anything outside ASCII counts a whole em: 2 + 1303 / 2048; 23 / 2.636 = 8.72.
      {"\xC3\xA9\xE2\x82\xAC"
       "0",
       25, 2 + 1303 / 2048.0, 8.7},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(CaptionWidthEms(c.caption), c.ems) << c.caption;
    EXPECT_DOUBLE_EQ(FittingCaptionPixels(c.caption, c.room), c.pixels) << c.caption;
  }
}

TEST(PanelSvgCaptionFit, WhatNeedsLessThanEightPixelsIsShortened) {
  struct Case {
    std::string_view caption;
    std::string text;
    double pixels;
  };
  // All in a value cell of 45 pixels: 43 after the inset, 5.375 ems at 8 pixels.
  const Case cases[] = {
      {"18.03642", "18.03642", 9.0},  // fits at 9
      // Six decimals need 11075 units, 7.95 pixels; five fit at 9.
      {"18.0364214854278", "18.03642", 9.0},
      // Rounded up: a minus, seven digits and a point, 10511 units; 43 / 5.132 = 8.38.
      {"-7.99999999999999", "-8.000000", 8.3},
      // Letters up to "g" and the ellipsis (one em): 8262 / 2048 + 1 = 5.034 ems, 8.54 pixels.
      {"abcdefghijklmnop", "abcdefg\xE2\x80\xA6", 8.5},
      // No number, so cut: four digits, four points and the ellipsis, 4.816 ems, 8.93 pixels.
      {"1.2.3.4.5.6.7.8.9", "1.2.3.4.\xE2\x80\xA6", 8.9},
  };
  for (const Case& c : cases) {
    const FittedCaption fitted = FitCaption(c.caption, 45);
    EXPECT_EQ(fitted.text, c.text) << c.caption;
    EXPECT_DOUBLE_EQ(fitted.pixels, c.pixels) << c.caption;
  }
}

TEST_F(PanelSvg, ACaptionTooWideForItsCellIsDrawnSmallerToFit) {
  control.put<"CAL_JQ">("18.03642");
  auto labels = Labels();
  auto size = [&labels](const char* name) {
    for (const Element& child : labels[name].front()->children) {
      if (child.name == "text" && child.attributes.count("font-size")) {
        return child.attributes.at("font-size");
      }
    }
    return std::string("the panel's");
  };
  EXPECT_EQ(size("JQ(7)"), "9");
  EXPECT_EQ(size("SPT(5)"), "the panel's");
  // Shortened, it keeps the whole caption as the label's title.
  control.put<"CAL_JQ">("18.0364214854278");
  labels = Labels();
  EXPECT_EQ(CaptionIn(*labels["JQ(7)"].front()), "18.03642");
  const auto& children = labels["JQ(7)"].front()->children;
  EXPECT_TRUE(std::any_of(children.begin(), children.end(), [](const Element& e) {
    return e.name == "title" && e.text == "18.0364214854278";
  }));
}

TEST_F(PanelSvg, ALabelledPictureNamesTheGridsRowsAndColumns) {
  PanelSvgOptions options;
  options.labelled = true;
  root = XmlReader(svg = RenderPanelSvg(control, options)).Document();
  // 74 pixels of row names beside the 368 of the panel, 24 of legend below its 313.
  EXPECT_EQ(root.attributes["width"], "442");
  EXPECT_EQ(root.attributes["height"], "337");
  std::map<std::string, std::vector<const Element*>> labels;
  CollectLabels(root, labels);
  EXPECT_EQ(labels.size(), PanelLayout().size());
  std::vector<std::pair<std::string, std::string>> rows;  // name, y
  std::string legend;
  std::function<void(const Element&)> visit = [&](const Element& e) {
    if (e.attributes.count("class") && e.attributes.at("class") == "row-name")
      rows.emplace_back(CaptionIn(e), e.attributes.at("y"));
    if (e.attributes.count("class") && e.attributes.at("class") == "legend") legend = CaptionIn(e);
    for (const Element& child : e.children) visit(child);
  };
  visit(root);
  // Level with the SPT cells: 690, 960, ... twips / 15.
  EXPECT_EQ(rows, (std::vector<std::pair<std::string, std::string>>{{"take 1", "46"},
                                                                    {"take 2", "64"},
                                                                    {"take 3", "82"},
                                                                    {"take 4", "100"},
                                                                    {"take 5", "118"},
                                                                    {"break points", "160"},
                                                                    {"resolution", "202"},
                                                                    {"calibrated", "244"},
                                                                    {"last check", "288"}}));
  EXPECT_EQ(legend, "SPT thorn rate, SPJ jump rate, JQ jump spread, AVJ average jump length");
}

TEST_F(PanelSvgFile, WritesTheRenderingAndReplacesAnOldFile) {
  const fs::path path = dir_ / "panel.svg";
  std::ofstream(path) << "old";
  control.put<"CR_msgX">("3");
  WritePanelSvg(control, path.string());
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), RenderPanelSvg(control));
  EXPECT_EQ(Entries(), std::vector<std::string>{"panel.svg"});  // no temporary left
}

TEST_F(PanelSvgFile, ErrorsNameTheFileAndLeaveNothingBehind) {
  EXPECT_EQ(ErrorWriting(dir_ / "missing" / "panel.svg"), kFileNotFound);
  fs::create_directory(dir_ / "folder");
  EXPECT_EQ(ErrorWriting(dir_ / "folder"), kPathFileAccessError);
  EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
  EXPECT_EQ(ErrorWriting(""), kFileNotFound);  // as the system says for an empty name
  if (::geteuid() != 0) {                      // root writes anywhere
    fs::create_directory(dir_ / "locked");
    ::chmod((dir_ / "locked").c_str(), 0500);
    EXPECT_EQ(ErrorWriting(dir_ / "locked" / "panel.svg"), kPermissionDenied);
    ::chmod((dir_ / "locked").c_str(), 0700);
    EXPECT_TRUE(fs::is_empty(dir_ / "locked"));
  }
  EXPECT_EQ(Entries().size(), fs::exists(dir_ / "locked") ? 2u : 1u);
}

}  // namespace
}  // namespace pellix
