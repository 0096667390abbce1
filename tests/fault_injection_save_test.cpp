// Saves that fail, run out of disk or are killed part-way, for every file the product writes: a
// property bag, a state file and a sample file.
//
// Each writer replaces an existing file. Whatever happens to the save, the previous file must
// stay whole, byte for byte, until a save completes. A full disk is a file-size limit in a child
// process (writes past it fail with EFBIG); a killed process is the same limit with its signal
// left to kill the child at that byte, at several points of the write, and SIGKILL at random
// moments of a stream of saves.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "analysis/state_file.h"
#include "audio/sample_file.h"
#include "control/alg_v1s.h"
#include "error_of.h"
#include "files/atomic_file.h"
#include "files/json_property_bag.h"
#include "platform/error.h"

namespace pellix::testing {
namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One of the product's writers, saving `version` (0 or 1) of its file at `path`. Each version
// is a few hundred kilobytes, so a write takes several system calls.
struct Writer {
  const char* name;
  std::function<void(const fs::path&, int version)> save;
};

std::string LongText(int version) {
  return std::string(200000, static_cast<char>('a' + version));
}

std::vector<Writer> Writers() {
  return {
      {"atomic writer",
       [](const fs::path& path, int version) { WriteFileAtomically(path, LongText(version)); }},
      {"property bag",
       [](const fs::path& path, int version) {
         JsonPropertyBag bag;
         bag.WriteProperty("DATAstr", Value::String(LongText(version)), Value());
         bag.Save(path.string());
       }},
      {"state file",
       [](const fs::path& path, int version) {
         ALG_V1S control;
         control.InitProperties();
         control.put_DATAstr(LongText(version));
         analysis::SaveState(control, path);
       }},
      {"sample file",
       [](const fs::path& path, int version) {
         WriteSampleFile(
             path, kDefaultSampleRate,
             std::vector<std::uint8_t>(200000, static_cast<std::uint8_t>(100 + version)));
       }},
  };
}

class SaveFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("pellix_save_fault_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Runs `test` once for each writer, over the writer's version 0 saved at "file" in the
  // folder, whose bytes it is given; the folder is emptied after each writer.
  template <typename Test>
  void ForEachWriterOverAnOldFile(const Test& test) {
    for (const Writer& writer : Writers()) {
      SCOPED_TRACE(writer.name);
      const fs::path path = folder_ / "file";
      writer.save(path, 0);
      test(writer, path, Contents(path));
      fs::remove_all(folder_);
      fs::create_directories(folder_);
    }
  }

  // Runs `child` in a child process with a file-size limit of `limit` bytes, SIGXFSZ either
  // ignored (a write past the limit fails) or left to kill the process. Returns the wait status.
  static int InChild(rlim_t limit, bool killed_by_limit, const std::function<int()>& child) {
    const pid_t pid = fork();
    if (pid == 0) {
      const rlimit no_core{0, 0};
      setrlimit(RLIMIT_CORE, &no_core);
      const rlimit size{limit, limit};
      setrlimit(RLIMIT_FSIZE, &size);
      signal(SIGXFSZ, killed_by_limit ? SIG_DFL : SIG_IGN);
      _exit(child());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
  }

  // Every name in the folder.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_))
      names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path folder_;
};

// Exit statuses of a child that saves.
constexpr int kSaved = 0;
constexpr int kRefused = 3;
constexpr int kThrewSomethingElse = 4;

int SaveIn(const Writer& writer, const fs::path& path, int version) {
  try {
    writer.save(path, version);
    return kSaved;
  } catch (const PlatformError&) {
    return kRefused;
  } catch (const std::runtime_error&) {
    return kRefused;  // the state file's own error, which names the file and the cause
  } catch (...) {
    return kThrewSomethingElse;
  }
}

TEST_F(SaveFaultTest, AFullDiskRefusesTheSaveAndKeepsTheOldFile) {
  ForEachWriterOverAnOldFile([&](const Writer& writer, const fs::path& path,
                                 const std::string& before) {
    for (rlim_t limit : {rlim_t{0}, rlim_t{1}, rlim_t{4096}, rlim_t{before.size() - 1}}) {
      SCOPED_TRACE(limit);
      const int status = InChild(limit, false, [&] { return SaveIn(writer, path, 1); });
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), kRefused);
      EXPECT_EQ(Contents(path), before);
      EXPECT_EQ(Names(), std::vector<std::string>{"file"}) << "a temporary file was left behind";
    }
  });
}

