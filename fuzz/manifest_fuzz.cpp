// Fuzzes the batch manifest reader: arbitrary CSV text.
//
// Besides the sanitizers, it checks that a manifest is either refused with a ManifestError or
// read into speakers that each have a name and at least one take, every take with a file.
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "host/analysis/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr const char* kTarget = "pellix_fuzz_manifest";
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    for (const auto& speaker : pellix::analysis::ParseManifest(text, "m.csv", "/manifests")) {
      if (speaker.calibrations.empty() && speaker.checks.empty()) {
        pellix::fuzzing::Fail(kTarget, "a speaker without takes");
      }
      for (const auto* takes : {&speaker.calibrations, &speaker.checks}) {
        for (const auto& take : *takes) {
          if (take.path.empty()) pellix::fuzzing::Fail(kTarget, "a take without a file");
        }
      }
    }
  } catch (const pellix::analysis::ManifestError&) {
  }
  return 0;
}
