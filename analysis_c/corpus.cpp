// The manifest and corpus report calls of PellixAnalysis.h over the command's own manifest
// reader, --resume rules and report file, so that a host running the speakers itself (the
// Python package's Dask tasks) reads and writes exactly what `pellix analyze --batch` does.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "PellixAnalysis.h"
#include "analysis/manifest.h"
#include "analysis/report.h"
#include "analysis/report_file.h"
#include "analysis/resume.h"
#include "analysis_c/failure.h"
#include "files/file_error.h"
#include "files/safe_read.h"

using namespace pellix;
using namespace pellix::analysis;
using pellix::analysis_c::Failure;
using pellix::analysis_c::Guarded;

struct PellixManifest {
  std::string error;
  std::vector<SpeakerTakes> speakers;
  // What the host reads: each speaker's takes (its calibrations, then its checks) and the
  // speakers, pointing into `speakers`, which never changes once they are made.
  std::vector<std::vector<PellixManifestTake>> takes;
  std::vector<PellixManifestSpeaker> handed;

  void Hand() {
    takes.reserve(speakers.size());
    for (const SpeakerTakes& s : speakers) {
      std::vector<PellixManifestTake>& of = takes.emplace_back();
      for (const auto* list : {&s.calibrations, &s.checks}) {
        for (const Take& take : *list) of.push_back({take.path.c_str(), take.name.c_str()});
      }
    }
    for (std::size_t i = 0; i < speakers.size(); ++i) {
      const std::size_t calibrations = speakers[i].calibrations.size();
      const PellixManifestTake* first = takes[i].empty() ? nullptr : takes[i].data();
      handed.push_back({speakers[i].speaker.c_str(), calibrations != 0 ? first : nullptr,
                        calibrations,
                        takes[i].size() > calibrations ? first + calibrations : nullptr,
                        takes[i].size() - calibrations});
    }
  }
};

struct PellixReport {
  std::mutex mutex;
  std::string path;
  std::string error;
  std::optional<Failure> failed;  // an open or write that failed: nothing more is written
  std::unique_ptr<ReportFile> file;
  std::unique_ptr<std::ostream> out;
  std::string kept_text;  // an earlier run's report, resumed
  // Per speaker of the manifest: its rows in kept_text, when they are kept.
  std::vector<std::optional<KeptSpeaker>> kept;
  std::vector<bool> given;                     // written by this run, or waiting to be
  std::map<std::size_t, std::string> waiting;  // rows given before their turn
  std::size_t next = 0;                        // the first speaker not yet in the file
  bool committed = false;

  // Writes every speaker whose turn has come, in manifest order: kept ones, given ones, and
  // with `to_end` the rest that are known (a speaker never given is left out). A checkpoint
  // may follow.
  std::optional<Failure> Advance(bool to_end) {
    for (; next < kept.size(); ++next) {
      if (kept[next]) {
        *out << std::string_view(kept_text).substr(kept[next]->offset, kept[next]->size);
      } else if (const auto found = waiting.find(next); found != waiting.end()) {
        *out << found->second;
        waiting.erase(found);
      } else if (!to_end) {
        break;
      }
    }
    out->flush();
    if (*out) return std::nullopt;
    // The report file keeps its first failure in words and gives it back without committing.
    return WriteFailed(file->Commit());
  }

  // A failure to write the file, `cause` in words, and what the file holds then.
  Failure WriteFailed(const std::string& cause) const {
    return {kPathFileAccessError,
            "cannot write the report to '" + path + "': " + cause + "; " +
                (file->checkpointed() ? "it holds the speakers written up to its last checkpoint"
                                      : "it holds what it held before this run")};
  }
};

