// The automation interface: the 52 members as hosts bind to them, the event interface, the
// component's identity, and late binding by name.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "control/alg_v1s.h"
#include "control/component_identity.h"
#include "control/interface_table.h"
#include "control/late_binding.h"
#include "error_of.h"
#include "interface_golden.h"
#include "platform/error.h"
#include "recording_site.h"

namespace pellix {
namespace {

using testing::ErrorOf;
using testing::RecordingSite;

using testing::GoldenMember;
using testing::kGoldenInterface;

ValueType TypeOf(const GoldenMember& m) {
  return m.type == 's'   ? ValueType::kString
         : m.type == 'i' ? ValueType::kInteger
                         : ValueType::kEmpty;
}

constexpr std::string_view kHelp =
    "Returns/sets the text displayed in an object's title bar or below an object's icon.";

TEST(InterfaceTableTest, FiftyTwoMembersInInterfaceOrder) {
  auto table = InterfaceTable();
  ASSERT_EQ(table.size(), 52u);
  std::size_t position = 0;
  for (const GoldenMember& e : kGoldenInterface) {
    const std::vector<MemberKind> kinds =
        e.method ? std::vector{MemberKind::kMethod}
                 : std::vector{MemberKind::kPropertyGet, MemberKind::kPropertyPut};
    for (MemberKind kind : kinds) {
      ASSERT_LT(position, table.size());
      const InterfaceMember& m = table[position];
      SCOPED_TRACE(e.name);
      EXPECT_EQ(m.position, static_cast<int>(position));
      EXPECT_EQ(m.name, e.name);
      EXPECT_EQ(m.kind, kind);
      EXPECT_EQ(m.type, TypeOf(e));
      EXPECT_EQ(m.dispid, e.dispid);
      EXPECT_EQ(m.hidden, e.hidden);
      EXPECT_EQ(m.help, e.help ? kHelp : std::string_view());
      EXPECT_NE(m.invoke, nullptr);
      ++position;
    }
  }
  EXPECT_EQ(position, 52u);
}

TEST(InterfaceTableTest, PositionsHostsBindTo) {
  auto table = InterfaceTable();
  EXPECT_EQ(table[23].name, "profiler");
  EXPECT_EQ(table[24].name, "CR_msgX");
  EXPECT_EQ(table[24].kind, MemberKind::kPropertyGet);
  EXPECT_EQ(table[51].name, "CR_JQ");
  EXPECT_EQ(table[51].kind, MemberKind::kPropertyPut);
}

TEST(InterfaceTableTest, SeventeenPropertiesCarryTheCaptionHelpAndThreeAreHidden) {
  std::set<std::string_view> helped;
  std::set<std::string_view> hidden;
  for (const InterfaceMember& m : InterfaceTable()) {
    if (!m.help.empty()) helped.insert(m.name);
    if (m.hidden) hidden.insert(m.name);
  }
  EXPECT_EQ(helped.size(), 17u);
  EXPECT_EQ(hidden, (std::set<std::string_view>{"DATAstr", "CR_SFLC", "MSGstring"}));
}

TEST(InterfaceTableTest, EventInterfaceDeclaresThreeEvents) {
  auto events = EventTable();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].name, "InitProperties");
  EXPECT_EQ(events[0].dispid, 1);
  EXPECT_EQ(events[0].parameters, "");
  EXPECT_EQ(events[1].name, "ReadProperties");
  EXPECT_EQ(events[1].dispid, 2);
  EXPECT_EQ(events[1].parameters, "PropBag");
  EXPECT_EQ(events[2].name, "WriteProperties");
  EXPECT_EQ(events[2].dispid, 3);
  EXPECT_EQ(events[2].parameters, "PropBag");
}

TEST(ComponentIdentityTest, FourDistinctIdentifiersAndTheLibraryAttributes) {
  std::set<std::string> ids = {GuidText(kLibraryId), GuidText(kInterfaceId), GuidText(kClassId),
                               GuidText(kEventInterfaceId)};
  EXPECT_EQ(ids.size(), 4u);
  EXPECT_EQ(GuidText(Guid{0x0123ABCD, 0x00EF, 0x4A0B, {0x8C, 0x0D, 1, 2, 3, 4, 5, 0xFF}}),
            "{0123ABCD-00EF-4A0B-8C0D-0102030405FF}");
  EXPECT_EQ(kLibraryName, "Pellix");
  EXPECT_EQ(kLibraryLocale, 0x409u);
  EXPECT_EQ(kLibraryHelpString, "Kelvane ActiveX VR1J");
  EXPECT_EQ(kLibraryMajorVersion, 1);
  EXPECT_EQ(kLibraryMinorVersion, 0);
}

