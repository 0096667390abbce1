// A property bag whose reads or writes fail, at each key in turn.
//
// A load or a save that meets a failing bag call stops there with the bag's error: what came
// before it stays loaded (or saved), nothing after it happens, and the control itself is
// unchanged by a failed save. The key order and what each key carries are the persistence
// rules, written out here as tables.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "control/alg_v1s.h"
#include "control_snapshot.h"
#include "error_of.h"
#include "platform/error.h"
#include "platform/property_bag.h"

namespace pellix::testing {
namespace {

// The error the failing bag call raises.
constexpr int kBagError = kPathFileAccessError;

// A last-value bag whose call number `fail_at` (0-based, reads and writes counted apart) fails.
class FailingBag final : public MemoryPropertyBag {
 public:
  explicit FailingBag(std::size_t fail_at) : fail_at_(fail_at) {}
  Value ReadProperty(std::string_view name, const Value& default_value) override {
    if (reads_++ == fail_at_) RaiseError(kBagError);
    return MemoryPropertyBag::ReadProperty(name, default_value);
  }
  void WriteProperty(std::string_view name, const Value& value,
                     const Value& default_value) override {
    if (writes_++ == fail_at_) RaiseError(kBagError);
    MemoryPropertyBag::WriteProperty(name, value, default_value);
  }

