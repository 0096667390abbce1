// The container's persistence notifications: a new instance, a load from the host's property
// bag, a save into it. None of them traps errors: the first key that cannot be read,
// converted or stored ends the handler, and everything before it stays done.
#include <cmath>
#include <cstdint>
#include <string_view>

#include "platform/conversions.h"
#include "platform/error.h"
#include "shell/alg_v1s.h"
#include "shell/interface_table.h"

namespace pellix {

namespace {

constexpr std::uint32_t kButtonFaceColour = 0x8000000Fu;
constexpr std::string_view kDoubleQuote = "\"";

const Value& TextZero() {
  static const Value zero = Value::String("0");
  return zero;
}

Value Text(std::string_view text) {
  return Value::String(std::string(text));
}

// The colour is unsigned 32-bit: read values are rounded half to even and accepted from
// -2^31 (negatives wrap to their unsigned value) to 2^32-1.
std::uint32_t ToColour(const Value& v) {
  std::int64_t whole = RoundHalfEven64(ToDouble(v));
  if (whole < -2147483648LL || whole > 4294967295LL) RaiseError(kOverflow);
  return static_cast<std::uint32_t>(whole);
}

// True and False by name in any case, else a number (a text read strictly): non-zero is true.
bool ToBoolean(const Value& v) {
  if (v.type() == ValueType::kBoolean) return v.boolean();
  if (v.type() == ValueType::kString) {
    const std::string& text = v.string();
    auto is = [&text](std::string_view word) {
      if (text.size() != word.size()) return false;
      for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i]) return false;
      }
      return true;
    };
    if (is("true")) return true;
    if (is("false")) return false;
  }
  return ToDouble(v) != 0;
}

// A caption kept in the bag under `key`. Without a cell of its own the key is the name a
// caption-backed property notifies under, and the caption is that property's cell.
struct CaptionKey {
  std::string_view key;
  Label& (*cell)(Panel&) = nullptr;
};

constexpr auto kBGfilterCell = LabelAt<&Panel::Filters, 0>;
constexpr auto kVolumeCell = LabelAt<&Panel::Filters, 1>;
constexpr auto kModeCell = LabelAt<&Panel::Filters, 5>;

// ReadProperties' caption keys, in its order.
constexpr CaptionKey kLoadedCaptions[] = {{"BGfilter", kBGfilterCell},
                                          {"BGbord"},
                                          {"Volume", kVolumeCell},
                                          {"ADDvolume"},
                                          {"CAL_spT"},
                                          {"CAL_spJ"},
                                          {"CAL_JQ"},
                                          {"CR_SPJ"},
                                          {"CR_spT"},
                                          {"LIEstress"},
                                          {"GLBstress"},
                                          {"EXCstress"},
                                          {"CAL_AVJ"},
                                          {"CR_avJ"},
                                          {"CR_JQ"},
                                          {"CR_MSGX"},
                                          {"Mode", kModeCell}};

// WriteProperties' caption keys, in its order: the captions it writes after the members.
constexpr CaptionKey kSavedCaptions[] = {{"Mode", kModeCell},
                                         {"CAL_AVJ"},
                                         {"CR_avJ"},
                                         {"BGfilter", kBGfilterCell},
                                         {"Volume", kVolumeCell},
                                         {"ADDvolume"},
                                         {"CAL_spT"},
                                         {"CAL_spJ"},
                                         {"CAL_JQ"},
                                         {"CR_SPJ"},
                                         {"CR_spT"},
                                         {"CR_JQ"}};

// The last key of both: the shortest-jump cell, the caption behind the BGfilter property.
constexpr CaptionKey kShortestJump = {"BGfilter"};

Label& Cell(Panel& panel, const CaptionKey& entry) {
  if (entry.cell != nullptr) return entry.cell(panel);
  return PropertyNotifyingAs(entry.key)->caption(panel);
}

}  // namespace

void ALG_V1S::InitProperties() {
  m_DATAstr.clear();
  m_DensityLevel = 0;
  m_Person = 0;
  m_CAL_SFLC = 0;
  m_CR_SFLC = Value::Integer(0);
  m_Volume = "0";
  m_MSGstring = kDoubleQuote;
  m_Mode = "0";
}

