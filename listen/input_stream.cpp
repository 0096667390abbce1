#include "listen/input_stream.h"

#include <poll.h>
#include <unistd.h>

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

#include "files/file_system.h"
#include "platform/error.h"

namespace pellix::listen {
namespace {

// How a WAV stream's samples are stored, before they become the listener's.
enum class Encoding { kS16, kU8, kS24, kS32, kF32, kF64 };

std::size_t EncodedBytes(Encoding e) {
  switch (e) {
    case Encoding::kU8:
      return 1;
    case Encoding::kS16:
      return 2;
    case Encoding::kS24:
      return 3;
    case Encoding::kS32:
    case Encoding::kF32:
      return 4;
    case Encoding::kF64:
      return 8;
  }
  return 2;
}

// One encoded sample as a float, full scale -1 to 1.
float Decode(Encoding e, const std::byte* at) {
  unsigned char b[8];
  std::memcpy(b, at, EncodedBytes(e));
  switch (e) {
    case Encoding::kU8:
      return static_cast<float>((b[0] - 128) / 128.0);
    case Encoding::kS24: {
      std::int32_t v = static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) << 8 |
                                                 static_cast<std::uint32_t>(b[1]) << 16 |
                                                 static_cast<std::uint32_t>(b[2]) << 24);
      return static_cast<float>(v / 2147483648.0);
    }
    case Encoding::kS32: {
      std::int32_t v;
      std::memcpy(&v, b, sizeof v);
      return static_cast<float>(v / 2147483648.0);
    }
    case Encoding::kF32: {
      float v;
      std::memcpy(&v, b, sizeof v);
      return v;
    }
    case Encoding::kF64: {
      double v;
      std::memcpy(&v, b, sizeof v);
      return static_cast<float>(v);
    }
    case Encoding::kS16:
      break;
  }
  return 0;
}

// The most a WAV stream's header may take before its data chunk.
constexpr std::uint64_t kMostHeaderBytes = 1 << 20;

StreamError NotWav(const std::string& name, const std::string& why) {
  return StreamError(kInvalidFileFormat,
                     name + " is not a WAV stream (" + why +
                         "); for raw PCM give --rate, --channels and --sample-format");
}

class DescriptorStream final : public SoundStream {
 public:
  DescriptorStream(int fd, std::string name, const std::atomic<bool>& stop)
      : fd_(fd), name_(std::move(name)), stop_(stop) {}

  void Raw(const StreamFormat& format) {
    format_ = format;
    encoding_ = format.format == SampleFormat::kS16 ? Encoding::kS16 : Encoding::kF32;
  }

  // Reads the RIFF header up to the start of the data chunk.
  void ReadWavHeader() {
    std::vector<std::byte> riff = Exactly(12, "the RIFF header");
    if (std::memcmp(riff.data(), "RIFF", 4) != 0 || std::memcmp(riff.data() + 8, "WAVE", 4) != 0)
      throw NotWav(name_, "it does not begin with a RIFF WAVE header");
    bool have_format = false;
    for (;;) {
      // Every chunk counts, its header too: a stream of garbage or of endless empty chunks
      // meets the limit soon.
      if (header_bytes_ > kMostHeaderBytes) throw NotWav(name_, "no data chunk in its first MiB");
      std::vector<std::byte> chunk = Exactly(8, "a chunk header");
      const std::uint32_t size = Little32(chunk.data() + 4);
      if (std::memcmp(chunk.data(), "data", 4) == 0) {
        // A writer that cannot seek back (arecord, a pipe) may leave the size unknown; a known
        // size ends the sound, and whatever chunks follow it are no sound.
        if (size != 0 && size != 0xFFFFFFFFu) data_left_ = size;
        break;
      }
      const std::uint64_t padded = std::uint64_t{size} + (size & 1);
      if (header_bytes_ + padded > kMostHeaderBytes)
        throw NotWav(name_, "no data chunk in its first MiB");
      if (std::memcmp(chunk.data(), "fmt ", 4) == 0) {
        if (size < 16 || size > 1024) throw NotWav(name_, "its format chunk is damaged");
        ReadFormat(Exactly(static_cast<std::size_t>(padded), "the format chunk"));
        have_format = true;
        continue;
      }
      Exactly(static_cast<std::size_t>(padded), "a chunk");  // lists and facts before the data
    }
    if (!have_format) throw NotWav(name_, "its data comes before any format chunk");
  }

  const StreamFormat& format() const override { return format_; }
  const std::string& name() const override { return name_; }

