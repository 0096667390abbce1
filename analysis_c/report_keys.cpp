// PellixReportKeys: the report's key table (analysis/report_keys.h) in C, so that a host reads
// the keys and their types from the library that writes the rows instead of keeping a copy.
#include <array>

#include "PellixAnalysis.h"
#include "analysis/report_keys.h"

namespace {

using pellix::analysis::KeyType;
using pellix::analysis::kReportKeys;

constexpr std::int32_t CType(KeyType type) {
  switch (type) {
    case KeyType::kText:
      return PELLIX_KEY_TEXT;
    case KeyType::kWhole:
      return PELLIX_KEY_WHOLE;
    case KeyType::kReal:
      return PELLIX_KEY_REAL;
    case KeyType::kFlags:
      return PELLIX_KEY_FLAGS;
  }
  return PELLIX_KEY_TEXT;
}

// The table's texts are literals, so their views end in a NUL and serve as C texts.
constexpr std::array<PellixReportKey, kReportKeys.size()> CKeys() {
  std::array<PellixReportKey, kReportKeys.size()> keys{};
  for (std::size_t i = 0; i < kReportKeys.size(); ++i) {
    const auto& key = kReportKeys[i];
    keys[i] = {key.name.data(),      CType(key.type),         key.control_text ? 1 : 0,
               key.nullable ? 1 : 0, key.listen_only ? 1 : 0, key.description.data()};
  }
  return keys;
}

constexpr std::array<PellixReportKey, kReportKeys.size()> kCKeys = CKeys();

}  // namespace

PELLIX_ANALYSIS_API const PellixReportKey* PellixReportKeys(size_t* count) {
  if (count != nullptr) *count = kCKeys.size();
  return kCKeys.data();
}
