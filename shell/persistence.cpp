// The container's persistence notifications: a new instance, a load from the host's property
// bag, a save into it. None of them traps errors: the first key that cannot be read,
// converted or stored ends the handler, and everything before it stays done.
#include <cmath>
#include <cstdint>
#include <string_view>

#include "platform/conversions.h"
#include "platform/error.h"
#include "shell/alg_v1s.h"

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
  auto caption = [&](Label& label, std::string_view key) {
    label.set_caption(text(key, TextZero()));
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
  caption(panel_.Filters[0], "BGfilter");
  caption(panel_.BG_LEVEL, "BGbord");
  caption(panel_.Filters[1], "Volume");
  caption(panel_.Filters[2], "ADDvolume");
  caption(panel_.SPT[kConstantsRow], "CAL_spT");
  caption(panel_.SPJ[kConstantsRow], "CAL_spJ");
  caption(panel_.JQ[kConstantsRow], "CAL_JQ");
  caption(panel_.SPJ[kResultsRow], "CR_SPJ");
  caption(panel_.SPT[kResultsRow], "CR_spT");
  caption(panel_.LBL_LIE, "LIEstress");
  caption(panel_.LBL_GLB, "GLBstress");
  caption(panel_.LBL_EXC, "EXCstress");
  caption(panel_.AVJ[kConstantsRow], "CAL_AVJ");
  caption(panel_.AVJ[kResultsRow], "CR_avJ");
  caption(panel_.JQ[kResultsRow], "CR_JQ");
  caption(panel_.LBL_MSG, "CR_MSGX");
  caption(panel_.Filters[5], "Mode");

  // The members that share a key with a caption, then the second cell of "BGfilter".
  m_Volume = text("Volume", TextZero());
  m_MSGstring = text("MSGstring", Text(kDoubleQuote));
  m_Mode = text("Mode", TextZero());
  caption(panel_.Filters[3], "BGfilter");
}

void ALG_V1S::WriteProperties(PropertyBag& bag) {
  auto caption = [&bag](std::string_view key, const Label& label) {
    bag.WriteProperty(key, Value::String(label.caption()), TextZero());
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
  caption("Mode", panel_.Filters[5]);
  caption("CAL_AVJ", panel_.AVJ[kConstantsRow]);
  caption("CR_avJ", panel_.AVJ[kResultsRow]);
  caption("BGfilter", panel_.Filters[0]);
  caption("Volume", panel_.Filters[1]);
  caption("ADDvolume", panel_.Filters[2]);
  caption("CAL_spT", panel_.SPT[kConstantsRow]);
  caption("CAL_spJ", panel_.SPJ[kConstantsRow]);
  caption("CAL_JQ", panel_.JQ[kConstantsRow]);
  caption("CR_SPJ", panel_.SPJ[kResultsRow]);
  caption("CR_spT", panel_.SPT[kResultsRow]);
  caption("CR_JQ", panel_.JQ[kResultsRow]);

  // 7. The members behind "Volume", "MSGstring" and "Mode".
  bag.WriteProperty("Volume", Value::String(m_Volume), TextZero());
  bag.WriteProperty("MSGstring", Value::String(m_MSGstring), Text(kDoubleQuote));
  bag.WriteProperty("Mode", Value::String(m_Mode), TextZero());

  // 8. The shortest-jump cell, last.
  caption("BGfilter", panel_.Filters[3]);
}

}  // namespace pellix
