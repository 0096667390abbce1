// A speaker's check history kept between runs in a sidecar file beside the state file, so
// that the profiler sees every check made so far, not only this run's. The control's own
// property bag never holds the history; this file does, one JSON object per line, one line per
// check that reached the verdict:
//
//   {"file":"answer1.wav","lie_stress":170,"global_stress":140,"excitement_stress":95,
//    "code":7,"avg_jump_len":5}
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "control/alg_v1s.h"

namespace pellix::analysis {

// One row of the control's history (its HistoryColumn cells) and the take it came from.
struct HistoryRow {
  std::string file;
  std::int16_t lie_stress = 0;
  std::int16_t global_stress = 0;
  std::int16_t excitement_stress = 0;
  std::int16_t code = 0;
  std::int16_t avg_jump_len = 0;

  friend bool operator==(const HistoryRow&, const HistoryRow&) = default;
};

// The sidecar of a state file, named after the whole name so that no two state files share
// one: "alex.json" keeps its history in "alex.history.jsonl" (as it always has), any other
// name, "team.alex" or "alex", in "team.alex-history.jsonl" or "alex-history.jsonl" (a name
// no ".json" state file's sidecar can have).
std::filesystem::path HistoryPath(const std::filesystem::path& state);

// The sidecar to read the history of `state` from: HistoryPath(state), or, where there is no
// such file, the one earlier versions named by replacing the last extension ("team.alex" kept
// its checks in "team.history.jsonl"), when that exists and no other state file beside it
// ("team.robin", "team.json") may have written there too. When another may have, that file is
// not read, and `warning` says so; users' files are never removed.
std::filesystem::path HistoryToRead(const std::filesystem::path& state, std::string& warning);

// The rows of the sidecar at `path`; none when there is no file. Read as every JSON file is
// (ReadJsonText: a regular file, opened without waiting, of bounded size and nesting). A file
// that cannot be read (a pipe, a folder), or a line that is not a history row, is a
// StateError naming the file and the line.
std::vector<HistoryRow> LoadHistory(const std::filesystem::path& path);

// Replaces the sidecar at `path` with `rows`, atomically. Fails with StateError.
void SaveHistory(const std::filesystem::path& path, const std::vector<HistoryRow>& rows);

// Appends `rows` to the control's history exactly as Check appends its rows: a row goes to
// the index the count names, and the count stops at the last row, which later rows overwrite.
void ReplayHistory(ALG_V1S& control, const std::vector<HistoryRow>& rows);

// The row the last check wrote, when the history count before it was `count_before`.
HistoryRow LastHistoryRow(const ALG_V1S& control, std::int16_t count_before, std::string file);

}  // namespace pellix::analysis
