// Reports of an analysis run in three formats:
//   table  for people: one line per take, then each profile digit in words;
//   json   JSON lines, one object per calibration, check and profile, with a "kind" key;
//   csv    one header line, then one row per calibration and check (no profiles).
// Values are the control's own texts; json writes the numeric ones as numbers.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/records.h"

namespace pellix::analysis {

enum class ReportFormat { kTable, kJson, kCsv };

// "table", "json" or "csv"; nothing for any other name.
std::optional<ReportFormat> ParseReportFormat(std::string_view name);

// What a report needs to know before the first record.
struct ReportLayout {
  bool show_speaker = false;      // batch mode: a speaker column or key
  std::size_t speaker_width = 0;  // the longest speaker name (table)
  std::size_t file_width = 0;     // the longest file name (table)
  // Live utterances: each take's place in the stream (stream_start_s, stream_end_s after file).
  bool stream_place = false;
};

class Report {
 public:
  virtual ~Report() = default;
  // Printed once before the first record (a table's or csv's header line); may be empty.
  virtual std::string Header() const = 0;
  // One record, with its final line feed.
  virtual std::string Format(const Record& record) const = 0;
};

std::unique_ptr<Report> MakeReport(ReportFormat format, const ReportLayout& layout);

// The code's meaning in a few words (`summary`) or in full; "unknown code '...'" otherwise.
std::string CodeMeaningText(const PublishedCode& code, bool summary);

// A calibration's meaning: "accepted", or "rejected: " and why Calibrate refuses a take.
std::string CalibrationMeaningText(bool accepted);

}  // namespace pellix::analysis
