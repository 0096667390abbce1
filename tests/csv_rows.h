// A csv report read back as rows keyed by the header's names, for tests that compare reports
// column by column.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "analysis/csv.h"

namespace pellix::testing {

using CsvRow = std::map<std::string, std::string>;

// No text, no rows; a row shorter than the header throws std::out_of_range.
inline std::vector<CsvRow> CsvRows(const std::string& text) {
  std::vector<CsvRow> rows;
  if (text.empty()) return rows;
  analysis::CsvReader reader(text, "rows");
  const std::vector<std::string> header = reader.Next()->fields;
  while (std::optional<analysis::CsvRecord> record = reader.Next()) {
    CsvRow row;
    for (std::size_t i = 0; i < header.size(); ++i) row[header[i]] = record->fields.at(i);
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace pellix::testing
