// Very long and very odd texts everywhere a text enters, and long lives: 10 000 checks on one
// control, 10 000 controls created and destroyed.
//
// Odd texts are a megabyte of mixed characters, invalid UTF-8 and texts holding NUL bytes. A
// text property keeps what it is given; a bag file is UTF-8, so a saved and reloaded text has
// its invalid bytes replaced by U+FFFD and everything else unchanged; a path holding a NUL
// names no file (it must never open the file named by the part before the NUL).
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/manifest.h"
#include "analysis_fixture.h"
#include "audio/input_file.h"
#include "control/interface_table.h"
#include "control/late_binding.h"
#include "error_of.h"
#include "files/json_property_bag.h"
#include "host/script/script_runner.h"
#include "platform/error.h"
#include "platform/text.h"
#include "take_builder.h"

namespace pellix::testing {
namespace {

namespace fs = std::filesystem;

std::string Megabyte() {
  std::string text;
  while (text.size() < (1u << 20)) text += "voice é ☕ 12 \t";
  return text;
}

// In every text property, a bag larger than a bag file may be (each NUL is written "\u0000").
std::string LoadLimitBuster() {
  return std::string(1u << 20, '\0');
}

struct OddText {
  const char* name;
  std::string text;
};

std::vector<OddText> OddTexts() {
  return {{"a megabyte", Megabyte()},
          {"invalid UTF-8", "a\xff\xfe b \xc3( \xed\xa0\x80 \xe2\x82 \xf4\x90\x80\x80 z"},
          {"NUL bytes", std::string("\0a\0b\0", 5)},
          {"a megabyte of NUL bytes", LoadLimitBuster()}};
}

std::vector<const InterfaceMember*> TextPuts() {
  std::vector<const InterfaceMember*> puts;
  for (const InterfaceMember& m : InterfaceTable()) {
    if (m.kind == MemberKind::kPropertyPut && m.type == ValueType::kString) puts.push_back(&m);
  }
  return puts;
}

TEST(LimitsTest, EveryTextPropertyKeepsOddTextsAndABagRoundTripKeepsThemAsUtf8) {
  const fs::path bag_path =
      fs::temp_directory_path() / ("pellix_limits_" + std::to_string(getpid()) + ".json");
  ASSERT_EQ(TextPuts().size(), 19u);
  const std::string_view never_saved[] = {"BGbord", "LIEstress", "GLBstress", "EXCstress",
                                          "CR_msgX"};
  for (const OddText& odd : OddTexts()) {
    SCOPED_TRACE(odd.name);
    if (odd.text == LoadLimitBuster()) continue;  // its own test below
    ALG_V1S control;
    control.InitProperties();
    for (const InterfaceMember* put : TextPuts()) {
      SCOPED_TRACE(put->name);
      ASSERT_EQ(ErrorOf([&] {
                  Invoke(control, put->dispid, InvokeKind::kPropertyPut, Value::String(odd.text));
                }),
                0);
      EXPECT_EQ(Invoke(control, put->dispid, InvokeKind::kPropertyGet), Value::String(odd.text));
    }
    JsonPropertyBag saved;
    control.WriteProperties(saved);
    saved.Save(bag_path.string());
    JsonPropertyBag loaded = JsonPropertyBag::Load(bag_path.string());
    ALG_V1S reloaded;
    reloaded.ReadProperties(loaded);
    for (const InterfaceMember* put : TextPuts()) {
      SCOPED_TRACE(put->name);
      // The never-saved cells come back as "0"; every other text as valid UTF-8.
      const bool is_saved = std::find(std::begin(never_saved), std::end(never_saved), put->name) ==
                            std::end(never_saved);
      EXPECT_EQ(Invoke(reloaded, put->dispid, InvokeKind::kPropertyGet),
                Value::String(is_saved ? SanitizeUtf8(odd.text) : "0"));
    }
  }
  fs::remove(bag_path);
}

TEST(LimitsTest, ABagTooLargeToLoadAgainIsNotSavedAndTheEarlierBagStays) {
  const fs::path bag_path =
      fs::temp_directory_path() / ("pellix_limits_big_" + std::to_string(getpid()) + ".json");
  ALG_V1S control;
  control.InitProperties();
  JsonPropertyBag small;
  control.WriteProperties(small);
  small.Save(bag_path.string());
  for (const InterfaceMember* put : TextPuts()) {
    Invoke(control, put->dispid, InvokeKind::kPropertyPut, Value::String(LoadLimitBuster()));
  }
  JsonPropertyBag big;
  control.WriteProperties(big);
  EXPECT_EQ(ErrorOf([&] { big.Save(bag_path.string()); }), kPathFileAccessError);
  EXPECT_EQ(JsonPropertyBag::Load(bag_path.string()).Text(), small.Text());
  fs::remove(bag_path);
}

TEST(LimitsTest, OddParameterStringsAndPathsNeitherFailNorOpenAnotherFile) {
  for (const OddText& odd : OddTexts()) {
    SCOPED_TRACE(odd.name);
    ALG_V1S control;
    control.InitProperties();
    control.put_DATAstr(odd.text);
    EXPECT_EQ(ErrorOf([&] { control.Initalize(); }), 0);
    // None of these texts has a number in positions 4 to 18.
    for (int i = 0; i <= 4; ++i) EXPECT_EQ(control.panel().Filters[i].caption(), "0") << i;
    EXPECT_EQ(control.get_DATAstr(), odd.text);
  }
  // A path is the whole text: "/etc/hostname" followed by a NUL and more is no file at all.
  ALG_V1S control;
  control.InitProperties();
  control.put_DATAstr("000023000005000000");
  control.Initalize();
  const std::string truncated = std::string("/etc/hostname\0.smp", 18);
  control.put_DATAstr(truncated);
  EXPECT_EQ(ErrorOf([&] { control.Check(); }), kFileNotFound);
  EXPECT_EQ(ErrorOf([&] { control.Calibrate(); }), kFileNotFound);
  EXPECT_EQ(ErrorOf([&] { OpenInputFile(truncated, "recording"); }), kFileNotFound);
  control.put_DATAstr(Megabyte());
  EXPECT_NE(ErrorOf([&] { control.Check(); }), 0);
}

TEST(LimitsTest, ScriptLinesOfAMegabyteOrWithOddBytesRunAsStatements) {
  for (const OddText& odd : OddTexts()) {
    SCOPED_TRACE(odd.name);
    std::string literal;  // the text as a script string: quotes and backslashes escaped
    for (char c : odd.text) {
      if (c == '"' || c == '\\') literal += '\\';
      literal += c;
    }
    std::istringstream script("set MSGstring \"" + literal + "\"\nget MSGstring\n");
    std::ostringstream out, err;
    script::ScriptRunner runner(out);
    EXPECT_EQ(runner.Run(script, err, "limits"), script::kScriptOk) << err.str();
    // The value comes back as a JSON string of the text the script held, as UTF-8.
    const std::string output = out.str();
    EXPECT_NE(output.find("\"op\":\"get\",\"name\":\"MSGstring\",\"ok\":true,\"value\":"),
              std::string::npos);
    EXPECT_GT(output.size(), SanitizeUtf8(odd.text).size() / 2);
  }
}

TEST(LimitsTest, ManifestFieldsOfAMegabyteOrWithOddBytes) {
  for (const OddText& odd : OddTexts()) {
    SCOPED_TRACE(odd.name);
    const std::string text =
        "speaker,role,file\n\"" + odd.text + "\",check,\"take" + odd.text + ".wav\"\n";
    std::vector<analysis::SpeakerTakes> speakers;
    try {
      speakers = analysis::ParseManifest(text, "m.csv", "/manifests");
    } catch (const analysis::ManifestError& e) {
      // Refusing is fine, with a message of reasonable length that names the file.
      EXPECT_EQ(std::string(e.what()).rfind("m.csv", 0), 0u);
      continue;
    }
    ASSERT_EQ(speakers.size(), 1u);
    ASSERT_EQ(speakers[0].checks.size(), 1u);
    // Whatever the manifest said, opening the take never opens another file.
    EXPECT_NE(ErrorOf([&] { OpenInputFile(speakers[0].checks[0].path, "recording"); }), 0);
  }
}

// A take the checks below can use: 60 thorns, 40 jumps, mean jump length 4.
std::vector<std::uint8_t> CheckTake() {
  TakeBuilder take;
  for (int f = 0; f < 3; ++f) take.Flic(6, {3, 3, 5, 5});
  take.EmptyFlic();
  return take.File();
}

// Heap bytes in use, where the allocator can tell.
std::size_t HeapInUse() {
  return mallinfo2().uordblks;
}

class LongLifeTest : public ControlFixture, public ::testing::Test {};

TEST_F(LongLifeTest, TenThousandChecksSaturateTheHistoryAtRow999WithFlatMemory) {
  UseTakeSettings();
  control.put_DATAstr("000023000005000000");
  control.Initalize();
  UseTakeSettings();
  control.panel().SPT[7].set_caption("66");
  control.panel().SPJ[7].set_caption("44");
  control.panel().JQ[7].set_caption("3");
  control.panel().AVJ[7].set_caption("4");
  UseFile("take.smp", CheckTake());
  std::size_t heap_after_first_thousand = 0;
  for (int check = 1; check <= 10000; ++check) {
    control.Check();
    site.names.clear();  // the test's own record of notifications
    if (check == 1000) heap_after_first_thousand = HeapInUse();
    if (check == 998) {
      EXPECT_EQ(control.profile_count(), 998);
    }
  }
  EXPECT_EQ(control.profile_count(), 999);
  // Every check wrote a row; the 999th and all later ones the same row 999, and row 1000 stays
  // untouched.
  const auto& table = control.profile_table();
  EXPECT_NE(table[999][2], 0);
  EXPECT_EQ(table[999], table[998]);  // the same take, the same row
  for (std::size_t c = 0; c < kProfileColumns; ++c) EXPECT_EQ(table[1000][c], 0);
  EXPECT_LE(HeapInUse(), heap_after_first_thousand + 4096);
}

TEST(LongLifeTest2, TenThousandInstancesCreatedAndDestroyed) {
  MemoryFileSystem files;
  files.Add("take.smp", CheckTake());
  const std::size_t heap_before = HeapInUse();
  for (int i = 0; i < 10000; ++i) {
    auto control = std::make_unique<ALG_V1S>(nullptr, files);
    control->InitProperties();
    control->put_DATAstr("000023000005000000");
    control->Initalize();
    control->put_DATAstr("take.smp");
    control->Calibrate();
    control->Check();
  }
  // Destroyed instances give back what they took (the leak checker of the sanitizer build
  // sees the rest).
  EXPECT_LE(HeapInUse(), heap_before + 4096);
}

}  // namespace
}  // namespace pellix::testing
