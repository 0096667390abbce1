// --resume: the speakers an earlier, interrupted run already wrote to its output file, so that
// a new run can skip them and append the rest.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include "analysis/report.h"

namespace pellix::analysis {

// The speakers of csv `text` (the first column after the header) or json lines `text` (the
// "speaker" key). A run writes each speaker's rows at once, so a speaker that appears is done.
std::set<std::string> WrittenSpeakers(std::string_view text, ReportFormat format);

}  // namespace pellix::analysis
