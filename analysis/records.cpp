#include "analysis/records.h"

#include <charconv>

#include "platform/conversions.h"
#include "platform/enum_table.h"
#include "platform/error.h"

namespace pellix::analysis {

PublishedCode::PublishedCode(std::string caption) : caption_(std::move(caption)) {
  int value = 0;
  const char* end = caption_.data() + caption_.size();
  auto [ptr, ec] = std::from_chars(caption_.data(), end, value);
  if (ec == std::errc() && ptr == end && value >= Tarvo_alg1::kNotInitialised &&
      value <= Tarvo_alg1::kTrauma) {
    value_ = static_cast<Tarvo_alg1::ResultCodeValue>(value);
  }
}

PublishedFigure::PublishedFigure(std::string caption) : caption_(std::move(caption)) {
  try {
    value_ = StrictNumber(caption_);
  } catch (const PlatformError&) {
    // Type mismatch for a text that is no number, overflow for one beyond a double: either
    // way the caption stands alone.
  }
}

std::string_view RoleName(FailureRole role) {
  constexpr EnumEntry<FailureRole, std::string_view> kNames[] = {
      {FailureRole::kCalibrate, "calibrate"},
      {FailureRole::kCheck, "check"},
      {FailureRole::kProfile, "profile"},
      {FailureRole::kState, "state"},
      {FailureRole::kPlot, "plot"}};
  return MeaningOf(kNames, role);
}

void TakeTally::Add(const Record& record) {
  if (const auto* c = std::get_if<CalibrationRecord>(&record)) {
    ++calibrations;
    if (c->refused()) {
      ++rejected;
      ++refused;
    }
  } else if (const auto* k = std::get_if<CheckRecord>(&record)) {
    ++checks;
    if (k->refused()) ++refused;
  } else if (const auto* f = std::get_if<FailureRecord>(&record)) {
    if (f->take()) ++failed;
  }
}

}  // namespace pellix::analysis
