#include "desk/job_summary.h"

#include <QStringList>

namespace pellix::desk {
namespace {

QString Count(int n, const char* one, const char* many) {
  return QString::number(n) + " " + (n == 1 ? one : many);
}

}  // namespace

void PutTakes(JobCounts& counts, const analysis::TakeTally& tally) {
  counts.accepted = static_cast<int>(tally.accepted());
  counts.rejected = static_cast<int>(tally.rejected);
  counts.checked = static_cast<int>(tally.checks);
  counts.refused = static_cast<int>(tally.refused - tally.rejected);
  counts.failed = static_cast<int>(tally.failed);
}

QString JobSummary(const JobCounts& c) {
  QStringList parts;
  // A recorded take is opened and analysed in one job: what counts then is the analysis.
  if (c.opened > 0 && c.accepted + c.rejected + c.checked == 0)
    parts << Count(c.opened, "take opened", "takes opened");
  if (c.accepted > 0) parts << Count(c.accepted, "calibration accepted", "calibrations accepted");
  if (c.rejected > 0)
    parts << Count(c.rejected, "calibration take rejected", "calibration takes rejected");
  if (c.checked > 0) parts << Count(c.checked, "take checked", "takes checked");
  if (c.refused > 0) parts << QString::number(c.refused) + " refused";
  if (c.failed > 0) parts << Count(c.failed, "take failed", "takes failed");
  if (!c.profile.isEmpty()) parts << c.profile;
  // A job that came to nothing but errors leaves the last of them in the status bar.
  if (parts.isEmpty()) return c.cancelled ? c.what + " cancelled" : QString();
  if (c.errors > 0) parts << Count(c.errors, "error", "errors") + " (see Messages)";
  return c.what + (c.cancelled ? " cancelled: " : ": ") + parts.join(", ");
}

}  // namespace pellix::desk
