// The one way the host writes a file, and the one way it reads a small one: a failure at any
// step leaves the old file whole and no temporary file behind; links are written through;
// pipes, devices and folders are refused; permissions are kept; a size limit holds; and a
// signal removes what it would otherwise leave behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "files/atomic_file.h"
#include "files/file_error.h"
#include "files/json_property_bag.h"
#include "files/safe_read.h"
#include "files/signal_cleanup.h"
#include "scratch_directory_test_base.h"

namespace pellix {
namespace {

namespace fs = std::filesystem;

class FileSafety : public ScratchDirectoryTest {
 protected:
  // The error WriteFileAtomically raises, as number and cause.
  static std::pair<int, std::string> WriteError(const std::string& path, const std::string& text) {
    try {
      WriteFileAtomically(path, text);
    } catch (const FileError& e) {
      return {e.number(), e.what()};
    }
    return {0, ""};
  }
  std::pair<int, std::string> ReadError(const std::string& path, std::uint64_t limit = 100) const {
    try {
      ReadRegularFile(path, limit);
    } catch (const FileError& e) {
      return {e.number(), e.what()};
    }
    return {0, ""};
  }

  // A path and the error (number and cause) a write or read of it raises.
  struct PathCase {
    std::string path;
    std::pair<int, std::string> error;
  };
};

TEST_F(FileSafety, AFailureAtAnyStepLeavesTheOldFileAndNoTemporaryFile) {
  struct Case {
    AtomicWriteStep step;
    int errno_value;
    int number;
    std::string cause;
  };
  const Case cases[] = {
      {AtomicWriteStep::kCreate, EACCES, 70, "Permission denied"},
      {AtomicWriteStep::kWrite, ENOSPC, 75, "No space left on device"},
      {AtomicWriteStep::kSync, EIO, 75, "Input/output error"},
      {AtomicWriteStep::kClose, EDQUOT, 75, "Disk quota exceeded"},
      {AtomicWriteStep::kRename, EXDEV, 75, "Invalid cross-device link"},
  };
  for (const Case& c : cases) {
    Write("state.json", "old");
    ScopedAtomicWriteFault fault(c.step, c.errno_value);
    EXPECT_EQ(WriteError(Path("state.json"), "new"), std::make_pair(c.number, c.cause));
    EXPECT_EQ(Read("state.json"), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"state.json"});
  }
  WriteFileAtomically(Path("state.json"), "new");
  EXPECT_EQ(Read("state.json"), "new");
  EXPECT_EQ(Names(), std::vector<std::string>{"state.json"});
}

TEST_F(FileSafety, AFullDiskLeavesTheOldFile) {
  // A file-size limit in a child process stands for a full disk.
  Write("take.smp", "old");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1000, 1000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      WriteFileAtomically(Path("take.smp"), std::string(5000, 'x'));
    } catch (const FileError& e) {
      ::_exit(e.number() == 75 && std::string(e.what()) == "File too large" ? 0 : 2);
    }
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(Read("take.smp"), "old");
  EXPECT_EQ(Names(), std::vector<std::string>{"take.smp"});
}

TEST_F(FileSafety, OnlyRegularFilesAndNewPathsAreReplaced) {
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  fs::create_directory(Path("dir"));
  ::symlink("/dev/null", Path("null-link").c_str());
  const PathCase cases[] = {
      {Path("pipe"), {75, "it is a pipe, not a regular file"}},
      {Path("dir"), {75, "it is a directory"}},
      {Path("null-link"), {75, "it is a device, not a regular file"}},
      {Path("dir") + "/", {75, "the path names a folder, not a file"}},
      {Path("no/such/file"), {53, "No such file or directory"}},
      {"", {53, "the path is empty"}},
  };
  for (const PathCase& c : cases) EXPECT_EQ(WriteError(c.path, "x"), c.error) << c.path;
  EXPECT_TRUE(fs::is_fifo(Path("pipe")));
  EXPECT_TRUE(fs::is_symlink(Path("null-link")));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"dir", "null-link", "pipe"}));
}

