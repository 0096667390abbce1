// Audio conversion: the sample file format, recordings of every kind turned into 8-bit samples
// at 11025 Hz, the errors users see, and the scratch folder that holds converted files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <numbers>
#include <numeric>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "analysis/sample_source.h"
#include "audio/audio_converter.h"
#include "audio/recording_reader.h"
#include "audio/sample_file.h"
#include "audio/scratch_folder.h"
#include "files/atomic_file.h"
#include "scratch_directory_test_base.h"

namespace pellix {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// ---- Helpers: files built in the test ----

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void Put32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// A canonical PCM WAV file: 44-byte header, then `data`. `declared` overrides the data size
// written in the header (to fake a cut file).
Bytes Wav(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits, const Bytes& data,
          std::optional<std::uint32_t> declared = std::nullopt) {
  const auto size = declared.value_or(static_cast<std::uint32_t>(data.size()));
  Bytes out{'R', 'I', 'F', 'F'};
  Put32(out, 36 + size);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(out, 16);
  Put16(out, 1);  // PCM
  Put16(out, channels);
  Put32(out, rate);
  Put32(out, rate * channels * bits / 8);
  Put16(out, static_cast<std::uint16_t>(channels * bits / 8));
  Put16(out, bits);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  Put32(out, size);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

Bytes Pcm16(std::span<const int> values) {
  Bytes out;
  for (int v : values) Put16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(v)));
  return out;
}
Bytes Pcm16(std::initializer_list<int> values) {
  return Pcm16(std::span(values.begin(), values.size()));
}

// Writes interleaved frames (full scale -1..1) through libsndfile in `format`.
void WriteSound(const fs::path& path, int format, int rate, int channels,
                const std::vector<double>& interleaved) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  const auto frames = static_cast<sf_count_t>(interleaved.size()) / channels;
  EXPECT_EQ(sf_writef_double(file, interleaved.data(), frames), frames);
  sf_close(file);
}

// `seconds` of a sine of `hz` at `amplitude`, mono.
std::vector<double> Sine(int rate, double seconds, double hz, double amplitude) {
  std::vector<double> out(static_cast<std::size_t>(std::lround(rate * seconds)));
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate);
  }
  return out;
}

double Mean(const Bytes& s) {
  return std::accumulate(s.begin(), s.end(), 0.0) / static_cast<double>(s.size());
}

// Upward crossings of the centre line: the number of cycles of a tone.
int UpwardCrossings(const Bytes& s) {
  int crossings = 0;
  for (std::size_t i = 1; i < s.size(); ++i) crossings += s[i - 1] < 128 && s[i] >= 128;
  return crossings;
}

// Runs `action`, which must fail with FileError `number`; returns the message.
std::string ErrorOf(const std::function<void()>& action, int number) {
  try {
    action();
  } catch (const FileError& e) {
    EXPECT_EQ(e.number(), number) << e.what();
    return e.what();
  }
  ADD_FAILURE() << "no error, expected " << number;
  return {};
}

class AudioTest : public ScratchDirectoryTest {
 protected:
  fs::path At(const std::string& name) const { return dir_ / name; }
};

// ---- The sample file ----

using SampleFileTest = AudioTest;

TEST_F(SampleFileTest, HeaderIsSignatureRateCountAndZerosUpToByte49) {
  WriteSampleFile(At("a.smp"), 11025, Bytes{128, 0, 255, 1, 64});
  Bytes expected{'P', 'L', 'X', 'S', 'M', 'P', '0', '1', 0x11, 0x2B, 0, 0, 5, 0, 0, 0};
  expected.resize(49, 0);
  expected.insert(expected.end(), {128, 1, 255, 1, 64});  // the 0 is written as 1
  EXPECT_EQ(ReadBytes(At("a.smp")), expected);
}

TEST_F(SampleFileTest, NumbersAreLittleEndian) {
  WriteSampleFile(At("a.smp"), 0x01020304, Bytes(300, 128));
  Bytes bytes = ReadBytes(At("a.smp"));
  ASSERT_EQ(bytes.size(), 349u);
  EXPECT_EQ(Bytes(bytes.begin() + 8, bytes.begin() + 16),
            (Bytes{0x04, 0x03, 0x02, 0x01, 0x2C, 0x01, 0x00, 0x00}));
}

