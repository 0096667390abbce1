// A progress bar on standard error for runs of more than a few files, drawn only when
// standard error is a terminal, so logs and pipes never see it.
#pragma once

#include <cstddef>
#include <mutex>
#include <ostream>
#include <string>

namespace pellix::analysis {

// Whether a run over `files` files shows a bar: more than kQuietFiles of them, and standard
// error is a terminal.
inline constexpr std::size_t kQuietFiles = 3;
bool ShouldShowProgress(std::size_t files);

// Safe to share between threads.
class Progress {
 public:
  Progress(std::ostream& out, std::size_t total, bool enabled);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // One more file done.
  void Advance();
  // Writes whole lines to `stream` (the bar's own, or one that may share its terminal): the bar
  // is taken away first and drawn again after.
  void Print(std::ostream& stream, const std::string& lines);
  // Takes the bar away for good.
  void Finish();

 private:
  void Draw();
  void Erase();

  std::mutex mutex_;
  std::ostream& out_;
  std::size_t total_;
  std::size_t done_ = 0;
  bool enabled_;
  bool drawn_ = false;
};

}  // namespace pellix::analysis