namespace {

const char* Text(const char* text, const char* otherwise) {
  return text != nullptr ? text : otherwise;
}

// Makes a manifest with `read`, which gives its speakers; sets *manifest either way.
template <typename Read>
int OpenManifest(PellixManifest** manifest, Read&& read) {
  if (manifest == nullptr) return PELLIX_INVALID_ARGUMENT;
  *manifest = new (std::nothrow) PellixManifest;
  if (*manifest == nullptr) return PELLIX_OUT_OF_MEMORY;
  PellixManifest& made = **manifest;
  const Failure failure = Guarded([&]() -> std::optional<Failure> {
    try {
      made.speakers = read();
      made.Hand();
    } catch (const ManifestError& e) {
      return Failure{e.number(), e.what()};
    }
    return std::nullopt;
  });
  if (failure.number == 0) return 0;
  made.speakers.clear();
  made.takes.clear();
  made.handed.clear();
  made.error = failure.message;
  return failure.number;
}

// An open refused for a NULL argument: no manifest.
int Refused(PellixManifest** manifest) {
  if (manifest != nullptr) *manifest = nullptr;
  return PELLIX_INVALID_ARGUMENT;
}

std::filesystem::path Folder(const char* folder) {
  return folder != nullptr ? std::filesystem::path(folder) : std::filesystem::path();
}

// The file at `path` as an earlier run left it, and where to carry on; nothing when there is
// no such file.
ResumePoint Resume(const std::string& path, const std::vector<SpeakerTakes>& speakers) {
  std::string written;
  try {
    written = ReadRegularFile(path);
  } catch (const FileError& e) {
    if (e.number() != kFileNotFound) {
      throw FileError::Message(e.number(), "cannot resume '" + path + "': " + e.what() +
                                               " (error " + std::to_string(e.number()) + ")");
    }
  }
  try {
    return FindResumePoint(written, ReportFormat::kCsv, speakers, path);
  } catch (const ResumeError& e) {
    throw FileError::Message(kInvalidFileFormat, std::string(e.what()) + " (error " +
                                                     std::to_string(kInvalidFileFormat) +
                                                     "); it was left as it is");
  }
}

// Runs `call` on the report under its lock; keeps the message.
template <typename Call>
int OnReport(PellixReport* report, Call&& call) {
  if (report == nullptr) return PELLIX_INVALID_ARGUMENT;
  std::lock_guard lock(report->mutex);
  Failure failure = report->failed ? *report->failed : Guarded([&] { return call(*report); });
  report->error = failure.message;
  return failure.number;
}

}  // namespace

extern "C" {

PELLIX_ANALYSIS_API int PellixManifestRead(const char* path, PellixManifest** manifest) {
  if (path == nullptr) return Refused(manifest);
  return OpenManifest(manifest, [&] { return ReadManifest(path); });
}

PELLIX_ANALYSIS_API int PellixManifestParse(const char* text, size_t size, const char* source,
                                            const char* folder, PellixManifest** manifest) {
  if (text == nullptr && size != 0) return Refused(manifest);
  return OpenManifest(manifest, [&] {
    return ParseManifest(std::string_view(text != nullptr ? text : "", size),
                         Text(source, "manifest"), Folder(folder));
  });
}

PELLIX_ANALYSIS_API int PellixManifestFromRows(const char* const* speakers,
                                               const char* const* roles, const char* const* files,
                                               size_t count, const char* source, const char* folder,
                                               PellixManifest** manifest) {
  if (count != 0 && (speakers == nullptr || roles == nullptr || files == nullptr)) {
    return Refused(manifest);
  }
  return OpenManifest(manifest, [&] {
    std::vector<ManifestRow> rows;
    rows.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      rows.push_back({static_cast<int>(std::min<std::size_t>(i + 1, INT_MAX)),
                      Text(speakers[i], ""), Text(roles[i], ""), Text(files[i], "")});
    }
    return ManifestFromRows(rows, Text(source, "manifest"), Folder(folder));
  });
}

PELLIX_ANALYSIS_API size_t PellixManifestSpeakers(const PellixManifest* manifest,
                                                  const PellixManifestSpeaker** speakers) {
  const bool any = manifest != nullptr && !manifest->handed.empty();
  if (speakers != nullptr) *speakers = any ? manifest->handed.data() : nullptr;
  return any ? manifest->handed.size() : 0;
}

PELLIX_ANALYSIS_API const char* PellixManifestError(const PellixManifest* manifest) {
  return manifest != nullptr ? manifest->error.c_str() : "no manifest given";
}

PELLIX_ANALYSIS_API void PellixManifestClose(PellixManifest* manifest) {
  delete manifest;
}