 private:
  std::size_t fail_at_;
  std::size_t reads_ = 0;
  std::size_t writes_ = 0;
};

// One key of a load: its name, the value the bag holds, and what loading it changes.
struct LoadedKey {
  const char* key;
  Value stored;
  std::function<void(ControlSnapshot&)> load;
};

std::function<void(ControlSnapshot&)> IntoCell(const char* cell, const char* text) {
  return [=](ControlSnapshot& s) { s.captions[CellIndex(cell)] = text; };
}

// Every key as the load reads it, in its order; "BGfilter", "Volume" and "Mode" are read twice.
std::vector<LoadedKey> LoadOrder() {
  auto text = [](const char* t) { return Value::String(t); };
  return {
      {"BackColor", Value::Double(255), [](ControlSnapshot& s) { s.BackColor = 255; }},
      {"AutoRedraw", Value::Boolean(true), [](ControlSnapshot& s) { s.AutoRedraw = true; }},
      {"BackStyle", Value::Double(0), [](ControlSnapshot& s) { s.BackStyle = 0; }},
      {"BorderStyle", Value::Double(1), [](ControlSnapshot& s) { s.BorderStyle = 1; }},
      {"DATAstr", text("take.smp"), [](ControlSnapshot& s) { s.DATAstr = "take.smp"; }},
      {"DensityLevel", Value::Double(2.5), [](ControlSnapshot& s) { s.DensityLevel = 2; }},
      {"Person", Value::Double(3.5), [](ControlSnapshot& s) { s.Person = 4; }},
      {"CAL_SFLC", text("7"), [](ControlSnapshot& s) { s.CAL_SFLC = 7; }},
      {"CR_SFLC", text("x"), [](ControlSnapshot& s) { s.CR_SFLC = Value::String("x"); }},
      {"BGfilter", text("11"), IntoCell("Filters(0)", "11")},
      {"BGbord", text("12"), IntoCell("BG_LEVEL", "12")},
      {"Volume", text("13"), IntoCell("Filters(1)", "13")},
      {"ADDvolume", text("14"), IntoCell("Filters(2)", "14")},
      {"CAL_spT", text("15"), IntoCell("SPT(7)", "15")},
      {"CAL_spJ", text("16"), IntoCell("SPJ(7)", "16")},
      {"CAL_JQ", text("17"), IntoCell("JQ(7)", "17")},
      {"CR_SPJ", text("18"), IntoCell("SPJ(8)", "18")},
      {"CR_spT", text("19"), IntoCell("SPT(8)", "19")},
      {"LIEstress", text("20"), IntoCell("LBL_LIE", "20")},
      {"GLBstress", text("21"), IntoCell("LBL_GLB", "21")},
      {"EXCstress", text("22"), IntoCell("LBL_EXC", "22")},
      {"CAL_AVJ", text("23"), IntoCell("AVJ(7)", "23")},
      {"CR_avJ", text("24"), IntoCell("AVJ(8)", "24")},
      {"CR_JQ", text("25"), IntoCell("JQ(8)", "25")},
      {"CR_MSGX", text("26"), IntoCell("LBL_MSG", "26")},
      {"Mode", text("27"), IntoCell("Filters(5)", "27")},
      {"Volume", text("13"), [](ControlSnapshot& s) { s.Volume = "13"; }},
      {"MSGstring", text("28"), [](ControlSnapshot& s) { s.MSGstring = "28"; }},
      {"Mode", text("27"), [](ControlSnapshot& s) { s.Mode = "27"; }},
      {"BGfilter", text("11"), IntoCell("Filters(3)", "11")},
  };
}

TEST(FailingBagTest, ALoadStopsAtTheFailingReadWithEverythingBeforeItLoaded) {
  const std::vector<LoadedKey> order = LoadOrder();
  for (std::size_t fail_at = 0; fail_at <= order.size(); ++fail_at) {
    SCOPED_TRACE(fail_at < order.size() ? order[fail_at].key : "no failure");
    FailingBag bag(fail_at);
    for (const LoadedKey& k : order) bag.MemoryPropertyBag::WriteProperty(k.key, k.stored, Value());
    ALG_V1S control;  // created for loading: the language's defaults
    ControlSnapshot expected = Snapshot(control);
    for (std::size_t i = 0; i < fail_at && i < order.size(); ++i) order[i].load(expected);
    EXPECT_EQ(ErrorOf([&] { control.ReadProperties(bag); }),
              fail_at < order.size() ? kBagError : 0);
    EXPECT_EQ(Snapshot(control), expected);
  }
}

// The keys of a save, in order, with the values of the control set up below.
std::vector<std::pair<std::string, Value>> SaveOrder() {
  auto text = [](const char* t) { return Value::String(t); };
  return {
      {"BackColor", Value::Double(2147483663.0)},
      {"AutoRedraw", Value::Boolean(false)},
      {"BackStyle", Value::Integer(1)},
      {"BorderStyle", Value::Integer(0)},
      {"DATAstr", text("take.smp")},
      {"DensityLevel", Value::Integer(0)},
      {"Person", Value::Integer(5)},
      {"CAL_SFLC", Value::Integer(0)},
      {"CR_SFLC", Value::Integer(0)},
      {"Mode", text("M5")},
      {"CAL_AVJ", text("A7")},
      {"CR_avJ", text("A8")},
      {"BGfilter", text("F0")},
      {"Volume", text("F1")},
      {"ADDvolume", text("F2")},
      {"CAL_spT", text("T7")},
      {"CAL_spJ", text("J7")},
      {"CAL_JQ", text("Q7")},
      {"CR_SPJ", text("J8")},
      {"CR_spT", text("T8")},
      {"CR_JQ", text("Q8")},
      {"Volume", text("0")},
      {"MSGstring", text("\"")},
      {"Mode", text("0")},
      {"BGfilter", text("F3")},
  };
}

TEST(FailingBagTest, ASaveStopsAtTheFailingWriteWithEverythingBeforeItWritten) {
  const auto order = SaveOrder();
  for (std::size_t fail_at = 0; fail_at <= order.size(); ++fail_at) {
    SCOPED_TRACE(fail_at < order.size() ? order[fail_at].first : "no failure");
    ALG_V1S control;
    control.InitProperties();
    control.put_DATAstr("take.smp");
    control.put_Person(5);
    Panel& p = control.panel();
    const std::pair<Label*, const char*> cells[] = {
        {&p.Filters[5], "M5"}, {&p.AVJ[7], "A7"},     {&p.AVJ[8], "A8"}, {&p.Filters[0], "F0"},
        {&p.Filters[1], "F1"}, {&p.Filters[2], "F2"}, {&p.SPT[7], "T7"}, {&p.SPJ[7], "J7"},
        {&p.JQ[7], "Q7"},      {&p.SPJ[8], "J8"},     {&p.SPT[8], "T8"}, {&p.JQ[8], "Q8"},
        {&p.Filters[3], "F3"}};
    for (auto [label, text] : cells) label->set_caption(text);
    const ControlSnapshot before = Snapshot(control);

    FailingBag bag(fail_at);
    EXPECT_EQ(ErrorOf([&] { control.WriteProperties(bag); }),
              fail_at < order.size() ? kBagError : 0);
    MemoryPropertyBag expected;
    for (std::size_t i = 0; i < fail_at && i < order.size(); ++i) {
      expected.WriteProperty(order[i].first, order[i].second, Value());
    }
    EXPECT_EQ(bag.write_log(), expected.write_log());
    EXPECT_EQ(bag.entries(), expected.entries());
    EXPECT_EQ(Snapshot(control), before);
  }
}

}  // namespace
}  // namespace pellix::testing
