#include "host/analysis/report.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

#include <nlohmann/json.hpp>

#include "host/analysis/csv.h"
#include "host/analysis/profile_reading.h"
#include "host/analysis/result_meanings.h"
#include "platform/conversions.h"
#include "platform/error.h"

namespace pellix::analysis {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kAccepted = "accepted";

std::string Rejected() {
  return "rejected: " + std::string(kCalibrationRejected);
}

std::optional<double> Number(const std::string& text) {
  try {
    return StrictNumber(text);
  } catch (const PlatformError&) {
    return std::nullopt;
  }
}

// The code's meaning in a few words or in full; the code itself when it is none we know.
std::string CodeMeaningText(const std::string& code, bool summary) {
  if (std::optional<int> number = ResultCode(code)) {
    std::optional<CodeMeaning> meaning = ResultCodeMeaning(*number);
    return std::string(summary ? meaning->summary : meaning->description);
  }
  return "unknown code '" + code + "'";
}

std::string Pad(std::string_view text, std::size_t width) {
  std::string out(text);
  if (out.size() < width) out.append(width - out.size(), ' ');
  return out;
}

std::string PadLeft(std::string_view text, std::size_t width) {
  std::string out;
  if (text.size() < width) out.assign(width - text.size(), ' ');
  out += text;
  return out;
}

// --- table ---------------------------------------------------------------------------------

constexpr std::size_t kTakeWidth = 9;  // "calibrate"
constexpr std::size_t kCodeWidth = 4;
constexpr std::size_t kStressWidth = 4;
constexpr std::size_t kMeasureWidth = 8;

// A measure for people: whole numbers as they are, others to two decimals.
std::string ShortMeasure(const std::string& text) {
  std::optional<double> value = Number(text);
  if (!value || std::floor(*value) == *value) return text;
  char out[48];
  std::snprintf(out, sizeof out, "%.2f", *value);
  return out;
}

class TableReport final : public Report {
 public:
  explicit TableReport(const ReportLayout& layout) : layout_(layout) {
    if (layout_.show_speaker)
      layout_.speaker_width = std::max<std::size_t>(layout_.speaker_width, 7);
    layout_.file_width = std::max<std::size_t>(layout_.file_width, 4);
  }

  std::string Header() const override {
    return Row("speaker", "take", "file", "code", {"LIE", "GLB", "EXC"},
               {"SPT", "SPJ", "JQ", "AVJ"}, "result");
  }

  std::string Format(const Record& record) const override {
    if (const auto* c = std::get_if<CalibrationRecord>(&record)) {
      return Row(c->speaker, "calibrate", c->file, c->code, {"-", "-", "-"}, Measured(c->measures),
                 c->accepted() ? std::string(kAccepted) : Rejected());
    }
    if (const auto* c = std::get_if<CheckRecord>(&record)) {
      std::array<std::string, 3> stress{"-", "-", "-"};
      if (c->stress) stress = {c->stress->lie, c->stress->global, c->stress->excitement};
      return Row(c->speaker, "check", c->file, c->code, stress, Measured(c->measures),
                 CodeMeaningText(c->code, true));
    }
    return FormatProfile(std::get<ProfileRecord>(record));
  }

 private:
  static std::array<std::string, 4> Measured(const std::optional<Measures>& m) {
    if (!m) return {"-", "-", "-", "-"};
    return {ShortMeasure(m->thorn_rate), ShortMeasure(m->jump_rate), ShortMeasure(m->jump_spread),
            ShortMeasure(m->avg_jump_len)};
  }

  std::string Row(std::string_view speaker, std::string_view take, std::string_view file,
                  std::string_view code, const std::array<std::string, 3>& stress,
                  const std::array<std::string, 4>& measures, std::string_view result) const {
    std::string line;
    if (layout_.show_speaker) line += Pad(speaker, layout_.speaker_width) + "  ";
    line += Pad(take, kTakeWidth) + "  " + Pad(file, layout_.file_width) + " ";
    line += PadLeft(code, kCodeWidth) + " ";
    for (const std::string& s : stress) line += PadLeft(s, kStressWidth);
    for (const std::string& m : measures) line += PadLeft(m, kMeasureWidth);
    line += "  ";
    line += result;
    return line + "\n";
  }

