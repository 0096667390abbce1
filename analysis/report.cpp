#include "analysis/report.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

#include <nlohmann/json.hpp>

#include "analysis/csv.h"
#include "analysis/profile_reading.h"
#include "analysis/report_keys.h"
#include "analysis/result_meanings.h"
#include "analysis/take_facts.h"
#include "platform/enum_table.h"

namespace pellix::analysis {
namespace {

using Json = nlohmann::ordered_json;

std::string Fixed(double value, int decimals) {
  char out[64];
  std::snprintf(out, sizeof out, "%.*f", decimals, value);
  return out;
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
std::string ShortMeasure(const PublishedFigure& figure) {
  const std::optional<double> value = figure.value();
  if (!value || std::floor(*value) == *value) return figure.caption();
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
      return Row(c->speaker, "calibrate", c->file, c->code.caption(), {"-", "-", "-"},
                 Measured(c->measures), CalibrationMeaningText(c->accepted())) +
             FactLines(c->facts);
    }
    if (const auto* c = std::get_if<CheckRecord>(&record)) {
      std::array<std::string, 3> stress{"-", "-", "-"};
      if (c->stress) {
        stress = {c->stress->lie.caption(), c->stress->global.caption(),
                  c->stress->excitement.caption()};
      }
      return Row(c->speaker, "check", c->file, c->code.caption(), stress, Measured(c->measures),
                 CodeMeaningText(c->code, true)) +
             FactLines(c->facts);
    }
    if (const auto* f = std::get_if<FailureRecord>(&record)) {
      return Row(f->speaker, RoleName(f->role), f->file, "", {"-", "-", "-"}, {"-", "-", "-", "-"},
                 "error " + std::to_string(f->error_number) + ": " + f->error_message);
    }
    return FormatProfile(std::get<ProfileRecord>(record));
  }

 private:
  static std::array<std::string, 4> Measured(const std::optional<Measures>& m) {
    if (!m) return {"-", "-", "-", "-"};
    return {ShortMeasure(m->thorn_rate), ShortMeasure(m->jump_rate), ShortMeasure(m->jump_spread),
            ShortMeasure(m->avg_jump_len)};
  }

  // Under a take's row: what was analysed and how the recording sounds, then each flag and a
  // refusal in words.
  std::string FactLines(const TakeFacts& f) const {
    const std::string indent(layout_.show_speaker ? layout_.speaker_width + 2 : 0, ' ');
    std::string what;
    if (f.stream_start_s && f.stream_end_s) {
      what += "at " + Fixed(*f.stream_start_s, 2) + "-" + Fixed(*f.stream_end_s, 2) +
              " s of the stream; ";
    }
    if (f.stretch_start_s && f.stretch_end_s) {
      what += "analysed " + Fixed(*f.stretch_start_s, 2) + "-" + Fixed(*f.stretch_end_s, 2) + " s";
      if (f.recording_s) what += " of " + Fixed(*f.recording_s, 2) + " s";
    } else if (f.recording_s) {
      what += "recording " + Fixed(*f.recording_s, 2) + " s";
    }
    auto add = [&what](const std::string& part) { what += (what.empty() ? "" : "; ") + part; };
    if (f.peak_dbfs) add("peak " + Decibels(*f.peak_dbfs));
    if (f.rms_dbfs) add("RMS " + Decibels(*f.rms_dbfs));
    if (f.clipped_source && f.clipped_8bit) {
      add("clipped " + Fixed(*f.clipped_source * 100, 1) + "% (8-bit " +
          Fixed(*f.clipped_8bit * 100, 1) + "%)");
    }
    if (f.pitch_hz) add("pitch " + Fixed(*f.pitch_hz, 0) + " Hz");
    if (f.voiced_share) add(Fixed(*f.voiced_share * 100, 0) + "% voiced");
    std::string out;
    if (!what.empty()) out += indent + "  " + what + "\n";
    for (const std::string& flag : f.flags) {
      out += indent + "  ! " + std::string(TakeFlagWords(flag)) + "\n";
    }
    if (!f.refusal.empty()) out += indent + "  refused: " + f.refusal + "\n";
    if (!f.advice.empty()) out += indent + "  try: " + f.advice + "\n";
    return out;
  }

