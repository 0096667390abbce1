#include "host/standard_output.h"

#include <unistd.h>

#include <cerrno>
#include <iostream>

namespace pellix {

CheckedStandardOutput::Buffer::Buffer() {
  setp(data_.data(), data_.data() + data_.size());
}

bool CheckedStandardOutput::Buffer::Drain() {
  const char* next = pbase();
  while (error_ == 0 && next < pptr()) {
    const ssize_t wrote = ::write(STDOUT_FILENO, next, static_cast<std::size_t>(pptr() - next));
    if (wrote < 0) {
      if (errno != EINTR) error_ = errno;
      continue;
    }
    next += wrote;
  }
  // After a failure the rest is dropped: a result with a piece missing in the middle would be
  // worse than one cut short, and the exit status says it failed.
  setp(data_.data(), data_.data() + data_.size());
  return error_ == 0;
}

CheckedStandardOutput::Buffer::int_type CheckedStandardOutput::Buffer::overflow(int_type c) {
  if (!Drain()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

int CheckedStandardOutput::Buffer::sync() {
  return Drain() ? 0 : -1;
}

CheckedStandardOutput::CheckedStandardOutput() : previous_(std::cout.rdbuf(&buffer_)) {}

CheckedStandardOutput::~CheckedStandardOutput() {
  if (!finished_) buffer_.Drain();
  std::cout.rdbuf(previous_);
}

int CheckedStandardOutput::Finish() {
  finished_ = true;
  std::cout.flush();
  buffer_.Drain();
  int error = buffer_.error();
  // Some file systems report a failed write only at the close. A descriptor that was never
  // open only matters when something was written, and then the write said so.
  if (::close(STDOUT_FILENO) != 0 && error == 0 && errno != EINTR && errno != EBADF) error = errno;
  std::cout.rdbuf(previous_);
  return error;
}

}  // namespace pellix