// Late binding.

TEST(LateBindingTest, NamesMatchWithoutRegardToCase) {
  const std::pair<const char*, std::int32_t> kIds[] = {
      {"Calibrate", 0x60030017}, {"calibrate", 0x60030017}, {"INITALIZE", 0x60030018},
      {"Profiler", 0x60030020},  {"cr_msgx", 0x6803000D},   {"CR_AVJ", 0x68030008},
      {"cr_spj", 0x68030002},    {"Cr_SpT", 0x68030001}};
  for (const auto& [name, id] : kIds) EXPECT_EQ(GetIDOfName(name), id) << name;
}

TEST(LateBindingTest, UnknownNamesAreNotSupported) {
  EXPECT_EQ(ErrorOf([] { GetIDOfName("Initialize"); }), kMemberNotSupported);
  EXPECT_EQ(ErrorOf([] { GetIDOfName(""); }), kMemberNotSupported);
  EXPECT_EQ(ErrorOf([] { GetIDOfName("Mode "); }), kMemberNotSupported);
  EXPECT_EQ(ErrorOf([] { GetIDOfName("InitProperties"); }), kMemberNotSupported);
}

class LateBoundControl : public ::testing::Test {
 protected:
  LateBoundControl() : control(&site) { control.InitProperties(); }

  Value Get(std::string_view name) {
    return Invoke(control, GetIDOfName(name), InvokeKind::kPropertyGet);
  }
  void Put(std::string_view name, const Value& v) {
    Invoke(control, GetIDOfName(name), InvokeKind::kPropertyPut, v);
  }
  int PutError(std::string_view name, const Value& v) {
    return ErrorOf([&] { Put(name, v); });
  }

  RecordingSite site;
  ALG_V1S control;
};

TEST_F(LateBoundControl, GetsReturnTheDeclaredType) {
  EXPECT_EQ(Get("DensityLevel"), Value::Integer(0));
  EXPECT_EQ(Get("BGfilter"), Value::String("2"));
  EXPECT_EQ(Get("MSGstring"), Value::String("\""));
  EXPECT_EQ(Get("CR_SFLC"), Value::Integer(0));
  for (const InterfaceMember& m : InterfaceTable()) {
    if (m.kind != MemberKind::kPropertyGet) continue;
    Value v = Invoke(control, m.dispid, InvokeKind::kPropertyGet);
    if (m.type != ValueType::kEmpty) {
      EXPECT_EQ(v.type(), m.type) << m.name;
    }
  }
}

TEST_F(LateBoundControl, PutsReachTheAccessorsAndNotify) {
  Put("cal_spt", Value::String("31"));
  Put("CR_MSGX", Value::String("4"));
  Put("person", Value::Integer(3));
  EXPECT_EQ(control.get<"CAL_spT">(), "31");
  EXPECT_EQ(control.get<"CR_msgX">(), "4");
  EXPECT_EQ(control.get_Person(), 3);
  EXPECT_EQ(site.notified, (std::vector<std::string>{"CAL_spT", "CR_MSGX", "Person"}));
}

TEST_F(LateBoundControl, PutToTextConvertsNumbersAndBooleans) {
  Put("Volume", Value::Double(2.5));
  EXPECT_EQ(control.get_Volume(), "2.5");
  Put("Volume", Value::Integer(-7));
  EXPECT_EQ(control.get_Volume(), "-7");
  Put("Volume", Value::Double(1e15));
  EXPECT_EQ(control.get_Volume(), "1E+15");
  Put("Volume", Value::Boolean(true));
  EXPECT_EQ(control.get_Volume(), "True");
  Put("Mode", Value::Boolean(false));
  EXPECT_EQ(control.get_Mode(), "False");
  Put("Mode", Value());
  EXPECT_EQ(control.get_Mode(), "");
  EXPECT_EQ(PutError("Volume", Value::Double(std::numeric_limits<double>::infinity())), kOverflow);
  EXPECT_EQ(control.get_Volume(), "True");
}