  static std::string Decibels(double value) {
    return std::isfinite(value) ? Fixed(value, 1) + " dBFS" : std::string("-inf dBFS");
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

// --- json and csv ---------------------------------------------------------------------------

// The cells this file fills, by their keys in kReportKeys.
constexpr std::size_t kSpeaker = KeyIndex("speaker");
constexpr std::size_t kRole = KeyIndex("role");
constexpr std::size_t kFile = KeyIndex("file");
constexpr std::size_t kStreamStartS = KeyIndex("stream_start_s");
constexpr std::size_t kStreamEndS = KeyIndex("stream_end_s");
constexpr std::size_t kCode = KeyIndex("code");
constexpr std::size_t kMeaning = KeyIndex("meaning");
constexpr std::size_t kLieStress = KeyIndex("lie_stress");
constexpr std::size_t kGlobalStress = KeyIndex("global_stress");
constexpr std::size_t kExcitementStress = KeyIndex("excitement_stress");
constexpr std::size_t kThornRate = KeyIndex("thorn_rate");
constexpr std::size_t kJumpRate = KeyIndex("jump_rate");
constexpr std::size_t kJumpSpread = KeyIndex("jump_spread");
constexpr std::size_t kAvgJumpLen = KeyIndex("avg_jump_len");
constexpr std::size_t kCalThornRate = KeyIndex("cal_thorn_rate");
constexpr std::size_t kCalJumpRate = KeyIndex("cal_jump_rate");
constexpr std::size_t kCalJumpSpread = KeyIndex("cal_jump_spread");
constexpr std::size_t kCalAvgJumpLen = KeyIndex("cal_avg_jump_len");
constexpr std::size_t kRecordingS = KeyIndex("recording_s");
constexpr std::size_t kStretchStartS = KeyIndex("stretch_start_s");
constexpr std::size_t kStretchEndS = KeyIndex("stretch_end_s");
constexpr std::size_t kStretchS = KeyIndex("stretch_s");
constexpr std::size_t kPeakDbfs = KeyIndex("peak_dbfs");
constexpr std::size_t kRmsDbfs = KeyIndex("rms_dbfs");
constexpr std::size_t kClippedSource = KeyIndex("clipped_source");
constexpr std::size_t kClipped8bit = KeyIndex("clipped_8bit");
constexpr std::size_t kPitchHz = KeyIndex("pitch_hz");
constexpr std::size_t kVoicedShare = KeyIndex("voiced_share");
constexpr std::size_t kFlags = KeyIndex("flags");
constexpr std::size_t kRefusal = KeyIndex("refusal");
constexpr std::size_t kAdvice = KeyIndex("advice");
constexpr std::size_t kProfile = KeyIndex("profile");
constexpr std::size_t kProfileChecks = KeyIndex("profile_checks");
constexpr std::size_t kErrorNumber = KeyIndex("error_number");
constexpr std::size_t kErrorMessage = KeyIndex("error_message");
constexpr std::size_t kColumnCount = kReportKeys.size();

// One column of a record: the text csv writes, and for a column of numbers the number json
// writes, when the text is one.
struct Cell {
  Cell(std::string shown) : text(std::move(shown)) {}  // NOLINT(google-explicit-constructor)
  Cell(const char* shown) : text(shown) {}             // NOLINT(google-explicit-constructor)
  Cell(std::string shown, double value) : text(std::move(shown)), number(value) {}
  Cell(const PublishedFigure& f) : text(f.caption()), number(f.value()) {}  // NOLINT
  Cell(const PublishedCode& code) : text(code.caption()) {                  // NOLINT
    if (code.value()) number = *code.value();
  }
  Cell(int whole) : Cell(std::to_string(whole), whole) {}  // NOLINT

  std::string text;
  std::optional<double> number;
};

// One record as cells, nothing for a column that does not apply. Lists are their items joined
// by single blanks.
using Cells = std::array<std::optional<Cell>, kColumnCount>;

void PutFixed(Cells& cells, std::size_t column, const std::optional<double>& value, int decimals) {
  if (!value || !std::isfinite(*value)) return;
  // json writes the number the text shows, so that both reports carry the same digits.
  std::string text = Fixed(*value, decimals);
  double shown = 0;
  std::from_chars(text.data(), text.data() + text.size(), shown);
  cells[column] = Cell(std::move(text), shown);
}

void PutMeasures(Cells& cells, const std::optional<Measures>& m) {
  if (!m) return;
  cells[kThornRate] = m->thorn_rate;
  cells[kJumpRate] = m->jump_rate;
  cells[kJumpSpread] = m->jump_spread;
  cells[kAvgJumpLen] = m->avg_jump_len;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : " ") + item;
  return out;
}

void PutFacts(Cells& cells, const TakeFacts& f) {
  // To the microsecond: exact to the frame at any rate, so the utterance can be cut again.
  PutFixed(cells, kStreamStartS, f.stream_start_s, 6);
  PutFixed(cells, kStreamEndS, f.stream_end_s, 6);
  PutFixed(cells, kRecordingS, f.recording_s, 3);
  PutFixed(cells, kStretchStartS, f.stretch_start_s, 3);
  PutFixed(cells, kStretchEndS, f.stretch_end_s, 3);
  PutFixed(cells, kStretchS, f.stretch_s(), 3);
  PutFixed(cells, kPeakDbfs, f.peak_dbfs, 1);
  PutFixed(cells, kRmsDbfs, f.rms_dbfs, 1);
  PutFixed(cells, kClippedSource, f.clipped_source, 4);
  PutFixed(cells, kClipped8bit, f.clipped_8bit, 4);
  PutFixed(cells, kPitchHz, f.pitch_hz, 1);
  PutFixed(cells, kVoicedShare, f.voiced_share, 3);
  cells[kFlags] = Joined(f.flags);
  if (!f.refusal.empty()) cells[kRefusal] = f.refusal;
  if (!f.advice.empty()) cells[kAdvice] = f.advice;
}

Cells ToCells(const Record& record) {
  Cells cells;
  if (const auto* c = std::get_if<CalibrationRecord>(&record)) {
    cells[kSpeaker] = c->speaker;
    cells[kRole] = "calibrate";
    cells[kFile] = c->file;
    cells[kCode] = c->code;
    cells[kMeaning] = CalibrationMeaningText(c->accepted());
    PutMeasures(cells, c->measures);
    if (c->constants) {
      cells[kCalThornRate] = c->constants->thorn_rate;
      cells[kCalJumpRate] = c->constants->jump_rate;
      cells[kCalJumpSpread] = c->constants->jump_spread;
      cells[kCalAvgJumpLen] = c->constants->avg_jump_len;
    }
    PutFacts(cells, c->facts);
  } else if (const auto* k = std::get_if<CheckRecord>(&record)) {
    cells[kSpeaker] = k->speaker;
    cells[kRole] = "check";
    cells[kFile] = k->file;
    cells[kCode] = k->code;
    cells[kMeaning] = CodeMeaningText(k->code, false);
    if (k->stress) {
      cells[kLieStress] = k->stress->lie;
      cells[kGlobalStress] = k->stress->global;
      cells[kExcitementStress] = k->stress->excitement;
    }
    PutMeasures(cells, k->measures);
    PutFacts(cells, k->facts);
  } else if (const auto* p = std::get_if<ProfileRecord>(&record)) {
    cells[kSpeaker] = p->speaker;
    cells[kRole] = "profile";
    cells[kMeaning] = p->profile == "0"         ? std::string(kProfileUnavailable)
                      : ReadProfile(p->profile) ? std::string("the profile of the checks so far")
                                                : std::string("not a profile this report can read");
    cells[kProfile] = p->profile;
    cells[kProfileChecks] = p->checks;
  } else {
    const auto& f = std::get<FailureRecord>(record);
    cells[kSpeaker] = f.speaker;
    cells[kRole] = std::string(RoleName(f.role));
    if (!f.file.empty()) cells[kFile] = f.file;
    cells[kErrorNumber] = f.error_number;
    cells[kErrorMessage] = f.error_message;
  }
  return cells;
}

// A cell of numbers as a JSON number when it holds one (whole numbers without a fraction),
// else as its text.
Json Value(const Cell& cell) {
  const std::optional<double> value = cell.number;
  if (!value || !std::isfinite(*value)) return cell.text;
  if (std::floor(*value) == *value && std::fabs(*value) <= 9007199254740992.0) {
    return static_cast<std::int64_t>(*value);
  }
  return *value;
}

// Whether a report shows column `i`: the stream's columns only for live utterances, so that
// the reports of recordings keep their keys.
bool Shown(std::size_t i, const ReportLayout& layout) {
  return layout.stream_place || !kReportKeys[i].listen_only;
}

class JsonReport final : public Report {
 public:
  explicit JsonReport(const ReportLayout& layout) : layout_(layout) {}
  std::string Header() const override { return {}; }

