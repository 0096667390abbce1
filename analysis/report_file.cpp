#include "analysis/report_file.h"

#include <utility>

#include "files/file_error.h"

namespace pellix {
namespace {

constexpr std::size_t kBlock = 1 << 16;

std::string Cause(const FileError& e) {
  return std::string(e.what()) + " (error " + std::to_string(e.number()) + ")";
}

}  // namespace

ReportFile::ReportFile(const std::string& path, std::chrono::steady_clock::duration interval)
    : writer_(path), interval_(interval) {}

void ReportFile::Write(std::string_view bytes) {
  if (error_) return;
  try {
    writer_.Write(bytes);
  } catch (const FileError& e) {
    error_ = Cause(e);
  }
}

ReportFile::int_type ReportFile::overflow(int_type c) {
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    pending_ += traits_type::to_char_type(c);
    if (pending_.size() >= kBlock) Write(std::exchange(pending_, {}));
  }
  return error_ ? traits_type::eof() : traits_type::not_eof(c);
}

std::streamsize ReportFile::xsputn(const char* data, std::streamsize size) {
  pending_.append(data, static_cast<std::size_t>(size));
  if (pending_.size() >= kBlock) Write(std::exchange(pending_, {}));
  return error_ ? 0 : size;
}

int ReportFile::sync() {
  Write(std::exchange(pending_, {}));
  const auto now = std::chrono::steady_clock::now();
  if (!error_ && now - checkpoint_ >= interval_) {
    checkpoint_ = now;
    try {
      writer_.Checkpoint();
      checkpointed_ = true;
    } catch (const FileError& e) {
      error_ = Cause(e);
    }
  }
  return error_ ? -1 : 0;
}

std::string ReportFile::Commit() {
  Write(std::exchange(pending_, {}));
  if (error_) return *error_;
  try {
    writer_.Commit();
  } catch (const FileError& e) {
    error_ = Cause(e);
  }
  return error_.value_or("");
}

}  // namespace pellix
