#include "host/analysis/resume.h"

#include <vector>

#include <nlohmann/json.hpp>

namespace pellix::analysis {
namespace {

// The first field of each csv record, quotes undone (a quoted field may hold commas, quotes
// doubled and line breaks).
std::vector<std::string> FirstFields(std::string_view text) {
  std::vector<std::string> fields;
  std::size_t i = 0;
  while (i < text.size()) {
    std::string field;
    if (text[i] == '"') {
      for (++i; i < text.size(); ++i) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            ++i;
          } else {
            ++i;
            break;
          }
        } else {
          field += text[i];
        }
      }
    } else {
      while (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r')
        field += text[i++];
    }
    fields.push_back(field);
    // The rest of the record: up to a line break outside quotes.
    bool quoted = false;
    while (i < text.size() && (quoted || text[i] != '\n')) {
      if (text[i] == '"') quoted = !quoted;
      ++i;
    }
    ++i;
  }
  return fields;
}

}  // namespace

std::set<std::string> WrittenSpeakers(std::string_view text, ReportFormat format) {
  std::set<std::string> speakers;
  if (format == ReportFormat::kCsv) {
    std::vector<std::string> fields = FirstFields(text);
    for (std::size_t i = 1; i < fields.size(); ++i) speakers.insert(fields[i]);
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
