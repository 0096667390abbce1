#include "analysis/resume.h"

#include <optional>
#include <unordered_map>
#include <utility>

#include <nlohmann/json.hpp>

#include "analysis/csv.h"
#include "platform/excerpt.h"

namespace pellix::analysis {
namespace {

using Json = nlohmann::json;

// A row of the report: where it starts in the text, its line and the speaker it names.
struct Row {
  std::size_t offset = 0;
  int line = 0;
  std::string speaker;
};

// The rows of csv `text`, checked against the report's own header.
std::vector<Row> CsvRows(std::string_view text, const std::string& source) {
  const std::string header = MakeReport(ReportFormat::kCsv, {})->Header();
  auto refuse = [&](const std::string& why) {
    throw ResumeError("cannot resume '" + source + "': " + why);
  };
  // A run stopped inside a quoted field that holds line feeds leaves it open: that record
  // goes too.
  std::vector<CsvRecord> records;
  CsvReader reader(text, source);
  try {
    while (std::optional<CsvRecord> record = reader.Next()) records.push_back(std::move(*record));
  } catch (const CsvSyntaxError& e) {
    if (!e.unclosed()) refuse(std::string("it is not a csv report (") + e.what() + ")");
  }
  if (records.empty()) return {};
  std::string found;
  for (const std::string& field : records.front().fields)
    found += (found.empty() ? "" : ",") + field;
  if (found + "\n" != header) {
    refuse("it is not a csv report of pellix analyze (its header is " + QuotedExcerpt(found, '\'') +
           ")");
  }
  std::vector<Row> rows;
  for (std::size_t i = 1; i < records.size(); ++i)
    rows.push_back({records[i].offset, records[i].line, records[i].fields.front()});
  return rows;
}

std::vector<Row> JsonRows(std::string_view text, const std::string& source) {
  std::vector<Row> rows;
  int line = 1;
  for (std::size_t start = 0; start < text.size(); ++line) {
    const std::size_t end = text.find('\n', start);
    const std::string_view body = text.substr(start, end - start);
    if (!body.empty()) {
      const Json object = Json::parse(body, nullptr, false);
      if (!object.is_object() || !object.contains("speaker") || !object["speaker"].is_string()) {
        throw ResumeError("cannot resume '" + source + "': line " + std::to_string(line) +
                          " is not a json line of pellix analyze (" + QuotedExcerpt(body, '\'') +
                          ")");
      }
      rows.push_back({start, line, object["speaker"].get<std::string>()});
    }
    start = end + 1;
  }
  return rows;
}

// A speaker's name as the report wrote it.
std::string WrittenName(const std::string& speaker, ReportFormat format) {
  if (format == ReportFormat::kCsv) return CsvFieldText(speaker);
  return Json::parse(Json(speaker).dump(-1, ' ', false, Json::error_handler_t::replace))
      .get<std::string>();
}

}  // namespace

ResumePoint FindResumePoint(std::string_view text, ReportFormat format,
                            const std::vector<SpeakerTakes>& speakers, const std::string& source) {
  // A last line without its line feed was cut short.
  const std::size_t whole_lines = text.rfind('\n');
  text = text.substr(0, whole_lines == std::string_view::npos ? 0 : whole_lines + 1);
  const std::vector<Row> rows =
      format == ReportFormat::kCsv ? CsvRows(text, source) : JsonRows(text, source);

  std::unordered_map<std::string, std::size_t> order;
  for (std::size_t i = 0; i < speakers.size(); ++i)
    order.emplace(WrittenName(speakers[i].speaker, format), i);
  const Row* last_start = nullptr;  // the first row of the last speaker
  std::size_t last = 0;
  std::vector<KeptSpeaker> kept_speakers;
  for (const Row& row : rows) {
    const auto found = order.find(row.speaker);
    if (found == order.end() || (last_start != nullptr && found->second < last)) {
      throw ResumeError(
          "cannot resume '" + source + "': line " + std::to_string(row.line) +
          " names the speaker " + QuotedExcerpt(row.speaker, '\'') + ", " +
          (found == order.end() ? "who is not in the manifest" : "out of the manifest's order"));
    }
    if (last_start == nullptr || found->second != last) {
      if (last_start != nullptr) {
        kept_speakers.push_back({last, last_start->offset, row.offset - last_start->offset});
      }
      last_start = &row;
      last = found->second;
    }
  }
  if (last_start == nullptr) {
    // Only the header, whole (csv), or nothing.
    return {std::string(format == ReportFormat::kCsv ? text : std::string_view()), 0, {}};
  }
  return {std::string(text.substr(0, last_start->offset)), last, std::move(kept_speakers)};
}

ResumePlan PlanResume(const ResumePoint& point, std::size_t count) {
  const std::string_view kept = point.kept;
  const std::vector<KeptSpeaker>& speakers = point.speakers_kept;
  ResumePlan plan;
  plan.header = kept.substr(0, speakers.empty() ? kept.size() : speakers.front().offset);
  std::size_t next = 0;    // the next kept speaker
  std::size_t placed = 0;  // the kept speakers written before an analysed one so far
  for (std::size_t i = 0; i < count; ++i) {
    if (next < speakers.size() && speakers[next].index == i) {
      ++next;
      continue;
    }
    // The kept speakers since the last one analysed lie one after another in the text.
    if (placed < next) {
      const std::size_t from = speakers[placed].offset;
      const KeptSpeaker& last = speakers[next - 1];
      plan.before.emplace(plan.analyse.size(), kept.substr(from, last.offset + last.size - from));
      placed = next;
    }
    plan.analyse.push_back(i);
  }
  return plan;
}

}  // namespace pellix::analysis