  StreamRead Read(std::span<std::byte> out, std::chrono::milliseconds wait) override {
    StreamRead result;
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(wait.count()));
    if (ready == 0) {
      result.status = StreamRead::Status::kStall;
      return result;
    }
    if (ready < 0) {
      if (errno == EINTR) return result;
      return Failed(errno);
    }
    const std::size_t encoded_frame = EncodedBytes(encoding_) * format_.channels;
    const std::size_t want_frames = out.size() / format_.frame_bytes();
    buffer_.resize(want_frames * encoded_frame);
    // What is left of a frame from the last read goes first.
    const std::size_t carried = pending_.size();
    std::copy(pending_.begin(), pending_.end(), buffer_.begin());
    std::size_t wanted = buffer_.size() - carried;
    if (data_left_) wanted = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, *data_left_));
    const ssize_t got = wanted == 0 ? 0 : ::read(fd_, buffer_.data() + carried, wanted);
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) return result;
      return Failed(errno);
    }
    if (data_left_) *data_left_ -= static_cast<std::uint64_t>(got);
    if (got == 0) {
      result.status = StreamRead::Status::kEnd;
      if (!pending_.empty()) {
        result.message = "the last " + std::to_string(pending_.size()) +
                         " bytes were not a whole frame and were left out";
      }
      return result;
    }
    const std::size_t have = carried + static_cast<std::size_t>(got);
    const std::size_t frames = have / encoded_frame;
    Convert(frames, out);
    pending_.assign(buffer_.begin() + static_cast<std::ptrdiff_t>(frames * encoded_frame),
                    buffer_.begin() + static_cast<std::ptrdiff_t>(have));
    result.frames = frames;
    result.live_at = Clock::now() -
                     std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double>(static_cast<double>(frames) / format_.rate));
    return result;
  }

 private:
  static std::uint32_t Little32(const std::byte* at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | std::to_integer<std::uint32_t>(at[i]);
    return v;
  }
  static std::uint16_t Little16(const std::byte* at) {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(at[0]) |
                                      std::to_integer<unsigned>(at[1]) << 8);
  }

  void ReadFormat(const std::vector<std::byte>& fmt) {
    std::uint16_t tag = Little16(fmt.data());
    const std::uint16_t channels = Little16(fmt.data() + 2);
    const std::uint32_t rate = Little32(fmt.data() + 4);
    const std::uint16_t align = Little16(fmt.data() + 12);
    const std::uint16_t bits = Little16(fmt.data() + 14);
    constexpr std::uint16_t kExtensible = 0xFFFE;
    if (tag == kExtensible) {
      if (fmt.size() < 26) throw NotWav(name_, "its extensible format chunk is short");
      tag = Little16(fmt.data() + 24);  // the sub-format's first two bytes
    }
    if (tag == 1 && bits == 8) {
      encoding_ = Encoding::kU8;
    } else if (tag == 1 && bits == 16) {
      encoding_ = Encoding::kS16;
    } else if (tag == 1 && bits == 24) {
      encoding_ = Encoding::kS24;
    } else if (tag == 1 && bits == 32) {
      encoding_ = Encoding::kS32;
    } else if (tag == 3 && bits == 32) {
      encoding_ = Encoding::kF32;
    } else if (tag == 3 && bits == 64) {
      encoding_ = Encoding::kF64;
    } else {
      throw StreamError(kInvalidFileFormat,
                        name_ + ": WAV samples of format " + std::to_string(tag) + " with " +
                            std::to_string(bits) +
                            " bits cannot be listened to; send 16-bit PCM or 32-bit floats");
    }
    format_.rate = rate;
    format_.channels = channels;
    format_.format = encoding_ == Encoding::kS16 ? SampleFormat::kS16 : SampleFormat::kF32;
    if (std::string problem = FormatProblem(format_); !problem.empty())
      throw StreamError(kInvalidFileFormat, name_ + ": " + problem);
    if (align != EncodedBytes(encoding_) * channels)
      throw NotWav(name_, "its frame size does not match its channels and bits");
  }

  // `n` bytes, waiting for them as long as it takes (the header of a stream that is about to
  // start), unless stopped.
  std::vector<std::byte> Exactly(std::size_t n, const char* what) {
    std::vector<std::byte> bytes(n);
    std::size_t have = 0;
    while (have < n) {
      if (stop_.load())
        throw StreamError(kPathFileAccessError, name_ + ": stopped before any sound");
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      const ssize_t got = ::read(fd_, bytes.data() + have, n - have);
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (got < 0) {
        const int e = errno;
        throw StreamError(FileErrorNumber(e), "cannot read " + name_ + ": " + std::strerror(e));
      }
      if (got == 0) {
        if (header_bytes_ == 0)
          throw StreamError(kInvalidFileFormat, name_ + " ended before any sound");
        throw NotWav(name_, std::string("it ends inside ") + what);
      }
      have += static_cast<std::size_t>(got);
      header_bytes_ += static_cast<std::uint64_t>(got);
    }
    return bytes;
  }

  void Convert(std::size_t frames, std::span<std::byte> out) {
    const std::size_t samples = frames * format_.channels;
    if (encoding_ == Encoding::kS16 || (encoding_ == Encoding::kF32)) {
      std::memcpy(out.data(), buffer_.data(), samples * EncodedBytes(encoding_));
      return;
    }
    const std::size_t step = EncodedBytes(encoding_);
    for (std::size_t i = 0; i < samples; ++i) {
      const float value = Decode(encoding_, buffer_.data() + i * step);
      std::memcpy(out.data() + i * sizeof value, &value, sizeof value);
    }
  }

  StreamRead Failed(int e) {
    StreamRead result;
    result.status = StreamRead::Status::kFailed;
    result.message = "cannot read " + name_ + ": " + std::strerror(e) + " (error " +
                     std::to_string(FileErrorNumber(e)) + ")";
    return result;
  }

  int fd_;
  std::string name_;
  const std::atomic<bool>& stop_;
  StreamFormat format_;
  Encoding encoding_ = Encoding::kS16;
  std::vector<std::byte> buffer_;
  std::vector<std::byte> pending_;
  std::uint64_t header_bytes_ = 0;  // read before the data
  // The bytes of sound still to come, when the data chunk says how many.
  std::optional<std::uint64_t> data_left_;
};

