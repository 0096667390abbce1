// Property persistence: InitProperties, ReadProperties and WriteProperties against memory and
// JSON file bags: keys, order, defaults, conversions, the stop at a failing key, and the bag
// file on disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "control/alg_v1s.h"
#include "error_of.h"
#include "files/json_property_bag.h"
#include "platform/error.h"
#include "platform/property_bag.h"
#include "put_by_name.h"
#include "recording_site.h"

namespace pellix {
namespace {

using testing::ErrorOf;
using testing::PutByName;
using testing::RecordingSite;

// A last-value bag that also records what the control asked for and the defaults it gave.
class RecordingBag final : public MemoryPropertyBag {
 public:
  Value ReadProperty(std::string_view name, const Value& default_value) override {
    reads.emplace_back(name);
    read_defaults.push_back(default_value);
    return MemoryPropertyBag::ReadProperty(name, default_value);
  }
  void WriteProperty(std::string_view name, const Value& value,
                     const Value& default_value) override {
    write_defaults.push_back(default_value);
    MemoryPropertyBag::WriteProperty(name, value, default_value);
  }
  std::vector<std::string> reads;
  std::vector<Value> read_defaults;
  std::vector<Value> write_defaults;
};

MemoryPropertyBag BagOf(std::initializer_list<std::pair<const char*, Value>> values) {
  MemoryPropertyBag bag;
  for (const auto& [name, value] : values) bag.WriteProperty(name, value, Value());
  return bag;
}

Value S(const char* text) {
  return Value::String(text);
}
Value D(double x) {
  return Value::Double(x);
}

// Every persisted member and value cell, for comparing two instances.
auto Snapshot(const ALG_V1S& c) {
  const Panel& p = c.panel();
  std::vector<std::string> cells;
  for (const PanelEntry& entry : PanelLayout()) {
    cells.push_back(entry.label(const_cast<Panel&>(p)).caption());
  }
  const ControlSurface& s = c.surface();
  return std::tuple(c.get_DATAstr(), c.get_DensityLevel(), c.get_Person(), c.get_CAL_SFLC(),
                    c.get_CR_SFLC(), c.get_Volume(), c.get_MSGstring(), c.get_Mode(), cells,
                    s.BackColor, s.AutoRedraw, s.BackStyle, s.BorderStyle);
}

TEST(InitPropertiesTest, SetsTheNewInstanceValuesWithoutNotifying) {
  RecordingSite site;
  ALG_V1S control(&site);
  control.InitProperties();
  EXPECT_EQ(control.get_DATAstr(), "");
  EXPECT_EQ(control.get_CR_SFLC(), Value::Integer(0));
  EXPECT_EQ(control.get_Volume(), "0");
  EXPECT_EQ(control.get_MSGstring(), "\"");
  EXPECT_EQ(control.get_Mode(), "0");
  EXPECT_EQ(control.get<"BGfilter">(), "2");
  EXPECT_TRUE(site.notified.empty());
}

TEST(ReadPropertiesTest, EmptyBagDiffersFromANewInstanceOnlyInMinimumJump) {
  ALG_V1S fresh;
  fresh.InitProperties();
  ALG_V1S loaded;
  MemoryPropertyBag empty;
  loaded.ReadProperties(empty);

  EXPECT_EQ(loaded.get<"BGfilter">(), "0");
  EXPECT_EQ(fresh.get<"BGfilter">(), "2");
  EXPECT_EQ(loaded.panel().SPT[5].caption(), "120");
  EXPECT_EQ(loaded.panel().SPJ[5].caption(), "120");
  EXPECT_EQ(loaded.panel().JQ[5].caption(), "120");
  EXPECT_EQ(loaded.get_CR_SFLC(), Value::Integer(0));
  EXPECT_EQ(loaded.surface().BackColor, 0x8000000Fu);
  EXPECT_EQ(loaded.surface().BackStyle, 1);

  loaded.panel().Filters[3].set_caption("2");
  EXPECT_EQ(Snapshot(loaded), Snapshot(fresh));
}

// The cells a save leaves out: BGbord, LIEstress, GLBstress, EXCstress and CR_msgX.
void ExpectUnsavedCells(const ALG_V1S& control, const std::array<std::string, 5>& expected) {
  const std::array<std::string, 5> cells = {control.get<"BGbord">(), control.get<"LIEstress">(),
                                            control.get<"GLBstress">(), control.get<"EXCstress">(),
                                            control.get<"CR_msgX">()};
  EXPECT_EQ(cells, expected);
}

// The defaults given with the keys, alike in both orders: BackColor, AutoRedraw and BackStyle
// of the surface, DATAstr's empty text, CR_SFLC's Integer 0, and from position 9 on "0" for
// every text but MSGstring's quote (at `quote`).
void ExpectDefaults(const std::vector<Value>& defaults, const std::vector<std::string>& keys,
                    std::size_t quote) {
  ASSERT_EQ(defaults.size(), keys.size());
  EXPECT_EQ(defaults[0].number(), 2147483663.0);
  EXPECT_EQ(defaults[1], Value::Boolean(false));
  EXPECT_EQ(defaults[2].number(), 1);
  EXPECT_EQ(defaults[4], S(""));
  EXPECT_EQ(defaults[8], Value::Integer(0));
  for (std::size_t i = 9; i < keys.size(); ++i) {
    EXPECT_EQ(defaults[i], S(i == quote ? "\"" : "0")) << keys[i];
  }
}

TEST(ReadPropertiesTest, ReadsEveryKeyInOrderWithItsDefault) {
  ALG_V1S control;
  RecordingBag bag;
  control.ReadProperties(bag);
  const std::vector<std::string> expected = {
      "BackColor", "AutoRedraw", "BackStyle", "BorderStyle", "DATAstr", "DensityLevel",
      "Person",    "CAL_SFLC",   "CR_SFLC",   "BGfilter",    "BGbord",  "Volume",
      "ADDvolume", "CAL_spT",    "CAL_spJ",   "CAL_JQ",      "CR_SPJ",  "CR_spT",
      "LIEstress", "GLBstress",  "EXCstress", "CAL_AVJ",     "CR_avJ",  "CR_JQ",
      "CR_MSGX",   "Mode",       "Volume",    "MSGstring",   "Mode",    "BGfilter"};
  EXPECT_EQ(bag.reads, expected);
  ExpectDefaults(bag.read_defaults, expected, 27);
  EXPECT_EQ(bag.read_defaults[3].number(), 0);
}

TEST(WritePropertiesTest, WritesInOrderWithThreeKeysTwice) {
  ALG_V1S control;
  control.InitProperties();
  RecordingBag bag;
  control.WriteProperties(bag);
  const std::vector<std::string> expected = {
      "BackColor", "AutoRedraw", "BackStyle", "BorderStyle", "DATAstr", "DensityLevel", "Person",
      "CAL_SFLC",  "CR_SFLC",    "Mode",      "CAL_AVJ",     "CR_avJ",  "BGfilter",     "Volume",
      "ADDvolume", "CAL_spT",    "CAL_spJ",   "CAL_JQ",      "CR_SPJ",  "CR_spT",       "CR_JQ",
      "Volume",    "MSGstring",  "Mode",      "BGfilter"};
  EXPECT_EQ(bag.write_log(), expected);
  ExpectDefaults(bag.write_defaults, expected, 22);
}

TEST(WritePropertiesTest, NeverSavesTheBorderAndResultCells) {
  ALG_V1S control;
  control.InitProperties();
  MemoryPropertyBag bag;
  control.WriteProperties(bag);
  for (const auto& [name, value] : bag.entries()) {
    EXPECT_NE(name, "BGbord");
    EXPECT_NE(name, "LIEstress");
    EXPECT_NE(name, "GLBstress");
    EXPECT_NE(name, "EXCstress");
    EXPECT_NE(name, "CR_MSGX");
  }
  EXPECT_EQ(bag.entries().size(), 22u);
}

class SaveReloadTest : public ::testing::Test {
 protected:
  SaveReloadTest() {
    original.InitProperties();
    Panel& p = original.panel();
    original.put_DATAstr("C:\\takes\\one.smp");
    original.put_DensityLevel(-7);
    original.put_Person(12);
    original.put_CAL_SFLC(300);
    p.Filters[0].set_caption("11");
    original.put<"BGfilter">("4");  // Filters(3)
    p.Filters[1].set_caption("12");
    original.put_Volume("9");
    p.Filters[5].set_caption("M5");
    original.put_Mode("7");
    original.put<"ADDvolume">("2");
    original.put_MSGstring("hello");
    PutByName(original, {{"CAL_spT", "31"},
                         {"CAL_spJ", "32"},
                         {"CAL_JQ", "33"},
                         {"CAL_AVJ", "3.5"},
                         {"CR_spT", "41"},
                         {"CR_SPJ", "42"},
                         {"CR_JQ", "43"},
                         {"CR_avJ", "4.5"},
                         {"BGbord", "15"},
                         {"LIEstress", "150"},
                         {"GLBstress", "160"},
                         {"EXCstress", "170"},
                         {"CR_msgX", "5"}});
    original.surface().BackColor = 0x00FF8000u;
    original.surface().AutoRedraw = true;
    original.surface().BackStyle = 0;
    original.surface().BorderStyle = 1;
  }

