// The container's persistence notifications: a new instance, a load from the host's property
// bag, a save into it, each walking the keys in the order the interface table and the keys
// without a property give. None of them traps errors: the first key that cannot be read,
// converted or stored ends the handler, and everything before it stays done.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "control/alg_v1s.h"
#include "control/interface_members.h"
#include "platform/conversions.h"
#include "platform/error.h"

namespace pellix {

namespace {

constexpr std::uint32_t kButtonFaceColour = 0x8000000Fu;
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

template <auto Field>
void LoadSurface(ALG_V1S& control, const Value& value) {
  auto& field = control.surface().*Field;
  if constexpr (std::is_same_v<std::remove_cvref_t<decltype(field)>, std::uint32_t>) {
    field = ToColour(value);
  } else if constexpr (std::is_same_v<std::remove_cvref_t<decltype(field)>, bool>) {
    field = ToBoolean(value);
  } else {
    field = ToInteger16(value);
  }
}

// The colour is saved as its unsigned value.
template <auto Field>
Value SaveSurface(ALG_V1S& control, const Value&) {
  const auto field = control.surface().*Field;
  if constexpr (std::is_same_v<decltype(field), const std::uint32_t>) {
    return Value::Double(field);
  } else if constexpr (std::is_same_v<decltype(field), const bool>) {
    return Value::Boolean(field);
  } else {
    return Value::Integer(field);
  }
}

template <auto Field>
constexpr BagKey SurfaceKey(std::string_view key, BagDefault default_value, int place) {
  return {key, default_value, place, place, LoadSurface<Field>, SaveSurface<Field>};
}

// The keys without a property: the control surface's four, loaded and saved first, and the
// cells that share a key with a property ("BGfilter", "Volume" and "Mode" each load into two
// places and are saved twice, and a bag that keeps the last value loads that one into both).
constexpr BagKey kSurfaceKeys[] = {
    SurfaceKey<&ControlSurface::BackColor>("BackColor", {ValueType::kDouble, kButtonFaceColour}, 0),
    SurfaceKey<&ControlSurface::AutoRedraw>("AutoRedraw", {ValueType::kBoolean, 0}, 1),
    SurfaceKey<&ControlSurface::BackStyle>("BackStyle", {ValueType::kInteger, 1}, 2),
    SurfaceKey<&ControlSurface::BorderStyle>("BorderStyle", {ValueType::kInteger, 0}, 3),
};
constexpr BagKey kSharedKeyCells[] = {
    {"BGfilter", kZeroText, 9, 12, nullptr, nullptr,
     LabelAt<&Panel::Filters, kBackgroundFilterCell>},
    {"Volume", kZeroText, 11, 13, nullptr, nullptr, LabelAt<&Panel::Filters, kVolumeCell>},
    {"Mode", kZeroText, 25, 9, nullptr, nullptr, LabelAt<&Panel::Filters, kModeCell>},
};

// Every key: the control surface's, the properties', then the shared cells'.
template <typename Visit>
constexpr void ForEachKey(Visit visit) {
  for (const BagKey& key : kSurfaceKeys) visit(key);
  for (const InterfaceMember& m : InterfaceDeclarations::kMembers) {
    if (m.kind == MemberKind::kPropertyPut) visit(m.bag);
  }
  for (const BagKey& key : kSharedKeyCells) visit(key);
}

template <int BagKey::*Place>
constexpr std::size_t KeysWithAPlace() {
  std::size_t count = 0;
  ForEachKey([&count](const BagKey& key) { count += key.*Place != kNeverSaved ? 1 : 0; });
  return count;
}

// Every key in the order of `Place` (its load or save place): each place taken once, from 0
// on, the control surface first, or the file does not compile.
template <int BagKey::*Place>
constexpr std::array<BagKey, KeysWithAPlace<Place>()> InOrder() {
  std::array<BagKey, KeysWithAPlace<Place>()> order{};
  std::array<bool, KeysWithAPlace<Place>()> taken{};
  ForEachKey([&](const BagKey& key) {
    const int at = key.*Place;
    if (at == kNeverSaved) return;
    if (at < 0 || static_cast<std::size_t>(at) >= order.size() ||
        taken[static_cast<std::size_t>(at)]) {
      throw "a place outside the order, or taken twice";
    }
    order[static_cast<std::size_t>(at)] = key;
    taken[static_cast<std::size_t>(at)] = true;
  });
  for (const BagKey& key : kSurfaceKeys) {
    if (static_cast<std::size_t>(key.*Place) >= std::size(kSurfaceKeys)) {
      throw "the control surface comes first";
    }
  }
  return order;
}

constexpr auto kLoadOrder = InOrder<&BagKey::load_place>();
constexpr auto kSaveOrder = InOrder<&BagKey::save_place>();

void Load(ALG_V1S& control, PropertyBag& bag, const BagKey& key) {
  const Value value = bag.ReadProperty(key.key, key.default_value.ToValue());
  if (key.cell != nullptr) {
    key.cell(control.panel()).set_caption(ToText(value));
  } else {
    key.load(control, value);
  }
}

void Save(ALG_V1S& control, PropertyBag& bag, const BagKey& key) {
  const Value value = key.cell != nullptr ? Value::String(key.cell(control.panel()).caption())
                                          : key.save(control, Value());
  bag.WriteProperty(key.key, value, key.default_value.ToValue());
}

}  // namespace

// The member-backed properties take their bag defaults; captions keep their design values.
void ALG_V1S::InitProperties() {
  for (const InterfaceMember& m : InterfaceTable()) {
    if (m.kind == MemberKind::kPropertyPut && m.caption == nullptr) {
      m.bag.load(*this, m.bag.default_value.ToValue());
    }
  }
}

void ALG_V1S::ReadProperties(PropertyBag& bag) {
  // The control surface first. Whoever draws the panel takes on the new look at once, also
  // when a key stops the load half-way through it.
  auto show_surface = [this] {
    if (PanelListener* listener = panel_.listener()) listener->SurfaceChanged(surface_);
  };
  std::size_t place = 0;
  try {
    for (; place < std::size(kSurfaceKeys); ++place) Load(*this, bag, kLoadOrder[place]);
  } catch (...) {
    show_surface();
    throw;
  }
  show_surface();
  for (; place < kLoadOrder.size(); ++place) Load(*this, bag, kLoadOrder[place]);
}

void ALG_V1S::WriteProperties(PropertyBag& bag) {
  for (const BagKey& key : kSaveOrder) Save(*this, bag, key);
}

}  // namespace pellix
