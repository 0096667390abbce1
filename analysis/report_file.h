// The file -o names: the report streamed into it through AtomicFileWriter, so that the file
// holds the old report or a new one made of whole speakers, never a report cut short by a
// full disk, and a failure says why in words.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>

#include "files/atomic_file.h"

namespace pellix {

// A run stopped part-way (Ctrl-C, kill) leaves the speakers written up to this long before,
// so that --resume carries on from there; each checkpoint copies the report so far once.
inline constexpr std::chrono::seconds kReportCheckpointInterval{30};

// A stream buffer over the report file. `flush` on the stream puts what was written so far in
// place when the last checkpoint is the interval old; the writer flushes only
// after whole speakers.
class ReportFile final : public std::streambuf {
 public:
  // Raises FileError when `path` cannot be written (see AtomicFileWriter). A checkpoint is due
  // once `interval` has passed since the last one.
  explicit ReportFile(const std::string& path,
                      std::chrono::steady_clock::duration interval = kReportCheckpointInterval);

  // Puts the whole report in place. Empty on success, else why not in words ("No space left on
  // device (error 75)"); the file then holds what it held before or at the last checkpoint.
  std::string Commit();
  // Whether a checkpoint put part of the report in place.
  bool checkpointed() const { return checkpointed_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* data, std::streamsize size) override;
  int sync() override;

 private:
  void Write(std::string_view bytes);

  AtomicFileWriter writer_;
  std::string pending_;
  std::optional<std::string> error_;  // the first failure, in words
  bool checkpointed_ = false;
  std::chrono::steady_clock::duration interval_;
  std::chrono::steady_clock::time_point checkpoint_ = std::chrono::steady_clock::now();
};

}  // namespace pellix
