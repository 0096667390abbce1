#include "analysis/analysis_run.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_set>

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

void Count(const SessionOutcome& outcome, RunResult& result) {
  for (const Event& event : outcome.events) {
    if (const auto* record = std::get_if<Record>(&event)) result.tally.Add(*record);
  }
  if (outcome.failed) result.failed = true;
}

// Speakers printed so far, in order, and what they said about long recordings.
class Printer {
 public:
  Printer(const Report& report, std::ostream& out, std::ostream& err, Progress& progress,
          const RunOptions& options)
      : report_(report), out_(out), err_(err), progress_(progress), options_(options) {}

  // Records to `out` after `before`, messages to `err`, in the order they arose and clear of
  // the progress bar (both may be the same terminal).
  void Print(const SessionOutcome& outcome, std::string_view before) {
    std::string records(before);
    for (const Event& event : outcome.events) {
      if (const auto* record = std::get_if<Record>(&event)) {
        records += report_.Format(*record);
        continue;
      }
      const Message& message = std::get<Message>(event);
      if (options_.quiet && !message.error) continue;
      if (!message.long_recording.empty()) {
        if (!long_recordings_.insert(message.long_recording).second) continue;
        if (long_recordings_.size() > kNamedLongRecordings) continue;
      }
      progress_.Print(err_, std::string("pellix: ") + (message.error ? "error: " : "warning: ") +
                                message.text + "\n");
    }
    // The header comes with the first speaker that has a record, so that a run that prints
    // nothing prints no empty table.
    if (!header_printed_ && !records.empty()) {
      header_printed_ = true;
      if (options_.header) records = report_.Header() + records;
    }
    // A speaker's records in one piece, so that an interrupted run leaves whole speakers.
    progress_.Print(out_, records);
    out_.flush();
  }

  // The count of long recordings, when there were more than were named.
  void Finish() {
    const std::size_t count = long_recordings_.size();
    if (count <= kNamedLongRecordings) return;
    progress_.Print(err_, "pellix: warning: " + std::to_string(count) +
                              " recordings are longer than the analysis window: only their "
                              "first utterance is analysed (the first " +
                              std::to_string(kNamedLongRecordings) + " are named above)\n");
  }

 private:
  const Report& report_;
  std::ostream& out_;
  std::ostream& err_;
  Progress& progress_;
  const RunOptions& options_;
  bool header_printed_ = false;
  std::unordered_set<std::string> long_recordings_;
};

}  // namespace

RunResult RunAnalysis(const std::vector<SpeakerTakes>& speakers, const RunOptions& options,
                      std::ostream& out, std::ostream& err) {
  const std::size_t files = CountFiles(speakers);
  Progress progress(err, files, !options.quiet && ShouldShowProgress(files));
  std::unique_ptr<Report> report =
      MakeReport(options.format, LayoutFor(speakers, options.settings.show_speaker));
  Printer printer(*report, out, err, progress, options);

  SampleSource source;
  const std::function<void()> take_done = [&progress] { progress.Advance(); };

  // Speakers run ahead of the one printed next by at most `ahead`, so that a slow speaker
  // never makes the finished ones behind it pile up.
  const unsigned jobs = static_cast<unsigned>(
      std::clamp<std::size_t>(options.jobs, 1, std::max<std::size_t>(speakers.size(), 1)));
  const std::size_t ahead = 2 * static_cast<std::size_t>(jobs);
  std::map<std::size_t, SessionOutcome> finished;  // not yet printed
  std::size_t next = 0;                            // the next speaker to start
  std::size_t printing = 0;                        // the next speaker to print
  std::mutex mutex;
  std::condition_variable changed;

  // Speaker `i`, on a control of its own with a fresh engine state.
  auto run_speaker = [&](std::size_t i) {
    SessionOutcome outcome;
    try {
      outcome = RunSession(speakers[i], options.settings, source, take_done);
    } catch (const std::exception& e) {
      // Nothing a take or a state file does ends up here; running out of memory might.
      outcome.failed = true;
      const bool out_of_memory = dynamic_cast<const std::bad_alloc*>(&e) != nullptr;
      outcome.events.emplace_back(
          Message{true, speakers[i].speaker + ": " + (out_of_memory ? "out of memory" : e.what())});
    }
    return outcome;
  };

  // With more than one job, a pool of `jobs` workers, each taking the next speaker in turn on
  // its own thread, so that what a thread keeps for its conversions (decoding buffers, the
  // resampler's filters) serves every speaker it runs. One job runs on this thread, between
  // printing speakers.
  auto worker = [&] {
    for (;;) {
      std::size_t i;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return next >= speakers.size() || next < printing + ahead; });
        if (next >= speakers.size()) return;
        i = next++;
      }
      SessionOutcome outcome = run_speaker(i);
      {
        std::lock_guard lock(mutex);
        finished.emplace(i, std::move(outcome));
      }
      changed.notify_all();
    }
  };
  std::vector<std::thread> workers;
  if (jobs > 1) {
    for (unsigned j = 0; j < jobs; ++j) workers.emplace_back(worker);
  }

  RunResult result;
  for (std::size_t i = 0; i < speakers.size(); ++i) {
    SessionOutcome outcome;
    if (workers.empty()) {
      outcome = run_speaker(i);
    } else {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return finished.contains(i); });
      auto found = finished.find(i);
      outcome = std::move(found->second);
      finished.erase(found);
    }
    const auto before = options.before.find(i);
    printer.Print(outcome, before != options.before.end() ? before->second : std::string_view());
    Count(outcome, result);
    if (i == 0 && options.keep_first_control && outcome.started)
      result.first_control = std::move(outcome.control);
    {
      std::lock_guard lock(mutex);
      printing = i + 1;
    }
    changed.notify_all();
  }
  for (std::thread& w : workers) w.join();
  printer.Finish();
  progress.Finish();
  return result;
}

}  // namespace pellix::analysis