  std::string Format(const Record& record) const override {
    const Cells cells = ToCells(record);
    Json object;
    for (std::size_t i = 0; i < kColumnCount; ++i) {
      if (!Shown(i, layout_)) continue;
      const ReportKey& column = kReportKeys[i];
      const std::optional<Cell>& cell = cells[i];
      std::string key(column.name);
      if (column.type == KeyType::kFlags) {
        object[key] = Json::array();
        if (const auto* c = std::get_if<CalibrationRecord>(&record)) object[key] = c->facts.flags;
        if (const auto* k = std::get_if<CheckRecord>(&record)) object[key] = k->facts.flags;
      } else if (!cell) {
        object[key] = nullptr;
      } else {
        object[key] = column.type == KeyType::kText ? Json(cell->text) : Value(*cell);
      }
    }
    if (const auto* p = std::get_if<ProfileRecord>(&record)) PutProfileReading(object, *p);
    return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
  }

 private:
  // The profile digit by digit and percentage by percentage, for a profile that can be read.
  static void PutProfileReading(Json& object, const ProfileRecord& p) {
    std::optional<ProfileReading> reading = ReadProfile(p.profile);
    if (!reading) return;
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

  ReportLayout layout_;
};

class CsvReport final : public Report {
 public:
  explicit CsvReport(const ReportLayout& layout) : layout_(layout) {}

