#include "audio/recording_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "files/file_error.h"

namespace pellix {
namespace {

// A view of the most bytes a reader may be asked for fits in its block.
static_assert(RecordingReader::kBlockSize >= RecordingBytes::kLargestView);

// The block a thread's readers share, one reader at a time: taken by a reader while it lives,
// so that a reader made while another is alive on the same thread gets a block of its own.
std::vector<std::uint8_t>& ThreadBlock() {
  thread_local std::vector<std::uint8_t> block;
  return block;
}

RecordingReader& Of(void* user) {
  return *static_cast<RecordingReader*>(user);
}

}  // namespace

RecordingReader::RecordingReader(const InputFile& file, const std::filesystem::path& path)
    : file_(file), path_(path), block_(std::move(ThreadBlock())) {
  // Never more than the file holds: a short recording's reader touches no more memory.
  const std::size_t wanted =
      static_cast<std::size_t>(std::min<std::uint64_t>(file.size, kBlockSize));
  if (block_.size() < wanted) block_.resize(wanted);
}

RecordingReader::~RecordingReader() {
  std::vector<std::uint8_t>& kept = ThreadBlock();
  if (kept.size() < block_.size()) kept = std::move(block_);
}

bool RecordingReader::Fill(std::uint64_t offset) noexcept {
  block_start_ = offset;
  block_bytes_ = 0;
  const std::size_t wanted =
      static_cast<std::size_t>(std::min<std::uint64_t>(block_.size(), file_.size - offset));
  while (block_bytes_ < wanted) {
    const ssize_t n = ::pread(file_.fd.get(), block_.data() + block_bytes_, wanted - block_bytes_,
                              static_cast<off_t>(offset + block_bytes_));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      failed_ = errno;
      return false;
    }
    if (n == 0) break;
    block_bytes_ += static_cast<std::size_t>(n);
  }
  return true;
}

std::size_t RecordingReader::Copy(std::uint64_t offset, std::span<std::uint8_t> out) noexcept {
  std::size_t done = 0;
  while (done < out.size() && offset + done < file_.size) {
    const std::uint64_t at = offset + done;
    if (at < block_start_ || at >= block_start_ + block_bytes_) {
      if (!Fill(at) || block_bytes_ == 0) break;
    }
    const std::size_t from = static_cast<std::size_t>(at - block_start_);
    const std::size_t n = std::min(out.size() - done, block_bytes_ - from);
    std::memcpy(out.data() + done, block_.data() + from, n);
    done += n;
  }
  return done;
}

std::size_t RecordingReader::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  const std::size_t done = Copy(offset, out);
  RaiseReadFailure();
  return done;
}

std::span<const std::uint8_t> RecordingReader::View(std::uint64_t offset, std::size_t length) {
  if (offset >= file_.size) return {};
  length = static_cast<std::size_t>(std::min<std::uint64_t>(length, file_.size - offset));
  if (offset < block_start_ || offset + length > block_start_ + block_bytes_) {
    if (!Fill(offset)) RaiseReadFailure();
  }
  // A file that shrank since it was opened gives fewer bytes than asked.
  const auto from = static_cast<std::size_t>(offset - block_start_);
  return std::span<const std::uint8_t>(block_).subspan(from, std::min(length, block_bytes_ - from));
}

void RecordingReader::RaiseReadFailure() const {
  if (failed_ != 0) RaiseFileError(failed_, "cannot read", path_.string());
}

SF_VIRTUAL_IO RecordingReader::Callbacks() noexcept {
  SF_VIRTUAL_IO io{};
  io.get_filelen = [](void* user) -> sf_count_t {
    return static_cast<sf_count_t>(Of(user).file_.size);
  };
  io.seek = [](sf_count_t offset, int whence, void* user) -> sf_count_t {
    RecordingReader& r = Of(user);
    sf_count_t base = 0;
    if (whence == SEEK_CUR) base = r.position_;
    if (whence == SEEK_END) base = static_cast<sf_count_t>(r.file_.size);
    if (offset < -base || offset > std::numeric_limits<sf_count_t>::max() - base) return -1;
    r.position_ = base + offset;
    return r.position_;
  };
  io.read = [](void* out, sf_count_t count, void* user) -> sf_count_t {
    RecordingReader& r = Of(user);
    if (count <= 0 || r.failed_ != 0) return 0;
    const std::size_t n =
        r.Copy(static_cast<std::uint64_t>(r.position_),
               std::span(static_cast<std::uint8_t*>(out), static_cast<std::size_t>(count)));
    r.position_ += static_cast<sf_count_t>(n);
    return static_cast<sf_count_t>(n);
  };
  io.write = [](const void*, sf_count_t, void*) -> sf_count_t { return 0; };
  io.tell = [](void* user) -> sf_count_t { return Of(user).position_; };
  return io;
}

}  // namespace pellix