TEST_F(SampleFileTest, ReplacesAnOldFileAndLeavesNothingElseBehind) {
  WriteBytes(At("a.smp"), Bytes(1000, 7));
  WriteSampleFile(At("a.smp"), 8000, Bytes{10, 20});
  EXPECT_EQ(ReadBytes(At("a.smp")).size(), 51u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(SampleFileTest, WriteErrorsNameTheFile) {
  std::string message =
      ErrorOf([&] { WriteSampleFile(At("no/such/x.smp"), 11025, Bytes{1}); }, kFileNotFound);
  EXPECT_NE(message.find("no/such/x.smp"), std::string::npos) << message;

  fs::create_directory(At("folder"));
  ErrorOf([&] { WriteSampleFile(At("folder"), 11025, Bytes{1}); }, kPathFileAccessError);
  EXPECT_TRUE(fs::is_directory(At("folder")));
  ErrorOf([&] { WriteSampleFile(At("b.smp"), 0, Bytes{1}); }, kInvalidProcedureCall);
  // No temporary file is left after a failure.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(SampleFileTest, WritingWhereNotPermittedIs70) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write anywhere";
  fs::create_directory(At("locked"));
  fs::permissions(At("locked"), fs::perms::owner_read | fs::perms::owner_exec);
  ErrorOf([&] { WriteSampleFile(At("locked/a.smp"), 11025, Bytes{1}); }, kPermissionDenied);
  fs::permissions(At("locked"), fs::perms::owner_all);
}

TEST_F(SampleFileTest, ReadsBackWhatWasWritten) {
  WriteSampleFile(At("a.smp"), 22050, Bytes{1, 2, 3});
  SampleFileContents contents = ReadSampleFile(At("a.smp"));
  EXPECT_EQ(contents.header.rate, 22050u);
  EXPECT_EQ(contents.header.sample_count, 3u);
  EXPECT_EQ(contents.samples, (Bytes{1, 2, 3}));
}

TEST_F(SampleFileTest, DamagedFilesAreInvalidFormat) {
  Bytes header(49, 0);
  std::copy_n("PLXSMP01", 8, header.begin());
  header[12] = 4;  // counts 4 samples
  Bytes short_by_one = header;
  short_by_one.insert(short_by_one.end(), {1, 2, 3});
  WriteBytes(At("short.smp"), short_by_one);
  ErrorOf([&] { ReadSampleFile(At("short.smp")); }, kInvalidFileFormat);

  WriteBytes(At("cut.smp"), Bytes(header.begin(), header.begin() + 20));
  ErrorOf([&] { ReadSampleFileHeader(At("cut.smp")); }, kInvalidFileFormat);

  WriteBytes(At("x.wav"), Wav(11025, 1, 8, Bytes{128}));
  EXPECT_FALSE(ReadSampleFileHeader(At("x.wav")).has_value());
  ErrorOf([&] { ReadSampleFile(At("x.wav")); }, kInvalidFileFormat);
  ErrorOf([&] { ReadSampleFile(At("missing.smp")); }, kFileNotFound);
}

TEST_F(SampleFileTest, RecognisedBySignatureOrByName) {
  Bytes signed_file{'P', 'L', 'X', 'S', 'M', 'P', '0', '1'};
  WriteBytes(At("take.dat"), signed_file);
  EXPECT_TRUE(IsSampleFile(At("take.dat")));
  WriteBytes(At("old.smp"), Bytes(100, 0x80));  // someone else's header: taken as it is
  EXPECT_TRUE(IsSampleFile(At("old.smp")));
  EXPECT_TRUE(IsSampleFile(At("OLD.SMP")));  // even missing: the intake reports that
  WriteBytes(At("x.wav"), Wav(11025, 1, 8, Bytes{128}));
  EXPECT_FALSE(IsSampleFile(At("x.wav")));
  WriteBytes(At("plx.dat"), Bytes{'P', 'L', 'X', 'S', 'M'});
  EXPECT_FALSE(IsSampleFile(At("plx.dat")));
  EXPECT_FALSE(IsSampleFile(At("missing.wav")));
  EXPECT_FALSE(IsSampleFile(dir_));
}

// ---- Conversion: values ----

using ConversionTest = AudioTest;

TEST_F(ConversionTest, EightBitMonoAtTheTargetRatePassesThroughExceptZero) {
  WriteBytes(At("u8.wav"), Wav(11025, 1, 8, Bytes{128, 0, 255, 1, 100, 200}));
  ConvertedRecording r = ConvertToSamples(At("u8.wav"));
  EXPECT_EQ(r.rate, 11025u);
  EXPECT_EQ(r.samples, (Bytes{128, 1, 255, 1, 100, 200}));
  EXPECT_EQ(r.source_rate, 11025);
  EXPECT_EQ(r.source_channels, 1);
  EXPECT_EQ(r.source_frames, 6);
  EXPECT_DOUBLE_EQ(r.duration, 6.0 / 11025);
}

TEST_F(ConversionTest, SixteenBitRoundsHalvesToEvenAndClips) {
  // 128 + value/256: 0 -> 128; 128 -> 128.5 -> 128; 384 -> 129.5 -> 130; -128 -> 127.5 -> 128;
  // -384 -> 126.5 -> 126; 16384 -> 192; 32767 -> 255.996 -> 256, clipped to 255;
  // -32768 -> 0, raised to 1; -32640 -> 0.5 -> 0, raised to 1; -32512 -> 1.
  WriteBytes(
      At("s16.wav"),
      Wav(11025, 1, 16, Pcm16({0, 128, 384, -128, -384, 16384, 32767, -32768, -32640, -32512})));
  EXPECT_EQ(ConvertToSamples(At("s16.wav")).samples,
            (Bytes{128, 128, 130, 128, 126, 192, 255, 1, 1, 1}));
  // The same values many times over, long enough to be quantised many at a time, and offset
  // by one so that no run of them starts where a vector does.
  const std::vector<int> values{0, 128, 384, -128, -384, 16384, 32767, -32768, -32640, -32512};
  const Bytes expected{128, 128, 130, 128, 126, 192, 255, 1, 1, 1};
  std::vector<int> many{0};
  Bytes many_expected{128};
  for (int i = 0; i < 40; ++i) {
    many.insert(many.end(), values.begin(), values.end());
    many_expected.insert(many_expected.end(), expected.begin(), expected.end());
  }
  WriteBytes(At("many.wav"), Wav(11025, 1, 16, Pcm16(many)));
  EXPECT_EQ(ConvertToSamples(At("many.wav")).samples, many_expected);
}

TEST_F(ConversionTest, ChannelsAreAveraged) {
  // (0.5 + 0) / 2 = 0.25 -> 160; (0.5 - 0.5) / 2 = 0 -> 128; (-0.25 - 0.25) / 2 -> 96;
  // a full-scale left channel alone gives half scale, not full.
  WriteBytes(At("stereo.wav"),
             Wav(11025, 2, 16, Pcm16({16384, 0, 16384, -16384, -8192, -8192, -32768, 0})));
  EXPECT_EQ(ConvertToSamples(At("stereo.wav")).samples, (Bytes{160, 128, 96, 64}));
  // Three channels: (0.375 + 0 + 0) / 3 = 0.125 -> 144.
  WriteBytes(At("three.wav"), Wav(11025, 3, 16, Pcm16({12288, 0, 0})));
  EXPECT_EQ(ConvertToSamples(At("three.wav")).samples, Bytes{144});
}

TEST_F(ConversionTest, SineAt44100IsResampledTo11025) {
  WriteSound(At("sine.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1,
             Sine(44100, 1.0, 441, 0.5));
  ConvertedRecording r = ConvertToSamples(At("sine.wav"));
  EXPECT_EQ(r.rate, 11025u);
  EXPECT_DOUBLE_EQ(r.duration, 1.0);
  EXPECT_NEAR(static_cast<double>(r.samples.size()), 11025, 2);
  EXPECT_NEAR(Mean(r.samples), 128, 0.1);  // centred
  // Half scale: peaks at 128 +- 64; 441 cycles in the second.
  EXPECT_NEAR(*std::max_element(r.samples.begin(), r.samples.end()), 192, 1);
  EXPECT_NEAR(*std::min_element(r.samples.begin(), r.samples.end()), 64, 1);
  EXPECT_NEAR(UpwardCrossings(r.samples), 441, 1);
}

TEST_F(ConversionTest, StereoAt8000IsMixedDownAndResampled) {
  std::vector<double> left = Sine(8000, 1.5, 200, 0.5);
  std::vector<double> one_sided, opposed;
  for (double v : left) {
    one_sided.insert(one_sided.end(), {v, 0.0});
    opposed.insert(opposed.end(), {v, -v});
  }
  WriteSound(At("one.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 2, one_sided);
  ConvertedRecording r = ConvertToSamples(At("one.wav"));
  EXPECT_EQ(r.source_channels, 2);
  EXPECT_NEAR(static_cast<double>(r.samples.size()), 1.5 * 11025, 2);
  // One channel at half scale averaged with silence: quarter scale, 128 +- 32.
  EXPECT_NEAR(*std::max_element(r.samples.begin(), r.samples.end()), 160, 1);
  EXPECT_NEAR(*std::min_element(r.samples.begin(), r.samples.end()), 96, 1);
  EXPECT_NEAR(UpwardCrossings(r.samples), 300, 1);

  // Channels in opposite phase cancel to silence.
  WriteSound(At("opposed.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 2, opposed);
  Bytes silent = ConvertToSamples(At("opposed.wav")).samples;
  EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](auto s) { return s == 128; }));
}

TEST_F(ConversionTest, FlacAndOggVorbisAreRead) {
  WriteSound(At("sine.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1,
             Sine(44100, 0.5, 441, 0.5));
  ConvertedRecording flac = ConvertToSamples(At("sine.flac"));
  EXPECT_NEAR(static_cast<double>(flac.samples.size()), 0.5 * 11025, 2);
  EXPECT_NEAR(*std::max_element(flac.samples.begin(), flac.samples.end()), 192, 1);

  WriteSound(At("sine.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, 22050, 1,
             Sine(22050, 0.8, 441, 0.5));
  ConvertedRecording ogg = ConvertToSamples(At("sine.ogg"));
  EXPECT_NEAR(static_cast<double>(ogg.samples.size()), 0.8 * 11025, 2);
  EXPECT_NEAR(Mean(ogg.samples), 128, 0.3);
  EXPECT_NEAR(*std::max_element(ogg.samples.begin(), ogg.samples.end()), 192, 3);  // lossy
  EXPECT_NEAR(UpwardCrossings(ogg.samples), 0.8 * 441, 2);
}

TEST_F(ConversionTest, SilenceIsExactly128) {
  WriteSound(At("quiet.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1,
             std::vector<double>(22050, 0.0));
  Bytes s = ConvertToSamples(At("quiet.wav")).samples;
  EXPECT_NEAR(static_cast<double>(s.size()), 5512.5, 1);
  EXPECT_TRUE(std::all_of(s.begin(), s.end(), [](auto v) { return v == 128; }));
}

TEST_F(ConversionTest, FullScaleSquareClipsToOneAndNeverZero) {
  std::vector<double> square(44100);
  for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i / 50) % 2 == 0 ? 1.0 : -1.0;
  WriteSound(At("square.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, square);
  fs::path out = At("square.smp");
  ConvertedRecording r = ConvertToSampleFile(At("square.wav"), out);
  EXPECT_EQ(*std::min_element(r.samples.begin(), r.samples.end()), 1);
  EXPECT_EQ(*std::max_element(r.samples.begin(), r.samples.end()), 255);
  Bytes file = ReadBytes(out);
  EXPECT_EQ(std::count(file.begin() + 49, file.end(), 0), 0);
}

TEST_F(ConversionTest, SampleFileOfARecordingCountsItsSamples) {
  WriteBytes(At("s16.wav"), Wav(11025, 1, 16, Pcm16({0, 16384, -16384})));
  ConvertToSampleFile(At("s16.wav"), At("s16.smp"));
  Bytes expected{'P', 'L', 'X', 'S', 'M', 'P', '0', '1', 0x11, 0x2B, 0, 0, 3, 0, 0, 0};
  expected.resize(49, 0);
  expected.insert(expected.end(), {128, 192, 64});
  EXPECT_EQ(ReadBytes(At("s16.smp")), expected);
}

// ---- Conversion: inputs that are not usable recordings ----

TEST_F(ConversionTest, MissingDirectoryAndPipeAreFileErrors) {
  std::string message = ErrorOf([&] { ConvertToSamples(At("missing.wav")); }, kFileNotFound);
  EXPECT_NE(message.find("missing.wav"), std::string::npos) << message;
  ErrorOf([&] { ConvertToSamples(dir_); }, kPathFileAccessError);
  ASSERT_EQ(::mkfifo(At("pipe.wav").c_str(), 0600), 0);
  ErrorOf([&] { ConvertToSamples(At("pipe.wav")); }, kPathFileAccessError);  // must not hang
}

TEST_F(ConversionTest, UnreadableFileIs70) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may read anything";
  WriteBytes(At("secret.wav"), Wav(11025, 1, 8, Bytes{128}));
  fs::permissions(At("secret.wav"), fs::perms::none);
  ErrorOf([&] { ConvertToSamples(At("secret.wav")); }, kPermissionDenied);
}

TEST_F(ConversionTest, TextNamedWavIsNotARecording) {
  WriteBytes(At("notes.wav"), Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
  std::string message = ErrorOf([&] { ConvertToSamples(At("notes.wav")); }, kInvalidFileFormat);
  const std::string expected = "is not a recording libsndfile can read: ";
  ASSERT_NE(message.find(expected), std::string::npos) << message;
  EXPECT_NE(message.find("notes.wav"), std::string::npos) << message;
  EXPECT_GT(message.size(), message.find(expected) + expected.size()) << "libsndfile's reason";
}

TEST_F(ConversionTest, EmptyAndSoundlessFilesAreRefused) {
  WriteBytes(At("empty.wav"), {});
  std::string message = ErrorOf([&] { ConvertToSamples(At("empty.wav")); }, kInvalidFileFormat);
  EXPECT_NE(message.find("empty"), std::string::npos) << message;
  WriteBytes(At("none.wav"), Wav(11025, 1, 16, {}));
  message = ErrorOf([&] { ConvertToSamples(At("none.wav")); }, kInvalidFileFormat);
  EXPECT_NE(message.find("no sound"), std::string::npos) << message;
}

TEST_F(ConversionTest, TruncatedRecordingsAreRefused) {
  // The header announces 200 bytes of sound; only 120 arrived.
  WriteBytes(At("cut.wav"), Wav(11025, 1, 16, Bytes(120, 0), 200));
  std::string message = ErrorOf([&] { ConvertToSamples(At("cut.wav")); }, kInvalidFileFormat);
  EXPECT_NE(message.find("truncated"), std::string::npos) << message;
  // Cut inside the header, before the sound starts.
  Bytes whole = Wav(11025, 1, 16, Bytes(200, 0));
  WriteBytes(At("head.wav"), Bytes(whole.begin(), whole.begin() + 30));
  ErrorOf([&] { ConvertToSamples(At("head.wav")); }, kInvalidFileFormat);
  // A streaming writer's unknown length (0xFFFFFFFF) is not a cut.
  WriteBytes(At("stream.wav"), Wav(11025, 1, 8, Bytes{130, 140}, 0xFFFFFFFF));
  EXPECT_EQ(ConvertToSamples(At("stream.wav")).samples, (Bytes{130, 140}));
  // A chunk of odd size before the sound is followed by a byte of padding; the sound chunk
  // after it is found and checked even where the form's own size says nothing (0xFFFFFFFF).
  for (const std::uint32_t present : {200u, 120u}) {
    Bytes odd = Wav(11025, 1, 8, Bytes(present, 130), 200);
    const Bytes list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    odd.insert(odd.begin() + 36, list.begin(), list.end());
    std::fill_n(odd.begin() + 4, 4, 0xFF);
    WriteBytes(At("odd.wav"), odd);
    if (present == 200) {
      EXPECT_EQ(ConvertToSamples(At("odd.wav")).samples, Bytes(200, 130));
    } else {
      message = ErrorOf([&] { ConvertToSamples(At("odd.wav")); }, kInvalidFileFormat);
      EXPECT_NE(message.find("announces 200 bytes of sound, but only 120"), std::string::npos)
          << message;
    }
  }

  // A FLAC stream cut in the middle.
  WriteSound(At("sine.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1,
             Sine(44100, 1.0, 441, 0.5));
  Bytes flac = ReadBytes(At("sine.flac"));
  WriteBytes(At("cut.flac"), Bytes(flac.begin(), flac.begin() + flac.size() / 2));
  ErrorOf([&] { ConvertToSamples(At("cut.flac")); }, kInvalidFileFormat);
}

TEST_F(ConversionTest, TargetRateZeroIsInvalid) {
  WriteBytes(At("u8.wav"), Wav(11025, 1, 8, Bytes{128}));
  ErrorOf([&] { ConvertToSamples(At("u8.wav"), 0); }, kInvalidProcedureCall);
}

TEST_F(ConversionTest, AbsurdSourceRatesAreRefusedBeforeAnyWork) {
  // 200 KB claiming 1 Hz would resample to over 1.1 billion samples.
  WriteBytes(At("one-hertz.wav"), Wav(1, 1, 16, Bytes(200000, 0)));
  std::string message = ErrorOf([&] { ConvertToSamples(At("one-hertz.wav")); }, kInvalidFileFormat);
  EXPECT_NE(message.find("1 Hz"), std::string::npos) << message;
  WriteBytes(At("low.wav"), Wav(999, 1, 8, Bytes(10, 128)));
  ErrorOf([&] { ConvertToSamples(At("low.wav")); }, kInvalidFileFormat);
  WriteBytes(At("high.wav"), Wav(768001, 1, 8, Bytes(10, 128)));
  ErrorOf([&] { ConvertToSamples(At("high.wav")); }, kInvalidFileFormat);
  // The edges themselves are recordings: 1000 Hz, 10 frames, is 110.25 samples at 11025 Hz.
  WriteBytes(At("edge.wav"), Wav(1000, 1, 8, Bytes(10, 128)));
  EXPECT_EQ(ConvertToSamples(At("edge.wav")).samples.size(), 110u);
  WriteBytes(At("top.wav"), Wav(768000, 1, 8, Bytes(768, 128)));
  EXPECT_EQ(ConvertToSamples(At("top.wav")).samples.size(), 11u);  // 11.025
}

// A conversion that keeps only the first samples makes exactly those of the whole conversion,
// and still reports the whole recording: its length in samples, frames and seconds.
TEST_F(ConversionTest, KeepingTheWindowStopsEarlyButReportsTheWhole) {
  struct Row {
    const char* name;
    int rate;
    int channels;
    double seconds;
    std::size_t keep;
  };
  const Row rows[] = {
      {"stereo44.wav", 44100, 2, 6.0, kSampleWindow},  // 66150 samples
      {"half.wav", 22050, 1, 3.00005, kSampleWindow},  // 33075.5 rounds up to 33076
      {"same.wav", 11025, 1, 3.5, kSampleWindow},      // passed through
      {"eight.wav", 8000, 1, 4.0, 100},
      {"short.wav", 44100, 2, 1.0, kSampleWindow},  // shorter than the window: whole
      {"exact.wav", 11025, 1, 30001.0 / 11025, kSampleWindow},
  };
  for (const Row& row : rows) {
    std::vector<double> mono = Sine(row.rate, row.seconds, 220, 0.6);
    std::vector<double> interleaved;
    for (double v : mono) interleaved.insert(interleaved.end(), row.channels, v * 0.9);
    WriteSound(At(row.name), SF_FORMAT_WAV | SF_FORMAT_PCM_16, row.rate, row.channels, interleaved);
    const ConvertedRecording whole = ConvertToSamples(At(row.name));
    const ConvertedRecording kept = ConvertToSamples(At(row.name), kDefaultSampleRate, row.keep);
    const std::size_t expected = std::min(row.keep, whole.samples.size());
    EXPECT_EQ(kept.samples, Bytes(whole.samples.begin(), whole.samples.begin() + expected))
        << row.name;
    EXPECT_EQ(kept.total_samples, whole.samples.size()) << row.name;
    EXPECT_EQ(whole.total_samples, whole.samples.size()) << row.name;
    EXPECT_EQ(kept.source_frames, whole.source_frames) << row.name;
    EXPECT_EQ(kept.duration, whole.duration) << row.name;
  }
}

TEST_F(ConversionTest, ACutRecordingIsRefusedEvenWhenTheWindowIsFull) {
  WriteSound(At("long.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1,
             Sine(44100, 8.0, 441, 0.5));
  Bytes flac = ReadBytes(At("long.flac"));
  WriteBytes(At("cut.flac"), Bytes(flac.begin(), flac.begin() + flac.size() * 3 / 4));
  ErrorOf([&] { ConvertToSamples(At("cut.flac"), kDefaultSampleRate, kSampleWindow); },
          kInvalidFileFormat);
}

// A thread reuses its resampler from recording to recording: what came before leaves no trace.
TEST_F(ConversionTest, ARecordingConvertsAloneWhateverWasConvertedBefore) {
  WriteSound(At("a.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, Sine(44100, 1.5, 300, 0.7));
  WriteSound(At("b.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, Sine(44100, 0.7, 90, 0.9));
  WriteBytes(At("cut.wav"), Wav(44100, 1, 16, Bytes(120, 0), 200));
  const Bytes first = ConvertToSamples(At("a.wav")).samples;
  ConvertToSamples(At("b.wav"), kDefaultSampleRate, 500);  // stopped with the filter full
  ErrorOf([&] { ConvertToSamples(At("cut.wav")); }, kInvalidFileFormat);
  ConvertToSamples(At("b.wav"), 8000);
  EXPECT_EQ(ConvertToSamples(At("a.wav")).samples, first);
}

// A thread keeps a resampler for each of the last few pairs of rates and sample forms: taking
// one up again, for a rate met two recordings back or for floats after doubles of the same
// rate, must give what a new thread gives, and so must one made again after being dropped.
TEST_F(ConversionTest, RecordingsOfManyRatesConvertOnOneThreadAsEachAloneDoes) {
  struct Row {
    const char* name;
    int format;
    int rate;
  };
  const Row rows[] = {
      {"a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100},  // floats
      {"b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000},
      {"c.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100},  // doubles at a rate kept for floats
      {"d.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050},
      {"e.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000},
      {"f.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000},  // the fifth pair: a.wav's is dropped
  };
  std::vector<Bytes> alone;
  for (const Row& row : rows) {
    WriteSound(At(row.name), row.format, row.rate, 1, Sine(row.rate, 0.4, 180, 0.6));
    std::thread([&] { alone.push_back(ConvertToSamples(At(row.name)).samples); }).join();
  }
  for (int round = 0; round < 2; ++round) {
    for (std::size_t i = 0; i < std::size(rows); ++i) {
      EXPECT_EQ(ConvertToSamples(At(rows[i].name)).samples, alone[i]) << rows[i].name;
    }
    EXPECT_EQ(ConvertToSamples(At("b.flac")).samples, alone[1]);  // most recent but one
  }
}

// A recording of several read blocks, read from its file in blocks, converts as its bytes in
// memory do: to its last frame, and when stopped at the window with the rest read for levels.
TEST_F(ConversionTest, ARecordingLongerThanAReadBlockConvertsAsItsBytes) {
  std::vector<double> stereo;
  for (double v : Sine(44100, 14, 230, 0.5)) stereo.insert(stereo.end(), {v, v / 2});
  WriteSound(At("long.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, stereo);
  WriteSound(At("long.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, stereo);
  ASSERT_GT(fs::file_size(At("long.wav")), 2 * RecordingReader::kBlockSize);
  for (const char* name : {"long.wav", "long.flac"}) {
    for (std::size_t keep : {kWholeRecording, kSampleWindow}) {
      RecordingLevels from_file;
      RecordingLevels from_memory;
      const ConvertedRecording file =
          ConvertToSamples(At(name), kDefaultSampleRate, keep, &from_file);
      const ConvertedRecording memory =
          ConvertRecordingBytes(ReadBytes(At(name)), kDefaultSampleRate, keep, name, &from_memory);
      EXPECT_EQ(file.samples, memory.samples) << name;
      EXPECT_EQ(file.total_samples, 14u * 11025u) << name;
      EXPECT_EQ(file.source_frames, 14 * 44100) << name;
      EXPECT_EQ(from_file.Figures().samples, 14u * 44100u) << name;  // the whole recording
      EXPECT_EQ(from_file.Figures().rms_dbfs, from_memory.Figures().rms_dbfs) << name;
    }
  }
}

// The bytes of a recording file convert in memory exactly as the file does.
TEST_F(ConversionTest, RecordingsInMemoryConvertAsTheirFiles) {
  WriteBytes(At("u8.wav"), Wav(11025, 1, 8, Bytes{128, 0, 255, 1, 100, 200}));
  WriteSound(At("sine.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1,
             Sine(44100, 0.5, 441, 0.5));
  WriteSound(At("sine.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, 22050, 1,
             Sine(22050, 0.5, 441, 0.5));
  WriteSound(At("long.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 16000, 1, Sine(16000, 4, 300, 0.5));
  for (const char* name : {"u8.wav", "sine.flac", "sine.ogg", "long.wav"}) {
    for (std::size_t keep : {kWholeRecording, kSampleWindow}) {
      const ConvertedRecording file = ConvertToSamples(At(name), kDefaultSampleRate, keep);
      const ConvertedRecording memory =
          ConvertRecordingBytes(ReadBytes(At(name)), kDefaultSampleRate, keep);
      EXPECT_EQ(memory.samples, file.samples) << name;
      EXPECT_EQ(memory.total_samples, file.total_samples) << name;
      EXPECT_EQ(memory.source_frames, file.source_frames) << name;
    }
  }
  ErrorOf([] { ConvertRecordingBytes({}); }, kInvalidFileFormat);
  const std::string message = ErrorOf(
      [] {
        ConvertRecordingBytes(Bytes{'n', 'o', 't', 'e', 's'}, 11025, kWholeRecording, "x");
      },
      kInvalidFileFormat);
  EXPECT_NE(message.find("'x'"), std::string::npos) << message;
  ErrorOf([] { ConvertRecordingBytes(Wav(11025, 1, 16, Bytes(120, 0), 200)); }, kInvalidFileFormat);
  ErrorOf([] { ConvertRecordingBytes(Wav(11025, 1, 8, Bytes{1}), 0); }, kInvalidProcedureCall);
}

// ---- Conversion: WAV and FLAC read straight from their bytes ----

// `frames` frames of `channels` 16-bit whole numbers: a tone with noise, with a run of
// full-scale values that clip; `step` 256 makes them the 16-bit numbers of 8-bit samples.
std::vector<std::int16_t> Whole16Frames(std::size_t frames, int channels, int step) {
  std::vector<std::int16_t> out(frames * static_cast<std::size_t>(channels));
  std::uint32_t noise = 12345;
  for (std::size_t i = 0; i < out.size(); ++i) {
    noise = noise * 1103515245u + 12345u;
    const double tone = 20000 * std::sin(static_cast<double>(i) / 37.0);
    int value = static_cast<int>(tone) + static_cast<int>((noise >> 16) % 4001) - 2000;
    if (i % 5000 < 20) value = i % 2 == 0 ? -32768 : 32767;
    value = std::clamp(value / step * step, -32768, 32767 / step * step);
    out[i] = static_cast<std::int16_t>(value);
  }
  return out;
}

PcmSamples Whole16Pcm(std::span<const std::int16_t> whole16, int rate, int channels) {
  PcmSamples pcm;
  pcm.whole16 = whole16;
  pcm.rate = static_cast<std::uint32_t>(rate);
  pcm.channels = static_cast<std::uint32_t>(channels);
  return pcm;
}

// `whole16` as a WAV file, 16-bit or 8-bit (unsigned: s / 256 + 128), with chunks `before` and
// `after` its sound.
Bytes WavOf(const std::vector<std::int16_t>& whole16, std::uint32_t rate, std::uint16_t channels,
            std::uint16_t bits, const Bytes& before, const Bytes& after) {
  Bytes sound;
  for (std::int16_t s : whole16) {
    if (bits == 8) {
      sound.push_back(static_cast<std::uint8_t>(s / 256 + 128));
    } else {
      Put16(sound, static_cast<std::uint16_t>(s));
    }
  }
  Bytes out = Wav(rate, channels, bits, sound);
  out.insert(out.begin() + 36, before.begin(), before.end());
  out.insert(out.end(), after.begin(), after.end());
  const auto form = static_cast<std::uint32_t>(out.size() - 8);
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(form >> (8 * i));
  return out;
}

// `whole16` as a FLAC file written by libsndfile in `subtype`: at compression level 0 its frames
// are 1152 samples long, so that they straddle the converter's blocks of 4096 frames.
void WriteFlac(const fs::path& path, const std::vector<std::int16_t>& whole16, int rate,
               int channels, int subtype, double compression) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_FLAC | subtype;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  sf_command(file, SFC_SET_COMPRESSION_LEVEL, &compression, sizeof compression);
  const auto frames = static_cast<sf_count_t>(whole16.size()) / channels;
  EXPECT_EQ(sf_writef_short(file, whole16.data(), frames), frames);
  sf_close(file);
}

// The STREAMINFO block's count of frames, which follows the fLaC mark and the block's header.
void SetFlacFrames(Bytes& flac, std::uint64_t frames) {
  flac[21] = static_cast<std::uint8_t>((flac[21] & 0xF0) | (frames >> 32));
  for (int i = 0; i < 4; ++i) flac[22 + i] = static_cast<std::uint8_t>(frames >> (24 - 8 * i));
}

void ExpectSameConversion(const ConvertedRecording& got, const RecordingLevels& got_levels,
                          const ConvertedRecording& want, const RecordingLevels& want_levels,
                          const std::string& what) {
  EXPECT_EQ(got.samples, want.samples) << what;
  EXPECT_EQ(got.total_samples, want.total_samples) << what;
  EXPECT_EQ(got.source_rate, want.source_rate) << what;
  EXPECT_EQ(got.source_channels, want.source_channels) << what;
  EXPECT_EQ(got.source_frames, want.source_frames) << what;
  EXPECT_EQ(got.duration, want.duration) << what;
  const LevelFigures g = got_levels.Figures();
  const LevelFigures w = want_levels.Figures();
  EXPECT_EQ(g.samples, w.samples) << what;
  EXPECT_EQ(g.peak_dbfs, w.peak_dbfs) << what;
  EXPECT_EQ(g.rms_dbfs, w.rms_dbfs) << what;
  EXPECT_EQ(g.clipped_share, w.clipped_share) << what;
}

// A plain WAV or a FLAC file of 8 or 16 bits gives, read from its bytes, the very samples,
// levels and facts that libsndfile's reading of the same whole numbers gives (ConvertPcm reads
// them through libsndfile as a headerless file): whole or stopped at a window, with or without
// levels, at the target rate or resampled, from a file or from memory.
TEST_F(ConversionTest, WavAndFlacConvertAsLibsndfileReadsTheirSamples) {
  const Bytes odd_junk = {'J', 'U', 'N', 'K', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  const Bytes info_list = {'L', 'I', 'S', 'T', 14,  0, 0, 0, 'I', 'N', 'F',
                           'O', 'I', 'S', 'F', 'T', 2, 0, 0, 0,   'x', 0};
  const Bytes odd_info_list = {'L', 'I', 'S', 'T', 16, 0, 0, 0, 'I', 'N', 'F', 'O',
                               'I', 'N', 'A', 'M', 3,  0, 0, 0, 'a', 'b', 0,   0};
  const Bytes junk = {'J', 'U', 'N', 'K', 4, 0, 0, 0, 0, 0, 0, 0};
  struct Case {
    const char* name;
    bool flac;
    int rate;
    int channels;
    int bits;
    std::size_t frames;
    Bytes before;  // WAV chunks before and after the sound
    Bytes after;
    double compression = 0.5;
  };
  const std::vector<Case> cases = {
      {"16-bit stereo WAV at 44.1 kHz", false, 44100, 2, 16, 30011, {}, {}},
      {"16-bit mono WAV at the target rate", false, 11025, 1, 16, 9001, {}, {}},
      {"8-bit mono WAV", false, 22050, 1, 8, 12346, {}, {}},
      {"8-bit stereo WAV at the target rate", false, 11025, 2, 8, 4097, {}, {}},
      {"WAV of one frame", false, 8000, 2, 16, 1, {}, {}},
      {"WAV with chunks after its sound", false, 48000, 2, 16, 8193, {}, odd_info_list},
      {"WAV with an odd-sized chunk before its sound", false, 44100, 1, 16, 7777, odd_junk, {}},
      {"WAV with lists before and after its sound", false, 44100, 2, 16, 5000, odd_info_list,
       info_list},
      {"WAV with padding before its sound", false, 44100, 2, 16, 5000, junk, {}},
      {"16-bit stereo FLAC at 48 kHz", true, 48000, 2, 16, 24007, {}, {}},
      {"16-bit mono FLAC of short frames", true, 44100, 1, 16, 20001, {}, {}, 0.0},
      {"16-bit stereo FLAC of short frames", true, 11025, 2, 16, 9999, {}, {}, 0.0},
      {"8-bit mono FLAC", true, 16000, 1, 8, 8191, {}, {}},
      {"8-bit stereo FLAC at the target rate", true, 11025, 2, 8, 4096, {}, {}},
  };
  for (const Case& c : cases) {
    const std::vector<std::int16_t> whole16 =
        Whole16Frames(c.frames, c.channels, c.bits == 8 ? 256 : 1);
    const auto channels = static_cast<std::uint16_t>(c.channels);
    const fs::path path = At(c.flac ? "take.flac" : "take.wav");
    if (c.flac) {
      WriteFlac(path, whole16, c.rate, c.channels,
                c.bits == 8 ? SF_FORMAT_PCM_S8 : SF_FORMAT_PCM_16, c.compression);
    } else {
      WriteBytes(path, WavOf(whole16, static_cast<std::uint32_t>(c.rate), channels,
                             static_cast<std::uint16_t>(c.bits), c.before, c.after));
    }
    const PcmSamples pcm = Whole16Pcm(whole16, c.rate, c.channels);
    for (const std::size_t keep : {kWholeRecording, std::size_t{1000}}) {
      for (const bool measured : {true, false}) {
        const std::string what = std::string(c.name) + (keep == kWholeRecording ? "" : ", kept") +
                                 (measured ? "" : ", no levels");
        RecordingLevels want_levels;
        RecordingLevels from_file;
        RecordingLevels from_memory;
        const ConvertedRecording want =
            ConvertPcm(pcm, kDefaultSampleRate, keep, measured ? &want_levels : nullptr);
        ExpectSameConversion(
            ConvertToSamples(path, kDefaultSampleRate, keep, measured ? &from_file : nullptr),
            from_file, want, want_levels, what + ", file");
        ExpectSameConversion(ConvertRecordingBytes(ReadBytes(path), kDefaultSampleRate, keep, "x",
                                                   measured ? &from_memory : nullptr),
                             from_memory, want, want_levels, what + ", memory");
      }
    }
  }
}

// Past 2^21 full-scale values the RMS is no longer summed in one exact total but value by value,
// in order, as libsndfile's reading is.
TEST_F(ConversionTest, ALongLoudWavMeasuresAsLibsndfileReadsIt) {
  std::vector<std::int16_t> whole16(2200000);
  for (std::size_t i = 0; i < whole16.size(); ++i) {
    whole16[i] = static_cast<std::int16_t>(i % 3 == 0 ? -32768 : 32767 - static_cast<int>(i % 7));
  }
  WriteBytes(At("loud.wav"), WavOf(whole16, 11025, 1, 16, {}, {}));
  RecordingLevels from_file;
  RecordingLevels want_levels;
  const ConvertedRecording want =
      ConvertPcm(Whole16Pcm(whole16, 11025, 1), 11025, kWholeRecording, &want_levels);
  ExpectSameConversion(ConvertToSamples(At("loud.wav"), 11025, kWholeRecording, &from_file),
                       from_file, want, want_levels, "loud.wav");
}

// A WAV file with chunks libsndfile reads its own way is left to it, and keeps its errors: here
// libsndfile reads a count of 4 bytes from a chunk of one, follows an entry of a list past the
// list's end and misses the sound, or takes a list's entry for a second, empty sound chunk.
TEST_F(ConversionTest, WavChunksLibsndfileReadsItsOwnWayKeepItsErrors) {
  const std::vector<std::int16_t> whole16 = Whole16Frames(2000, 1, 1);
  struct Case {
    const char* what;
    Bytes before;
    Bytes after;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"short count",
       {'f', 'a', 'c', 't', 1, 0, 0, 0, 1, 0},
       {},
       "is not a recording libsndfile can read"},
      {"cut list",
       {'L', 'I', 'S', 'T', 11, 0, 0, 0, 'I', 'N', 'F', 'O', 'l', 't', 'x', 't', 5, 0, 0, 0},
       {},
       "is not a recording libsndfile can read"},
      {"sound in a list",
       {},
       {'L', 'I', 'S', 'T', 14,  0, 0, 0, 'I', 'N', 'F',
        'O', 'd', 'a', 't', 'a', 1, 0, 0, 0,   'e', 0},
       "holds no sound"},
  };
  for (const Case& c : cases) {
    const Bytes wav = WavOf(whole16, 44100, 1, 16, c.before, c.after);
    WriteBytes(At("take.wav"), wav);
    for (const std::string& message :
         {ErrorOf([&] { ConvertToSamples(At("take.wav")); }, kInvalidFileFormat),
          ErrorOf([&] { ConvertRecordingBytes(wav); }, kInvalidFileFormat)}) {
      EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
    }
  }
}

// A FLAC stream that libFLAC finds damaged, or whose frames disagree with its description, is
// read again through libsndfile from its start, with the levels as they were: its errors are
// libsndfile's, and a stream that libsndfile reads converts as the frames it announces.
TEST_F(ConversionTest, FlacStreamsOutOfTheOrdinaryAreReadThroughLibsndfile) {
  const std::vector<std::int16_t> whole16 = Whole16Frames(30000, 2, 1);
  WriteFlac(At("take.flac"), whole16, 44100, 2, SF_FORMAT_PCM_16, 0.5);
  const Bytes flac = ReadBytes(At("take.flac"));

  Bytes damaged = flac;
  for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 40; ++i) damaged[i] ^= 0x5A;
  // Frames lost whole, which libFLAC hands over as silence after its error.
  Bytes lost = flac;
  for (std::size_t i = lost.size() / 4; i < lost.size() * 3 / 5; ++i) lost[i] ^= 0x5A;
  Bytes unknown_length = flac;
  SetFlacFrames(unknown_length, 0);
  Bytes longer = flac;
  SetFlacFrames(longer, 31000);
  Bytes shorter = flac;
  SetFlacFrames(shorter, 25000);
  Bytes trailing = flac;
  trailing.insert(trailing.end(), 100, 0x55);

  struct Case {
    const char* name;
    const Bytes& bytes;
    int error;            // 0: converts
    const char* message;  // part of the error's message
    std::size_t frames;   // of the sound it converts as
  };
  const std::vector<Case> cases = {
      {"damaged.flac", damaged, kInvalidFileFormat, "is damaged: ", 0},
      {"lost.flac", lost, kInvalidFileFormat, "is damaged: ", 0},
      // libsndfile counts an unknown length as the most frames there can be.
      {"unknown.flac", unknown_length, kOverflow, "is too long", 0},
      {"longer.flac", longer, kInvalidFileFormat, "announces 31000 frames, but only 30000", 0},
      {"shorter.flac", shorter, 0, "", 25000},
      {"trailing.flac", trailing, 0, "", 30000},
  };
  for (const Case& c : cases) {
    WriteBytes(At(c.name), c.bytes);
    RecordingLevels levels;
    levels.AddSamples(Bytes{1, 128});  // what was measured before stays
    if (c.error != 0) {
      for (const std::string& message :
           {ErrorOf(
                [&] { ConvertToSamples(At(c.name), kDefaultSampleRate, kWholeRecording, &levels); },
                c.error),
            ErrorOf(
                [&] {
                  ConvertRecordingBytes(c.bytes, kDefaultSampleRate, kWholeRecording, c.name,
                                        &levels);
                },
                c.error)}) {
        EXPECT_NE(message.find(c.message), std::string::npos) << c.name << ": " << message;
      }
      continue;
    }
    RecordingLevels want_levels;
    want_levels.AddSamples(Bytes{1, 128});
    const std::vector<std::int16_t> announced(whole16.begin(),
                                              whole16.begin() + 2 * static_cast<long>(c.frames));
    const ConvertedRecording want = ConvertPcm(Whole16Pcm(announced, 44100, 2), kDefaultSampleRate,
                                               kWholeRecording, &want_levels);
    ExpectSameConversion(ConvertToSamples(At(c.name), kDefaultSampleRate, kWholeRecording, &levels),
                         levels, want, want_levels, c.name);
  }
}

// An hour-long recording costs an analysis what its first seconds cost: only the window is
// converted, yet the take's length is the whole recording's (11025 samples per second).
TEST_F(ConversionTest, AnHourLongTakeIsPreparedFromItsWindow) {
  WriteBytes(At("hour.wav"), Wav(1000, 1, 8, Bytes(3600 * 1000, 150)));
  analysis::SampleSource source;
  const analysis::PreparedTake take = source.Prepare({At("hour.wav"), "hour.wav"});
  EXPECT_EQ(take.samples, 3600u * 11025u);
  EXPECT_EQ(take.rate, 11025u);
  EXPECT_EQ(take.converted.size(), kSampleFileHeaderSize + kSampleWindow);
  EXPECT_FALSE(fs::exists(take.sample_file));  // held in memory, never written
}

// A converted take is held in memory under a name of its own in a folder of the temporary
// folder that is never made: a temporary folder that is missing stops nothing, and nothing is
// left behind.
TEST_F(ConversionTest, ConvertedTakesAreNamedInAFolderThatIsNeverMade) {
  WriteBytes(At("a.wav"), Wav(1000, 1, 8, Bytes(3000, 150)));
  const char* const saved = std::getenv("TMPDIR");
  const std::string kept = saved != nullptr ? saved : "";
  ::setenv("TMPDIR", At("missing").c_str(), 1);
  analysis::SampleSource source;
  const analysis::PreparedTake first = source.Prepare({At("a.wav"), "a.wav"});
  const analysis::PreparedTake second = source.Prepare({At("a.wav"), "a.wav"});
  saved != nullptr ? ::setenv("TMPDIR", kept.c_str(), 1) : ::unsetenv("TMPDIR");
  EXPECT_EQ(first.sample_file.parent_path().parent_path(), At("missing"));
  EXPECT_EQ(first.sample_file.filename(), "1-a.smp");
  EXPECT_EQ(second.sample_file.filename(), "2-a.smp");
  EXPECT_EQ(second.sample_file.parent_path(), first.sample_file.parent_path());
  EXPECT_FALSE(fs::exists(At("missing")));
  EXPECT_EQ(first.converted, second.converted);
}

// Recordings of 16 bits or fewer are read as whole numbers and handed on as floats; the same
// sound stored as floating point is read as doubles. Both must give the same samples, length
// and levels to the bit.
TEST_F(ConversionTest, WholeNumberAndFloatRecordingsOfOneSoundConvertAlike) {
  struct Row {
    const char* name;
    std::uint16_t bits;
    std::uint32_t rate;
    std::uint16_t channels;
  };
  const std::vector<Row> rows = {
      {"stereo 16-bit at 44100 Hz", 16, 44100, 2},
      {"mono 16-bit at 22050 Hz", 16, 22050, 1},
      {"mono 16-bit at 11025 Hz, not resampled", 16, 11025, 1},
      {"stereo 8-bit at 8000 Hz", 8, 8000, 2},
  };
  for (const Row& row : rows) {
    Bytes pcm;
    std::vector<double> values;
    std::uint32_t seed = 5;
    for (std::uint32_t i = 0; i < 3 * row.rate * row.channels; ++i) {  // 3 s: past the window
      seed = seed * 1664525u + 1013904223u;
      const int whole = i % 50 == 0 ? -32768 : static_cast<int>(seed >> 16) - 32768;
      if (row.bits == 16) {
        Put16(pcm, static_cast<std::uint16_t>(whole));
        values.push_back(whole / 32768.0);
      } else {
        pcm.push_back(static_cast<std::uint8_t>(whole / 256 + 128));
        values.push_back(whole / 256 / 128.0);
      }
    }
    WriteBytes(At("whole.wav"), Wav(row.rate, row.channels, row.bits, pcm));
    WriteSound(At("float.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, static_cast<int>(row.rate),
               row.channels, values);
    for (std::size_t keep : {kWholeRecording, kSampleWindow}) {
      RecordingLevels whole_levels;
      RecordingLevels float_levels;
      const ConvertedRecording whole =
          ConvertToSamples(At("whole.wav"), kDefaultSampleRate, keep, &whole_levels);
      const ConvertedRecording floats =
          ConvertToSamples(At("float.wav"), kDefaultSampleRate, keep, &float_levels);
      EXPECT_EQ(whole.samples, floats.samples) << row.name;
      EXPECT_EQ(whole.total_samples, floats.total_samples) << row.name;
      EXPECT_EQ(whole_levels.Figures().rms_dbfs, float_levels.Figures().rms_dbfs) << row.name;
      EXPECT_EQ(whole_levels.Figures().peak_dbfs, float_levels.Figures().peak_dbfs) << row.name;
      EXPECT_EQ(whole_levels.Figures().clipped_share, float_levels.Figures().clipped_share)
          << row.name;
    }
  }
}

// Float samples at full scale: +1 is one step above the largest 16-bit sample (32767 / 32768),
// so a take holding it must not be taken for whole numbers, while -1 is the smallest one
// exactly. At 11025 Hz nothing is resampled: 128 + 128 x value, clipped to 1..255.
TEST_F(ConversionTest, FullScaleFloatSamplesGiveTheWindowOfTheirWholeNumbers) {
  struct Row {
    const char* what;
    std::uint32_t channels;
    std::vector<double> values;
    std::vector<std::int16_t> whole;
    Bytes window;
  };
  const Row rows[] = {
      {"mono: +1, -1, 32767/32768, halves, silence",
       1,
       {1.0, -1.0, 32767 / 32768.0, 0.5, -0.5, 0.0, 1.0},
       {32767, -32768, 32767, 16384, -16384, 0, 32767},
       {255, 1, 255, 192, 64, 128, 255}},
      // (1 + 1) / 2 -> 255; (-1 - 1) / 2 -> 1; (1 - 1) / 2 -> 128; (1 + 0) / 2 -> 192.
      {"stereo pairs at both ends",
       2,
       {1.0, 1.0, -1.0, -1.0, 1.0, -1.0, 1.0, 0.0},
       {32767, 32767, -32768, -32768, 32767, -32768, 32767, 0},
       {255, 1, 128, 192}},
  };
  // The window of PCM samples at `rate` Hz in `channels`, given as one of the three forms.
  const auto window = [](auto values, std::uint32_t rate, std::uint32_t channels) {
    PcmSamples pcm;
    if constexpr (std::is_same_v<decltype(values), std::span<const float>>) pcm.floats = values;
    if constexpr (std::is_same_v<decltype(values), std::span<const double>>) pcm.doubles = values;
    if constexpr (std::is_same_v<decltype(values), std::span<const std::int16_t>>)
      pcm.whole16 = values;
    pcm.rate = rate;
    pcm.channels = channels;
    return ConvertPcm(pcm).samples;
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::vector<float> floats(row.values.begin(), row.values.end());
    EXPECT_EQ(window(std::span<const float>(floats), 11025, row.channels), row.window);
    EXPECT_EQ(window(std::span<const double>(row.values), 11025, row.channels), row.window);
    EXPECT_EQ(window(std::span<const std::int16_t>(row.whole), 11025, row.channels), row.window);
  }
  // Resampled, a 16-bit take amplified and clipped to +-1 as floats converts as the float
  // recording file holding it.
  std::vector<double> clipped = Sine(44100, 1.5, 150, 1.6);
  for (double& value : clipped) value = std::clamp(std::round(value * 32768) / 32768, -1.0, 1.0);
  WriteSound(At("clipped.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, clipped);
  const std::vector<float> floats(clipped.begin(), clipped.end());
  EXPECT_EQ(window(std::span<const float>(floats), 44100, 1),
            ConvertToSamples(At("clipped.wav")).samples);
}

// A take is a sample file by its name or by its first bytes, read from the one open of it;
// what cannot be read is reported under the name's kind of file.
TEST_F(ConversionTest, ATakeIsASampleFileByNameOrSignature) {
  Bytes header{'P', 'L', 'X', 'S', 'M', 'P', '0', '1', 0x11, 0x2B, 0, 0, 3, 0, 0, 0};
  header.resize(kSampleFileHeaderSize, 0);
  Bytes signed_take = header;
  signed_take.insert(signed_take.end(), {130, 120, 0, 99});  // the intake stops at the 0
  const Bytes wav = Wav(11025, 1, 8, Bytes{128, 160, 96});
  fs::create_directory(At("folder.wav"));
  struct Row {
    const char* name;
    std::optional<Bytes> bytes;  // none: no such file
    bool sample_file;            // used as it is, not converted
    Bytes window;
    int error;  // 0: prepared
    const char* message;
  };
  const std::vector<Row> rows = {
      {"signed.dat", signed_take, true, {130, 120}, 0, ""},
      {"signed.wav", signed_take, true, {130, 120}, 0, ""},
      {"plain.wav", wav, false, {128, 160, 96}, 0, ""},
      {"wave.smp", wav, true, {}, 0, ""},  // by its name: 49 header bytes skipped, none left
      {"cut.dat",
       Bytes(header.begin(), header.begin() + 20),
       false,
       {},
       kInvalidFileFormat,
       "ends inside its header"},
      {"empty.wav", Bytes{}, false, {}, kInvalidFileFormat, "is empty"},
      {"empty.smp", Bytes{}, true, {}, 0, ""},
      {"missing.wav", std::nullopt, false, {}, kFileNotFound, "cannot open recording"},
      {"missing.smp", std::nullopt, true, {}, kFileNotFound, "cannot open sample file"},
      {"folder.wav", std::nullopt, false, {}, kPathFileAccessError, "it is a directory"},
  };
  analysis::SampleSource source;
  for (const Row& row : rows) {
    if (row.bytes) WriteBytes(At(row.name), *row.bytes);
    if (row.error != 0) {
      const std::string message = ErrorOf(
          [&] {
            source.Prepare({At(row.name), row.name});
          },
          row.error);
      EXPECT_NE(message.find(row.message), std::string::npos) << row.name << ": " << message;
      continue;
    }
    const analysis::PreparedTake take = source.Prepare({At(row.name), row.name});
    EXPECT_EQ(take.sample_file == At(row.name), row.sample_file) << row.name;
    EXPECT_EQ(take.converted.empty(), row.sample_file) << row.name;
    EXPECT_EQ(take.window, row.window) << row.name;
  }
}

// ---- Scratch folder ----

using ScratchFolderTest = AudioTest;

TEST_F(ScratchFolderTest, PrivateAndRemovedWithItsContents) {
  fs::path where;
  {
    ScratchFolder scratch;
    where = scratch.path();
    struct stat st {};
    ASSERT_EQ(::stat(where.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    WriteBytes(scratch.NewFilePath("a.smp"), Bytes{1});
    fs::create_directory(where / "sub");
    WriteBytes(where / "sub" / "b", Bytes{2});
  }
  EXPECT_FALSE(fs::exists(where));
}

TEST_F(ScratchFolderTest, MovingHandsOverTheFolder) {
  ScratchFolder first;
  fs::path where = first.path();
  {
    ScratchFolder second(std::move(first));
    EXPECT_EQ(second.path(), where);
    first.Remove();  // the moved-from folder owns nothing
    EXPECT_TRUE(fs::exists(where));
  }
  EXPECT_FALSE(fs::exists(where));
}

TEST_F(ScratchFolderTest, PreparedSampleFilesLiveInTheScratchFolder) {
  fs::create_directories(At("a"));
  fs::create_directories(At("b"));
  WriteBytes(At("a/yes.wav"), Wav(11025, 1, 8, Bytes{100}));
  WriteBytes(At("b/yes.wav"), Wav(11025, 1, 8, Bytes{200}));
  WriteSampleFile(At("ready.smp"), 11025, Bytes{50});
  ScratchFolder scratch;
  EXPECT_EQ(PrepareSampleFile(At("ready.smp"), scratch), At("ready.smp"));
  fs::path a = PrepareSampleFile(At("a/yes.wav"), scratch);
  fs::path b = PrepareSampleFile(At("b/yes.wav"), scratch);
  EXPECT_NE(a, b);  // same name, different recordings: both kept
  EXPECT_EQ(a.parent_path(), scratch.path());
  EXPECT_EQ(ReadSampleFile(a).samples, Bytes{100});
  EXPECT_EQ(ReadSampleFile(b).samples, Bytes{200});
}

// A signal may come at any moment of a folder's or a temporary file's making, on whichever
// thread: here a worker makes and removes them over and over while the main thread, waiting as
// a command's does, takes the signal. Nothing made may outlive the process, not even when the
// signal falls between the making and the registering. The moments tried are spread over the
// first few milliseconds, from before the first one is made (and the handler installed) on.
TEST_F(ScratchFolderTest, ASignalWhileOneIsBeingMadeLeavesNothing) {
  fs::create_directory(At("tmp"));
  const fs::path target = At("tmp") / "kept";
  const std::function<void()> makers[] = {[] { ScratchFolder scratch; },
                                          [&] { WriteFileAtomically(target.string(), "x"); }};
  for (const std::function<void()>& make : makers) {
    for (int attempt = 0; attempt < 200; ++attempt) {
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        ::setenv("TMPDIR", At("tmp").c_str(), 1);
        std::thread([&make] {
          for (;;) {
            try {
              make();
            } catch (const FileError&) {
              // What the handler removed while this thread went on; it ends in a moment.
            }
          }
        }).detach();
        for (;;) ::pause();
      }
      std::this_thread::sleep_for(std::chrono::microseconds(attempt * 13 % 2000));
      ::kill(child, SIGTERM);
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
      fs::remove(target);
      ASSERT_EQ(fs::is_empty(At("tmp")), true)
          << "attempt " << attempt << ": " << fs::directory_iterator(At("tmp"))->path();
    }
  }
}

// ---- The bundled examples ----

TEST(BundledExamples, ManifestRecordingsAndSampleFilesAgree) {
  const fs::path examples = fs::path(PELLIX_SOURCE_DIR) / "examples";
  std::ifstream manifest(examples / "manifest.csv");
  std::string line;
  ASSERT_TRUE(std::getline(manifest, line));
  EXPECT_EQ(line, "speaker,role,file");
  std::map<std::string, std::map<std::string, int>> roles;  // speaker -> role -> lines
  while (std::getline(manifest, line)) {
    const auto first = line.find(','), second = line.find(',', first + 1);
    ASSERT_NE(second, std::string::npos) << line;
    const fs::path file = examples / line.substr(second + 1);
    ++roles[line.substr(0, first)][line.substr(first + 1, second - first - 1)];
    // Every take fits the window the intake reads, and its bundled sample file is its
    // conversion.
    ConvertedRecording r = ConvertToSamples(file);
    EXPECT_EQ(r.source_rate, 11025) << file;
    EXPECT_LE(r.samples.size(), kSampleWindow) << file;
    EXPECT_EQ(ReadSampleFile(examples / "samples" / (file.stem().string() + ".smp")).samples,
              r.samples)
        << file;
  }
  ASSERT_EQ(roles.size(), 2u);
  for (const auto& [speaker, count] : roles) {
    EXPECT_EQ(count, (std::map<std::string, int>{{"calibrate", 3}, {"check", 12}})) << speaker;
  }
}

}  // namespace
}  // namespace pellix