TEST_F(LateBoundControl, PutToIntegerRoundsHalfToEvenAndReadsTextStrictly) {
  Put("DensityLevel", Value::Double(2.5));
  EXPECT_EQ(control.get_DensityLevel(), 2);
  Put("DensityLevel", Value::Double(-3.5));
  EXPECT_EQ(control.get_DensityLevel(), -4);
  Put("DensityLevel", Value::Double(32767.49));
  EXPECT_EQ(control.get_DensityLevel(), 32767);
  Put("Person", Value::String(" 12 "));
  EXPECT_EQ(control.get_Person(), 12);
  Put("Person", Value::String("&H10"));
  EXPECT_EQ(control.get_Person(), 16);
  Put("CAL_SFLC", Value::Boolean(true));
  EXPECT_EQ(control.get_CAL_SFLC(), -1);
  site.notified.clear();
  EXPECT_EQ(PutError("DensityLevel", Value::Double(32767.5)), kOverflow);
  EXPECT_EQ(PutError("DensityLevel", Value::Double(-32769)), kOverflow);
  EXPECT_EQ(PutError("Person", Value::String("1x")), kTypeMismatch);
  EXPECT_EQ(PutError("Person", Value::String("")), kTypeMismatch);
  EXPECT_EQ(PutError("Person", Value::String("1e")), kTypeMismatch);
  EXPECT_EQ(control.get_DensityLevel(), 32767);
  EXPECT_EQ(control.get_Person(), 16);
  EXPECT_TRUE(site.notified.empty());
}

TEST_F(LateBoundControl, CrSflcTakesNoPutInEitherMode) {
  EXPECT_EQ(PutError("CR_SFLC", Value::String("anything")), kGetNotSupportedAtRuntime);
  site.user_mode = false;
  EXPECT_EQ(PutError("CR_SFLC", Value::Double(1)), kSetNotSupportedAtRuntime);
  EXPECT_EQ(Get("CR_SFLC"), Value::Integer(0));
}

TEST_F(LateBoundControl, DesignModeRefusesDataStrAfterTheArgumentIsConverted) {
  site.user_mode = false;
  EXPECT_EQ(PutError("DATAstr", Value::String("x")), kSetNotSupportedAtRuntime);
  EXPECT_EQ(PutError("MSGstring", Value::Double(1)), kSetNotSupportedAtRuntime);
  // The argument is coerced before the accessor runs, as automation does.
  EXPECT_EQ(PutError("DATAstr", Value::Double(std::numeric_limits<double>::infinity())), kOverflow);
}

TEST_F(LateBoundControl, MethodsRunAndReturnEmpty) {
  control.put<"CAL_spT">("5");
  Value result = Invoke(control, GetIDOfName("resetall"), InvokeKind::kMethod);
  EXPECT_TRUE(result.is_empty());
  EXPECT_EQ(control.get<"CAL_spT">(), "0");
  control.put_DATAstr(
      "abc"
      "07");
  EXPECT_TRUE(Invoke(control, GetIDOfName("Initalize"), InvokeKind::kMethod).is_empty());
  EXPECT_EQ(control.get<"BGfilter">(), "7");
}

TEST_F(LateBoundControl, WrongKindOfAccessIsNotSupported) {
  const std::int32_t reset = GetIDOfName("ResetCal");
  const std::int32_t volume = GetIDOfName("Volume");
  EXPECT_EQ(ErrorOf([&] { Invoke(control, reset, InvokeKind::kPropertyGet); }),
            kMemberNotSupported);
  EXPECT_EQ(ErrorOf([&] { Invoke(control, reset, InvokeKind::kPropertyPut, Value()); }),
            kMemberNotSupported);
  EXPECT_EQ(ErrorOf([&] { Invoke(control, volume, InvokeKind::kMethod); }), kMemberNotSupported);
  EXPECT_EQ(ErrorOf([&] { Invoke(control, 0x12345, InvokeKind::kPropertyGet); }),
            kMemberNotSupported);
  EXPECT_EQ(ErrorOf([&] { Invoke(control, 1, InvokeKind::kMethod); }), kMemberNotSupported);
}

}  // namespace
}  // namespace pellix
