// --resume: where an earlier, interrupted run of the same batch stopped in its output file,
// so that a new run can keep what it wrote and carry on from there.
#pragma once

#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/manifest.h"
#include "analysis/report.h"

namespace pellix::analysis {

// An output file that is not an earlier run's report of this manifest; the message names it.
class ResumeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A speaker whose rows `kept` holds whole: its index in the manifest's speakers and where its
// rows lie in `kept`.
struct KeptSpeaker {
  std::size_t index = 0;
  std::size_t offset = 0;
  std::size_t size = 0;

  friend bool operator==(const KeptSpeaker&, const KeptSpeaker&) = default;
};

struct ResumePoint {
  std::string kept;       // the start of the text to keep: the header and the speakers done
  std::size_t first = 0;  // the index in `speakers` of the first speaker to analyse
  // The speakers of `kept`, in order; `kept` up to the first one's offset (all of it when there
  // is none) is the header. A speaker before `first` that is not among them has no rows: a run
  // whose task for it failed leaves it out, and a run that reruns it goes by these.
  std::vector<KeptSpeaker> speakers_kept;
};

// Where to carry on from the csv or json lines report `text` (named `source` in messages) of
// an earlier run over `speakers`. A run writes the speakers in manifest order, each whole, so
// the text must name only the manifest's speakers, in its order (csv: under this report's own
// header; a name as csv writes it, with the apostrophe in front of a formula's first
// character). The last speaker in the text is analysed again, since a run stopped while it
// was written may have cut it short; so is a last line without its line feed. Empty text, or
// a header cut short, starts from the first speaker. Raises ResumeError otherwise.
ResumePoint FindResumePoint(std::string_view text, ReportFormat format,
                            const std::vector<SpeakerTakes>& speakers, const std::string& source);

// What a run resumed at `point` does, by the rule every face follows (the command here, the C
// library's report for hosts that run the speakers themselves): it analyses every speaker whose
// rows the file does not keep (the last one there, every one after it, and any before it that
// the file lacks, such as one whose task failed) and writes the kept rows in their places.
struct ResumePlan {
  std::vector<std::size_t> analyse;  // the indices of the speakers to analyse, in order
  std::string_view header;           // of point.kept: what comes before every speaker
  // By index in `analyse`: the kept rows of the speakers between that one and the one before,
  // in point.kept. A kept speaker always lies before `point.first`, which is analysed.
  std::map<std::size_t, std::string_view> before;
};

// The plan for `point` over `count` speakers; its views point into `point.kept`.
ResumePlan PlanResume(const ResumePoint& point, std::size_t count);

}  // namespace pellix::analysis