  ALG_V1S original;
};

TEST_F(SaveReloadTest, LastValueBagRoundTrip) {
  MemoryPropertyBag bag;
  original.WriteProperties(bag);
  ALG_V1S reloaded;
  reloaded.ReadProperties(bag);

  // The cells that share a key take the value written last.
  EXPECT_EQ(reloaded.panel().Filters[0].caption(), "4");  // what Filters(3) showed
  EXPECT_EQ(reloaded.panel().Filters[3].caption(), "4");
  EXPECT_EQ(reloaded.panel().Filters[1].caption(), "9");  // m_Volume
  EXPECT_EQ(reloaded.get_Volume(), "9");
  EXPECT_EQ(reloaded.panel().Filters[5].caption(), "7");  // m_Mode
  EXPECT_EQ(reloaded.get_Mode(), "7");

  EXPECT_EQ(reloaded.get_DATAstr(), "C:\\takes\\one.smp");
  EXPECT_EQ(reloaded.get_DensityLevel(), -7);
  EXPECT_EQ(reloaded.get_Person(), 12);
  EXPECT_EQ(reloaded.get_CAL_SFLC(), 300);
  EXPECT_EQ(reloaded.get<"ADDvolume">(), "2");
  EXPECT_EQ(reloaded.get_MSGstring(), "hello");
  EXPECT_EQ(reloaded.get<"CAL_spT">(), "31");
  EXPECT_EQ(reloaded.get<"CAL_spJ">(), "32");
  EXPECT_EQ(reloaded.get<"CAL_JQ">(), "33");
  EXPECT_EQ(reloaded.get<"CAL_AVJ">(), "3.5");
  EXPECT_EQ(reloaded.get<"CR_spT">(), "41");
  EXPECT_EQ(reloaded.get<"CR_SPJ">(), "42");
  EXPECT_EQ(reloaded.get<"CR_JQ">(), "43");
  EXPECT_EQ(reloaded.get<"CR_avJ">(), "4.5");
  EXPECT_EQ(reloaded.surface().BackColor, 0x00FF8000u);
  EXPECT_TRUE(reloaded.surface().AutoRedraw);
  EXPECT_EQ(reloaded.surface().BackStyle, 0);
  EXPECT_EQ(reloaded.surface().BorderStyle, 1);

  // Not saved: the border level and the result cells come back as "0".
  ExpectUnsavedCells(reloaded, {"0", "0", "0", "0", "0"});
}

TEST_F(SaveReloadTest, ReloadSendsNoNotification) {
  MemoryPropertyBag bag;
  original.WriteProperties(bag);
  RecordingSite site;
  ALG_V1S reloaded(&site);
  reloaded.ReadProperties(bag);
  EXPECT_TRUE(site.notified.empty());
}

TEST(ReadPropertiesTest, BagFilledByOtherMeansSetsTheUnsavedCells) {
  MemoryPropertyBag bag = BagOf({{"BGbord", S("7")},
                                 {"LIEstress", S("120")},
                                 {"GLBstress", S("130")},
                                 {"EXCstress", S("140")},
                                 {"CR_MSGX", S("4")},
                                 {"CR_msgX", S("wrong key")}});
  ALG_V1S control;
  control.ReadProperties(bag);
  ExpectUnsavedCells(control, {"7", "120", "130", "140", "4"});
}

TEST(ReadPropertiesTest, KeysMatchExactly) {
  MemoryPropertyBag bag = BagOf({{"datastr", S("x")}, {"PERSON", D(3)}});
  ALG_V1S control;
  control.ReadProperties(bag);
  EXPECT_EQ(control.get_DATAstr(), "");
  EXPECT_EQ(control.get_Person(), 0);
}

TEST(ReadPropertiesTest, CrSflcIsLoadedAsItIsAndSavedBack) {
  MemoryPropertyBag bag = BagOf({{"CR_SFLC", D(2.5)}});
  ALG_V1S control;
  control.ReadProperties(bag);
  EXPECT_EQ(control.get_CR_SFLC(), D(2.5));

  bag = BagOf({{"CR_SFLC", S("text")}});
  control.ReadProperties(bag);
  EXPECT_EQ(control.get_CR_SFLC(), S("text"));
  MemoryPropertyBag saved;
  control.WriteProperties(saved);
  EXPECT_EQ(saved.ReadProperty("CR_SFLC", Value()), S("text"));
}

// One value under one key, read into a control made for loading.
template <typename Get>
auto LoadOne(const char* key, const Value& value, Get get) {
  MemoryPropertyBag bag = BagOf({{key, value}});
  ALG_V1S control;
  control.ReadProperties(bag);
  return get(control);
}

int LoadError(const char* key, const Value& value) {
  MemoryPropertyBag bag = BagOf({{key, value}});
  ALG_V1S control;
  return ErrorOf([&] { control.ReadProperties(bag); });
}

TEST(ReadConversionsTest, ColourIsRoundedHalfToEvenAndWrapsNegatives) {
  auto colour = [](const Value& v) {
    return LoadOne("BackColor", v, [](ALG_V1S& c) { return c.surface().BackColor; });
  };
  EXPECT_EQ(colour(D(255)), 255u);
  EXPECT_EQ(colour(D(2.5)), 2u);
  EXPECT_EQ(colour(D(3.5)), 4u);
  EXPECT_EQ(colour(D(-1)), 0xFFFFFFFFu);
  EXPECT_EQ(colour(D(-2147483648.0)), 0x80000000u);
  EXPECT_EQ(colour(D(-2147483648.5)), 0x80000000u);  // rounds to the even -2^31
  EXPECT_EQ(colour(D(4294967295.0)), 0xFFFFFFFFu);
  EXPECT_EQ(colour(Value::Long(-2147483633)), 0x8000000Fu);
  EXPECT_EQ(colour(S("&H8000000F")), 0x8000000Fu);
  EXPECT_EQ(colour(S(" 16 ")), 16u);
  EXPECT_EQ(colour(Value()), 0u);
  EXPECT_EQ(LoadError("BackColor", D(4294967296.0)), kOverflow);
  EXPECT_EQ(LoadError("BackColor", D(4294967295.5)), kOverflow);  // rounds to 2^32
  EXPECT_EQ(LoadError("BackColor", D(-2147483649.0)), kOverflow);
  EXPECT_EQ(LoadError("BackColor", D(1e300)), kOverflow);
  EXPECT_EQ(LoadError("BackColor", S("blue")), kTypeMismatch);
}

TEST(ReadConversionsTest, AutoRedrawAcceptsBooleansNumbersAndTheirNames) {
  auto redraw = [](const Value& v) {
    return LoadOne("AutoRedraw", v, [](ALG_V1S& c) { return c.surface().AutoRedraw; });
  };
  EXPECT_TRUE(redraw(Value::Boolean(true)));
  EXPECT_FALSE(redraw(Value::Boolean(false)));
  EXPECT_TRUE(redraw(D(2)));
  EXPECT_TRUE(redraw(D(-0.5)));
  EXPECT_FALSE(redraw(D(0)));
  EXPECT_TRUE(redraw(S("TRUE")));
  EXPECT_TRUE(redraw(S("tRuE")));
  EXPECT_FALSE(redraw(S("False")));
  EXPECT_TRUE(redraw(S("1")));
  EXPECT_FALSE(redraw(S("0")));
  EXPECT_FALSE(redraw(Value()));
  EXPECT_EQ(LoadError("AutoRedraw", S("yes")), kTypeMismatch);
  EXPECT_EQ(LoadError("AutoRedraw", S("")), kTypeMismatch);
}

TEST(ReadConversionsTest, IntegersAreSixteenBitHalfToEven) {
  auto density = [](const Value& v) {
    return LoadOne("DensityLevel", v, [](ALG_V1S& c) { return c.get_DensityLevel(); });
  };
  EXPECT_EQ(density(D(2.5)), 2);
  EXPECT_EQ(density(D(3.5)), 4);
  EXPECT_EQ(density(D(-2.5)), -2);
  EXPECT_EQ(density(D(-32768.5)), -32768);
  EXPECT_EQ(density(D(32767.4)), 32767);
  EXPECT_EQ(density(S(" 12 ")), 12);
  EXPECT_EQ(density(Value::Boolean(true)), -1);
  EXPECT_EQ(density(Value()), 0);
  EXPECT_EQ(LoadError("DensityLevel", D(32767.5)), kOverflow);
  EXPECT_EQ(LoadError("Person", D(-40000)), kOverflow);
  EXPECT_EQ(LoadError("CAL_SFLC", S("12abc")), kTypeMismatch);
  EXPECT_EQ(LoadError("Person", S("")), kTypeMismatch);

  auto styles = [](const Value& v) {
    return LoadOne("BackStyle", v, [](ALG_V1S& c) { return c.surface().BackStyle; });
  };
  EXPECT_EQ(styles(D(-300)), -300);  // any 16-bit value, not only 0 and 1
  EXPECT_EQ(LoadOne("BorderStyle", D(7), [](ALG_V1S& c) { return c.surface().BorderStyle; }), 7);
  EXPECT_EQ(LoadError("BorderStyle", D(70000)), kOverflow);
}

TEST(ReadConversionsTest, TextsTakeNumberTextBooleanNamesAndEmpty) {
  auto data = [](const Value& v) {
    return LoadOne("DATAstr", v, [](ALG_V1S& c) { return c.get_DATAstr(); });
  };
  EXPECT_EQ(data(D(2.5)), "2.5");
  EXPECT_EQ(data(D(1e15)), "1E+15");
  EXPECT_EQ(data(D(-0.0)), "0");
  EXPECT_EQ(data(Value::Boolean(true)), "True");
  EXPECT_EQ(data(Value::Boolean(false)), "False");
  EXPECT_EQ(data(Value()), "");
  EXPECT_EQ(LoadOne("CAL_spT", D(31), [](ALG_V1S& c) { return c.get<"CAL_spT">(); }), "31");
  EXPECT_EQ(LoadOne("MSGstring", Value(), [](ALG_V1S& c) { return c.get_MSGstring(); }), "");
}

TEST(ReadPropertiesTest, FailingKeyStopsWithEverythingBeforeItLoaded) {
  MemoryPropertyBag bag = BagOf({{"BackStyle", D(0)},
                                 {"DATAstr", S("path")},
                                 {"DensityLevel", S("abc")},
                                 {"Person", D(5)},
                                 {"BGfilter", S("9")},
                                 {"Volume", S("8")}});
  ALG_V1S control;
  EXPECT_EQ(ErrorOf([&] { control.ReadProperties(bag); }), kTypeMismatch);
  EXPECT_EQ(control.surface().BackStyle, 0);
  EXPECT_EQ(control.surface().BackColor, 0x8000000Fu);  // loaded from its default
  EXPECT_EQ(control.get_DATAstr(), "path");
  EXPECT_EQ(control.get_DensityLevel(), 0);
  EXPECT_EQ(control.get_Person(), 0);                    // after the failing key: not loaded
  EXPECT_TRUE(control.get_CR_SFLC().is_empty());         // the language's default
  EXPECT_EQ(control.panel().Filters[0].caption(), "0");  // its design value
  EXPECT_EQ(control.get<"BGfilter">(), "2");
  EXPECT_EQ(control.get_Volume(), "");
  EXPECT_EQ(control.get_MSGstring(), "");
}

TEST(ReadPropertiesTest, FailingCaptionKeyKeepsTheCaptionsBeforeIt) {
  MemoryPropertyBag bag = BagOf({{"BGfilter", S("5")}, {"CAL_spT", S("31")}, {"CAL_spJ", S("32")}});
  ALG_V1S control;
  control.panel().SPJ[7].RefuseCaptionPuts(kPermissionDenied);
  EXPECT_EQ(ErrorOf([&] { control.ReadProperties(bag); }), kPermissionDenied);
  EXPECT_EQ(control.panel().Filters[0].caption(), "5");
  EXPECT_EQ(control.get<"CAL_spT">(), "31");
  EXPECT_EQ(control.get<"BGfilter">(), "2");  // the last key was never reached
}

TEST(WritePropertiesTest, RefusedCaptionGetStopsTheSave) {
  ALG_V1S control;
  control.InitProperties();
  control.panel().AVJ[8].RefuseCaptionGets(kInvalidProcedureCall);
  MemoryPropertyBag bag;
  EXPECT_EQ(ErrorOf([&] { control.WriteProperties(bag); }), kInvalidProcedureCall);
  ASSERT_FALSE(bag.write_log().empty());
  EXPECT_EQ(bag.write_log().back(), "CAL_AVJ");
}

// The JSON bag file.

class JsonBagTest : public ::testing::Test {
 protected:
  JsonBagTest() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "pellix-persistence-XXXXXX").string();
    directory_ = ::mkdtemp(pattern.data());
  }
  ~JsonBagTest() override { std::filesystem::remove_all(directory_); }

