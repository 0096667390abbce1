// Takes in memory: the bytes of a file and the PCM samples of a recording must prepare exactly
// as the file does, and PCM of an impossible shape or rate is refused by number and name.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "analysis/memory_take.h"
#include "analysis/sample_source.h"
#include "files/file_error.h"
#include "scratch_directory_test_base.h"

namespace pellix::analysis {
namespace {

std::vector<std::uint8_t> FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Everything a take's row is made of, compared to the bit.
void ExpectSamePrepared(const PreparedTake& file, const PreparedTake& memory) {
  EXPECT_EQ(file.window, memory.window);
  EXPECT_EQ(file.samples, memory.samples);
  EXPECT_EQ(file.rate, memory.rate);
  EXPECT_EQ(file.duration, memory.duration);
  EXPECT_EQ(file.levels.peak_dbfs, memory.levels.peak_dbfs);
  EXPECT_EQ(file.levels.rms_dbfs, memory.levels.rms_dbfs);
  EXPECT_EQ(file.levels.clipped_share, memory.levels.clipped_share);
  EXPECT_EQ(file.levels.samples, memory.levels.samples);
  EXPECT_EQ(file.clipped_8bit, memory.clipped_8bit);
}

// A source as libsndfile decodes it, in the three forms a caller may hold.
template <typename Value>
std::vector<Value> Decode(const std::filesystem::path& path) {
  SF_INFO info{};
  SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(sound, nullptr);
  std::vector<Value> values(static_cast<std::size_t>(info.frames * info.channels));
  if constexpr (std::is_same_v<Value, std::int16_t>) {
    sf_readf_short(sound, values.data(), info.frames);
  } else if constexpr (std::is_same_v<Value, float>) {
    sf_readf_float(sound, values.data(), info.frames);
  } else {
    sf_readf_double(sound, values.data(), info.frames);
  }
  sf_close(sound);
  return values;
}

class MemoryTakeTest : public ScratchDirectoryTest {
 protected:
  // A spoken-like sound: a gliding tone with overtones, loud enough to clip in places.
  std::filesystem::path Record(const std::string& name, int format, int channels, int rate,
                               double seconds) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | format;
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<double> values(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
      const double t = static_cast<double>(i) / rate;
      const double f = 120 + 60 * std::sin(2 * M_PI * 0.7 * t);
      for (int c = 0; c < channels; ++c) {
        values[i * channels + c] =
            1.1 * std::sin(2 * M_PI * f * t + c) * std::sin(M_PI * t / seconds) +
            0.2 * std::sin(2 * M_PI * 3 * f * t);
      }
    }
    const std::filesystem::path path = dir_ / name;
    SNDFILE* sound = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(sound, nullptr);
    sf_command(sound, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_writef_double(sound, values.data(), static_cast<sf_count_t>(frames));
    sf_close(sound);
    return path;
  }

