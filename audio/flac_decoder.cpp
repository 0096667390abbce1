#include "audio/flac_decoder.h"

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <span>
#include <string>
#include <vector>

#include "audio/audio_converter.h"
#include "audio/whole16_mix.h"

namespace pellix {
namespace {

struct DecoderDeleter {
  void operator()(FLAC__StreamDecoder* decoder) const noexcept {
    FLAC__stream_decoder_delete(decoder);
  }
};
using DecoderHandle = std::unique_ptr<FLAC__StreamDecoder, DecoderDeleter>;

// What one thread's sources reuse: the mono values of the frames decoded and not yet read, and
// the figures of each block of kMonoBlockFrames of them.
struct Buffers {
  std::vector<float> mono;
  std::vector<Whole16Figures> figures;

  static Buffers& Get() {
    thread_local Buffers buffers;
    return buffers;
  }
};

// libFLAC hands over each frame of the stream (up to 65535 samples a channel) in a callback,
// its samples valid only there: they are mixed down at once, behind those not yet read. Reads
// then hand out the same blocks of kMonoBlockFrames that libsndfile's reads would, and each
// block's figures are summed as its frames arrive, so that the levels add up the same blocks.
class FlacSource final : public MonoSource {
 public:
  FlacSource(RecordingBytes& bytes, RecordingLevels* levels) : bytes_(bytes), levels_(levels) {}

  // Decodes the stream's description.
  void Open() {
    decoder_.reset(FLAC__stream_decoder_new());
    if (!decoder_) throw ReadThroughLibsndfile{};
    // Every description block is parsed, as libsndfile has it, so that a damaged one fails
    // there as it does in libsndfile.
    FLAC__stream_decoder_set_metadata_respond_all(decoder_.get());
    if (FLAC__stream_decoder_init_stream(decoder_.get(), &ReadBytes, &Seek, &Tell, &Length, &End,
                                         &Write, &Describe, &Fail,
                                         this) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
      throw ReadThroughLibsndfile{};
    }
    Check(FLAC__stream_decoder_process_until_end_of_metadata(decoder_.get()));
    if (!described_ || (facts_.channels != 1 && facts_.channels != 2) ||
        (bits_ != 8 && bits_ != 16) || facts_.frames <= 0 || largest_frame_ == 0 ||
        facts_.rate < kLowestRecordingRate || facts_.rate > kHighestRecordingRate) {
      throw ReadThroughLibsndfile{};
    }
    Buffers& buffers = Buffers::Get();
    const std::size_t capacity = kMonoBlockFrames + largest_frame_;
    if (buffers.mono.size() < capacity) buffers.mono.resize(capacity);
    buffers.figures.resize(capacity / kMonoBlockFrames + 1);
  }

  const SourceFacts& facts() const noexcept override { return facts_; }
  bool floats() const noexcept override { return true; }
  const double* mono() const noexcept override { return nullptr; }
  const float* mono_floats() const noexcept override { return Buffers::Get().mono.data(); }
  std::int64_t frames() const noexcept override { return frames_; }
  // Any error stopped the reads already, and went to libsndfile.
  void CheckRead(const std::string&) override {}
  // Seeks to the last frame and decodes it, as libsndfile does, rather than all those before
  // it; a stream where that fails is left to libsndfile.
  void RequireLastFrame(const std::string&) override {
    seeking_ = true;
    written_ = false;
    const FLAC__bool sought = FLAC__stream_decoder_seek_absolute(
        decoder_.get(), static_cast<FLAC__uint64>(facts_.frames - 1));
    seeking_ = false;
    Check(sought);
    if (!written_) throw ReadThroughLibsndfile{};
  }

  // Mixed down whether or not `mix`: the frames come mixed from the decoder.
  std::size_t Read(bool) override {
    Buffers& buffers = Buffers::Get();
    if (head_ > 0) {  // what the last read handed out goes; the rest moves to the front
      std::copy(buffers.mono.begin() + static_cast<std::ptrdiff_t>(head_),
                buffers.mono.begin() + static_cast<std::ptrdiff_t>(tail_), buffers.mono.begin());
      const std::size_t blocks = (tail_ + kMonoBlockFrames - 1) / kMonoBlockFrames;
      std::copy(buffers.figures.begin() + 1,
                buffers.figures.begin() + static_cast<std::ptrdiff_t>(blocks),
                buffers.figures.begin());
      tail_ -= head_;
      head_ = 0;
    }
    while (tail_ < kMonoBlockFrames && decoded_ < static_cast<std::uint64_t>(facts_.frames)) {
      written_ = false;
      Check(FLAC__stream_decoder_process_single(decoder_.get()));
      // The stream ended before the frames it announces.
      if (!written_) throw ReadThroughLibsndfile{};
    }
    const std::size_t count = std::min(kMonoBlockFrames, tail_);
    if (count == 0) return 0;
    if (levels_ != nullptr) {
      levels_->AddMixedWhole16(buffers.figures[0], std::span(buffers.mono.data(), count));
    }
    head_ = count;
    frames_ += static_cast<std::int64_t>(count);
    return count;
  }

 private:
  // After a call into libFLAC: a failed read of the file is raised as it is, anything else that
  // went wrong leaves the stream to libsndfile.
  void Check(FLAC__bool done) {
    if (read_failure_) std::rethrow_exception(read_failure_);
    if (!done || failed_) throw ReadThroughLibsndfile{};
  }

