#include "analysis/parameter_string.h"

#include <cmath>
#include <cstdio>

#include "control/alg_v1s.h"
#include "engine/limits.h"
#include "platform/conversions.h"
#include "platform/error.h"
#include "platform/text.h"

namespace pellix::analysis {
namespace {

// The scan's jump lengths must average kLowestMeanJump to kHighestMeanJump, or the take counts
// as silent.
constexpr double kLowestMeanJump = Tarvo_alg1::limits::kMinAvgJumpLen;
constexpr double kHighestMeanJump = Tarvo_alg1::limits::kMaxAvgJumpLen;
constexpr double kHistogramBins = Tarvo_alg1::limits::kLongestJump;
// The loudest level a sample reaches: raw - 127 in the gain pass (raw up to 255); with a given
// gain, (raw - 128) x gain / 3 rounded down, raw from 1 to 255.
constexpr double kGainPassLevel = 128;
constexpr double kLargestOffset = 127;

double Number(const std::string& text) {
  try {
    return Val(text);
  } catch (const PlatformError&) {
    return 0;
  }
}

std::string Shown(double value) {
  char text[48];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::vector<std::string> Warnings(double min_jump, double max_jump, double border, double gain) {
  std::vector<std::string> out;
  if (min_jump > max_jump) {
    out.push_back("the shortest jump (" + Shown(min_jump) + ") is longer than the longest (" +
                  Shown(max_jump) + "): no jump is ever counted, so every take is refused");
  } else if (max_jump < kLowestMeanJump) {
    out.push_back("the longest jump is " + Shown(max_jump) + ": jumps average under " +
                  Shown(kLowestMeanJump) + " positions, so every take is refused as silent");
  } else if (min_jump > kHighestMeanJump) {
    out.push_back("the shortest jump is " + Shown(min_jump) + ": jumps average over " +
                  Shown(kHighestMeanJump) + " positions, so every take is refused as silent");
  }
  if (max_jump > kHistogramBins) {
    out.push_back("the longest jump is " + Shown(max_jump) + ": a flat run longer than " +
                  Shown(kHistogramBins) + " positions makes the scan fail with error 9");
  }
  if (min_jump < 1 && max_jump >= 0) {
    out.push_back("the shortest jump is " + Shown(min_jump) +
                  ": two uneven positions in a row count as a jump of length 0");
  }
  const double loudest =
      gain == 0 ? kGainPassLevel : std::floor(kLargestOffset * std::fabs(gain) / 3);
  if (border >= loudest) {
    out.push_back("the background border is " + Shown(border) + ": no sample can be louder than " +
                  Shown(loudest) + ", so every take is refused");
  } else if (border < 0) {
    out.push_back("the background border is " + Shown(border) +
                  ": every sample counts as loud, so the take starts at once, silence included");
  }
  if (gain < 0) {
    out.push_back("the volume is " + Shown(gain) + ": a negative gain turns the waveform over");
  }
  return out;
}

// What Initalize put where `field` goes.
std::string FieldValue(ALG_V1S& control, const ParameterField& field) {
  switch (field.kind) {
    case FieldTarget::kCell:
      return field.cell(control.panel()).caption();
    case FieldTarget::kDensityLevel:
      return std::to_string(control.get_DensityLevel());
    case FieldTarget::kMode:
      return control.get_Mode();
  }
  return {};
}

}  // namespace

std::string ParameterLayout() {
  std::string out = "  positions 1-3    not read by the control\n";
  for (const ParameterField& f : kParameterFields) {
    char positions[16];
    if (f.length == 1) {
      std::snprintf(positions, sizeof positions, "%zu", f.position);
    } else {
      std::snprintf(positions, sizeof positions, "%zu-%zu", f.position, f.position + f.length - 1);
    }
    char line[160];
    std::snprintf(line, sizeof line, "  positions %-6s %-18s ", positions,
                  std::string(f.name).c_str());
    out += line + std::string(f.meaning) + "\n";
  }
  out += "  positions 19-    not read by the control\n";
  out += "Each field is read as a number (\"05\" is 5; blanks, letters or nothing give 0).\n";
  return out;
}

ParameterReading ReadParameters(const std::string& parameters) {
  ALG_V1S control;
  control.InitProperties();
  control.put_DATAstr(parameters);
  control.Initalize();
  std::array<std::string, kParameterFields.size()> values;
  for (std::size_t i = 0; i < kParameterFields.size(); ++i) {
    values[i] = FieldValue(control, kParameterFields[i]);
  }

  ParameterReading reading;
  const std::string text = SanitizeUtf8(parameters);
  reading.head = MidText(text, 1, kParameterHeadLength);
  reading.tail = MidText(text, kParameterTailStart, text.size());
  for (std::size_t i = 0; i < kParameterFields.size(); ++i) {
    const ParameterField& f = kParameterFields[i];
    reading.fields.push_back({&f, MidText(text, f.position, f.length), values[i]});
  }
  reading.warnings = Warnings(
      Number(values[FieldNamed("shortest jump")]), Number(values[FieldNamed("longest jump")]),
      Number(values[FieldNamed("background border")]), Number(values[FieldNamed("volume")]));
  return reading;
}

}  // namespace pellix::analysis
