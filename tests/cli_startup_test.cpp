// What the pellix program loads to start: a command that draws nothing and opens no device
// loads neither cairo nor PortAudio (nor the libraries they bring), a recording at the control's
// rate does not load the resampler, and only a recording the converter's own readers pass over
// (a float WAV) loads libsndfile.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "scratch_directory_test_base.h"
#include "tests/support/program_run.h"

namespace {

class Startup : public ScratchDirectoryTest {
 protected:
  void SetUp() override {
    ScratchDirectoryTest::SetUp();
    // float.wav: 2000 32-bit float samples at 11025 Hz, which only libsndfile reads.
    const auto word = [](std::uint32_t value, int bytes) {
      std::string out;
      for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
      return out;
    };
    std::string sound;
    for (int i = 0; i < 2000; ++i) {
      sound += word(std::bit_cast<std::uint32_t>(i % 20 < 10 ? 0.5f : -0.5f), 4);
    }
    const std::string body = "WAVEfmt " + word(16, 4) + word(3, 2) + word(1, 2) + word(11025, 4) +
                             word(44100, 4) + word(4, 2) + word(32, 2) + "data" +
                             word(static_cast<std::uint32_t>(sound.size()), 4) + sound;
    Write("float.wav", "RIFF" + word(static_cast<std::uint32_t>(body.size()), 4) + body);
  }

  // The shared libraries the dynamic loader opened for `arguments`, as it lists them.
  std::string LoadedLibraries(const std::string& arguments) const {
    return pellix::testing::RunLine(dir_, "LD_DEBUG=files pellix " + arguments + " 2>&1 >/dev/null")
        .out;
  }
};

TEST_F(Startup, CommandsLoadOnlyTheLibrariesTheirTakesNeed) {
#ifndef PELLIX_LOADS_ON_DEMAND
  GTEST_SKIP() << "this build links the program to every library it uses";
#endif
  const std::string examples = std::string(PELLIX_SOURCE_DIR) + "/examples/";
  const struct {
    std::string arguments;
    bool reads_through_libsndfile;
  } kCases[] = {{"--version", false},
                {"params 00002300000000000", false},
                {"analyze --check " + examples + "samples/alex_check_01.smp", false},
                {"analyze --check " + examples + "recordings/alex_check_01.wav", false},
                {"analyze --check float.wav", true}};
  for (const auto& [arguments, reads_through_libsndfile] : kCases) {
    const std::string loaded = LoadedLibraries(arguments);
    EXPECT_NE(loaded.find("libc.so"), std::string::npos) << arguments;  // the listing works
    EXPECT_EQ(loaded.find("libsndfile") != std::string::npos, reads_through_libsndfile)
        << arguments;
    std::vector<const char*> unwanted = {"libcairo",  "libportaudio", "libX11", "libjack",
                                         "libasound", "libsoxr",      "libgomp"};
    if (!reads_through_libsndfile) unwanted.insert(unwanted.end(), {"libFLAC", "libvorbis"});
    for (const char* library : unwanted) {
      EXPECT_EQ(loaded.find(library), std::string::npos) << arguments << " loads " << library;
    }
  }
}

// Without libsndfile, a recording that needs it is refused by name (321), as one it cannot read
// is, and the program says why. The library is hidden in a mount namespace of the test's own, where
// the system lets a user make one.
TEST_F(Startup, WithoutLibsndfileARecordingIsRefusedByNameAndWhy) {
#ifndef PELLIX_LOADS_ON_DEMAND
  GTEST_SKIP() << "this build links the program to every library it uses";
#endif
  if (pellix::testing::RunLine(dir_, "unshare -rm true").status != 0) {
    GTEST_SKIP() << "no mount namespace for a user here";
  }
  Dl_info found{};
  void* library = ::dlopen("libsndfile.so.1", RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr);
  ASSERT_NE(::dladdr(::dlsym(library, "sf_open"), &found), 0);
  const std::string real = std::filesystem::canonical(found.dli_fname).string();
  const std::string recording = Path("float.wav");
  const auto run =
      pellix::testing::RunLine(dir_, "unshare -rm sh -c \"mount --bind /dev/null '" + real +
                                         "' && pellix analyze --check '" + recording + "'\"");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.out.find("error 321: '" + recording + "' is not a recording"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("libsndfile.so.1 cannot be loaded"), std::string::npos) << run.out;
}

}  // namespace
