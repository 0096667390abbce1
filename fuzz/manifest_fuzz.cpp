// Fuzzes the CSV reading behind the batch manifest: arbitrary text through the manifest reader,
// and every record it holds written back and read again.
//
// Besides the sanitizers, it checks that a manifest is either refused with a ManifestError or
// read into speakers that each have at least one take, every take with a file; and that a
// record written as a CSV line reads back as the same fields, but for the apostrophe that
// keeps a field a spreadsheet would run as a formula as text.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/csv.h"
#include "analysis/manifest.h"
#include "fuzz/fuzz_support.h"

namespace {

using pellix::fuzzing::Fail;

constexpr const char* kTarget = "pellix_fuzz_manifest";

void ReadAsManifest(std::string_view text) {
  try {
    for (const auto& speaker : pellix::analysis::ParseManifest(text, "m.csv", "/manifests")) {
      if (speaker.calibrations.empty() && speaker.checks.empty()) {
        Fail(kTarget, "a speaker without takes");
      }
      for (const auto* takes : {&speaker.calibrations, &speaker.checks}) {
        for (const auto& take : *takes) {
          if (take.path.empty()) Fail(kTarget, "a take without a file");
        }
      }
    }
  } catch (const pellix::analysis::ManifestError&) {
  }
}

// Writes each record read from `text` as a CSV line and reads it back.
void WriteAndReadBack(std::string_view text) {
  try {
    pellix::analysis::CsvReader reader(text, "m.csv");
    while (auto record = reader.Next()) {
      const std::string line = pellix::analysis::CsvLine(record->fields);
      pellix::analysis::CsvReader again(line, "written");
      const auto back = again.Next();
      // A record of one empty field is written as an empty line, which holds no record.
      if (record->fields == std::vector<std::string>{""} && !back) continue;
      if (!back || again.Next() || back->fields.size() != record->fields.size()) {
        Fail(kTarget, "a record written and read back has other fields");
      }
      for (std::size_t i = 0; i < back->fields.size(); ++i) {
        const std::string& field = record->fields[i];
        if (back->fields[i] != field && back->fields[i] != "'" + field) {
          Fail(kTarget, "a field changed on the way back");
        }
      }
    }
  } catch (const pellix::analysis::CsvSyntaxError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ReadAsManifest(text);
  WriteAndReadBack(text);
  return 0;
}
