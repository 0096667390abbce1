#include "analysis/progress.h"

#include <unistd.h>

namespace pellix::analysis {
namespace {

constexpr std::size_t kBarWidth = 30;

}  // namespace

bool ShouldShowProgress(std::size_t files) {
  return files > kQuietFiles && ::isatty(STDERR_FILENO) == 1;
}

Progress::Progress(std::ostream& out, std::size_t total, bool enabled)
    : out_(out), total_(total), enabled_(enabled && total > 0) {
  std::lock_guard lock(mutex_);
  if (enabled_) Draw();
}

Progress::~Progress() {
  Finish();
}

void Progress::Advance() {
  std::lock_guard lock(mutex_);
  if (done_ < total_) ++done_;
  if (enabled_) Draw();
}

void Progress::Print(std::ostream& stream, const std::string& lines) {
  std::lock_guard lock(mutex_);
  if (lines.empty()) return;
  if (enabled_) Erase();
  stream << lines << std::flush;
  if (enabled_) Draw();
}

void Progress::Finish() {
  std::lock_guard lock(mutex_);
  if (enabled_) Erase();
  enabled_ = false;
}

void Progress::Draw() {
  const std::size_t filled = total_ == 0 ? 0 : done_ * kBarWidth / total_;
  out_ << "\r[" << std::string(filled, '#') << std::string(kBarWidth - filled, ' ') << "] " << done_
       << "/" << total_ << " files" << std::flush;
  drawn_ = true;
}

void Progress::Erase() {
  if (!drawn_) return;
  // Carriage return, then clear to the end of the line.
  out_ << "\r\x1b[K" << std::flush;
  drawn_ = false;
}

}  // namespace pellix::analysis