TEST_F(FileSafety, LinksAreWrittenThroughAndPermissionsKept) {
  fs::create_directory(Path("real"));
  Write("real/bag.json", "old");
  ::chmod(Path("real/bag.json").c_str(), 0600);
  ASSERT_EQ(::symlink("real/bag.json", Path("link.json").c_str()), 0);
  ASSERT_EQ(::symlink("link.json", Path("link2.json").c_str()), 0);
  ASSERT_EQ(::symlink("real/new.json", Path("dangling.json").c_str()), 0);

  WriteFileAtomically(Path("link2.json"), "new");
  EXPECT_TRUE(fs::is_symlink(Path("link.json")));
  EXPECT_TRUE(fs::is_symlink(Path("link2.json")));
  EXPECT_EQ(Read("real/bag.json"), "new");
  EXPECT_EQ(fs::status(Path("real/bag.json")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  WriteFileAtomically(Path("dangling.json"), "made");
  EXPECT_TRUE(fs::is_symlink(Path("dangling.json")));
  EXPECT_EQ(Read("real/new.json"), "made");

  ASSERT_EQ(::symlink("loop-b", Path("loop-a").c_str()), 0);
  ASSERT_EQ(::symlink("loop-a", Path("loop-b").c_str()), 0);
  EXPECT_EQ(WriteError(Path("loop-a"), "x").first, 75);
  EXPECT_EQ(Names(), (std::vector<std::string>{"dangling.json", "link.json", "link2.json", "loop-a",
                                               "loop-b", "real"}));
}

TEST_F(FileSafety, SmallFilesAreReadSafelyWithinALimit) {
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  Write("hundred", std::string(100, 'a'));
  Write("more", std::string(101, 'a'));
  const PathCase cases[] = {
      {Path("hundred"), {0, ""}},
      {Path("more"), {321, "it is larger than 100 bytes, more than such a file ever holds"}},
      {Path("pipe"), {75, "it is a pipe, not a regular file"}},
      {"/dev/zero", {75, "it is a device, not a regular file"}},
      {dir_.string(), {75, "it is a directory"}},
      {Path("none"), {53, "No such file or directory"}},
      {"", {53, "the path is empty"}},
  };
  for (const PathCase& c : cases) EXPECT_EQ(ReadError(c.path), c.error) << c.path;
  EXPECT_EQ(ReadRegularFile(Path("hundred"), 100), std::string(100, 'a'));
}

TEST_F(FileSafety, JsonTextIsRefusedBeyondItsNestingAndReadsLoneSurrogatesAsReplacements) {
  auto nested = [](std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  auto nesting_error = [](const std::string& json, std::size_t limit) {
    try {
      PrepareJsonText(json, limit);
    } catch (const FileError& e) {
      return e.number();
    }
    return 0;
  };
  EXPECT_EQ(nesting_error(nested(kMaxJsonNesting), kMaxJsonNesting), 0);
  EXPECT_EQ(nesting_error(nested(kMaxJsonNesting + 1), kMaxJsonNesting), 321);
  EXPECT_EQ(nesting_error(R"({"a":{"b":1}})", 2), 0);
  EXPECT_EQ(nesting_error(R"({"a":{"b":[1]}})", 2), 321);
  EXPECT_EQ(nesting_error(R"(["[[[", "\"[[", "{{"])", 1), 0);  // brackets inside strings

  const std::pair<std::string, std::string> escapes[] = {
      {R"(["\ud800x"])", R"(["\ufffdx"])"},
      {R"(["\udc00"])", R"(["\ufffd"])"},
      {R"(["\ud800\ud800"])", R"(["\ufffd\ufffd"])"},
      {R"(["\ud800\u0041"])", R"(["\ufffd\u0041"])"},
      {R"(["\udbff"])", R"(["\ufffd"])"},
      {R"(["\ud7ff\ue000"])", R"(["\ud7ff\ue000"])"},
      {R"(["\ud83d\ude00", "\uD83D\uDE00"])", R"(["\ud83d\ude00", "\uD83D\uDE00"])"},
      {R"(["\\ud800", "\ud800)", R"(["\\ud800", "\ufffd)"},
  };
  for (const auto& [json, prepared] : escapes) EXPECT_EQ(PrepareJsonText(json), prepared) << json;

  Write("bag.json", "[\"\xFF\\ud800\"]");
  EXPECT_EQ(ReadJsonText(Path("bag.json")), "[\"\xEF\xBF\xBD\\ufffd\"]");
  EXPECT_THROW(ReadJsonText(Path("bag.json"), {.max_bytes = 10}), FileError);  // 11 bytes
  EXPECT_NO_THROW(ReadJsonText(Path("bag.json"), {.max_bytes = 11}));
}

TEST_F(FileSafety, ASignalRemovesRegisteredFilesAndFolders) {
  for (int signal_number : {SIGINT, SIGTERM, SIGPIPE}) {
    fs::create_directory(Path("scratch"));
    Write("scratch/1-a.smp", "x");
    Write("scratch/.2-b.smp.tmp-1-0", "y");
    Write("temporary", "z");
    Write("kept", "k");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      CleanupOnSignal folder(Path("scratch"), CleanupOnSignal::Kind::kFolder);
      CleanupOnSignal file(Path("temporary"), CleanupOnSignal::Kind::kFile);
      { CleanupOnSignal released(Path("kept"), CleanupOnSignal::Kind::kFile); }
      ::raise(signal_number);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_EQ(Names(), std::vector<std::string>{"kept"}) << signal_number;
    fs::remove(Path("kept"));
  }
}

// The processor time this thread has used, in seconds: unlike the clock on the wall, it does not
// run on while other processes have the processor.
double ThreadSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

TEST_F(FileSafety, ABagOfManyUnknownKeysLoadsInLinearTime) {
  // 200 000 keys took minutes while every key was looked up along a list. Four times the keys
  // take 4.4 to 5 times as long when loading is linear (the sorted object's logarithm), and 16
  // times or more when it is quadratic (about 20 with the keys looked up along a list, as caches
  // are outgrown). The bound of 10 lies a factor of two from each. The bags are small enough to
  // stay mostly in a core's own caches, which a busy neighbour does not share: larger ones are
  // slowed by the neighbour's use of the shared cache, the larger one the more.
  auto load_seconds = [&](int keys) {
    std::string text = "{";
    for (int i = 0; i < keys; ++i)
      text += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
    text += "\"k5\":\"again\"}";
    Write("big.json", text);
    const double start = ThreadSeconds();
    JsonPropertyBag bag = JsonPropertyBag::Load(Path("big.json"));
    bag.WriteProperty("new", Value::Double(1), Value());
    const double seconds = ThreadSeconds() - start;
    const std::vector<std::string> keys_read = bag.keys();
    EXPECT_EQ(keys_read.size(), static_cast<std::size_t>(keys) + 1);
    EXPECT_EQ(keys_read[5], "k5");  // a repeated key keeps its first place and its last value
    EXPECT_EQ(keys_read.back(), "new");
    EXPECT_EQ(bag.ReadProperty("k5", Value()).string(), "again");
    return seconds;
  };
  // The processor time of this thread alone, the least of five loads each, so that other work
  // on a busy machine is not taken for growth.
  auto least = [&](int keys) {
    double seconds = load_seconds(keys);
    for (int i = 0; i < 4; ++i) seconds = std::min(seconds, load_seconds(keys));
    return seconds;
  };
  const double quarter = least(2500);
  EXPECT_LT(least(10000), 10 * quarter);
}

}  // namespace
}  // namespace pellix
