// pellix handed what a careless or hostile user might hand it, through the real binary:
// outputs that are devices, pipes, links or inputs; inputs that are pipes, devices or not
// ours; a full disk; runs sharing a state file; signals; and the messages for all of these.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "scratch_directory_test_base.h"
#include "tests/support/program_run.h"

namespace {

namespace fs = std::filesystem;

using Outcome = pellix::testing::ProgramRun;
using pellix::testing::ExpectedFailure;
using pellix::testing::RunLine;
using pellix::testing::StartLine;

bool Contains(const std::string& text, const std::string& needle) {
  return text.find(needle) != std::string::npos;
}

std::string Example(const std::string& path) {
  return std::string(PELLIX_SOURCE_DIR) + "/examples/" + path;
}

class Hardening : public ScratchDirectoryTest {
 protected:
  void SetUp() override {
    ScratchDirectoryTest::SetUp();
    fs::create_directory(dir_ / "tmp");
    fs::copy_file(Example("recordings/alex_check_01.wav"), dir_ / "take.wav");
    fs::copy_file(Example("samples/alex_check_01.smp"), dir_ / "take.smp");
    // pellix's scratch folders go in the test's own folder, where the tests look for any left.
    if (const char* tmpdir = ::getenv("TMPDIR")) tmpdir_ = tmpdir;
    ::setenv("TMPDIR", Path("tmp").c_str(), 1);
  }
  void TearDown() override {
    if (tmpdir_) {
      ::setenv("TMPDIR", tmpdir_->c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
    ScratchDirectoryTest::TearDown();
  }
  // Runs pellix with `arguments` in the test's folder.
  Outcome Pellix(const std::string& arguments) const {
    return RunLine(dir_, "pellix " + arguments);
  }
  // Runs pellix where no file may grow past 512 bytes, as on a full disk: it must exit 1 and
  // say `message`.
  void ExpectRefusedOnAFullDisk(const std::string& arguments, const std::string& message) const {
    const Outcome run = RunLine(dir_, "trap '' XFSZ; ulimit -f 1; pellix " + arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, message)) << run.err;
  }
  // Starts pellix with `arguments` and sends it `signal_number` after `delay_ms`; returns once
  // it has ended.
  void InterruptPellix(const std::string& arguments, int signal_number, int delay_ms) const {
    const pid_t child = StartLine(dir_, "pellix " + arguments);
    ASSERT_GE(child, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    ::kill(child, signal_number);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
  }

  std::optional<std::string> tmpdir_;  // the test process's own, put back afterwards
};

// ---- outputs ----

TEST_F(Hardening, ConvertRefusesDevicesAndPipesWritesThroughLinksAndKeepsTheMode) {
  ASSERT_EQ(::mkfifo(Path("pipe.smp").c_str(), 0600), 0);
  Outcome pipe = Pellix("convert take.wav pipe.smp");
  EXPECT_EQ(pipe.status, 1);
  EXPECT_TRUE(Contains(pipe.err, "'pipe.smp': it is a pipe, not a regular file")) << pipe.err;
  EXPECT_TRUE(fs::is_fifo(Path("pipe.smp")));

  Outcome device = Pellix("convert take.wav /dev/null");
  EXPECT_EQ(device.status, 1);
  EXPECT_TRUE(Contains(device.err, "it is a device, not a regular file")) << device.err;
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  Write("real.smp", "old");
  ASSERT_EQ(::chmod(Path("real.smp").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("real.smp", Path("link.smp").c_str()), 0);
  EXPECT_EQ(Pellix("convert take.wav link.smp").status, 0);
  EXPECT_TRUE(fs::is_symlink(Path("link.smp")));
  EXPECT_TRUE(Read("real.smp").starts_with("PLXSMP01"));
  EXPECT_EQ(fs::status(Path("real.smp")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(Names("tmp"), std::vector<std::string>{});
}

TEST_F(Hardening, AnOutputThatIsAlsoAnInputIsRefused) {
  const std::string take = Read("take.smp");
  ASSERT_EQ(Pellix("analyze --state s.json --calibrate take.smp").status, 0);
  const std::string state = Read("s.json");
  ASSERT_EQ(::symlink("s.json", Path("alias.json").c_str()), 0);
  const std::string manifest = "speaker,role,file\nal,check,take.smp\n";
  Write("m.csv", manifest);
  const std::string url = "file://" + Path("take.smp");
  Write("u.csv", "speaker,role,file\nal,check," + url + "\n");
  struct Case {
    std::string arguments;
    std::string message;
  };
  const Case cases[] = {
      {"analyze --check take.smp -o take.smp", "-o 'take.smp' would overwrite the take 'take.smp'"},
      {"analyze --state s.json --check take.smp -o ./alias.json",
       "-o './alias.json' would overwrite the state file 's.json'"},
      {"analyze --batch m.csv -o m.csv", "-o 'm.csv' would overwrite the manifest 'm.csv'"},
      {"analyze --batch m.csv --format csv -o take.smp --resume",
       "-o 'take.smp' would overwrite the take 'take.smp'"},
      {"analyze --batch u.csv -o take.smp", "-o 'take.smp' would overwrite the take '" + url + "'"},
      {"analyze --check take.smp -o p.svg --panel p.svg",
       "-o and --panel name the same file 'p.svg'"},
      {"analyze --state s.json --check take.smp --panel s.json",
       "--panel 's.json' would overwrite the state file 's.json'"},
      {"analyze --state s.json --check take.smp --panel ./alias.json",
       "--panel './alias.json' would overwrite the state file 's.json'"},
      {"analyze --check take.smp --panel take.smp",
       "--panel 'take.smp' would overwrite the take 'take.smp'"},
      {"analyze --state new.json --check take.smp --panel new.json",
       "--panel 'new.json' would overwrite the state file 'new.json'"},
      {"panel --state s.json --svg s.json",
       "--svg 's.json' would overwrite the property bag 's.json'"},
      {"convert take.wav ./take.wav", "is the recording itself"},
  };
  for (const Case& c : cases) {
    Outcome run = Pellix(c.arguments);
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_TRUE(Contains(run.err, c.message)) << c.arguments << ": " << run.err;
  }
  EXPECT_EQ(Read("take.smp"), take);
  EXPECT_EQ(Read("s.json"), state);
  EXPECT_EQ(Read("m.csv"), manifest);
  EXPECT_FALSE(fs::exists(Path("new.json")));
  EXPECT_FALSE(fs::exists(Path("p.svg")));
}

TEST_F(Hardening, AJsonObjectThatIsNotASavedBagIsLeftAsItIs) {
  const std::string settings = R"({"Mode":"dark","Volume":3})";
  Write("settings.json", settings);
  Outcome run = Pellix("analyze --state settings.json --check take.smp");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "is not a property bag saved by pellix")) << run.err;
  EXPECT_EQ(Read("settings.json"), settings);

  // A saved bag with a key of someone else's keeps it through a save.
  ASSERT_EQ(Pellix("analyze --state s.json --calibrate take.smp").status, 0);
  std::string bag = Read("s.json");
  bag.insert(1, "\"note\":\"mine\",");
  Write("s.json", bag);
  ASSERT_EQ(Pellix("analyze --state s.json --check take.smp").status, 0);
  EXPECT_TRUE(Read("s.json").starts_with("{\"note\":\"mine\",")) << Read("s.json");
}

TEST_F(Hardening, RunsSharingAStateFileTakeTurns) {
  // Every check of this take moves the calibration, so four checks in turn end where four in
  // a row do, and a lost update shows.
  std::string calibration;
  for (int i = 1; i <= 3; ++i) {
    calibration += " " + Example("samples/alex_calibrate_" + std::to_string(i) + ".smp");
  }
  fs::copy_file(Example("samples/alex_check_02.smp"), Path("check.smp"));
  ASSERT_EQ(Pellix("analyze --state s.json --calibrate" + calibration).status, 0);
  fs::copy_file(Path("s.json"), Path("row.json"));
  for (int i = 0; i < 4; ++i) {
    const std::string before = Read("row.json");
    ASSERT_EQ(Pellix("analyze --state row.json --check check.smp").status, 0);
    ASSERT_NE(Read("row.json"), before);
  }
  for (int round = 0; round < 3; ++round) {
    fs::copy_file(Path("row.json"), Path("expected.json"), fs::copy_options::overwrite_existing);
    fs::copy_file(Path("s.json"), Path("shared.json"), fs::copy_options::overwrite_existing);
    std::string together;
    for (int i = 0; i < 4; ++i) {
      together += "pellix analyze --state shared.json --check check.smp >/dev/null 2>&1 & ";
    }
    ASSERT_EQ(RunLine(dir_, together + "wait").status, 0);
    EXPECT_EQ(Read("shared.json"), Read("expected.json")) << "round " << round;
  }
}

// Whether process `pid` waits for the flock of the file with inode `inode`: a blocked request
// shows in /proc/locks as "N: -> FLOCK  ADVISORY  WRITE PID MAJ:MIN:INODE 0 EOF".
bool WaitsForLock(pid_t pid, ino_t inode) {
  std::ifstream locks("/proc/locks");
  for (std::string line; std::getline(locks, line);) {
    std::istringstream fields(line);
    std::string number, arrow, kind, advisory, mode, waiter, file;
    fields >> number >> arrow >> kind >> advisory >> mode >> waiter >> file;
    if (arrow == "->" && kind == "FLOCK" && waiter == std::to_string(pid) &&
        file.substr(file.rfind(':') + 1) == std::to_string(inode)) {
      return true;
    }
  }
  return false;
}

TEST_F(Hardening, QuietHidesTheWaitForAStateFileAndTheRunCarriesOn) {
  const std::string wait = "pellix: waiting for another run to finish with state file 's.json'\n";
  struct Case {
    std::string arguments;
    int waits_shown;
  };
  const Case cases[] = {
      {"analyze --state s.json --check take.smp --format csv -q", 0},
      {"analyze --state s.json --check take.smp --format csv", 1},
      {"listen --input take.wav --state s.json --format csv -q", 0},
      {"listen --input take.wav --state s.json --format csv", 1},
  };
  for (const Case& c : cases) {
    // The rows and state of the same run with nobody in its way, from no state.
    fs::remove(Path("s.json"));
    fs::remove(Path("s.history.jsonl"));
    ASSERT_EQ(Pellix(c.arguments).status, 0) << c.arguments;
    const std::string rows = Read("stdout");
    const std::string state = Read("s.json");
    fs::remove(Path("s.json"));
    fs::remove(Path("s.history.jsonl"));

    // Another run holds the state file's lock, as pellix takes it.
    const int lock = ::open(Path(".s.json.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    struct stat info {};
    ASSERT_EQ(::fstat(lock, &info), 0);
    const pid_t child = StartLine(dir_, "pellix " + c.arguments);
    ASSERT_GE(child, 0);
    int status = 0;
    bool ended = false;
    while (!WaitsForLock(child, info.st_ino)) {
      ended = ::waitpid(child, &status, WNOHANG) == child;
      if (ended) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::close(lock);
    ASSERT_FALSE(ended) << c.arguments << ": ran without waiting for the lock";
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.arguments;
    EXPECT_EQ(Read("stdout"), rows) << c.arguments;
    EXPECT_EQ(Read("s.json"), state) << c.arguments;
    const std::string err = Read("stderr");
    int shown = 0;
    for (std::size_t at = 0; (at = err.find(wait, at)) != std::string::npos; at += wait.size()) {
      ++shown;
    }
    EXPECT_EQ(shown, c.waits_shown) << c.arguments << ": " << err;
    if (c.waits_shown == 0) {
      EXPECT_EQ(err, "") << c.arguments;
    }
  }
}

// ---- inputs ----

TEST_F(Hardening, PipesDevicesAndHugeFilesAreRefusedAtOnce) {
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  Write("huge.csv", "speaker,role,file\n");
  fs::resize_file(Path("huge.csv"), 100u << 20);
  Write("huge.json", "{");
  fs::resize_file(Path("huge.json"), 100u << 20);
  ASSERT_EQ(::mkfifo(Path("h.history.jsonl").c_str(), 0600), 0);
  Write("m.csv", "speaker,role,file\na,check,take.smp\n");
  // A run that waits on a pipe hangs, and the test's time limit ends it.
  const std::vector<ExpectedFailure> refused = {
      {"analyze --batch pipe", 1, "cannot read manifest 'pipe': it is a pipe, not a regular file"},
      {"analyze --batch /dev/zero", 1, "it is a device, not a regular file"},
      {"analyze --batch huge.csv", 1, "it is larger than 64 MiB"},
      {"analyze --state pipe --check take.smp", 1, "it is a pipe, not a regular file"},
      {"analyze --state huge.json --check take.smp", 1, "it is larger than 64 MiB"},
      {"analyze --state /dev/zero --check take.smp", 1, "it is a device, not a regular file"},
      {"panel --state /dev/urandom", 1, "it is a device, not a regular file"},
      {"script pipe", 2, "cannot read script pipe: it is a pipe, not a regular file"},
      {"script /dev/zero", 2, "it is a device, not a regular file"},
      // The history beside a state, read while the state is locked: a pipe there must not
      // hold the lock, nor the run, for ever.
      {"analyze --state h.json --check take.smp", 1,
       "cannot read check history 'h.history.jsonl': it is a pipe, not a regular file (error 75"},
      {"analyze --batch m.csv --format csv -o pipe --resume", 1,
       "cannot resume 'pipe': it is a pipe, not a regular file (error 75)"},
  };
  pellix::testing::ExpectFailures(dir_, refused, "pellix ");
  EXPECT_TRUE(fs::is_fifo(Path("pipe")));
  EXPECT_FALSE(fs::exists(Path(".pipe.lock")));
}

TEST_F(Hardening, AnEndlessScriptLineEndsInAnError) {
  const Outcome run = RunLine(dir_, "head -c 70000000 /dev/zero | pellix script - >/dev/null");
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.err, "<stdin>:1: the line is longer than 64 MiB")) << run.err;
}

// GCC tells of the address sanitizer by a macro, clang by __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define PELLIX_ADDRESS_SANITIZER
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELLIX_ADDRESS_SANITIZER
#endif
#endif

TEST_F(Hardening, RunningOutOfMemoryIsSaidInWords) {
#if defined(PELLIX_ADDRESS_SANITIZER)
  GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
  // 100 MB of address space runs a script, but not one with a 60 MB line.
  const Outcome run = RunLine(
      dir_,
      "ulimit -v 100000; head -c 60000000 /dev/zero | tr '\\0' a | pellix script - >/dev/null");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "pellix: out of memory: the input is too large for the memory available\n");
}

// ---- a full disk, a closed pipe, a signal ----

TEST_F(Hardening, FailedWritesToStandardOutputFailTheRun) {
  Write("s.pellix", "get DATAstr\n");
  for (const std::string arguments :
       {"typelib", "panel", "script s.pellix", "analyze --check take.smp --format csv"}) {
    Outcome run = Pellix(arguments + " >/dev/full");
    EXPECT_EQ(run.status, 1) << arguments;
    EXPECT_TRUE(
        Contains(run.err, "pellix: cannot write to standard output: No space left on device"))
        << arguments << ": " << run.err;
  }
}

TEST_F(Hardening, AFailedStateSaveGivesItsCause) {
  ASSERT_EQ(Pellix("analyze --state s.json --calibrate take.smp").status, 0);
  std::string state = Read("s.json");
  // A file-size limit of 512 bytes stands for a full disk; the bag (with a note of its own,
  // kept through a save) is larger.
  state.insert(1, "\"note\":\"" + std::string(600, 'n') + "\",");
  Write("s.json", state);
  ExpectRefusedOnAFullDisk("analyze --state s.json --check take.smp --format csv",
                           "cannot save state to 's.json' (File too large, error 75: "
                           "Path/File access error)");
  EXPECT_EQ(Read("s.json"), state);
  EXPECT_EQ(Names(), (std::vector<std::string>{".s.json.lock", "s.json", "stderr", "stdout",
                                               "take.smp", "take.wav", "tmp"}));
}

TEST_F(Hardening, AFullDiskLeavesTheOldReportWholeAndSaysWhy) {
  Write("out.csv", "old\n");
  // Files of at most 512 bytes: the report's header alone is longer.
  ExpectRefusedOnAFullDisk("analyze --check take.smp --format csv -o out.csv",
                           "cannot write the report to 'out.csv': File too large (error 75); "
                           "it holds what it held before this run");
  EXPECT_EQ(Read("out.csv"), "old\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"out.csv", "stderr", "stdout", "take.smp",
                                               "take.wav", "tmp"}));
}

TEST_F(Hardening, SignalsLeaveNoScratchFolderNorTemporaryFile) {
  // A long recording, so that the signal comes while a take is converted or written; where it
  // comes makes no difference to what must be left.
  std::string wav = Read("take.wav");
  std::string copies = "cd '" + dir_.string() + "'";
  for (int i = 0; i < 40; ++i) copies += " && cp take.wav t" + std::to_string(i) + ".wav";
  ASSERT_EQ(std::system(copies.c_str()), 0);
  std::string takes;
  for (int i = 0; i < 40; ++i) takes += " t" + std::to_string(i) + ".wav";
  for (int signal_number : {SIGINT, SIGTERM, SIGPIPE}) {
    for (int delay_ms : {5, 30, 80}) {
      InterruptPellix("analyze --check" + takes, signal_number, delay_ms);
      EXPECT_EQ(Names("tmp"), std::vector<std::string>{}) << signal_number << " " << delay_ms;
    }
  }
  for (int delay_ms : {2, 10, 40}) {
    InterruptPellix("convert take.wav out.smp", SIGTERM, delay_ms);
    for (const std::string& name : Names()) EXPECT_FALSE(name.starts_with(".out.smp")) << name;
  }
}

TEST_F(Hardening, SignalsThatTheStarterIgnoresStayIgnored) {
  // A script that starts pellix in the background has it ignore Ctrl-C; the handler that
  // removes the scratch folder must not take that away. pellix reads its take from a pipe into
  // its scratch folder, so the signal comes while it waits there for the sound.
  ASSERT_EQ(::mkfifo(Path("in.wav").c_str(), 0600), 0);
  const std::string take = Read("take.wav");
  for (const auto& [signal_number, trap] : {std::pair{SIGINT, "INT"}, std::pair{SIGPIPE, "PIPE"}}) {
    const pid_t child =
        StartLine(dir_, "trap '' " + std::string(trap) + "; pellix analyze --check - <in.wav");
    ASSERT_GE(child, 0);
    std::ofstream sound(Path("in.wav"), std::ios::binary);  // once pellix's shell opened it
    int status = 0;
    bool signalled = false;
    while (!signalled && ::waitpid(child, &status, WNOHANG) != child) {
      if (!Names("tmp").empty()) signalled = ::kill(child, signal_number) == 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(signalled) << trap << ": pellix ended before the signal: " << Read("stderr");
    sound << take;
    sound.close();
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << trap << ": " << status;
    EXPECT_TRUE(Contains(Read("stdout"), "check      -")) << trap << ": " << Read("stdout");
    EXPECT_EQ(Names("tmp"), std::vector<std::string>{}) << trap;
  }
}

TEST_F(Hardening, AReportKilledAfterACheckpointIsCompletedByResumeAsOneRunWouldWriteIt) {
  // Enough speakers that the run is caught part-way; a speaker's block ends where the next
  // speaker's first row begins.
  std::string manifest = "speaker,role,file\n";
  for (int i = 0; i < 30; ++i) {
    const std::string speaker = "s" + std::to_string(100 + i);
    manifest += speaker + ",calibrate," + Example("samples/alex_calibrate_1.smp") + "\n" + speaker +
                ",check," + Example("samples/alex_check_0" + std::to_string(1 + i % 9) + ".smp") +
                "\n";
  }
  Write("m.csv", manifest);
  struct Case {
    std::string format;
    std::string fourth_speaker;  // where the file a checkpoint left ends
  };
  const Case cases[] = {{"csv", "\ns103,"}, {"json", "\n{\"speaker\":\"s103\""}};
  for (const Case& c : cases) {
    const std::string out = "out." + c.format;
    const std::string run = "analyze --batch m.csv -q --format " + c.format + " -o " + out;
    ASSERT_EQ(Pellix(run).status, 0) << c.format;
    const std::string whole = Read(out);
    const std::size_t cut = whole.find(c.fourth_speaker);
    ASSERT_NE(cut, std::string::npos) << whole;
    const std::string checkpoint = whole.substr(0, cut + 1);
    Write(out, checkpoint);

    // A resumed run killed once it has written a speaker beyond the checkpoint (its
    // temporary file outgrows it), before its own next checkpoint is due.
    const pid_t child = StartLine(dir_, "pellix " + run + " --resume");
    ASSERT_GE(child, 0);
    const std::string temporary = "." + out + ".tmp-" + std::to_string(child) + "-";
    bool killed = false;
    int status = 0;
    while (!killed && ::waitpid(child, &status, WNOHANG) != child) {
      for (const std::string& name : Names()) {
        std::error_code gone;  // renamed in place at the end
        if (name.starts_with(temporary) && fs::file_size(Path(name), gone) > checkpoint.size() &&
            !gone) {
          killed = ::kill(child, SIGKILL) == 0;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(killed) << c.format << ": the run ended before it could be killed";
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(Read(out), checkpoint) << c.format;
    for (const std::string& name : Names()) {
      if (name.starts_with(temporary)) fs::remove(Path(name));  // SIGKILL leaves it
    }

    const Outcome resumed = Pellix(run + " --resume");
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_EQ(Read(out), whole) << c.format;
  }
}

// ---- messages ----

TEST_F(Hardening, MessagesSayWhatIsWrong) {
  Write("bom.pellix", "\xEF\xBB\xBFget DATAstr\n");
  Write("long.pellix", "frob" + std::string(50000, 'x') + "\n");
  Write("long.csv", "speaker,role,file\nalex," + std::string(50000, 'r') + ",take.smp\n");
  struct Case {
    std::string arguments;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {"frobnicate", 2,
       "pellix: unknown command 'frobnicate'; the commands are analyze, listen, demo,"},
      {"analize --check take.smp", 2,
       "pellix: unknown command 'analize'; did you mean 'analyze'? The commands are analyze,"},
      {"analyse --check take.smp", 0, "checking without calibration"},  // the British spelling
      {"analyze --chek take.smp", 2,
       "pellix analyze: unknown option '--chek'; did you mean '--check'?\nRun with --help"},
      {"analyze --check take.smp --stat=s.json", 2,
       "pellix analyze: unknown option '--stat'; did you mean '--state'?"},
      {"analyze --check take.smp --frobnicate", 2,
       "pellix analyze: unknown option '--frobnicate'\nRun with --help"},
      {"--hlp", 2, "pellix: unknown option '--hlp'; did you mean '--help'?"},
      {"analyze --check", 2, "pellix analyze: --check: 1 required FILE missing"},
      {"convert take.wav out.wav", 0,
       "pellix: warning: 'out.wav' will hold a sample file (8-bit samples for the control), not "
       "the recording its name says"},
      {"analyze --state '' --check take.smp", 2, "an empty path names no file"},
      {"analyze --batch long.csv", 1,
       "long.csv:2: the role must be calibrate or check, not "
       "'rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr...' (50000 bytes)"},
      {"analyze --format xml --check take.smp", 2, "--format"},
      {"analyze --jobs 0 --batch m.csv", 2, "--jobs"},
      {"panel --svg ''", 2, "an empty path names no file"},
      {"script long.pellix", 2,
       "not a statement: unknown keyword \"frobxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\" "
       "(50004 bytes)"},
  };
  for (const Case& c : cases) {
    Outcome run = Pellix(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_TRUE(Contains(run.err, c.message)) << c.arguments << ": " << run.err;
    EXPECT_LT(run.err.size(), 1000u) << c.arguments;
  }
  // Without a string, the default one, explained.
  Outcome params = Pellix("params");
  EXPECT_EQ(params.status, 0) << params.err;
  EXPECT_TRUE(params.out.starts_with("Parameter string \"000023000005000000\" (the default"))
      << params.out;
  EXPECT_TRUE(Contains(params.out, "shortest jump = 2")) << params.out;
  // A script never saves a bag over itself; elsewhere it does.
  Write("save.pellix", "save ./save.pellix\nsave bag.json\n");
  Outcome save = Pellix("script save.pellix");
  EXPECT_EQ(save.status, 0) << save.err;
  EXPECT_TRUE(
      save.out.starts_with("{\"line\":1,\"op\":\"save\",\"name\":\"./"
                           "save.pellix\",\"ok\":false,\"error\":{\"number\":75,"))
      << save.out;
  EXPECT_EQ(Read("save.pellix"), "save ./save.pellix\nsave bag.json\n");
  EXPECT_TRUE(fs::exists(Path("bag.json")));
  Outcome bom = Pellix("script bom.pellix");
  EXPECT_EQ(bom.status, 0) << bom.err;
  EXPECT_TRUE(bom.out.starts_with("{\"line\":1,\"op\":\"get\"")) << bom.out;
}

TEST_F(Hardening, TheLengthWarningCountsTheSamplesUpToTheFirstZero) {
  // The header's count and the file's size both disagree with what the intake reads.
  auto sample_file = [&](const std::string& name, std::uint32_t count, const std::string& data) {
    std::string bytes = "PLXSMP01";
    for (std::uint32_t v : {11025u, count}) {
      for (int b = 0; b < 4; ++b) bytes += static_cast<char>((v >> (8 * b)) & 0xFF);
    }
    bytes.resize(49, '\0');
    Write(name, bytes + data);
  };
  const std::string take = Read("take.smp").substr(49);
  std::string long_take;
  while (long_take.size() < 40000) long_take += take;
  long_take.resize(40000);
  sample_file("ends.smp", 10, long_take + std::string(1, '\0') + std::string(20000, '\x80'));
  sample_file("short.smp", 60000, take + std::string(1, '\0') + std::string(30000, '\x80'));
  Outcome ends = Pellix("analyze --check ends.smp");
  EXPECT_TRUE(Contains(ends.err, "ends.smp is 3.6 s long (40000 samples at 11025 Hz)")) << ends.err;
  Outcome short_take = Pellix("analyze --check short.smp");
  EXPECT_FALSE(Contains(short_take.err, "long (")) << short_take.err;
}

}  // namespace