PELLIX_ANALYSIS_API int PellixReportOpen(const char* path, const PellixManifest* manifest,
                                         int resume, double checkpoint_seconds,
                                         PellixReport** report) {
  if (report == nullptr) return PELLIX_INVALID_ARGUMENT;
  *report = new (std::nothrow) PellixReport;
  if (*report == nullptr) return PELLIX_OUT_OF_MEMORY;
  PellixReport& opened = **report;
  const int number = OnReport(&opened, [&](PellixReport& r) -> std::optional<Failure> {
    if (path == nullptr || manifest == nullptr) {
      return Failure{PELLIX_INVALID_ARGUMENT, "no report file or manifest given"};
    }
    r.path = path;
    if (!(checkpoint_seconds >= 0) || !std::isfinite(checkpoint_seconds)) {
      return Failure{PELLIX_INVALID_ARGUMENT,
                     "the checkpoint interval must be a number of seconds from 0"};
    }
    if (!manifest->error.empty()) {
      return Failure{PELLIX_INVALID_ARGUMENT,
                     "the manifest for '" + r.path + "' could not be read: " + manifest->error};
    }
    const std::vector<SpeakerTakes>& speakers = manifest->speakers;
    ResumePoint point;
    try {
      if (resume != 0) point = Resume(r.path, speakers);
    } catch (const FileError& e) {
      return Failure{e.number(), e.what()};
    }
    r.kept.assign(speakers.size(), std::nullopt);
    r.given.assign(speakers.size(), false);
    for (const KeptSpeaker& k : point.speakers_kept) r.kept[k.index] = k;
    std::string header = point.kept.substr(
        0, point.speakers_kept.empty() ? point.kept.size() : point.speakers_kept.front().offset);
    if (header.empty()) header = MakeReport(ReportFormat::kCsv, {})->Header();
    r.kept_text = std::move(point.kept);
    // Beyond a few years, every interval is as good as never.
    const double seconds = std::min(checkpoint_seconds, 1e8);
    try {
      r.file = std::make_unique<ReportFile>(
          r.path, std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                      std::chrono::duration<double>(seconds)));
    } catch (const FileError& e) {
      return Failure{e.number(), "cannot write the report to '" + r.path + "': " + e.what() +
                                     " (error " + std::to_string(e.number()) + ")"};
    }
    r.out = std::make_unique<std::ostream>(r.file.get());
    *r.out << header;
    return r.Advance(false);
  });
  if (number != 0) opened.failed = Failure{number, opened.error};
  return number;
}

PELLIX_ANALYSIS_API int PellixReportHas(const PellixReport* report, size_t index) {
  if (report == nullptr) return 0;
  auto* const self = const_cast<PellixReport*>(report);
  std::lock_guard lock(self->mutex);
  if (index >= self->kept.size()) return 0;
  return self->kept[index] || self->given[index] ? 1 : 0;
}

PELLIX_ANALYSIS_API size_t PellixReportKept(const PellixReport* report) {
  if (report == nullptr) return 0;
  auto* const self = const_cast<PellixReport*>(report);
  std::lock_guard lock(self->mutex);
  std::size_t kept = 0;
  for (const auto& k : self->kept) kept += k ? 1 : 0;
  return kept;
}

PELLIX_ANALYSIS_API int PellixReportWrite(PellixReport* report, size_t index, const char* rows,
                                          size_t size) {
  return OnReport(report, [&](PellixReport& r) -> std::optional<Failure> {
    auto refuse = [&](const std::string& why) {
      return Failure{PELLIX_INVALID_ARGUMENT, "cannot write speaker " + std::to_string(index) +
                                                  " to '" + r.path + "': " + why};
    };
    if (r.committed) return refuse("the report is committed");
    if (index >= r.kept.size()) {
      return refuse("the manifest has " + std::to_string(r.kept.size()) + " speakers");
    }
    if (r.kept[index]) return refuse("the file holds that speaker from the earlier run");
    if (r.given[index]) return refuse("that speaker is written already");
    if (rows == nullptr && size != 0) return refuse("no rows given");
    const std::string_view text(rows != nullptr ? rows : "", size);
    if (!text.empty() && text.back() != '\n') return refuse("its rows do not end with a line feed");
    r.given[index] = true;
    r.waiting.emplace(index, text);
    return r.Advance(false);
  });
}

PELLIX_ANALYSIS_API int PellixReportCommit(PellixReport* report) {
  return OnReport(report, [&](PellixReport& r) -> std::optional<Failure> {
    if (r.committed) return std::nullopt;
    if (std::optional<Failure> failure = r.Advance(true)) return failure;
    r.committed = true;
    if (const std::string error = r.file->Commit(); !error.empty()) return r.WriteFailed(error);
    return std::nullopt;
  });
}

PELLIX_ANALYSIS_API const char* PellixReportError(const PellixReport* report) {
  if (report == nullptr) return "no report given";
  auto* const self = const_cast<PellixReport*>(report);
  std::lock_guard lock(self->mutex);
  return self->error.c_str();
}

PELLIX_ANALYSIS_API void PellixReportClose(PellixReport* report) {
  delete report;
}

}  // extern "C"