  std::string Path(const std::string& name) const { return directory_ + "/" + name; }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
    return Path(name);
  }
  std::string Contents(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string directory_;
};

TEST_F(JsonBagTest, NewInstanceSavesEveryKeyAsCompactJson) {
  ALG_V1S control;
  control.InitProperties();
  JsonPropertyBag bag;
  control.WriteProperties(bag);
  bag.Save(Path("bag.json"));
  EXPECT_EQ(Contents(Path("bag.json")),
            "{\"BackColor\":2147483663,\"AutoRedraw\":false,\"BackStyle\":1,\"BorderStyle\":0,"
            "\"DATAstr\":\"\",\"DensityLevel\":0,\"Person\":0,\"CAL_SFLC\":0,\"CR_SFLC\":0,"
            "\"Mode\":\"0\",\"CAL_AVJ\":\"0\",\"CR_avJ\":\"0\",\"BGfilter\":\"2\","
            "\"Volume\":\"0\",\"ADDvolume\":\"0\",\"CAL_spT\":\"0\",\"CAL_spJ\":\"0\","
            "\"CAL_JQ\":\"0\",\"CR_SPJ\":\"0\",\"CR_spT\":\"0\",\"CR_JQ\":\"0\","
            "\"MSGstring\":\"\\\"\"}\n");
  EXPECT_EQ(Names(), std::vector<std::string>{"bag.json"});
}

