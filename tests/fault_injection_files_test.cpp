// Sample files and recordings that cannot be read, vanish, grow or shrink, on the real file
// system.
//
// A take is read once per call: whatever the file was at that moment decides the result, a
// file that is gone or cannot be read fails with its platform error and changes nothing but
// the "0" the call shows first, and a file rewritten while it is read never crashes or hangs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "analysis_fixture.h"
#include "audio/audio_converter.h"
#include "control/alg_v1s.h"
#include "control_snapshot.h"
#include "error_of.h"
#include "platform/conversions.h"
#include "platform/error.h"
#include "take_builder.h"

namespace pellix::testing {
namespace {

namespace fs = std::filesystem;

// 60 thorns, 40 jumps, mean jump length 4 (see the fault-injection tests of the labels).
std::vector<std::uint8_t> Take() {
  TakeBuilder take;
  for (int f = 0; f < 3; ++f) take.Flic(6, {3, 3, 5, 5});
  take.EmptyFlic();
  return take.File();
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A 16-bit mono WAV file of `frames` frames of a tone at 11025 Hz.
std::vector<std::uint8_t> Wav(std::uint32_t frames) {
  auto le = [](std::vector<std::uint8_t>& v, std::uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
  };
  std::vector<std::uint8_t> w = {'R', 'I', 'F', 'F'};
  le(w, 36 + frames * 2, 4);
  for (char c : std::string("WAVEfmt ")) w.push_back(static_cast<std::uint8_t>(c));
  le(w, 16, 4);
  le(w, 1, 2);  // PCM
  le(w, 1, 2);  // mono
  le(w, 11025, 4);
  le(w, 11025 * 2, 4);
  le(w, 2, 2);
  le(w, 16, 2);
  for (char c : std::string("data")) w.push_back(static_cast<std::uint8_t>(c));
  le(w, frames * 2, 4);
  for (std::uint32_t i = 0; i < frames; ++i) {
    le(w, static_cast<std::uint16_t>(static_cast<std::int16_t>(8000 * std::sin(i * 0.3))), 2);
  }
  return w;
}

class FileFaultTest : public ControlFixture, public ::testing::Test {
 protected:
  FileFaultTest() : ControlFixture(NativeFileSystem()) {
    folder_ = fs::temp_directory_path() / ("pellix_file_fault_" + std::to_string(getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    control.put_DATAstr("000023000005000000");
    control.Initalize();
    UseTakeSettings();
  }
  ~FileFaultTest() override { fs::remove_all(folder_); }

  // Runs `call` on the file at `path`; expects `error` and nothing changed but the "0" that the
  // call shows in CR_msgX before it reads.
  void ExpectFailureChangingNothing(const fs::path& path, int error, Value (ALG_V1S::*call)()) {
    control.put_DATAstr(path.string());
    control.panel().LBL_MSG.set_caption("7");
    const ControlSnapshot before = Snapshot(control);
    EXPECT_EQ(ErrorOf([&] { (control.*call)(); }), error);
    EXPECT_EQ(Snapshot(control), before.With({"LBL_MSG"}, "0"));
  }

  fs::path folder_;
};

TEST_F(FileFaultTest, MissingVanishedDirectoryAndPipeFailWithTheirNumbersAndChangeNothing) {
  const fs::path take = folder_ / "take.smp";
  WriteFile(take, Take());
  control.put_DATAstr(take.string());
  control.Calibrate();
  ASSERT_EQ(control.get<"CR_msgX">(), "0");
  fs::remove(take);  // vanished between the calls
  const fs::path fifo = folder_ / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    fs::path path;
    int error;
  } rows[] = {{take, kFileNotFound},
              {folder_ / "none" / "take.smp", kFileNotFound},
              {folder_, kPathFileAccessError},
              {fifo, kPathFileAccessError},
              {"/dev/zero", kPathFileAccessError}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    ExpectFailureChangingNothing(row.path, row.error, &ALG_V1S::Check);
    ExpectFailureChangingNothing(row.path, row.error, &ALG_V1S::Calibrate);
  }
}

TEST_F(FileFaultTest, AFileTheProcessMayNotReadFailsWith70) {
  if (getuid() != 0) GTEST_SKIP() << "runs as root only: it drops to an unprivileged user";
  // Root reads every file, so a child process gives up root before it tries.
  const fs::path take = folder_ / "secret.smp";
  WriteFile(take, Take());
  chmod(take.c_str(), 0600);
  chmod(folder_.c_str(), 0755);
  const pid_t pid = fork();
  if (pid == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    ALG_V1S c;
    c.InitProperties();
    c.put_DATAstr(take.string());
    const int check = ErrorOf([&] { c.Check(); });
    const int convert = ErrorOf([&] { ConvertToSamples(take); });
    _exit(check == kPermissionDenied && convert == kPermissionDenied ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(FileFaultTest, EachCallReadsTheFileAsItIsThenGrowingOrShrinking) {
  const fs::path take = folder_ / "take.smp";
  const std::vector<std::uint8_t> whole = Take();
  control.put_DATAstr(take.string());
  // Each step: the file's length in bytes, then CR_msgX and CR_spT after a Check. A take under
  // 800 samples gives -1 and leaves the Results row alone; the whole take gives its measures.
  const struct {
    std::size_t bytes;
    const char* code;
    const char* thorn_rate;
  } steps[] = {{0, "-1", "0"},         {49, "-1", "0"},
               {49 + 700, "-1", "0"},  {whole.size(), "0", "60"},
               {49 + 700, "-1", "60"}, {whole.size(), "0", "60"},
               {0, "-1", "60"}};
  control.panel().SPT[8].set_caption("0");
  for (const auto& step : steps) {
    SCOPED_TRACE(step.bytes);
    WriteFile(take, std::vector<std::uint8_t>(whole.begin(), whole.begin() + step.bytes));
    // Constants that make both deviations 0, so that the verdict stops at once with code 0.
    control.panel().SPT[7].set_caption("66");
    control.panel().SPJ[7].set_caption("44");
    control.panel().JQ[7].set_caption("3");
    control.panel().AVJ[7].set_caption("4");
    EXPECT_EQ(ErrorOf([&] { control.Check(); }), 0);
    EXPECT_EQ(control.get<"CR_msgX">(), step.code);
    EXPECT_EQ(control.get<"CR_spT">(), step.thorn_rate);
  }
}

TEST_F(FileFaultTest, AFileRewrittenWhileItIsReadNeverCrashes) {
  const fs::path take = folder_ / "take.smp";
  const fs::path wav = folder_ / "take.wav";
  const std::vector<std::uint8_t> whole = Take();
  const std::vector<std::uint8_t> recording = Wav(20000);
  WriteFile(take, whole);
  WriteFile(wav, recording);
  std::atomic<bool> stop = false;
  std::thread writer([&] {
    // Truncates, regrows and deletes both files, over and over.
    for (std::size_t round = 0; !stop; ++round) {
      const std::size_t cut = round * 997 % whole.size();
      WriteFile(take, std::vector<std::uint8_t>(whole.begin(), whole.begin() + cut));
      WriteFile(wav, std::vector<std::uint8_t>(
                         recording.begin(), recording.begin() + round * 4099 % recording.size()));
      if (round % 7 == 0) {
        fs::remove(take);
        fs::remove(wav);
      }
      WriteFile(take, whole);
      WriteFile(wav, recording);
    }
  });
  control.put_DATAstr(take.string());
  for (int i = 0; i < 300; ++i) {
    const int error = ErrorOf([&] { control.Check(); });
    EXPECT_TRUE(error == 0 || error == kFileNotFound) << error;
    const double code = StrictNumber(control.get<"CR_msgX">());
    EXPECT_TRUE(code >= -1 && code <= 9) << code;
    try {
      const ConvertedRecording r = ConvertToSamples(wav);
      EXPECT_LE(r.samples.size(), 20000u);
    } catch (const PlatformError& e) {
      EXPECT_TRUE(e.number() == kFileNotFound || e.number() == kInvalidFileFormat ||
                  e.number() == kPathFileAccessError)
          << e.number();
    }
  }
  stop = true;
  writer.join();
}

}  // namespace
}  // namespace pellix::testing