  SampleSource source_;
};

// Which forms of the decoded samples carry the whole source: 16-bit whole numbers only those of
// 16 bits or fewer, floats those of 16 bits or of floats, doubles every source.
struct Source {
  const char* name;
  int format;
  int channels;
  int rate;
  bool whole16;
  bool floats;
};

TEST_F(MemoryTakeTest, BytesAndSamplesPrepareAsTheirFile) {
  const Source sources[] = {
      {"mono16_at_target.wav", SF_FORMAT_PCM_16, 1, 11025, true, true},
      {"stereo16.wav", SF_FORMAT_PCM_16, 2, 44100, true, true},
      {"mono8.wav", SF_FORMAT_PCM_U8, 1, 8000, true, true},
      {"six16.wav", SF_FORMAT_PCM_16, 6, 16000, true, true},
      {"stereo24.wav", SF_FORMAT_PCM_24, 2, 48000, false, false},
      {"three_float.wav", SF_FORMAT_FLOAT, 3, 22050, false, true},
  };
  for (const Source& s : sources) {
    SCOPED_TRACE(s.name);
    // Longer than the intake's window, so that the rest is only counted and measured.
    const auto path = Record(s.name, s.format, s.channels, s.rate, 3.5);
    const PreparedTake file = source_.Prepare({path, s.name});
    const auto channels = static_cast<std::uint32_t>(s.channels);
    const auto rate = static_cast<std::uint32_t>(s.rate);
    ExpectSamePrepared(file, source_.Prepare(BytesTake(FileBytes(path), s.name)));
    ExpectSamePrepared(file,
                       source_.Prepare(PcmTake(Decode<double>(path), rate, channels, s.name)));
    if (s.floats) {
      ExpectSamePrepared(file,
                         source_.Prepare(PcmTake(Decode<float>(path), rate, channels, s.name)));
    }
    if (s.whole16) {
      ExpectSamePrepared(
          file, source_.Prepare(PcmTake(Decode<std::int16_t>(path), rate, channels, s.name)));
    }
  }
}

TEST_F(MemoryTakeTest, BundledRecordingsAndSampleFilesPrepareAsTheirFiles) {
  const std::filesystem::path examples = std::filesystem::path(PELLIX_SOURCE_DIR) / "examples";
  for (const char* name : {"alex_calibrate_1", "robin_check_07"}) {
    SCOPED_TRACE(name);
    const auto recording = examples / "recordings" / (std::string(name) + ".wav");
    SF_INFO info{};
    sf_close(sf_open(recording.c_str(), SFM_READ, &info));
    const auto rate = static_cast<std::uint32_t>(info.samplerate);
    const auto channels = static_cast<std::uint32_t>(info.channels);
    const PreparedTake file = source_.Prepare({recording, name});
    ExpectSamePrepared(file,
                       source_.Prepare(PcmTake(Decode<float>(recording), rate, channels, name)));
    ExpectSamePrepared(
        file, source_.Prepare(PcmTake(Decode<std::int16_t>(recording), rate, channels, name)));
    // A sample file in memory is used as it stands, and held in memory for the control.
    const auto sample_file = examples / "samples" / (std::string(name) + ".smp");
    const PreparedTake memory = source_.Prepare(BytesTake(FileBytes(sample_file), name));
    ExpectSamePrepared(source_.Prepare({sample_file, name}), memory);
    EXPECT_EQ(memory.converted, FileBytes(sample_file));
  }
}

TEST_F(MemoryTakeTest, ImpossibleSamplesAreRefusedByNumberAndName) {
  constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* what;
    std::vector<double> values;
    std::uint32_t rate;
    std::uint32_t channels;
    int number;
  };
  const std::vector<double> ten(10, 0.25);
  const Case cases[] = {
      {"rate below 1000 Hz", ten, 999, 1, 5},
      {"rate above 768000 Hz", ten, 768001, 1, 5},
      {"no channels", ten, 8000, 0, 5},
      {"more channels than libsndfile reads", std::vector<double>(1025, 0.25), 8000, 1025, 5},
      {"a frame cut short", std::vector<double>(5, 0.25), 8000, 2, 5},
      {"no samples", {}, 8000, 1, 321},
      {"not a number", {0.1, kNan, 0.1, 0.1}, 8000, 2, 321},
      {"infinite", {0.1, 0.1, -kInf}, 8000, 1, 321},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const bool as_float : {false, true}) {
      Take take = as_float ? PcmTake(std::vector<float>(c.values.begin(), c.values.end()), c.rate,
                                     c.channels, "take 7")
                           : PcmTake(c.values, c.rate, c.channels, "take 7");
      try {
        source_.Prepare(take);
        ADD_FAILURE() << "accepted";
      } catch (const FileError& e) {
        EXPECT_EQ(e.number(), c.number);
        EXPECT_NE(std::string(e.what()).find("'take 7'"), std::string::npos) << e.what();
      }
    }
  }
  // Bytes: nothing at all, a signature cut inside its header, noise that is no recording.
  const std::vector<std::uint8_t> cut = {'P', 'L', 'X', 'S', 'M', 'P', '0', '1', 11};
  for (const auto& bytes : {std::vector<std::uint8_t>{}, cut, std::vector<std::uint8_t>(300, 7)}) {
    try {
      source_.Prepare(BytesTake(bytes, "memo"));
      ADD_FAILURE() << "accepted";
    } catch (const FileError& e) {
      EXPECT_EQ(e.number(), 321);
      EXPECT_NE(std::string(e.what()).find("'memo'"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace pellix::analysis