TEST_F(JsonBagTest, FileRoundTripKeepsEverythingSaved) {
  ALG_V1S original;
  original.InitProperties();
  original.put_DATAstr(
      "Gr\xC3\xB6\xC3\x9F"
      "e \xE2\x82\xAC \"quoted\"");
  original.put_Person(-3);
  original.put<"CAL_spT">("31.5");
  original.put_Mode("2");
  original.surface().BackColor = 0xFFFFFFFFu;
  original.surface().AutoRedraw = true;
  JsonPropertyBag saved;
  original.WriteProperties(saved);
  saved.Save(Path("bag.json"));

  // Non-ASCII is written as it is, not escaped.
  EXPECT_NE(Contents(Path("bag.json"))
                .find("Gr\xC3\xB6\xC3\x9F"
                      "e \xE2\x82\xAC"),
            std::string::npos);
  EXPECT_NE(Contents(Path("bag.json")).find("\"BackColor\":4294967295,\"AutoRedraw\":true"),
            std::string::npos);

  JsonPropertyBag loaded = JsonPropertyBag::Load(Path("bag.json"));
  ALG_V1S reloaded;
  reloaded.ReadProperties(loaded);
  EXPECT_EQ(reloaded.get_DATAstr(), original.get_DATAstr());
  EXPECT_EQ(reloaded.get_Person(), -3);
  EXPECT_EQ(reloaded.get<"CAL_spT">(), "31.5");
  EXPECT_EQ(reloaded.get_Mode(), "2");
  EXPECT_EQ(reloaded.panel().Filters[5].caption(), "2");
  EXPECT_EQ(reloaded.get<"BGfilter">(), "2");
  EXPECT_EQ(reloaded.panel().Filters[0].caption(), "2");
  EXPECT_EQ(reloaded.surface().BackColor, 0xFFFFFFFFu);
  EXPECT_TRUE(reloaded.surface().AutoRedraw);
  EXPECT_EQ(reloaded.get_CR_SFLC().number(), 0);
  EXPECT_EQ(reloaded.get_MSGstring(), "\"");
}

