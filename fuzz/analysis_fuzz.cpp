// Fuzzes Calibrate and Check: arbitrary sample-file bytes under arbitrary panel settings.
//
// Input, read front to back: whether Initalize runs first, up to 16 panel cells with a caption
// each (a whole number, a fraction or an arbitrary text), up to 8 calls (Calibrate or Check),
// then the sample file's bytes. Besides the sanitizers, it checks that only the errors a caller
// can meet come out, that every check leaves a result code a host can read, and that the
// history index stays inside the table.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "control/alg_v1s.h"
#include "control/panel.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/memory_file_system.h"

namespace {

using pellix::fuzzing::ExpectErrors;
using pellix::fuzzing::Fail;

constexpr const char* kTarget = "pellix_fuzz_analysis";

// Errors the analysis can raise on a caption that is not a number (13), one that overflows
// (6), a run past the jump histogram (9) or a gain of 360/0 (11).
constexpr std::initializer_list<int> kAnalysisErrors = {
    pellix::kOverflow, pellix::kSubscriptOutOfRange, pellix::kDivisionByZero,
    pellix::kTypeMismatch};

std::vector<pellix::Label*> ValueCells(pellix::Panel& panel) {
  std::vector<pellix::Label*> cells;
  for (const pellix::PanelEntry& entry : pellix::PanelLayout()) {
    if (entry.value_cell) cells.push_back(&entry.label(panel));
  }
  return cells;
}

std::string Caption(FuzzedDataProvider& in) {
  char text[40];
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
      std::snprintf(text, sizeof text, "%d", in.ConsumeIntegralInRange(-200, 400));
      return text;
    case 1:
      std::snprintf(text, sizeof text, "%.17g", in.ConsumeFloatingPoint<double>());
      return text;
    default:
      return in.ConsumeRandomLengthString(24);
  }
}

bool IsResultCode(const std::string& text) {
  if (text.empty()) return true;  // a check before any code was ever set
  static const char* const kCodes[] = {"-2", "-1", "0", "1", "2", "3",
                                       "4",  "5",  "6", "7", "8", "9"};
  return std::ranges::find(kCodes, text) != std::end(kCodes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  static auto* files = new pellix::MemoryFileSystem;
  pellix::ALG_V1S control(nullptr, *files);
  control.InitProperties();
  if (in.ConsumeBool()) {
    control.put_DATAstr("000023000005000000");
    control.Initalize();
  }
  const std::vector<pellix::Label*> cells = ValueCells(control.panel());
  const int settings = in.ConsumeIntegralInRange(0, 16);
  for (int i = 0; i < settings; ++i) {
    pellix::Label* cell = cells[in.ConsumeIntegralInRange<std::size_t>(0, cells.size() - 1)];
    cell->set_caption(Caption(in));
  }
  const int calls = in.ConsumeIntegralInRange(1, 8);
  std::vector<bool> is_check;
  for (int i = 0; i < calls; ++i) is_check.push_back(in.ConsumeBool());

  files->Add("take.smp", in.ConsumeRemainingBytes<std::uint8_t>());
  control.put_DATAstr("take.smp");

  for (bool check : is_check) {
    if (check) {
      const int error = ExpectErrors(kTarget, kAnalysisErrors, [&] { control.Check(); });
      if (error == 0 && !IsResultCode(control.get<"CR_msgX">())) Fail(kTarget, "no result code");
    } else {
      const int error = ExpectErrors(kTarget, kAnalysisErrors, [&] { control.Calibrate(); });
      const std::string msg = control.get<"CR_msgX">();
      if (error == 0 && msg != "0" && msg != "-1") Fail(kTarget, "calibration outcome");
    }
    if (control.profile_count() < 0 || control.profile_count() > pellix::kLastProfileRow) {
      Fail(kTarget, "history index outside the table");
    }
  }
  return 0;
}
