// Fuzzes Initalize on an arbitrary parameter string, then a Check of a fixed speech-like take.
//
// Initalize never fails: every step that cannot complete is skipped. Besides the sanitizers, it
// checks that, that the parameter cells hold number texts afterwards (each is the number text of
// its field, which Val then reads back to the same value), and that the Check afterwards only
// raises what a caller can meet.
#include <cstdint>
#include <string>
#include <vector>

#include "control/alg_v1s.h"
#include "fuzz/fuzz_support.h"
#include "platform/conversions.h"
#include "tests/support/memory_file_system.h"

namespace {

using pellix::fuzzing::ExpectErrors;
using pellix::fuzzing::Fail;

constexpr const char* kTarget = "pellix_fuzz_parameters";

// A take with loud bursts and pauses, long enough for Check: a rough vowel-like wave.
std::vector<std::uint8_t> Take() {
  std::vector<std::uint8_t> bytes(49, 0);
  for (int i = 0; i < 12000; ++i) {
    const int wave = (i * 37) % 61 - 30 + ((i / 7) % 3) * 4;
    const int loudness = (i / 2000) % 3 == 2 ? 1 : 3;
    bytes.push_back(static_cast<std::uint8_t>(128 + wave * loudness));
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static pellix::MemoryFileSystem& files = pellix::fuzzing::FilesHolding({{"take.smp", Take()}});

  pellix::ALG_V1S control(nullptr, files);
  control.InitProperties();
  const std::string parameters(reinterpret_cast<const char*>(data), size);
  control.put_DATAstr(parameters);
  if (ExpectErrors(kTarget, {}, [&] { control.Initalize(); }) != 0) Fail(kTarget, "Initalize");
  if (control.get_DATAstr() != parameters) Fail(kTarget, "Initalize changed DATAstr");
  pellix::Panel& p = control.panel();
  for (pellix::Label* cell :
       {&p.Filters[0], &p.Filters[1], &p.Filters[2], &p.Filters[3], &p.Filters[4], &p.BG_LEVEL}) {
    const std::string& text = cell->caption();
    if (pellix::NumberText(pellix::Val(text)) != text) Fail(kTarget, "not a number text");
  }
  if (pellix::NumberText(pellix::Val(control.get_Mode())) != control.get_Mode()) {
    Fail(kTarget, "Mode is not a number text");
  }

  control.put_DATAstr("take.smp");
  ExpectErrors(kTarget, {pellix::kOverflow, pellix::kSubscriptOutOfRange, pellix::kDivisionByZero},
               [&] {
                 control.Calibrate();
                 control.Check();
               });
  return 0;
}