TEST_F(JsonBagTest, ValuesReadAsTheirKinds) {
  JsonPropertyBag bag = JsonPropertyBag::Load(
      Write("bag.json",
            R"({"s":"x","d":2.5,"i":12,"b":true,"n":null,"a":[1],"o":{"k":1},)"
            R"("big":1e400,"neg":-1e400,"nested":[1e400],"tiny":1e-400,"dup":1,"dup":"two"})"));
  EXPECT_EQ(bag.ReadProperty("s", Value()), S("x"));
  EXPECT_EQ(bag.ReadProperty("d", Value()), D(2.5));
  EXPECT_EQ(bag.ReadProperty("i", Value()), D(12));
  EXPECT_EQ(bag.ReadProperty("b", Value()), Value::Boolean(true));
  EXPECT_TRUE(bag.ReadProperty("n", S("default")).is_empty());
  EXPECT_EQ(bag.ReadProperty("absent", S("default")), S("default"));
  EXPECT_EQ(ErrorOf([&] { bag.ReadProperty("a", Value()); }), kTypeMismatch);
  EXPECT_EQ(ErrorOf([&] { bag.ReadProperty("o", Value()); }), kTypeMismatch);
  EXPECT_EQ(ErrorOf([&] { bag.ReadProperty("big", Value()); }), kOverflow);
  EXPECT_EQ(ErrorOf([&] { bag.ReadProperty("neg", Value()); }), kOverflow);
  EXPECT_EQ(ErrorOf([&] { bag.ReadProperty("nested", Value()); }), kTypeMismatch);
  EXPECT_EQ(bag.ReadProperty("tiny", Value()), D(0));
  EXPECT_EQ(bag.ReadProperty("dup", Value()), S("two"));
  EXPECT_EQ(bag.keys(), (std::vector<std::string>{"s", "d", "i", "b", "n", "a", "o", "big", "neg",
                                                  "nested", "tiny", "dup"}));
}

