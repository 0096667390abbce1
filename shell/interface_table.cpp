#include "shell/interface_table.h"

#include <string>

#include "platform/conversions.h"
#include "shell/alg_v1s.h"

namespace pellix {

namespace {

constexpr MemberKind kMethod = MemberKind::kMethod;
constexpr MemberKind kPropertyGet = MemberKind::kPropertyGet;
constexpr MemberKind kPropertyPut = MemberKind::kPropertyPut;

// The type information's help string of the caption-like text properties.
constexpr std::string_view kCaptionHelp =
    "Returns/sets the text displayed in an object's title bar or below an object's icon.";

// How late binding reaches a member. A put converts again, so that a caller that hands the
// invoke function an unconverted value still gets the platform's conversion.
template <Value (ALG_V1S::*Method)()>
Value Call(ALG_V1S& control, const Value&) {
  return (control.*Method)();
}
template <std::string (ALG_V1S::*Get)() const>
Value GetText(ALG_V1S& control, const Value&) {
  return Value::String((control.*Get)());
}
template <void (ALG_V1S::*Put)(const std::string&)>
Value PutText(ALG_V1S& control, const Value& argument) {
  (control.*Put)(ToText(argument));
  return Value();
}
template <std::int16_t (ALG_V1S::*Get)() const>
Value GetInteger(ALG_V1S& control, const Value&) {
  return Value::Integer((control.*Get)());
}
template <void (ALG_V1S::*Put)(std::int16_t)>
Value PutInteger(ALG_V1S& control, const Value& argument) {
  (control.*Put)(ToInteger16(argument));
  return Value();
}
template <Value (ALG_V1S::*Get)() const>
Value GetVariant(ALG_V1S& control, const Value&) {
  return (control.*Get)();
}
template <void (ALG_V1S::*Put)(const Value&)>
Value PutVariant(ALG_V1S& control, const Value& argument) {
  (control.*Put)(argument);
  return Value();
}

// _ALG_V1S in interface order: a property takes two positions, its get and then its put.
// Hidden members are left out of design-time property lists. A caption-backed property names
// its cell on both rows; its put names the notification.
constexpr InterfaceMember kMembers[] = {
    {0, "Calibrate", kMethod, ValueType::kEmpty, 0x60030017, false, "", Call<&ALG_V1S::Calibrate>},
    {1, "Initalize", kMethod, ValueType::kEmpty, 0x60030018, false, "", Call<&ALG_V1S::Initalize>},
    {2, "Check", kMethod, ValueType::kEmpty, 0x60030019, false, "", Call<&ALG_V1S::Check>},
    {3, "ResetCal", kMethod, ValueType::kEmpty, 0x6003001A, false, "", Call<&ALG_V1S::ResetCal>},
    {4, "ResetAll", kMethod, ValueType::kEmpty, 0x6003001B, false, "", Call<&ALG_V1S::ResetAll>},
    {5, "DATAstr", kPropertyGet, ValueType::kString, 0x68030016, true, "",
     GetText<&ALG_V1S::get_DATAstr>},
    {6, "DATAstr", kPropertyPut, ValueType::kString, 0x68030016, true, "",
     PutText<&ALG_V1S::put_DATAstr>, "DATAstr"},
    {7, "DensityLevel", kPropertyGet, ValueType::kInteger, 0x68030015, false, "",
     GetInteger<&ALG_V1S::get_DensityLevel>},
    {8, "DensityLevel", kPropertyPut, ValueType::kInteger, 0x68030015, false, "",
     PutInteger<&ALG_V1S::put_DensityLevel>, "DensityLevel"},
    {9, "Person", kPropertyGet, ValueType::kInteger, 0x68030014, false, "",
     GetInteger<&ALG_V1S::get_Person>},
    {10, "Person", kPropertyPut, ValueType::kInteger, 0x68030014, false, "",
     PutInteger<&ALG_V1S::put_Person>, "Person"},
    {11, "CAL_SFLC", kPropertyGet, ValueType::kInteger, 0x68030013, false, "",
     GetInteger<&ALG_V1S::get_CAL_SFLC>},
    {12, "CAL_SFLC", kPropertyPut, ValueType::kInteger, 0x68030013, false, "",
     PutInteger<&ALG_V1S::put_CAL_SFLC>, "CAL_SFLC"},
    {13, "CR_SFLC", kPropertyGet, ValueType::kEmpty, 0x68030012, true, "",
     GetVariant<&ALG_V1S::get_CR_SFLC>},
    {14, "CR_SFLC", kPropertyPut, ValueType::kEmpty, 0x68030012, true, "",
     PutVariant<&ALG_V1S::put_CR_SFLC>},
    {15, "BGbord", kPropertyGet, ValueType::kString, 0x68030011, false, kCaptionHelp,
     GetText<&ALG_V1S::get_BGbord>, "", LabelOf<&Panel::BG_LEVEL>},
    {16, "BGbord", kPropertyPut, ValueType::kString, 0x68030011, false, kCaptionHelp,
     PutText<&ALG_V1S::put_BGbord>, "BGbord", LabelOf<&Panel::BG_LEVEL>},
    {17, "LIEstress", kPropertyGet, ValueType::kString, 0x68030010, false, kCaptionHelp,
     GetText<&ALG_V1S::get_LIEstress>, "", LabelOf<&Panel::LBL_LIE>},
    {18, "LIEstress", kPropertyPut, ValueType::kString, 0x68030010, false, kCaptionHelp,
     PutText<&ALG_V1S::put_LIEstress>, "LIEstress", LabelOf<&Panel::LBL_LIE>},
    {19, "GLBstress", kPropertyGet, ValueType::kString, 0x6803000F, false, kCaptionHelp,
     GetText<&ALG_V1S::get_GLBstress>, "", LabelOf<&Panel::LBL_GLB>},
    {20, "GLBstress", kPropertyPut, ValueType::kString, 0x6803000F, false, kCaptionHelp,
     PutText<&ALG_V1S::put_GLBstress>, "GLBstress", LabelOf<&Panel::LBL_GLB>},
    {21, "EXCstress", kPropertyGet, ValueType::kString, 0x6803000E, false, kCaptionHelp,
     GetText<&ALG_V1S::get_EXCstress>, "", LabelOf<&Panel::LBL_EXC>},
    {22, "EXCstress", kPropertyPut, ValueType::kString, 0x6803000E, false, kCaptionHelp,
     PutText<&ALG_V1S::put_EXCstress>, "EXCstress", LabelOf<&Panel::LBL_EXC>},
    {23, "profiler", kMethod, ValueType::kEmpty, 0x60030020, false, "", Call<&ALG_V1S::profiler>},
    {24, "CR_msgX", kPropertyGet, ValueType::kString, 0x6803000D, false, kCaptionHelp,
     GetText<&ALG_V1S::get_CR_msgX>, "", LabelOf<&Panel::LBL_MSG>},
    {25, "CR_msgX", kPropertyPut, ValueType::kString, 0x6803000D, false, kCaptionHelp,
     PutText<&ALG_V1S::put_CR_msgX>, "CR_MSGX", LabelOf<&Panel::LBL_MSG>},
    {26, "Volume", kPropertyGet, ValueType::kString, 0x6803000C, false, kCaptionHelp,
     GetText<&ALG_V1S::get_Volume>},
    {27, "Volume", kPropertyPut, ValueType::kString, 0x6803000C, false, kCaptionHelp,
     PutText<&ALG_V1S::put_Volume>, "Volume"},
    {28, "MSGstring", kPropertyGet, ValueType::kString, 0x6803000B, true, "",
     GetText<&ALG_V1S::get_MSGstring>},
    {29, "MSGstring", kPropertyPut, ValueType::kString, 0x6803000B, true, "",
     PutText<&ALG_V1S::put_MSGstring>, "MSGstring"},
    {30, "Mode", kPropertyGet, ValueType::kString, 0x6803000A, false, kCaptionHelp,
     GetText<&ALG_V1S::get_Mode>},
    {31, "Mode", kPropertyPut, ValueType::kString, 0x6803000A, false, kCaptionHelp,
     PutText<&ALG_V1S::put_Mode>, "Mode"},
    {32, "CAL_AVJ", kPropertyGet, ValueType::kString, 0x68030009, false, kCaptionHelp,
     GetText<&ALG_V1S::get_CAL_AVJ>, "", LabelAt<&Panel::AVJ, kConstantsRow>},
    {33, "CAL_AVJ", kPropertyPut, ValueType::kString, 0x68030009, false, kCaptionHelp,
     PutText<&ALG_V1S::put_CAL_AVJ>, "CAL_AVJ", LabelAt<&Panel::AVJ, kConstantsRow>},
    {34, "CR_avJ", kPropertyGet, ValueType::kString, 0x68030008, false, kCaptionHelp,
     GetText<&ALG_V1S::get_CR_avJ>, "", LabelAt<&Panel::AVJ, kResultsRow>},
    {35, "CR_avJ", kPropertyPut, ValueType::kString, 0x68030008, false, kCaptionHelp,
     PutText<&ALG_V1S::put_CR_avJ>, "CR_avJ", LabelAt<&Panel::AVJ, kResultsRow>},
    {36, "BGfilter", kPropertyGet, ValueType::kString, 0x68030007, false, kCaptionHelp,
     GetText<&ALG_V1S::get_BGfilter>, "", LabelAt<&Panel::Filters, 3>},
    {37, "BGfilter", kPropertyPut, ValueType::kString, 0x68030007, false, kCaptionHelp,
     PutText<&ALG_V1S::put_BGfilter>, "BGfilter", LabelAt<&Panel::Filters, 3>},
    {38, "ADDvolume", kPropertyGet, ValueType::kString, 0x68030006, false, kCaptionHelp,
     GetText<&ALG_V1S::get_ADDvolume>, "", LabelAt<&Panel::Filters, 2>},
    {39, "ADDvolume", kPropertyPut, ValueType::kString, 0x68030006, false, kCaptionHelp,
     PutText<&ALG_V1S::put_ADDvolume>, "ADDvolume", LabelAt<&Panel::Filters, 2>},
    {40, "CAL_spT", kPropertyGet, ValueType::kString, 0x68030005, false, kCaptionHelp,
     GetText<&ALG_V1S::get_CAL_spT>, "", LabelAt<&Panel::SPT, kConstantsRow>},
    {41, "CAL_spT", kPropertyPut, ValueType::kString, 0x68030005, false, kCaptionHelp,
     PutText<&ALG_V1S::put_CAL_spT>, "CAL_spT", LabelAt<&Panel::SPT, kConstantsRow>},
    {42, "CAL_spJ", kPropertyGet, ValueType::kString, 0x68030004, false, kCaptionHelp,
     GetText<&ALG_V1S::get_CAL_spJ>, "", LabelAt<&Panel::SPJ, kConstantsRow>},
    {43, "CAL_spJ", kPropertyPut, ValueType::kString, 0x68030004, false, kCaptionHelp,
     PutText<&ALG_V1S::put_CAL_spJ>, "CAL_spJ", LabelAt<&Panel::SPJ, kConstantsRow>},
    {44, "CAL_JQ", kPropertyGet, ValueType::kString, 0x68030003, false, kCaptionHelp,
     GetText<&ALG_V1S::get_CAL_JQ>, "", LabelAt<&Panel::JQ, kConstantsRow>},
    {45, "CAL_JQ", kPropertyPut, ValueType::kString, 0x68030003, false, kCaptionHelp,
     PutText<&ALG_V1S::put_CAL_JQ>, "CAL_JQ", LabelAt<&Panel::JQ, kConstantsRow>},
    {46, "CR_SPJ", kPropertyGet, ValueType::kString, 0x68030002, false, kCaptionHelp,
     GetText<&ALG_V1S::get_CR_SPJ>, "", LabelAt<&Panel::SPJ, kResultsRow>},
    {47, "CR_SPJ", kPropertyPut, ValueType::kString, 0x68030002, false, kCaptionHelp,
     PutText<&ALG_V1S::put_CR_SPJ>, "CR_SPJ", LabelAt<&Panel::SPJ, kResultsRow>},
    {48, "CR_spT", kPropertyGet, ValueType::kString, 0x68030001, false, kCaptionHelp,
     GetText<&ALG_V1S::get_CR_spT>, "", LabelAt<&Panel::SPT, kResultsRow>},
    {49, "CR_spT", kPropertyPut, ValueType::kString, 0x68030001, false, kCaptionHelp,
     PutText<&ALG_V1S::put_CR_spT>, "CR_spT", LabelAt<&Panel::SPT, kResultsRow>},
    {50, "CR_JQ", kPropertyGet, ValueType::kString, 0x68030000, false, kCaptionHelp,
     GetText<&ALG_V1S::get_CR_JQ>, "", LabelAt<&Panel::JQ, kResultsRow>},
    {51, "CR_JQ", kPropertyPut, ValueType::kString, 0x68030000, false, kCaptionHelp,
     PutText<&ALG_V1S::put_CR_JQ>, "CR_JQ", LabelAt<&Panel::JQ, kResultsRow>},
};

// __ALG_V1S: declared for hosts that connect to it; the control never fires these.
constexpr EventMember kEvents[] = {
    {"InitProperties", 1, "", ""},
    {"ReadProperties", 2, "PropBag", "PropertyBag"},
    {"WriteProperties", 3, "PropBag", "PropertyBag"},
};

}  // namespace

std::span<const InterfaceMember> InterfaceTable() {
  return kMembers;
}

const InterfaceMember* PropertyNotifyingAs(std::string_view name) {
  for (const InterfaceMember& member : kMembers) {
    if (member.kind == MemberKind::kPropertyPut && member.notification == name) return &member;
  }
  return nullptr;
}

std::span<const EventMember> EventTable() {
  return kEvents;
}

}  // namespace pellix
