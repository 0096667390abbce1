#include "audio/wav_pcm.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audio/audio_converter.h"
#include "audio/whole16_mix.h"

namespace pellix {
namespace {

struct Layout {
  SourceFacts facts;
  int bits = 0;
  std::uint64_t sound_at = 0;  // where the first frame starts
};

std::uint32_t Little32(std::span<const std::uint8_t> bytes, std::size_t at) noexcept {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
         (std::uint32_t{bytes[at + 3]} << 24);
}

std::uint16_t Little16(std::span<const std::uint8_t> bytes, std::size_t at) noexcept {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

bool IsId(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view id) noexcept {
  return bytes.size() >= at + id.size() &&
         std::equal(id.begin(), id.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

// The format chunk of plain PCM: format 1, one or two channels of 8 or 16 bits in frames of
// exactly their bytes, at a rate the converter takes.
bool ReadFormat(std::span<const std::uint8_t> chunk, Layout& layout) {
  if (chunk.size() < 16 || Little16(chunk, 0) != 1) return false;
  const int channels = Little16(chunk, 2);
  const std::uint32_t rate = Little32(chunk, 4);
  const int frame_bytes = Little16(chunk, 12);
  layout.bits = Little16(chunk, 14);
  if ((channels != 1 && channels != 2) || (layout.bits != 8 && layout.bits != 16) ||
      frame_bytes != channels * layout.bits / 8 ||
      rate < static_cast<std::uint32_t>(kLowestRecordingRate) ||
      rate > static_cast<std::uint32_t>(kHighestRecordingRate)) {
    return false;
  }
  layout.facts.rate = static_cast<int>(rate);
  layout.facts.channels = channels;
  return true;
}

// An INFO entry's name: I and three capitals or digits (INAM, ISFT, ICRD...).
bool IsInfoName(std::span<const std::uint8_t> entry) noexcept {
  const auto capital_or_digit = [](std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  };
  return entry[0] == 'I' && std::all_of(entry.begin() + 1, entry.begin() + 4, capital_or_digit);
}

// libsndfile reads the lists before the sound, and can lose its way in one that is not well
// formed, or that holds entries it reads otherwise (labels, cue notes), and miss the sound:
// only a list of INFO entries that fill it exactly is passed over.
bool IsInfoList(RecordingBytes& bytes, std::uint64_t body, std::uint32_t size) {
  if (size < 4 || !IsId(bytes.View(body, 4), 0, "INFO")) return false;
  const std::uint64_t end = body + size;
  std::uint64_t at = body + 4;
  for (int entries = 0; at < end && entries < 1000; ++entries) {
    const std::span<const std::uint8_t> entry = bytes.View(at, 8);
    if (end - at < 8 || entry.size() < 8 || !IsInfoName(entry)) return false;
    const std::uint32_t entry_size = Little32(entry, 4);
    if (entry_size > end - at - 8) return false;
    at += 8 + std::uint64_t{entry_size} + (entry_size & 1u);
  }
  return at == end;
}

// Walks the chunks of a RIFF/WAVE file. Besides the format and the sound, only chunks that
// libsndfile reads nothing from that matters here are passed over (padding, a frame count, INFO
// lists, any list after the sound): anything else, and any size it might read otherwise (a sound
// chunk of 0 or 0xFFFFFFFF bytes, of an odd size, of part of a frame, longer than the file),
// leaves the file to libsndfile.
bool ReadLayout(RecordingBytes& bytes, Layout& layout) {
  const std::span<const std::uint8_t> head = bytes.View(0, 12);
  if (head.size() < 12 || !IsId(head, 0, "RIFF") || !IsId(head, 8, "WAVE")) return false;
  const std::uint64_t size = bytes.size();
  bool format = false;
  bool sound = false;
  std::uint64_t offset = 12;
  // A bound on the chunks walked, as in the check for truncated files.
  for (int walked = 0; walked < 1000; ++walked) {
    const std::span<const std::uint8_t> header = bytes.View(offset, 8);
    // Fewer bytes than a chunk header are no chunk; libsndfile stops there too.
    if (header.size() < 8) return format && sound;
    const std::uint32_t chunk_size = Little32(header, 4);
    const std::uint64_t body = offset + 8;
    if (chunk_size > size - body) return false;
    if (IsId(header, 0, "fmt ")) {
      if (format || sound) return false;
      format = ReadFormat(bytes.View(body, std::min<std::size_t>(chunk_size, 16)), layout);
      if (!format) return false;
    } else if (IsId(header, 0, "data")) {
      if (!format || sound) return false;
      const auto frame_bytes = static_cast<std::uint32_t>(layout.facts.channels * layout.bits / 8);
      if (chunk_size == 0 || chunk_size == 0xFFFFFFFF || chunk_size % 2 != 0 ||
          chunk_size % frame_bytes != 0) {
        return false;
      }
      sound = true;
      layout.sound_at = body;
      layout.facts.frames = chunk_size / frame_bytes;
    } else if (IsId(header, 0, "fact")) {
      // libsndfile reads a count of 4 bytes from it whatever its size.
      if (chunk_size < 4) return false;
    } else if (IsId(header, 0, "LIST")) {
      if (!IsInfoList(bytes, body, chunk_size)) return false;
    } else if (!IsId(header, 0, "JUNK")) {
      return false;
    }
    offset = body + chunk_size + (chunk_size & 1u);  // chunks are padded to even sizes
    if (offset >= size) return format && sound;
  }
  return false;
}

// The mono values of the calling thread's sources, and its 8-bit samples made 16-bit ones.
struct Buffers {
  std::vector<float> mono = std::vector<float>(kMonoBlockFrames);
  std::vector<std::int16_t> whole16;

  static Buffers& Get() {
    thread_local Buffers buffers;
    return buffers;
  }
};

class WavPcmSource final : public MonoSource {
 public:
  WavPcmSource(RecordingBytes& bytes, const Layout& layout, RecordingLevels* levels)
      : bytes_(bytes), layout_(layout), levels_(levels) {}

  const SourceFacts& facts() const noexcept override { return layout_.facts; }
  bool floats() const noexcept override { return true; }
  const double* mono() const noexcept override { return nullptr; }
  const float* mono_floats() const noexcept override { return Buffers::Get().mono.data(); }
  std::int64_t frames() const noexcept override { return frames_; }
  // The header was checked against the file: every frame it announces is there.
  void CheckRead(const std::string&) override {}
  void RequireLastFrame(const std::string&) override { Frames(layout_.facts.frames - 1, 1); }

  std::size_t Read(bool mix) override {
    const auto count = static_cast<std::size_t>(
        std::min<std::int64_t>(kMonoBlockFrames, layout_.facts.frames - frames_));
    if (count == 0) return 0;
    if (mix || levels_ != nullptr) {
      const std::span<const std::uint8_t> in = Frames(frames_, count);
      const bool stereo = layout_.facts.channels == 2;
      float* const mono = Buffers::Get().mono.data();
      const Whole16Figures figures = layout_.bits == 16
                                         ? MixLittleEndian16(in.data(), count, stereo, mono)
                                         : MixUnsigned8(in, count, stereo, mono);
      if (levels_ != nullptr) levels_->AddMixedWhole16(figures, std::span(mono, count));
    }
    frames_ += static_cast<std::int64_t>(count);
    return count;
  }

 private:
  // The bytes of `count` frames from frame `first`. A file that shrank since its header was
  // read is left to libsndfile, which tells how much of it is missing.
  std::span<const std::uint8_t> Frames(std::int64_t first, std::size_t count) {
    const std::size_t frame_bytes = static_cast<std::size_t>(layout_.facts.channels) *
                                    static_cast<std::size_t>(layout_.bits / 8);
    const std::span<const std::uint8_t> in = bytes_.View(
        layout_.sound_at + static_cast<std::uint64_t>(first) * frame_bytes, count * frame_bytes);
    if (in.size() < count * frame_bytes) throw ReadThroughLibsndfile{};
    return in;
  }

  // 8-bit samples are unsigned, centred on 128: the 16-bit whole number of one is
  // (u - 128) << 8.
  static Whole16Figures MixUnsigned8(std::span<const std::uint8_t> in, std::size_t count,
                                     bool stereo, float* mono) {
    std::vector<std::int16_t>& whole16 = Buffers::Get().whole16;
    whole16.resize(in.size());
    std::transform(in.begin(), in.end(), whole16.begin(),
                   [](std::uint8_t u) { return static_cast<std::int16_t>((u - 128) * 256); });
    return MixWhole16(whole16.data(), count, stereo, mono);
  }

  RecordingBytes& bytes_;
  Layout layout_;
  RecordingLevels* levels_;
  std::int64_t frames_ = 0;
};

}  // namespace

std::unique_ptr<MonoSource> OpenWavPcm(RecordingBytes& bytes, RecordingLevels* levels) {
  Layout layout;
  layout.facts.seekable = true;
  if (!ReadLayout(bytes, layout)) return nullptr;
  return std::make_unique<WavPcmSource>(bytes, layout, levels);
}

}  // namespace pellix
