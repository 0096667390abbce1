// Standard output that notices failed writes. A result redirected onto a full disk or into a
// closed descriptor must not end with exit status 0: every write, the final flush and the
// close are checked, and the first failure is kept for the exit message.
#pragma once

#include <array>
#include <streambuf>

namespace pellix {

// While alive, std::cout writes through a buffer of its own straight to descriptor 1.
class CheckedStandardOutput {
 public:
  CheckedStandardOutput();
  ~CheckedStandardOutput();
  CheckedStandardOutput(const CheckedStandardOutput&) = delete;
  CheckedStandardOutput& operator=(const CheckedStandardOutput&) = delete;

  // Flushes what is buffered and closes standard output. Returns the errno of the first write,
  // flush or close that failed, or 0 when everything written reached its destination.
  int Finish();

 private:
  class Buffer final : public std::streambuf {
   public:
    Buffer();
    int error() const noexcept { return error_; }
    // Writes out what is buffered; false once anything failed.
    bool Drain();

   protected:
    int_type overflow(int_type c) override;
    int sync() override;

   private:
    std::array<char, 64 * 1024> data_;
    int error_ = 0;
  };

  Buffer buffer_;
  std::streambuf* previous_;
  bool finished_ = false;
};

}  // namespace pellix
