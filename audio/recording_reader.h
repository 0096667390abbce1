// A recording file handed to libsndfile through its virtual I/O and read in large blocks.
//
// Opened on a descriptor, libsndfile reads a recording in pieces of a few kilobytes, seeking
// before many of them and asking the file's size again and again: some fifty system calls for
// a take of two seconds. Here it reads from a block of the file held in memory, refilled a
// block at a time, so that a take of a few hundred kilobytes costs one read. The bytes it sees
// are the same.
#pragma once

#include <sndfile.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "audio/input_file.h"
#include "audio/recording_bytes.h"

namespace pellix {

class RecordingReader final : public RecordingBytes {
 public:
  // Bytes read from the file at a time (a thread's reader keeps its block for the next).
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;

  RecordingReader(const InputFile& file, const std::filesystem::path& path);
  ~RecordingReader();
  RecordingReader(const RecordingReader&) = delete;
  RecordingReader& operator=(const RecordingReader&) = delete;

  // Up to out.size() bytes at `offset`, fewer only at the end of the file. A failed read is
  // FileError 75 naming the file.
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out);

  std::uint64_t size() const noexcept override { return file_.size; }

  // The bytes at `offset` in the block, refilled from `offset` when they are not all in it.
  std::span<const std::uint8_t> View(std::uint64_t offset, std::size_t length) override;

  // The callbacks for sf_open_virtual, with this reader as their user data. A failed read
  // ends the data there for libsndfile; RaiseReadFailure then tells what happened.
  static SF_VIRTUAL_IO Callbacks() noexcept;

  // Raises FileError 75 naming the file when a read through the callbacks failed.
  void RaiseReadFailure() const;

 private:
  // As ReadAt, but a failure leaves its errno in `failed_` and ends the bytes there.
  std::size_t Copy(std::uint64_t offset, std::span<std::uint8_t> out) noexcept;
  bool Fill(std::uint64_t offset) noexcept;

  const InputFile& file_;
  std::filesystem::path path_;
  std::vector<std::uint8_t> block_;
  std::uint64_t block_start_ = 0;
  std::size_t block_bytes_ = 0;
  std::int64_t position_ = 0;  // where libsndfile reads next
  int failed_ = 0;             // errno of the first failed read
};

}  // namespace pellix