TEST_F(SaveFaultTest, AProcessKilledPartWayThroughASaveLeavesTheOldFileWhole) {
  ForEachWriterOverAnOldFile(
      [&](const Writer& writer, const fs::path& path, const std::string& before) {
        for (rlim_t limit : {rlim_t{0}, rlim_t{1}, rlim_t{65536}, rlim_t{before.size() / 2},
                             rlim_t{before.size() - 1}}) {
          SCOPED_TRACE(limit);
          const int status = InChild(limit, true, [&] { return SaveIn(writer, path, 1); });
          ASSERT_TRUE(WIFSIGNALED(status));
          EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
          EXPECT_EQ(Contents(path), before);
        }
        // The next save works, whatever the killed ones left.
        EXPECT_EQ(SaveIn(writer, path, 1), kSaved);
        EXPECT_NE(Contents(path), before);
      });
}

TEST_F(SaveFaultTest, SigkillAtAnyMomentLeavesOneWholeVersion) {
  std::mt19937 random(12);
  ForEachWriterOverAnOldFile(
      [&](const Writer& writer, const fs::path& path, const std::string& version0) {
        writer.save(path, 1);
        const std::string version1 = Contents(path);
        for (int round = 0; round < 12; ++round) {
          const pid_t pid = fork();
          if (pid == 0) {
            for (int version = 0;; version ^= 1) SaveIn(writer, path, version);
          }
          std::this_thread::sleep_for(
              std::chrono::microseconds(std::uniform_int_distribution<int>(100, 20000)(random)));
          kill(pid, SIGKILL);
          int status = 0;
          waitpid(pid, &status, 0);
          const std::string now = Contents(path);
          EXPECT_TRUE(now == version0 || now == version1)
              << "round " << round << ": " << now.size() << " bytes";
        }
      });
}

TEST_F(SaveFaultTest, AFailureAtEachStepOfTheWriteKeepsTheOldFileAndLeavesNoTemporary) {
  const AtomicWriteStep steps[] = {AtomicWriteStep::kCreate, AtomicWriteStep::kWrite,
                                   AtomicWriteStep::kSync, AtomicWriteStep::kClose,
                                   AtomicWriteStep::kRename};
  ForEachWriterOverAnOldFile(
      [&](const Writer& writer, const fs::path& path, const std::string& before) {
        for (AtomicWriteStep step : steps) {
          for (int error : {ENOSPC, EIO, EACCES}) {
            SCOPED_TRACE(static_cast<int>(step));
            SCOPED_TRACE(error);
            ScopedAtomicWriteFault fault(step, error);
            EXPECT_EQ(SaveIn(writer, path, 1), kRefused);
            EXPECT_EQ(Contents(path), before);
            EXPECT_EQ(Names(), std::vector<std::string>{"file"});
          }
        }
      });
}

TEST_F(SaveFaultTest, ASaveThatCannotStartLeavesNothingBehind) {
  // A directory where the file should be, and a folder that does not exist.
  for (const Writer& writer : Writers()) {
    SCOPED_TRACE(writer.name);
    fs::create_directory(folder_ / "dir");
    EXPECT_EQ(SaveIn(writer, folder_ / "dir", 0), kRefused);
    EXPECT_EQ(SaveIn(writer, folder_ / "missing" / "file", 0), kRefused);
    EXPECT_TRUE(fs::is_directory(folder_ / "dir"));
    EXPECT_EQ(Names(), std::vector<std::string>{"dir"});
    fs::remove(folder_ / "dir");
  }
}

}  // namespace
}  // namespace pellix::testing