TEST_F(JsonBagTest, OverflowMarksOnlyTheOverflowingNumberAmongNulls) {
  JsonPropertyBag bag = JsonPropertyBag::Load(
      Write("bag.json", R"({"a":null,"s":"null","l":[null,null],"b":1E+999,"c":null,"d":-2e308})"));
  EXPECT_TRUE(bag.ReadProperty("a", S("x")).is_empty());
  EXPECT_EQ(bag.ReadProperty("s", Value()), S("null"));
  EXPECT_EQ(ErrorOf([&] { bag.ReadProperty("b", Value()); }), kOverflow);
  EXPECT_TRUE(bag.ReadProperty("c", S("x")).is_empty());
  EXPECT_EQ(ErrorOf([&] { bag.ReadProperty("d", Value()); }), kOverflow);
}

TEST_F(JsonBagTest, OverflowingKeyStopsTheLoadThere) {
  JsonPropertyBag bag = JsonPropertyBag::Load(
      Write("bag.json", R"({"DATAstr":"path","DensityLevel":1e400,"Person":5})"));
  ALG_V1S control;
  EXPECT_EQ(ErrorOf([&] { control.ReadProperties(bag); }), kOverflow);
  EXPECT_EQ(control.get_DATAstr(), "path");
  EXPECT_EQ(control.get_Person(), 0);
}

