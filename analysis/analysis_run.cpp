#include "analysis/analysis_run.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

#include "analysis/progress.h"
#include "analysis/sample_source.h"

namespace pellix::analysis {
namespace {

ReportLayout LayoutFor(const std::vector<SpeakerTakes>& speakers, bool show_speaker) {
  ReportLayout layout;
  layout.show_speaker = show_speaker;
  for (const SpeakerTakes& s : speakers) {
    layout.speaker_width = std::max(layout.speaker_width, s.speaker.size());
    for (const auto* takes : {&s.calibrations, &s.checks}) {
      for (const Take& take : *takes)
        layout.file_width = std::max(layout.file_width, take.name.size());
    }
  }
  return layout;
}

std::size_t CountFiles(const std::vector<SpeakerTakes>& speakers) {
  std::size_t files = 0;
  for (const SpeakerTakes& s : speakers) files += s.calibrations.size() + s.checks.size();
  return files;
}

// Records to `out`, messages to `err`, in the order they arose and clear of the progress bar
// (both may be the same terminal).
void Print(const SessionOutcome& outcome, const Report& report, std::ostream& out,
           std::ostream& err, Progress& progress, bool quiet) {
  std::string records;
  for (const Event& event : outcome.events) {
    if (const auto* record = std::get_if<Record>(&event)) {
      records += report.Format(*record);
    } else {
      const Message& message = std::get<Message>(event);
      if (quiet && !message.error) continue;
      progress.Print(err, std::string("pellix: ") + (message.error ? "error: " : "warning: ") +
                              message.text + "\n");
    }
  }
  // A speaker's records in one piece, so that an interrupted run leaves whole speakers.
  progress.Print(out, records);
  out.flush();
}

}  // namespace

RunResult RunAnalysis(const std::vector<SpeakerTakes>& speakers, const RunOptions& options,
                      std::ostream& out, std::ostream& err) {
  const std::size_t files = CountFiles(speakers);
  Progress progress(err, files, !options.quiet && ShouldShowProgress(files));
  std::unique_ptr<Report> report =
      MakeReport(options.format, LayoutFor(speakers, options.settings.show_speaker));

  SampleSource source;
  const std::function<void()> take_done = [&progress] { progress.Advance(); };

  RunResult result;
  result.sessions.resize(speakers.size());
  std::vector<char> finished(speakers.size(), 0);
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<std::size_t> next{0};

  // Each worker takes the next speaker and runs it on a new thread of its own.
  auto worker = [&] {
    for (;;) {
      const std::size_t i = next++;
      if (i >= speakers.size()) return;
      std::thread([&, i] {
        try {
          result.sessions[i] = RunSession(speakers[i], options.settings, source, take_done);
        } catch (const std::exception& e) {
          // Nothing a take or a state file does ends up here; running out of memory might.
          SessionOutcome& outcome = result.sessions[i];
          outcome.failed = true;
          const bool out_of_memory = dynamic_cast<const std::bad_alloc*>(&e) != nullptr;
          outcome.events.emplace_back(Message{
              true, speakers[i].speaker + ": " + (out_of_memory ? "out of memory" : e.what())});
        }
      }).join();
      {
        std::lock_guard lock(mutex);
        finished[i] = 1;
      }
      changed.notify_all();
    }
  };
  const unsigned jobs = static_cast<unsigned>(
      std::clamp<std::size_t>(options.jobs, 1, std::max<std::size_t>(speakers.size(), 1)));
  std::vector<std::thread> workers;
  for (unsigned j = 0; j < jobs; ++j) workers.emplace_back(worker);

  bool header_printed = false;
  for (std::size_t i = 0; i < speakers.size(); ++i) {
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return finished[i] != 0; });
    }
    // The header comes with the first speaker that has a record, so that a run that prints
    // nothing prints no empty table.
    const bool has_record =
        std::any_of(result.sessions[i].events.begin(), result.sessions[i].events.end(),
                    [](const Event& event) { return std::holds_alternative<Record>(event); });
    if (!header_printed && has_record) {
      if (options.header) progress.Print(out, report->Header());
      header_printed = true;
    }
    Print(result.sessions[i], *report, out, err, progress, options.quiet);
    if (result.sessions[i].failed) result.failed = true;
  }
  for (std::thread& w : workers) w.join();
  progress.Finish();
  return result;
}

}  // namespace pellix::analysis
