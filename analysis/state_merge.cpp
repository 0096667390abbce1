#include "analysis/state_merge.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace pellix::analysis {
namespace {

constexpr std::array<std::string_view, 3> kDriftedKeys = {"CAL_spT", "CAL_spJ", "CAL_JQ"};

// The value `bag` holds under `key`; none when it has none, or one that cannot be read.
std::optional<Value> Held(JsonPropertyBag* bag, const std::string& key) {
  if (bag == nullptr) return std::nullopt;
  const std::vector<std::string> keys = bag->keys();
  if (std::find(keys.begin(), keys.end(), key) == keys.end()) return std::nullopt;
  try {
    return bag->ReadProperty(key, Value());
  } catch (const PlatformError&) {
    return std::nullopt;
  }
}

std::optional<Value> Held(const MemoryPropertyBag& bag, const std::string& key) {
  for (const auto& [name, value] : bag.entries()) {
    if (name == key) return value;
  }
  return std::nullopt;
}

// The drifted constants of `disk` with `drifts` replayed on them by the control's own Check
// arithmetic; none when the bag's values cannot be read or drifted.
std::optional<MemoryPropertyBag> Replayed(JsonPropertyBag& disk,
                                          const std::vector<CalibrationDrift>& drifts) {
  try {
    ALG_V1S replay;
    replay.ReadProperties(disk);
    for (const CalibrationDrift& d : drifts) {
      replay.DriftCalibration(d.thorn_rate, d.jump_rate, d.jump_spread);
    }
    MemoryPropertyBag out;
    replay.WriteProperties(out);
    return out;
  } catch (const PlatformError&) {
    return std::nullopt;
  }
}

}  // namespace

void MergeState(ALG_V1S& control, StateSync& since, JsonPropertyBag& disk) {
  MemoryPropertyBag ours;
  control.WriteProperties(ours);
  JsonPropertyBag* const then = since.file ? &*since.file : nullptr;
  const std::optional<MemoryPropertyBag> replayed =
      since.calibrated ? std::nullopt : Replayed(disk, since.drifts);
  for (const auto& [key, value] : ours.entries()) {
    const std::optional<Value> theirs = Held(&disk, key);
    Value merged = value;
    if (theirs && theirs != Held(then, key)) {
      const bool drifted =
          std::find(kDriftedKeys.begin(), kDriftedKeys.end(), key) != kDriftedKeys.end();
      if (drifted && replayed) {
        merged = *Held(*replayed, key);
      } else if (value == Held(since.control, key)) {
        continue;  // theirs stays
      }
    }
    disk.WriteProperty(key, merged, Value());
  }
}

}  // namespace pellix::analysis