  static FlacSource& Of(void* client) { return *static_cast<FlacSource*>(client); }

  static FLAC__StreamDecoderReadStatus ReadBytes(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                                 std::size_t* bytes, void* client) noexcept {
    FlacSource& self = Of(client);
    try {
      const std::span<const std::uint8_t> in =
          self.bytes_.View(self.position_, std::min(*bytes, RecordingBytes::kLargestView));
      std::memcpy(buffer, in.data(), in.size());
      self.position_ += in.size();
      *bytes = in.size();
      return in.empty() ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                        : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    } catch (...) {
      self.read_failure_ = std::current_exception();
      return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    }
  }

  static FLAC__StreamDecoderSeekStatus Seek(const FLAC__StreamDecoder*, FLAC__uint64 offset,
                                            void* client) noexcept {
    FlacSource& self = Of(client);
    if (offset > self.bytes_.size()) return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    self.position_ = offset;
    return FLAC__STREAM_DECODER_SEEK_STATUS_OK;
  }

  static FLAC__StreamDecoderTellStatus Tell(const FLAC__StreamDecoder*, FLAC__uint64* offset,
                                            void* client) noexcept {
    *offset = Of(client).position_;
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
  }

  static FLAC__StreamDecoderLengthStatus Length(const FLAC__StreamDecoder*, FLAC__uint64* length,
                                                void* client) noexcept {
    *length = Of(client).bytes_.size();
    return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
  }

  static FLAC__bool End(const FLAC__StreamDecoder*, void* client) noexcept {
    const FlacSource& self = Of(client);
    return self.position_ >= self.bytes_.size();
  }

  static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                              const FLAC__int32* const channels[],
                                              void* client) noexcept {
    FlacSource& self = Of(client);
    const FLAC__FrameHeader& header = frame->header;
    // After an error libFLAC may go on to hand over frames (of silence, in place of those it
    // lost) in the same decoding step: the stream is libsndfile's by then, and none is taken.
    if (self.failed_ || static_cast<int>(header.channels) != self.facts_.channels ||
        static_cast<int>(header.bits_per_sample) != self.bits_ ||
        header.blocksize > self.largest_frame_ ||
        self.tail_ + header.blocksize > Buffers::Get().mono.size()) {
      self.failed_ = true;
      return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    if (self.seeking_) {  // the last frame is there; nothing more is wanted of it
      self.written_ = true;
      return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    if (self.decoded_ + header.blocksize > static_cast<std::uint64_t>(self.facts_.frames)) {
      self.failed_ = true;
      return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    Buffers& buffers = Buffers::Get();
    const int shift = 16 - self.bits_;
    const FLAC__int32* const right = self.facts_.channels == 2 ? channels[1] : nullptr;
    for (std::size_t done = 0; done < header.blocksize;) {
      const std::size_t block = self.tail_ / kMonoBlockFrames;
      const std::size_t within = self.tail_ % kMonoBlockFrames;
      if (within == 0) buffers.figures[block] = {};
      const std::size_t count = std::min(header.blocksize - done, kMonoBlockFrames - within);
      buffers.figures[block].Add(MixPlanar32(channels[0] + done,
                                             right != nullptr ? right + done : nullptr, count,
                                             shift, buffers.mono.data() + self.tail_));
      self.tail_ += count;
      done += count;
    }
    self.decoded_ += header.blocksize;
    self.written_ = true;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }

  static void Describe(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata,
                       void* client) noexcept {
    if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO) return;
    FlacSource& self = Of(client);
    const FLAC__StreamMetadata_StreamInfo& info = metadata->data.stream_info;
    self.described_ = true;
    self.facts_.rate = static_cast<int>(info.sample_rate);
    self.facts_.channels = static_cast<int>(info.channels);
    self.facts_.frames = static_cast<std::int64_t>(info.total_samples);
    self.facts_.seekable = true;
    self.bits_ = static_cast<int>(info.bits_per_sample);
    self.largest_frame_ = info.max_blocksize;
  }

  static void Fail(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus,
                   void* client) noexcept {
    Of(client).failed_ = true;
  }

  RecordingBytes& bytes_;
  RecordingLevels* levels_;
  DecoderHandle decoder_;
  std::uint64_t position_ = 0;  // of the next byte libFLAC reads
  std::exception_ptr read_failure_;
  bool failed_ = false;  // libFLAC reported an error, or a frame disagreed with the description
  bool described_ = false;
  bool written_ = false;  // a frame came out of the last decoding step
  bool seeking_ = false;  // to the last frame
  SourceFacts facts_;
  int bits_ = 0;
  std::uint32_t largest_frame_ = 0;  // samples a channel
  std::uint64_t decoded_ = 0;        // frames
  std::size_t head_ = 0;             // mono values handed out by the last read
  std::size_t tail_ = 0;             // mono values held
  std::int64_t frames_ = 0;          // handed out
};

}  // namespace

std::unique_ptr<MonoSource> OpenFlac(RecordingBytes& bytes, RecordingLevels* levels) {
  const std::span<const std::uint8_t> head = bytes.View(0, 4);
  if (head.size() < 4 || std::memcmp(head.data(), "fLaC", 4) != 0) return nullptr;
  auto source = std::make_unique<FlacSource>(bytes, levels);
  source->Open();
  return source;
}

}  // namespace pellix
