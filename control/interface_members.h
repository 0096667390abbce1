// The declarations behind the interface table, for the control's own files: the property
// accessors find their notification and cell here by position, and persistence its keys.
// Kept in a header so that a property named in an accessor is looked up while compiling.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "control/alg_v1s.h"
#include "control/interface_table.h"
#include "platform/conversions.h"

namespace pellix {

inline constexpr BagDefault kEmptyText{ValueType::kString, 0, ""};
inline constexpr BagDefault kZeroText{ValueType::kString, 0, "0"};
inline constexpr BagDefault kIntegerZero{ValueType::kInteger, 0};
inline constexpr BagDefault kDoubleQuoteText{ValueType::kString, 0, "\""};

namespace members {

// How a property stands in the property bag: the default, its places in the load and save
// orders (kNeverSaved for a key only loaded), for a member-backed property how a loaded value
// is stored, and the key when it is not the property's name.
struct Persisted {
  BagDefault default_value;
  int load_place;
  int save_place;
  void (*load)(ALG_V1S& control, const Value& value) = nullptr;
  std::string_view key = {};
};

// One method or property as declared; a property becomes a get and a put in the interface.
// A function a declaration may leave out. Whether it was given is recorded when it is given,
// never found by comparing its address with null while compiling: with the undefined-behaviour
// sanitizer on, GCC takes the address of a template's function for one that might be null (it
// could be weak), and the comparison stops being a constant expression.
template <typename Function>
struct Optional {
  Function function = nullptr;
  bool given = false;
  constexpr Optional() = default;
  constexpr Optional(std::nullptr_t) {}  // implicit: a declaration leaves it out by nullptr
  constexpr Optional(Function f) : function(f), given(true) {}  // implicit: a declaration names f
};

struct Declaration {
  std::string_view name;
  ValueType type;
  std::int32_t dispid;
  bool hidden;
  std::string_view help;
  Value (*call_or_get)(ALG_V1S& control, const Value& argument);
  Optional<Value (*)(ALG_V1S& control, const Value& argument)> put = {};  // none for a method
  Optional<Label& (*)(Panel&)> caption = {};
  Persisted bag = {};
  bool notifies = true;  // false: the put never notifies
};

}  // namespace members

// The help string of the caption-like text properties.
inline constexpr std::string_view kCaptionHelp =
    "Returns/sets the text displayed in an object's title bar or below an object's icon.";

// The declarations and the interface derived from them. A friend of the control, so that a
// member-backed property can name the member that keeps it.
struct InterfaceDeclarations {
  using Declaration = members::Declaration;

  // How late binding reaches a member. A put converts again, so that a caller that hands the
  // invoke function an unconverted value still gets the platform's conversion.
  template <Value (ALG_V1S::*Method)()>
  static Value Call(ALG_V1S& control, const Value&) {
    return (control.*Method)();
  }
  template <std::string (ALG_V1S::*Get)() const>
  static Value GetText(ALG_V1S& control, const Value&) {
    return Value::String((control.*Get)());
  }
  template <void (ALG_V1S::*Put)(const std::string&)>
  static Value PutText(ALG_V1S& control, const Value& argument) {
    (control.*Put)(ToText(argument));
    return Value();
  }
  template <std::int16_t (ALG_V1S::*Get)() const>
  static Value GetInteger(ALG_V1S& control, const Value&) {
    return Value::Integer((control.*Get)());
  }
  template <void (ALG_V1S::*Put)(std::int16_t)>
  static Value PutInteger(ALG_V1S& control, const Value& argument) {
    (control.*Put)(ToInteger16(argument));
    return Value();
  }
  template <Value (ALG_V1S::*Get)() const>
  static Value GetVariant(ALG_V1S& control, const Value&) {
    return (control.*Get)();
  }
  template <void (ALG_V1S::*Put)(const Value&)>
  static Value PutVariant(ALG_V1S& control, const Value& argument) {
    (control.*Put)(argument);
    return Value();
  }

  // A member-backed property's value as the bag loads it: to text, to a 16-bit integer, or for
  // the variant as read.
  template <auto Member>
  static void Stored(ALG_V1S& control, const Value& value) {
    auto& member = control.*Member;
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(member)>, std::string>) {
      member = ToText(value);
    } else if constexpr (std::is_same_v<std::remove_cvref_t<decltype(member)>, std::int16_t>) {
      member = ToInteger16(value);
    } else {
      member = value;
    }
  }

  static constexpr bool kHidden = true;
  static constexpr bool kShown = false;
  static constexpr bool kSilent = false;
  static constexpr ValueType kText = ValueType::kString;
  static constexpr ValueType kInteger = ValueType::kInteger;
  static constexpr ValueType kVariant = ValueType::kEmpty;
  static constexpr ValueType kNone = ValueType::kEmpty;