  std::string FormatProfile(const ProfileRecord& p) const {
    std::string out = "\nProfile";
    if (layout_.show_speaker) out += " of " + p.speaker;
    out += " (" + std::to_string(p.checks) + (p.checks == 1 ? " check" : " checks") + "): ";
    out += p.profile + "\n";
    std::optional<ProfileReading> reading = ReadProfile(p.profile);
    if (!reading) {
      out += "  " +
             std::string(p.profile == "0" ? kProfileUnavailable
                                          : "not a profile this report can read") +
             "\n\n";
      return out;
    }
    for (int position = 1; position <= kProfileDigits; ++position) {
      const char digit = reading->digits[static_cast<std::size_t>(position - 1)];
      std::string line = "  " + std::to_string(position) + " = " + digit + "  " +
                         Pad(ProfileDigitTopic(position), 30) + " " +
                         std::string(ProfileDigitMeaning(position, digit));
      std::string shares;
      for (int i = 0; i < kProfilePercentages; ++i) {
        if (ProfilePercentageDigit(i) != position) continue;
        char value[8];
        std::snprintf(value, sizeof value, "%02d",
                      reading->percentages[static_cast<std::size_t>(i)]);
        shares += std::string(shares.empty() ? "" : ", ") +
                  std::string(ProfilePercentageMeaning(i).name) + " " + value + "%";
      }
      if (!shares.empty()) line += " [" + shares + "]";
      out += line + "\n";
    }
    return out + "\n";
  }

  ReportLayout layout_;
};

// --- json ----------------------------------------------------------------------------------

// A property's text as a JSON number when it is one (whole numbers without a fraction), else
// as the text.
Json Value(const std::string& text) {
  std::optional<double> value = Number(text);
  if (!value || !std::isfinite(*value)) return text;
  if (std::floor(*value) == *value && std::fabs(*value) <= 9007199254740992.0) {
    return static_cast<std::int64_t>(*value);
  }
  return *value;
}

void PutMeasures(Json& object, const std::optional<Measures>& m) {
  object["CR_spT"] = m ? Value(m->thorn_rate) : Json();
  object["CR_SPJ"] = m ? Value(m->jump_rate) : Json();
  object["CR_JQ"] = m ? Value(m->jump_spread) : Json();
  object["CR_avJ"] = m ? Value(m->avg_jump_len) : Json();
}

class JsonReport final : public Report {
 public:
  explicit JsonReport(const ReportLayout& layout) : show_speaker_(layout.show_speaker) {}

  std::string Header() const override { return {}; }

  std::string Format(const Record& record) const override {
    Json object;
    if (const auto* c = std::get_if<CalibrationRecord>(&record)) {
      FormatCalibration(object, *c);
    } else if (const auto* k = std::get_if<CheckRecord>(&record)) {
      FormatCheck(object, *k);
    } else {
      FormatProfile(object, std::get<ProfileRecord>(record));
    }
    return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
  }

 private:
  void Start(Json& object, const char* kind, const std::string& speaker) const {
    object["kind"] = kind;
    if (show_speaker_) object["speaker"] = speaker;
  }

  void FormatCalibration(Json& object, const CalibrationRecord& c) const {
    Start(object, "calibration", c.speaker);
    object["file"] = c.file;
    object["code"] = Value(c.code);
    object["accepted"] = c.accepted();
    object["result"] = c.accepted() ? std::string(kAccepted) : Rejected();
    PutMeasures(object, c.measures);
    const std::optional<Constants>& k = c.constants;
    object["CAL_spT"] = k ? Value(k->thorn_rate) : Json();
    object["CAL_spJ"] = k ? Value(k->jump_rate) : Json();
    object["CAL_JQ"] = k ? Value(k->jump_spread) : Json();
    object["CAL_AVJ"] = k ? Value(k->avg_jump_len) : Json();
  }

  void FormatCheck(Json& object, const CheckRecord& c) const {
    Start(object, "check", c.speaker);
    object["file"] = c.file;
    object["code"] = Value(c.code);
    object["meaning"] = CodeMeaningText(c.code, false);
    object["LIEstress"] = c.stress ? Value(c.stress->lie) : Json();
    object["GLBstress"] = c.stress ? Value(c.stress->global) : Json();
    object["EXCstress"] = c.stress ? Value(c.stress->excitement) : Json();
    PutMeasures(object, c.measures);
  }