TEST_F(JsonBagTest, ArrayUnderACaptionKeyIsATypeMismatch) {
  JsonPropertyBag bag =
      JsonPropertyBag::Load(Write("bag.json", R"({"BGfilter":"6","BGbord":[1,2],"Volume":"3"})"));
  ALG_V1S control;
  EXPECT_EQ(ErrorOf([&] { control.ReadProperties(bag); }), kTypeMismatch);
  EXPECT_EQ(control.panel().Filters[0].caption(), "6");
  EXPECT_EQ(control.panel().Filters[1].caption(), "0");
}

TEST_F(JsonBagTest, StringsIntoIntegersAreReadStrictly) {
  JsonPropertyBag bag =
      JsonPropertyBag::Load(Write("bag.json", R"({"DensityLevel":"12","Person":"x"})"));
  ALG_V1S control;
  EXPECT_EQ(ErrorOf([&] { control.ReadProperties(bag); }), kTypeMismatch);
  EXPECT_EQ(control.get_DensityLevel(), 12);
}

TEST_F(JsonBagTest, InvalidUtf8ReadsAsReplacementCharacter) {
  JsonPropertyBag bag = JsonPropertyBag::Load(Write("bag.json",
                                                    "{\"DATAstr\":\"a\xFF"
                                                    "b\"}"));
  EXPECT_EQ(bag.ReadProperty("DATAstr", Value()), S("a\xEF\xBF\xBD"
                                                    "b"));
}