  // A caption-backed property: its get and put are the control's get<Name> and put<Name>, which
  // find the cell and the notification in this table; the rest as every property has it.
  template <PropertyName Name>
  static constexpr Declaration CaptionProperty(std::int32_t dispid, Label& (*cell)(Panel&),
                                               members::Persisted bag) {
    return {Name.view(),
            kText,
            dispid,
            kShown,
            kCaptionHelp,
            GetText<&ALG_V1S::get<Name>>,
            PutText<&ALG_V1S::put<Name>>,
            cell,
            bag};
  }

  static constexpr std::size_t kMemberCount = 52;

  static const Declaration kDeclarations[];
  static const std::array<InterfaceMember, kMemberCount> kMembers;
};

// The 29 declarations in interface order. Hidden members are left out of design-time property
// lists. Load and save places count from 0 in ReadProperties' and WriteProperties' orders;
// persistence fills the places no property takes with the control surface and the three cells
// that share a key with a property.

inline constexpr members::Declaration InterfaceDeclarations::kDeclarations[] = {
    // clang-format off
    // A method: name, type, dispatch identifier, hidden, help, call.
    // A property: the same with its get, then its put, its caption (null when a member keeps
    // it), and in the bag: default, load place, save place, how a member stores the value
    // loaded, and the key when it is not the name; kSilent for a put that never notifies.
    // A caption-backed property: its name, dispatch identifier, caption and bag.
    {"Calibrate", kNone, 0x60030017, kShown, "", Call<&ALG_V1S::Calibrate>},
    {"Initalize", kNone, 0x60030018, kShown, "", Call<&ALG_V1S::Initalize>},
    {"Check", kNone, 0x60030019, kShown, "", Call<&ALG_V1S::Check>},
    {"ResetCal", kNone, 0x6003001A, kShown, "", Call<&ALG_V1S::ResetCal>},
    {"ResetAll", kNone, 0x6003001B, kShown, "", Call<&ALG_V1S::ResetAll>},
    {"DATAstr", kText, 0x68030016, kHidden, "",
     GetText<&ALG_V1S::get_DATAstr>, PutText<&ALG_V1S::put_DATAstr>,
     nullptr, {kEmptyText, 4, 4, Stored<&ALG_V1S::DATAstr_>}},
    {"DensityLevel", kInteger, 0x68030015, kShown, "",
     GetInteger<&ALG_V1S::get_DensityLevel>, PutInteger<&ALG_V1S::put_DensityLevel>,
     nullptr, {kIntegerZero, 5, 5, Stored<&ALG_V1S::DensityLevel_>}},
    {"Person", kInteger, 0x68030014, kShown, "",
     GetInteger<&ALG_V1S::get_Person>, PutInteger<&ALG_V1S::put_Person>,
     nullptr, {kIntegerZero, 6, 6, Stored<&ALG_V1S::Person_>}},
    {"CAL_SFLC", kInteger, 0x68030013, kShown, "",
     GetInteger<&ALG_V1S::get_CAL_SFLC>, PutInteger<&ALG_V1S::put_CAL_SFLC>,
     nullptr, {kIntegerZero, 7, 7, Stored<&ALG_V1S::CAL_SFLC_>}},
    {"CR_SFLC", kVariant, 0x68030012, kHidden, "",
     GetVariant<&ALG_V1S::get_CR_SFLC>, PutVariant<&ALG_V1S::put_CR_SFLC>,
     nullptr, {kIntegerZero, 8, 8, Stored<&ALG_V1S::CR_SFLC_>}, kSilent},
    CaptionProperty<"BGbord">(0x68030011, LabelOf<&Panel::BG_LEVEL>, {kZeroText, 10, kNeverSaved}),
    CaptionProperty<"LIEstress">(0x68030010, LabelOf<&Panel::LBL_LIE>,
                          {kZeroText, 18, kNeverSaved}),
    CaptionProperty<"GLBstress">(0x6803000F, LabelOf<&Panel::LBL_GLB>,
                          {kZeroText, 19, kNeverSaved}),
    CaptionProperty<"EXCstress">(0x6803000E, LabelOf<&Panel::LBL_EXC>,
                          {kZeroText, 20, kNeverSaved}),
    {"profiler", kNone, 0x60030020, kShown, "", Call<&ALG_V1S::profiler>},
    CaptionProperty<"CR_msgX">(0x6803000D, LabelOf<&Panel::LBL_MSG>,
                          {kZeroText, 24, kNeverSaved, nullptr, "CR_MSGX"}),
    {"Volume", kText, 0x6803000C, kShown, kCaptionHelp,
     GetText<&ALG_V1S::get_Volume>, PutText<&ALG_V1S::put_Volume>,
     nullptr, {kZeroText, 26, 21, Stored<&ALG_V1S::Volume_>}},
    {"MSGstring", kText, 0x6803000B, kHidden, "",
     GetText<&ALG_V1S::get_MSGstring>, PutText<&ALG_V1S::put_MSGstring>,
     nullptr, {kDoubleQuoteText, 27, 22, Stored<&ALG_V1S::MSGstring_>}},
    {"Mode", kText, 0x6803000A, kShown, kCaptionHelp,
     GetText<&ALG_V1S::get_Mode>, PutText<&ALG_V1S::put_Mode>,
     nullptr, {kZeroText, 28, 23, Stored<&ALG_V1S::Mode_>}},
    CaptionProperty<"CAL_AVJ">(0x68030009, LabelAt<&Panel::AVJ, kConstantsRow>,
                          {kZeroText, 21, 10}),
    CaptionProperty<"CR_avJ">(0x68030008, LabelAt<&Panel::AVJ, kResultsRow>, {kZeroText, 22, 11}),
    // The shortest-jump cell under "Min J.", not the cell beside "BG filter".
    CaptionProperty<"BGfilter">(0x68030007, LabelAt<&Panel::Filters, kShortestJumpCell>,
                          {kZeroText, 29, 24}),
    CaptionProperty<"ADDvolume">(0x68030006, LabelAt<&Panel::Filters, kAddedVolumeCell>,
                          {kZeroText, 12, 14}),
    CaptionProperty<"CAL_spT">(0x68030005, LabelAt<&Panel::SPT, kConstantsRow>,
                          {kZeroText, 13, 15}),
    CaptionProperty<"CAL_spJ">(0x68030004, LabelAt<&Panel::SPJ, kConstantsRow>,
                          {kZeroText, 14, 16}),
    CaptionProperty<"CAL_JQ">(0x68030003, LabelAt<&Panel::JQ, kConstantsRow>, {kZeroText, 15, 17}),
    CaptionProperty<"CR_SPJ">(0x68030002, LabelAt<&Panel::SPJ, kResultsRow>, {kZeroText, 16, 18}),
    CaptionProperty<"CR_spT">(0x68030001, LabelAt<&Panel::SPT, kResultsRow>, {kZeroText, 17, 19}),
    CaptionProperty<"CR_JQ">(0x68030000, LabelAt<&Panel::JQ, kResultsRow>, {kZeroText, 23, 20}),
    // clang-format on
};