class FileStream final : public SoundStream {
 public:
  FileStream(const std::filesystem::path& path, bool realtime)
      : name_("'" + path.string() + "'"), realtime_(realtime) {
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    if (file_ == nullptr) {
      const int e = errno;
      std::error_code ec;
      if (!std::filesystem::exists(path, ec))
        throw StreamError(kFileNotFound, "cannot open " + name_ + ": " + std::strerror(ENOENT));
      if (e == EACCES)
        throw StreamError(kPermissionDenied, "cannot open " + name_ + ": " + std::strerror(e));
      throw StreamError(kInvalidFileFormat,
                        "cannot read " + name_ + " as a recording: " + sf_strerror(nullptr));
    }
    const int subtype = info_.format & SF_FORMAT_SUBMASK;
    const bool whole16 =
        subtype == SF_FORMAT_PCM_16 || subtype == SF_FORMAT_PCM_S8 || subtype == SF_FORMAT_PCM_U8;
    format_.rate = info_.samplerate > 0 ? static_cast<std::uint32_t>(info_.samplerate) : 0;
    format_.channels = info_.channels > 0 ? static_cast<std::uint32_t>(info_.channels) : 0;
    format_.format = whole16 ? SampleFormat::kS16 : SampleFormat::kF32;
    if (std::string problem = FormatProblem(format_); !problem.empty()) {
      sf_close(file_);
      throw StreamError(kInvalidFileFormat, name_ + ": " + problem);
    }
    block_frames_ = std::max<std::size_t>(1, format_.rate / 100);
    started_ = Clock::now();
  }
  ~FileStream() override { sf_close(file_); }

  const StreamFormat& format() const override { return format_; }
  const std::string& name() const override { return name_; }

  StreamRead Read(std::span<std::byte> out, std::chrono::milliseconds) override {
    StreamRead result;
    std::size_t frames = out.size() / format_.frame_bytes();
    if (realtime_) {
      frames = std::min(frames, block_frames_);
      const Clock::time_point due = At(read_ + frames);
      std::this_thread::sleep_until(due);
    }
    sf_count_t got;
    if (format_.format == SampleFormat::kS16) {
      got = sf_readf_short(file_, reinterpret_cast<short*>(out.data()),
                           static_cast<sf_count_t>(frames));
    } else {
      got = sf_readf_float(file_, reinterpret_cast<float*>(out.data()),
                           static_cast<sf_count_t>(frames));
    }
    if (got <= 0) {
      if (sf_error(file_) != SF_ERR_NO_ERROR) {
        result.status = StreamRead::Status::kFailed;
        result.message = "cannot read " + name_ + ": " + sf_strerror(file_) + " (error " +
                         std::to_string(kPathFileAccessError) + ")";
      } else {
        result.status = StreamRead::Status::kEnd;
      }
      return result;
    }
    result.frames = static_cast<std::size_t>(got);
    result.live_at = realtime_ ? At(read_) : Clock::now();
    read_ += result.frames;
    return result;
  }

 private:
  Clock::time_point At(std::uint64_t frame) const {
    return started_ + std::chrono::duration_cast<Clock::duration>(
                          std::chrono::duration<double>(static_cast<double>(frame) / format_.rate));
  }

  std::string name_;
  bool realtime_;
  SF_INFO info_{};
  SNDFILE* file_ = nullptr;
  StreamFormat format_;
  std::size_t block_frames_ = 1;
  std::uint64_t read_ = 0;
  Clock::time_point started_;
};

}  // namespace

std::unique_ptr<SoundStream> OpenDescriptorStream(int fd, std::string name,
                                                  const std::optional<StreamFormat>& raw,
                                                  const std::atomic<bool>& stop) {
  auto stream = std::make_unique<DescriptorStream>(fd, std::move(name), stop);
  if (raw) {
    stream->Raw(*raw);
  } else {
    stream->ReadWavHeader();
  }
  return stream;
}

std::unique_ptr<SoundStream> OpenFileStream(const std::filesystem::path& path, bool realtime) {
  return std::make_unique<FileStream>(path, realtime);
}

}  // namespace pellix::listen
