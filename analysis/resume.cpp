#include "analysis/resume.h"

#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "analysis/csv.h"

namespace pellix::analysis {

std::set<std::string> WrittenSpeakers(std::string_view text, ReportFormat format) {
  std::set<std::string> speakers;
  if (format == ReportFormat::kCsv) {
    CsvReader reader(text, "output");
    try {
      bool header = true;
      while (std::optional<CsvRecord> record = reader.Next()) {
        if (!header && !record->fields.empty()) speakers.insert(record->fields.front());
        header = false;
      }
    } catch (const CsvSyntaxError&) {
      // An interrupted last line: the speakers before it are whole.
    }
    return speakers;
  }
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const auto line = nlohmann::json::parse(text.substr(start, end - start), nullptr, false);
    if (line.is_object() && line.contains("speaker") && line["speaker"].is_string())
      speakers.insert(line["speaker"].get<std::string>());
    start = end + 1;
  }
  return speakers;
}

}  // namespace pellix::analysis
