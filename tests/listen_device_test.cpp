// pellix listen on a real capture device: the test starts a PulseAudio server of its own (a
// null sink, no sound card needed), plays the example stream into it, and pellix captures the
// sink's monitor through PortAudio (ALSA's "pulse" device). The rows must match those of the
// same stream read from the file: the same utterances, roles and codes, and boundaries within
// 30 ms once the two streams are aligned on the first utterance (the device's stream starts
// whenever capture does, and the server resamples the sound on its way). The server is stopped
// by the test, every command runs under a timeout, and where no server can start the test is
// skipped and says why.
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "csv_rows.h"
#include "example_stream.h"
#include "scratch_directory_test_base.h"
#include "tests/support/program_run.h"

namespace {

namespace fs = std::filesystem;
using Row = pellix::testing::CsvRow;
using pellix::testing::CsvRows;

constexpr double kTolerance = 0.030;

class ListenDevice : public ScratchDirectoryTest {
 protected:
  void SetUp() override {
    ScratchDirectoryTest::SetUp();
    pellix::testing::WriteShorts(Path("stream.wav"), pellix::testing::ExampleStream());
    // The server's own runtime folder and home, so that no run shares or touches another's.
    fs::create_directories(Path("run"));
    fs::permissions(Path("run"), fs::perms::owner_all);
    env_ = "XDG_RUNTIME_DIR='" + Path("run") + "' HOME='" + dir_.string() + "' PELLIX='" +
           PELLIX_BINARY + "' ";
    const int started = Shell(
        "timeout 20 pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n "
        "--load=module-native-protocol-unix --load='module-null-sink sink_name=v' "
        "--load=module-always-sink && timeout 10 pactl set-default-sink v && "
        "timeout 10 pactl set-default-source v.monitor",
        "server");
    if (started != 0) {
      skip_ = "no sound server could start here (pulseaudio: " + Read("server.err") + ")";
      return;
    }
    std::ifstream pid(Path("run/pulse/pid"));
    pid >> server_;
  }

  void TearDown() override {
    StopServer();
    ScratchDirectoryTest::TearDown();
  }

  void StopServer() {
    if (server_ <= 0) return;
    ::kill(server_, SIGTERM);
    for (int i = 0; i < 50 && ::kill(server_, 0) == 0; ++i) ::usleep(100000);
    if (::kill(server_, 0) == 0) ::kill(server_, SIGKILL);
    server_ = 0;
  }

  // Runs `line` in the test's folder with the server's environment; output in NAME.out and
  // NAME.err; $PELLIX is the binary.
  int Shell(const std::string& line, const std::string& name) const {
    return pellix::testing::RunLine(
               dir_, "export " + env_ + "&& (" + line + ") >" + name + ".out 2>" + name + ".err")
        .status;
  }

  std::string env_;
  std::string skip_;
  pid_t server_ = 0;
};

TEST_F(ListenDevice, CapturesWhatIsPlayedAsTheFileGivesIt) {
  if (!skip_.empty()) GTEST_SKIP() << skip_;
  std::cout << "[ sound    ] a PulseAudio null sink in " << Path("run") << '\n';
  ASSERT_EQ(Shell("$PELLIX listen --input stream.wav --format csv -q", "file"), 0)
      << Read("file.err");
  // Listen, play the stream into the sink, let the last pause pass, then Ctrl-C.
  const int status = Shell(
      "timeout 120 sh -c '$PELLIX listen --device pulse --format csv -q --timings timings.txt & "
      "listener=$!; sleep 1; timeout 60 paplay stream.wav; sleep 1.5; kill -INT $listener; "
      "wait $listener'",
      "device");
  ASSERT_EQ(status, 0) << Read("device.err");
  const std::vector<Row> file = CsvRows(Read("file.out"));
  const std::vector<Row> device = CsvRows(Read("device.out"));
  ASSERT_EQ(device.size(), file.size()) << Read("device.out");
  ASSERT_EQ(file.size(), 10u);
  const double shift =
      std::stod(device[0].at("stream_start_s")) - std::stod(file[0].at("stream_start_s"));
  for (std::size_t i = 0; i + 1 < file.size(); ++i) {
    EXPECT_EQ(device[i].at("role"), file[i].at("role")) << i;
    EXPECT_EQ(device[i].at("code"), file[i].at("code")) << i;
    for (const char* key : {"stream_start_s", "stream_end_s"})
      EXPECT_NEAR(std::stod(device[i].at(key)) - shift, std::stod(file[i].at(key)), kTolerance)
          << i << ' ' << key;
  }
  std::istringstream timings(Read("timings.txt"));
  int rows_timed = 0;
  for (double ms; timings >> ms;) ++rows_timed;
  EXPECT_EQ(rows_timed, 9);
}

TEST_F(ListenDevice, AServerThatStopsMidStreamEndsTheRunWithItsRowsAndState) {
  if (!skip_.empty()) GTEST_SKIP() << skip_;
  const int status = Shell(
      "timeout 120 sh -c '$PELLIX listen --device pulse --format csv -q --state s.json & "
      "listener=$!; sleep 1; timeout 60 paplay stream.wav & sleep 8; kill " +
          std::to_string(server_) + "; wait $listener'",
      "device");
  server_ = 0;
  EXPECT_EQ(status, 1) << Read("device.err");
  EXPECT_NE(Read("device.err").find("stopped"), std::string::npos) << Read("device.err");
  const std::vector<Row> rows = CsvRows(Read("device.out"));
  ASSERT_GE(rows.size(), 3u) << Read("device.out");  // the calibrations heard, and the profile
  EXPECT_EQ(rows.front().at("role"), "calibrate");
  EXPECT_EQ(rows.back().at("role"), "profile");
  EXPECT_TRUE(fs::exists(Path("s.json")));
}

}  // namespace
