// Fuzzes the property bag: arbitrary bag files through ReadProperties, WriteProperties and
// ReadProperties again.
//
// The bytes are the bag file. Whatever the first load took in, saving it and loading the save
// must give the same control again, and saving that must give the same file: a host that saves
// and reloads loses nothing.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "control/alg_v1s.h"
#include "files/json_property_bag.h"
#include "fuzz/fuzz_support.h"
#include "tests/control_snapshot.h"

namespace {

using pellix::fuzzing::ExpectErrors;
using pellix::fuzzing::Fail;

constexpr const char* kTarget = "pellix_fuzz_property_bag";

// The bag file lives in memory: a regular file, as the bag loader demands, that is never on
// disk.
class MemoryBagFile {
 public:
  MemoryBagFile() : fd_(memfd_create("bag.json", 0)) {
    if (fd_ < 0) Fail(kTarget, "memfd_create");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  void Write(const std::uint8_t* data, std::size_t size) {
    if (ftruncate(fd_, 0) != 0) Fail(kTarget, "ftruncate");
    if (size > 0 && pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size)) {
      Fail(kTarget, "pwrite");
    }
  }
  const std::string& path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

// The cells that ReadProperties fills but WriteProperties never saves.
constexpr std::initializer_list<std::string_view> kNeverSaved = {"BG_LEVEL", "LBL_LIE", "LBL_GLB",
                                                                 "LBL_EXC", "LBL_MSG"};

// What a save and a reload must keep. A JSON bag holds numbers without their variant subtype,
// so a CR_SFLC that held a 16-bit integer (its default) comes back as the same number in a
// double.
pellix::testing::ControlSnapshot Comparable(pellix::ALG_V1S& control) {
  pellix::testing::ControlSnapshot s = pellix::testing::Snapshot(control).With(kNeverSaved, "0");
  if (s.CR_SFLC.is_number()) s.CR_SFLC = pellix::Value::Double(s.CR_SFLC.number());
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static auto* file = new MemoryBagFile;
  file->Write(data, size);
  pellix::JsonPropertyBag bag;
  if (ExpectErrors(kTarget, {pellix::kInvalidFileFormat},
                   [&] { bag = pellix::JsonPropertyBag::Load(file->path()); }) != 0) {
    return 0;
  }

  pellix::ALG_V1S first;
  const bool stopped = ExpectErrors(kTarget, {pellix::kOverflow, pellix::kTypeMismatch},
                                    [&] { first.ReadProperties(bag); }) != 0;
  pellix::JsonPropertyBag saved;
  first.WriteProperties(saved);

  pellix::ALG_V1S second;
  second.ReadProperties(saved);
  pellix::JsonPropertyBag saved_again;
  second.WriteProperties(saved_again);

  if (saved.Text() != saved_again.Text()) Fail(kTarget, "the second save differs from the first");
  // A load that stopped part-way leaves "BGfilter", "Volume" and "Mode" loaded into one of
  // their two places only, and the save writes each from both: the reload then holds one
  // value in both places. From there on, load and save are a fixed point.
  pellix::ALG_V1S third;
  if (stopped) third.ReadProperties(saved_again);
  if (Comparable(stopped ? second : first) != Comparable(stopped ? third : second)) {
    Fail(kTarget, "the reloaded control differs from the first load");
  }
  return 0;
}
