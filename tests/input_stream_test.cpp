#include "listen/input_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "scratch_directory_test_base.h"

namespace pellix::listen {
namespace {

std::string Le32(std::uint32_t v) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>(v >> (8 * i) & 0xFF);
  return bytes;
}

std::string Chunk(const std::string& id, std::uint32_t size, std::string body) {
  return id + Le32(size) + body;
}

// The format chunk of 16-bit mono at 16000 Hz.
std::string Format() {
  const std::string fields(
      "\x01\x00\x01\x00"
      "\x80\x3e\x00\x00"
      "\x00\x7d\x00\x00"
      "\x02\x00\x10\x00",
      16);
  return Chunk("fmt ", 16, fields);
}

std::string Wav(const std::string& chunks) {
  return "RIFF" + Le32(0) + "WAVE" + chunks;
}

class InputStream : public ScratchDirectoryTest {
 protected:
  // The frames a WAV stream of `bytes` on a descriptor gives, or the error it raises.
  std::string FramesOf(const std::string& bytes) {
    Write("stream.wav", bytes);
    const int fd = ::open(Path("stream.wav").c_str(), O_RDONLY);
    std::atomic<bool> stop{false};
    std::string outcome;
    try {
      auto stream = OpenDescriptorStream(fd, "standard input", std::nullopt, stop);
      std::vector<std::byte> block(4096);
      std::uint64_t frames = 0;
      for (;;) {
        const StreamRead read = stream->Read(block, std::chrono::milliseconds(100));
        frames += read.frames;
        if (read.status != StreamRead::Status::kData) break;
      }
      outcome = std::to_string(frames) + " frames";
    } catch (const StreamError& e) {
      outcome = e.what();
    }
    ::close(fd);
    return outcome;
  }
};

TEST_F(InputStream, TheDataChunksSizeEndsTheSoundUnlessItIsUnknown) {
  const std::string sound(2000, '\x40');  // 1000 frames
  const std::string tags = Chunk("LIST", 4000, std::string(4000, '\x7f'));
  std::string empty_chunks;
  while (empty_chunks.size() <= (1u << 20)) empty_chunks += Chunk("junk", 0, "");
  const std::string not_wav =
      "standard input is not a WAV stream (no data chunk in its first MiB); for raw PCM give "
      "--rate, --channels and --sample-format";
  struct Case {
    const char* name;
    std::string bytes;
    std::string outcome;
  };
  const Case cases[] = {
      {"a list after the data", Wav(Format() + Chunk("data", 2000, sound) + tags), "1000 frames"},
      {"a size of 0 is unknown", Wav(Format() + Chunk("data", 0, sound) + tags), "3004 frames"},
      {"so is 0xFFFFFFFF", Wav(Format() + Chunk("data", 0xFFFFFFFF, sound)), "1000 frames"},
      {"a size past the end", Wav(Format() + Chunk("data", 6000, sound)), "1000 frames"},
      {"a MiB of empty chunks", Wav(Format() + empty_chunks + Chunk("data", 2000, sound)), not_wav},
      {"a chunk of 4 GiB",
       Wav(Format() + Chunk("junk", 0xFFFFFFFF, "") + Chunk("data", 2000, sound)), not_wav},
  };
  for (const Case& c : cases) EXPECT_EQ(FramesOf(c.bytes), c.outcome) << c.name;
}

// Samples of every other encoding are handed on as floats, full scale -1 to 1.
TEST_F(InputStream, SamplesOfEachEncodingAreScaledToFullScale) {
  auto le = [](std::uint64_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
    return out;
  };
  struct Case {
    int tag;
    int bits;
    std::string data;
    std::vector<float> samples;
  };
  const Case cases[] = {
      {1, 8, std::string("\x00\x40\x80\xC0\xFF", 5), {-1, -0.5, 0, 0.5, 127 / 128.0f}},
      {1, 24, le(0x800000, 3) + le(0x400000, 3) + le(0x7FFFFF, 3), {-1, 0.5, 1 - 1 / 8388608.0f}},
      {1, 32, le(0x80000000, 4) + le(0xC0000000, 4), {-1, -0.5}},
      {3, 64, le(0xBFD0000000000000, 8) + le(0x3FF8000000000000, 8), {-0.25, 1.5}},
  };
  for (const Case& c : cases) {
    const int size = c.bits / 8;
    const std::string format =
        le(c.tag, 2) + le(1, 2) + le(16000, 4) + le(16000 * size, 4) + le(size, 2) + le(c.bits, 2);
    Write("stream.wav", Wav(Chunk("fmt ", 16, format) +
                            Chunk("data", static_cast<std::uint32_t>(c.data.size()), c.data)));
    const int fd = ::open(Path("stream.wav").c_str(), O_RDONLY);
    std::atomic<bool> stop{false};
    auto stream = OpenDescriptorStream(fd, "standard input", std::nullopt, stop);
    std::vector<float> got;
    std::vector<std::byte> block(4096);
    for (;;) {
      const StreamRead read = stream->Read(block, std::chrono::milliseconds(100));
      const auto* floats = reinterpret_cast<const float*>(block.data());
      got.insert(got.end(), floats, floats + read.frames);
      if (read.status != StreamRead::Status::kData) break;
    }
    ::close(fd);
    EXPECT_EQ(got, c.samples) << c.bits << " bits";
  }
}

}  // namespace
}  // namespace pellix::listen