  std::string Header() const override {
    std::string line;
    for (std::size_t i = 0; i < kColumnCount; ++i) {
      if (Shown(i, layout_)) line += (line.empty() ? "" : ",") + std::string(kReportKeys[i].name);
    }
    return line + "\n";
  }

  std::string Format(const Record& record) const override {
    const Cells cells = ToCells(record);
    std::string line;
    bool first = true;
    for (std::size_t i = 0; i < kColumnCount; ++i) {
      if (!Shown(i, layout_)) continue;
      if (!first) line += ',';
      first = false;
      if (cells[i]) line += CsvField(cells[i]->text);
    }
    return line + "\n";
  }

 private:
  ReportLayout layout_;
};

}  // namespace

std::optional<ReportFormat> ParseReportFormat(std::string_view name) {
  constexpr EnumEntry<ReportFormat, std::string_view> kNames[] = {
      {ReportFormat::kTable, "table"}, {ReportFormat::kJson, "json"}, {ReportFormat::kCsv, "csv"}};
  return KeyOf(kNames, name);
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

std::string CodeMeaningText(const PublishedCode& code, bool summary) {
  if (std::optional<Tarvo_alg1::ResultCodeValue> value = code.value()) {
    std::optional<CodeMeaning> meaning = ResultCodeMeaning(*value);
    return std::string(summary ? meaning->summary : meaning->description);
  }
  return "unknown code '" + code.caption() + "'";
}

std::string CalibrationMeaningText(bool accepted) {
  return accepted ? "accepted" : "rejected: " + std::string(kCalibrationRejected);
}

}  // namespace pellix::analysis