  void FormatProfile(Json& object, const ProfileRecord& p) const {
    Start(object, "profile", p.speaker);
    object["profile"] = p.profile;
    object["checks"] = p.checks;
    std::optional<ProfileReading> reading = ReadProfile(p.profile);
    object["available"] = reading.has_value();
    if (!reading) {
      object["meaning"] = p.profile == "0" ? std::string(kProfileUnavailable)
                                           : "not a profile this report can read";
      return;
    }
    Json digits = Json::array();
    for (int position = 1; position <= kProfileDigits; ++position) {
      const char digit = reading->digits[static_cast<std::size_t>(position - 1)];
      digits.push_back({{"position", position},
                        {"topic", ProfileDigitTopic(position)},
                        {"digit", std::string(1, digit)},
                        {"meaning", ProfileDigitMeaning(position, digit)}});
    }
    Json percentages = Json::array();
    for (int i = 0; i < kProfilePercentages; ++i) {
      const PercentageMeaning meaning = ProfilePercentageMeaning(i);
      percentages.push_back({{"name", meaning.name},
                             {"percent", reading->percentages[static_cast<std::size_t>(i)]},
                             {"meaning", meaning.description}});
    }
    object["digits"] = std::move(digits);
    object["percentages"] = std::move(percentages);
  }

  bool show_speaker_;
};

// --- csv -----------------------------------------------------------------------------------

class CsvReport final : public Report {
 public:
  explicit CsvReport(const ReportLayout& layout) : show_speaker_(layout.show_speaker) {}

  std::string Header() const override {
    return Line("speaker", {"kind", "file", "code", "meaning", "LIEstress", "GLBstress",
                            "EXCstress", "CR_spT", "CR_SPJ", "CR_JQ", "CR_avJ"});
  }

  std::string Format(const Record& record) const override {
    if (const auto* c = std::get_if<CalibrationRecord>(&record)) {
      const Measures m = c->measures.value_or(Measures{});
      return Line(c->speaker, {"calibration", c->file, c->code,
                               c->accepted() ? std::string(kAccepted) : Rejected(), "", "", "",
                               m.thorn_rate, m.jump_rate, m.jump_spread, m.avg_jump_len});
    }
    if (const auto* c = std::get_if<CheckRecord>(&record)) {
      const Measures m = c->measures.value_or(Measures{});
      const StressLevels s = c->stress.value_or(StressLevels{});
      return Line(c->speaker,
                  {"check", c->file, c->code, CodeMeaningText(c->code, false), s.lie, s.global,
                   s.excitement, m.thorn_rate, m.jump_rate, m.jump_spread, m.avg_jump_len});
    }
    return {};  // profiles are not part of csv output
  }

 private:
  std::string Line(std::string_view speaker, std::initializer_list<std::string> fields) const {
    std::vector<std::string> line;
    if (show_speaker_) line.emplace_back(speaker);
    line.insert(line.end(), fields.begin(), fields.end());
    return CsvLine(line);
  }

  bool show_speaker_;
};

}  // namespace

std::optional<ReportFormat> ParseReportFormat(std::string_view name) {
  if (name == "table") return ReportFormat::kTable;
  if (name == "json") return ReportFormat::kJson;
  if (name == "csv") return ReportFormat::kCsv;
  return std::nullopt;
}

std::unique_ptr<Report> MakeReport(ReportFormat format, const ReportLayout& layout) {
  switch (format) {
    case ReportFormat::kTable:
      return std::make_unique<TableReport>(layout);
    case ReportFormat::kJson:
      return std::make_unique<JsonReport>(layout);
    case ReportFormat::kCsv:
      return std::make_unique<CsvReport>(layout);
  }
  return nullptr;
}

std::optional<int> ResultCode(std::string_view code) {
  int value = 0;
  const char* end = code.data() + code.size();
  auto [ptr, ec] = std::from_chars(code.data(), end, value);
  if (ec != std::errc() || ptr != end || !ResultCodeMeaning(value)) return std::nullopt;
  return value;
}

}  // namespace pellix::analysis