void ALG_V1S::ReadProperties(PropertyBag& bag) {
  auto text = [&bag](std::string_view key, const Value& default_value) {
    return ToText(bag.ReadProperty(key, default_value));
  };
  auto caption = [&](const CaptionKey& entry) {
    Cell(panel_, entry).set_caption(text(entry.key, TextZero()));
  };
  auto integer = [&bag](std::string_view key) {
    return ToInteger16(bag.ReadProperty(key, Value::Integer(0)));
  };

  // The control surface. Whoever draws the panel takes on the new look at once, also when a
  // key stops the load half-way through it.
  auto show_surface = [this] {
    if (PanelListener* listener = panel_.listener()) listener->SurfaceChanged(surface_);
  };
  try {
    surface_.BackColor = ToColour(bag.ReadProperty("BackColor", Value::Double(kButtonFaceColour)));
    surface_.AutoRedraw = ToBoolean(bag.ReadProperty("AutoRedraw", Value::Boolean(false)));
    surface_.BackStyle = ToInteger16(bag.ReadProperty("BackStyle", Value::Integer(1)));
    surface_.BorderStyle = ToInteger16(bag.ReadProperty("BorderStyle", Value::Integer(0)));
  } catch (...) {
    show_surface();
    throw;
  }
  show_surface();

  // The members.
  m_DATAstr = text("DATAstr", Text(""));
  m_DensityLevel = integer("DensityLevel");
  m_Person = integer("Person");
  m_CAL_SFLC = integer("CAL_SFLC");
  m_CR_SFLC = bag.ReadProperty("CR_SFLC", Value::Integer(0));

  // The captions.
  for (const CaptionKey& entry : kLoadedCaptions) caption(entry);

  // The members that share a key with a caption, then the second cell of "BGfilter".
  m_Volume = text("Volume", TextZero());
  m_MSGstring = text("MSGstring", Text(kDoubleQuote));
  m_Mode = text("Mode", TextZero());
  caption(kShortestJump);
}

void ALG_V1S::WriteProperties(PropertyBag& bag) {
  auto caption = [&](const CaptionKey& entry) {
    bag.WriteProperty(entry.key, Value::String(Cell(panel_, entry).caption()), TextZero());
  };

  // 1. The control surface; the colour as its unsigned value.
  bag.WriteProperty("BackColor", Value::Double(surface_.BackColor),
                    Value::Double(kButtonFaceColour));
  bag.WriteProperty("AutoRedraw", Value::Boolean(surface_.AutoRedraw), Value::Boolean(false));
  bag.WriteProperty("BackStyle", Value::Integer(surface_.BackStyle), Value::Integer(1));
  bag.WriteProperty("BorderStyle", Value::Integer(surface_.BorderStyle), Value::Integer(0));

  // 2. The members.
  bag.WriteProperty("DATAstr", Value::String(m_DATAstr), Text(""));
  bag.WriteProperty("DensityLevel", Value::Integer(m_DensityLevel), Value::Integer(0));
  bag.WriteProperty("Person", Value::Integer(m_Person), Value::Integer(0));
  bag.WriteProperty("CAL_SFLC", Value::Integer(m_CAL_SFLC), Value::Integer(0));
  bag.WriteProperty("CR_SFLC", m_CR_SFLC, Value::Integer(0));

  // 3. to 6. The captions. "Mode", "BGfilter" and "Volume" are written again below from
  // their second source, and a bag that keeps the last value loads that one into both.
  for (const CaptionKey& entry : kSavedCaptions) caption(entry);

  // 7. The members behind "Volume", "MSGstring" and "Mode".
  bag.WriteProperty("Volume", Value::String(m_Volume), TextZero());
  bag.WriteProperty("MSGstring", Value::String(m_MSGstring), Text(kDoubleQuote));
  bag.WriteProperty("Mode", Value::String(m_Mode), TextZero());

  // 8. The shortest-jump cell, last.
  caption(kShortestJump);
}

}  // namespace pellix