TEST_F(JsonBagTest, FilesThatAreNotBagsFail) {
  EXPECT_EQ(ErrorOf([&] { JsonPropertyBag::Load(Path("missing.json")); }), kFileNotFound);
  EXPECT_EQ(ErrorOf([&] { JsonPropertyBag::Load(directory_); }), kPathFileAccessError);
  EXPECT_EQ(ErrorOf([&] { JsonPropertyBag::Load(Write("a", "")); }), kInvalidFileFormat);
  EXPECT_EQ(ErrorOf([&] { JsonPropertyBag::Load(Write("b", "{\"a\":1")); }), kInvalidFileFormat);
  EXPECT_EQ(ErrorOf([&] { JsonPropertyBag::Load(Write("c", "[1,2]")); }), kInvalidFileFormat);
  EXPECT_EQ(ErrorOf([&] { JsonPropertyBag::Load(Write("d", "\"text\"")); }), kInvalidFileFormat);
  EXPECT_EQ(ErrorOf([&] { JsonPropertyBag::Load(Write("e", "null")); }), kInvalidFileFormat);
  EXPECT_EQ(ErrorOf([&] { JsonPropertyBag::Load(Write("f", "1e400")); }), kInvalidFileFormat);
  EXPECT_EQ(ErrorOf([&] { JsonPropertyBag::Load(Write("g", "{\"a\":01}")); }), kInvalidFileFormat);
  EXPECT_EQ(ErrorOf([&] { JsonPropertyBag::Load(Write("h", "{} {}")); }), kInvalidFileFormat);
  EXPECT_TRUE(JsonPropertyBag::Load(Write("i", " {}\n")).keys().empty());
  // Nesting no bag needs is refused rather than risking the stack.
  EXPECT_EQ(ErrorOf([&] {
              JsonPropertyBag::Load(Write(
                  "j", "{\"a\":" + std::string(100000, '[') + std::string(100000, ']') + "}"));
            }),
            kInvalidFileFormat);
  JsonPropertyBag nested = JsonPropertyBag::Load(
      Write("k", "{\"a\":" + std::string(100, '[') + std::string(100, ']') + "}"));
  EXPECT_EQ(ErrorOf([&] { nested.ReadProperty("a", Value()); }), kTypeMismatch);
}

TEST_F(JsonBagTest, PipeIsRefusedWithoutBlocking) {
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  EXPECT_EQ(ErrorOf([&] { JsonPropertyBag::Load(Path("pipe")); }), kPathFileAccessError);
}

TEST_F(JsonBagTest, SaveReplacesTheOldFileWhole) {
  Write("bag.json", std::string(5000, 'x'));
  JsonPropertyBag bag;
  bag.WriteProperty("k", S("v"), Value());
  bag.WriteProperty("n", D(3), Value());
  bag.WriteProperty("e", Value(), Value());
  bag.WriteProperty("k", Value::Integer(-4), Value());
  bag.Save(Path("bag.json"));
  EXPECT_EQ(Contents(Path("bag.json")), "{\"k\":-4,\"n\":3,\"e\":null}\n");
  EXPECT_EQ(Names(), std::vector<std::string>{"bag.json"});
}

TEST_F(JsonBagTest, OverflowingNumberIsSavedBackAsWritten) {
  JsonPropertyBag bag = JsonPropertyBag::Load(Write("in.json", R"({"x":1e400,"y":2})"));
  bag.Save(Path("out.json"));
  EXPECT_EQ(Contents(Path("out.json")), "{\"x\":1e400,\"y\":2}\n");
}

TEST_F(JsonBagTest, FailedSaveLeavesTheOldFileAndNoTemporaryFile) {
  // A name so long that no temporary name beside it fits the file system's limit.
  const std::string name(250, 'b');
  Write(name, "old");
  JsonPropertyBag bag;
  bag.WriteProperty("k", S("v"), Value());
  EXPECT_EQ(ErrorOf([&] { bag.Save(Path(name)); }), kPathFileAccessError);
  EXPECT_EQ(Contents(Path(name)), "old");
  EXPECT_EQ(Names(), std::vector<std::string>{name});
}

TEST_F(JsonBagTest, SaveFailsOnMissingDirectoryDirectoryAndPipe) {
  JsonPropertyBag bag;
  EXPECT_EQ(ErrorOf([&] { bag.Save(Path("no/such/bag.json")); }), kFileNotFound);
  std::filesystem::create_directory(Path("dir"));
  EXPECT_EQ(ErrorOf([&] { bag.Save(Path("dir")); }), kPathFileAccessError);
  EXPECT_TRUE(std::filesystem::is_directory(Path("dir")));
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  EXPECT_EQ(ErrorOf([&] { bag.Save(Path("pipe")); }), kPathFileAccessError);
  EXPECT_TRUE(std::filesystem::is_fifo(Path("pipe")));
  EXPECT_EQ(Names(), (std::vector<std::string>{"dir", "pipe"}));
}

TEST_F(JsonBagTest, SaveIntoAReadOnlyDirectoryIsPermissionDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
  std::filesystem::create_directory(Path("ro"));
  ::chmod(Path("ro").c_str(), 0500);
  JsonPropertyBag bag;
  EXPECT_EQ(ErrorOf([&] { bag.Save(Path("ro/bag.json")); }), kPermissionDenied);
  ::chmod(Path("ro").c_str(), 0700);
}

}  // namespace
}  // namespace pellix