namespace members {

// The interface: a method takes one position, a property two, its get and then its put.
constexpr std::array<InterfaceMember, InterfaceDeclarations::kMemberCount> Expand(
    std::span<const Declaration> declarations) {
  std::array<InterfaceMember, InterfaceDeclarations::kMemberCount> table{};
  std::size_t position = 0;
  auto add = [&](InterfaceMember member) {
    if (position == table.size()) throw "more members than the interface has";
    member.position = static_cast<int>(position);
    table[position++] = member;
  };
  for (const Declaration& d : declarations) {
    if (!d.put.given) {
      add({0, d.name, MemberKind::kMethod, d.type, d.dispid, d.hidden, d.help, d.call_or_get});
      continue;
    }
    const BagKey bag = {d.bag.key.empty() ? d.name : d.bag.key,
                        d.bag.default_value,
                        d.bag.load_place,
                        d.bag.save_place,
                        d.bag.load,
                        d.caption.given ? nullptr : d.call_or_get,
                        d.caption.function};
    add({0, d.name, MemberKind::kPropertyGet, d.type, d.dispid, d.hidden, d.help, d.call_or_get,
         std::string_view(), d.caption.function, bag, d.caption.given});
    add({0, d.name, MemberKind::kPropertyPut, d.type, d.dispid, d.hidden, d.help, d.put.function,
         d.notifies ? bag.key : std::string_view(), d.caption.function, bag, d.caption.given});
  }
  if (position != table.size()) throw "fewer members than the interface has";
  return table;
}

}  // namespace members

inline constexpr std::array<InterfaceMember, InterfaceDeclarations::kMemberCount>
    InterfaceDeclarations::kMembers = members::Expand(InterfaceDeclarations::kDeclarations);

// The position of a property's put, found while compiling: a name that is no property of the
// interface does not compile.
consteval std::size_t PutOf(std::string_view name) {
  for (const InterfaceMember& member : InterfaceDeclarations::kMembers) {
    if (member.kind == MemberKind::kPropertyPut && member.name == name) {
      return static_cast<std::size_t>(member.position);
    }
  }
  throw "no property of that name";
}

// The same for a caption-backed property.
consteval std::size_t CaptionPutOf(std::string_view name) {
  const std::size_t position = PutOf(name);
  if (!InterfaceDeclarations::kMembers[position].caption_backed) throw "not caption-backed";
  return position;
}

template <PropertyName Name>
std::string ALG_V1S::get() const {
  return Caption(CaptionPutOf(Name.view()));
}

template <PropertyName Name>
void ALG_V1S::put(const std::string& text) {
  SetCaption(CaptionPutOf(Name.view()), text);
}

}  // namespace pellix
