// What the pellix program loads to start: a command that draws nothing and opens no device
// loads neither cairo nor PortAudio (nor the libraries they bring), and a recording at the
// control's rate does not load the resampler.
#include <gtest/gtest.h>

#include <string>

#include "scratch_directory_test_base.h"
#include "tests/support/program_run.h"

namespace {

class Startup : public ScratchDirectoryTest {
 protected:
  // The shared libraries the dynamic loader opened for `arguments`, as it lists them.
  std::string LoadedLibraries(const std::string& arguments) const {
    return pellix::testing::RunLine(dir_, "LD_DEBUG=files pellix " + arguments + " 2>&1 >/dev/null")
        .out;
  }
};

TEST_F(Startup, CommandsThatNeitherDrawNorCaptureLoadNeitherLibrary) {
#ifndef PELLIX_LOADS_ON_DEMAND
  GTEST_SKIP() << "this build links the program to every library it uses";
#endif
  const std::string examples = std::string(PELLIX_SOURCE_DIR) + "/examples/recordings/";
  for (const std::string& arguments :
       {std::string("--version"), std::string("params 00002300000000000"),
        "analyze --check " + examples + "alex_check_01.wav"}) {
    const std::string loaded = LoadedLibraries(arguments);
    EXPECT_NE(loaded.find("libsndfile"), std::string::npos) << arguments;  // the listing works
    for (const char* library :
         {"libcairo", "libportaudio", "libX11", "libjack", "libasound", "libsoxr", "libgomp"}) {
      EXPECT_EQ(loaded.find(library), std::string::npos) << arguments << " loads " << library;
    }
  }
}

}  // namespace
