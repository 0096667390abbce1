// libPellixAnalysis.so's speakers sharing state files with each other and with pellix analyze:
// runs interleaved on one file lose no check and no drift, each state file has a history of
// its own, a save elsewhere or a failed load mixes no speakers, a close waits for the call in
// flight, and samples at any address give their row.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "PellixAnalysis.h"
#include "scratch_directory_test_base.h"
#include "tests/support/program_run.h"

namespace {

namespace fs = std::filesystem;

const fs::path kRecordings = fs::path(PELLIX_SOURCE_DIR) / "examples" / "recordings";

std::string Check(int i) {
  return (kRecordings /
          ("alex_check_" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".wav"))
      .string();
}

std::string Calibration(int i) {
  return (kRecordings / ("alex_calibrate_" + std::to_string(i) + ".wav")).string();
}

class StateSharing : public ScratchDirectoryTest {
 protected:
  void TearDown() override {
    for (auto& [name, speaker] : speakers_) PellixSpeakerClose(speaker);
    ScratchDirectoryTest::TearDown();
  }

  // pellix analyze -q with `arguments`; its status.
  int Pellix(const std::string& arguments) const {
    return pellix::testing::RunLine(dir_, "pellix analyze -q " + arguments).status;
  }

  std::string CheckArguments(const std::vector<int>& checks) const {
    std::string arguments = "--check";
    for (const int i : checks) arguments += " '" + Check(i) + "'";
    return arguments;
  }

  // "state.json", calibrated by pellix analyze on the three calibration takes.
  void Calibrated(const std::string& name) const {
    ASSERT_EQ(Pellix("--state '" + Path(name) + "' --calibrate '" + Calibration(1) + "' '" +
                     Calibration(2) + "' '" + Calibration(3) + "'"),
              0);
  }

  PellixSpeaker* Open(const std::string& who, const std::string& state) {
    PellixSpeaker*& speaker = speakers_[who];
    EXPECT_EQ(PellixSpeakerOpen(nullptr, Path(state).c_str(), &speaker), 0)
        << PellixSpeakerError(speaker);
    return speaker;
  }

  static void CheckTake(PellixSpeaker* speaker, int i) {
    const std::string path = Check(i);
    const PellixTake take = {PELLIX_TAKE_FILE, path.c_str(), nullptr, 0, 0, 0};
    PellixTakeResult result;
    EXPECT_EQ(PellixSpeakerCheck(speaker, &take, &result), 0) << result.error_message;
  }

  // The check numbers of the history rows in the sidecar `name`, in order.
  std::vector<int> HistoryChecks(const std::string& name) const {
    std::vector<int> checks;
    std::istringstream in(Read(name));
    const std::regex take("alex_check_(\\d+)\\.wav");
    for (std::string line; std::getline(in, line);) {
      std::smatch match;
      checks.push_back(std::regex_search(line, match, take) ? std::stoi(match[1]) : -1);
    }
    return checks;
  }

  // The four calibration constants of the bag `name`, as it keeps them.
  std::string Constants(const std::string& name) const {
    const std::string bag = Read(name);
    std::string constants;
    for (const char* key : {"CAL_spT", "CAL_spJ", "CAL_JQ", "CAL_AVJ"}) {
      std::smatch match;
      const std::regex value("\"" + std::string(key) + "\":\"([^\"]*)\"");
      constants += std::regex_search(bag, match, value) ? match[1].str() : "?";
      constants += " ";
    }
    return constants;
  }

  std::map<std::string, PellixSpeaker*> speakers_;
};

// Speakers and pellix analyze runs on one state file, in the order of the steps; the file's
// history must hold every check once, the other runs' before a speaker's, and its calibration
// the drift of every check, exactly as one run checking the takes in that order leaves it (or,
// for a speaker that calibrated again, as that speaker alone leaves it).
TEST_F(StateSharing, RunsInterleavedOnOneStateFileLoseNoCheckAndNoDrift) {
  struct Step {
    std::string who;   // "cli", or a speaker
    std::string what;  // "open", "calibrate", "check", "save" (speakers); the CLI checks
    std::vector<int> checks;
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
    std::vector<int> history;  // the check numbers in the history, in order
    std::string alone = {};    // the run giving the same constants; none: checks of `history`
  };
  const Case cases[] = {
      {"the command checks while a speaker is open",
       {{"a", "open", {}}, {"cli", "", {1, 2, 3, 4, 5}}, {"a", "check", {6}}, {"a", "save", {}}},
       {1, 2, 3, 4, 5, 6}},
      {"two speakers open at once",
       {{"a", "open", {}},
        {"b", "open", {}},
        {"a", "check", {1, 2}},
        {"b", "check", {3}},
        {"a", "save", {}},
        {"b", "save", {}}},
       {1, 2, 3}},
      {"a speaker saving twice, the command between",
       {{"a", "open", {}},
        {"a", "check", {1}},
        {"a", "save", {}},
        {"cli", "", {2}},
        {"a", "check", {3}},
        {"a", "save", {}}},
       {1, 2, 3}},
      {"a speaker saving with nothing new",
       {{"a", "open", {}}, {"cli", "", {1, 2}}, {"a", "save", {}}},
       {1, 2}},
      {"a speaker calibrating again keeps its calibration and their checks",
       {{"a", "open", {}},
        {"cli", "", {1, 2}},
        {"a", "calibrate", {2}},
        {"a", "check", {3}},
        {"a", "save", {}}},
       {1, 2, 3},
       "--calibrate '" + Calibration(2) + "' --check '" + Check(3) + "'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir_);
    fs::create_directory(dir_);
    Calibrated("state.json");
    std::string last_saved;
    for (const Step& step : c.steps) {
      if (step.who == "cli") {
        ASSERT_EQ(Pellix("--state '" + Path("state.json") + "' " + CheckArguments(step.checks)), 0);
      } else if (step.what == "open") {
        Open(step.who, "state.json");
      } else if (step.what == "calibrate") {
        const std::string path = Calibration(step.checks.front());
        const PellixTake take = {PELLIX_TAKE_FILE, path.c_str(), nullptr, 0, 0, 0};
        EXPECT_EQ(PellixSpeakerCalibrate(speakers_[step.who], &take, nullptr), 0);
      } else if (step.what == "check") {
        for (const int i : step.checks) CheckTake(speakers_[step.who], i);
      } else {
        EXPECT_EQ(PellixSpeakerSave(speakers_[step.who], nullptr), 0)
            << PellixSpeakerError(speakers_[step.who]);
        last_saved = step.who;
      }
    }
    // The speaker that saved last carries on from the whole history, each check once.
    PellixProfile profile;
    ASSERT_EQ(PellixSpeakerProfile(speakers_[last_saved], &profile), 0);
    EXPECT_EQ(profile.checks, static_cast<int>(c.history.size()));
    for (auto& [name, speaker] : speakers_) PellixSpeakerClose(speaker);
    speakers_.clear();
    EXPECT_EQ(HistoryChecks("state.history.jsonl"), c.history);
    Calibrated("alone.json");
    ASSERT_EQ(Pellix("--state '" + Path("alone.json") + "' " +
                     (c.alone.empty() ? CheckArguments(c.history) : c.alone)),
              0);
    EXPECT_EQ(Constants("state.json"), Constants("alone.json"));
  }
}

// Each state file keeps its own history, whatever its name; a sidecar of the name earlier
// versions gave is still read where no other state file may have written it.
TEST_F(StateSharing, EveryStateFileHasAHistoryOfItsOwn) {
  const struct {
    const char* state;
    const char* sidecar;
    std::vector<int> checks;
  } files[] = {
      {"alex.json", "alex.history.jsonl", {1}},
      {"alex", "alex-history.jsonl", {2, 3}},
      {"team.alex", "team.alex-history.jsonl", {4}},
      {"team.robin", "team.robin-history.jsonl", {5, 6, 7}},
      {"team.alex.json", "team.alex.history.jsonl", {8}},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.state);
    PellixSpeaker* speaker = Open(f.state, f.state);
    for (const int i : f.checks) CheckTake(speaker, i);
    ASSERT_EQ(PellixSpeakerSave(speaker, nullptr), 0) << PellixSpeakerError(speaker);
  }
  for (const auto& f : files) {
    SCOPED_TRACE(f.state);
    EXPECT_EQ(HistoryChecks(f.sidecar), f.checks);
    PellixSpeaker* reopened = Open(std::string(f.state) + " again", f.state);
    const PellixHistoryRow* rows = nullptr;
    std::size_t count = 0;
    ASSERT_EQ(PellixSpeakerHistory(reopened, &rows, &count), 0);
    EXPECT_EQ(count, f.checks.size());
  }

  // Sidecars of the former name: "solo.bag" alone owns "solo.history.jsonl"; "duo.a" and
  // "duo.b" both might have written "duo.history.jsonl", which is then read for neither.
  const std::string row =
      R"({"file":"old.wav","lie_stress":1,"global_stress":2,"excitement_stress":3,"code":4,)"
      R"("avg_jump_len":5})"
      "\n";
  for (const char* state : {"solo.bag", "duo.a", "duo.b"}) {
    fs::copy_file(Path("alex.json"), Path(state));
  }
  Write("solo.history.jsonl", row + row);
  Write("duo.history.jsonl", row);
  for (const auto& [state, count] : {std::pair{"solo.bag", 2u}, {"duo.a", 0u}, {"duo.b", 0u}}) {
    SCOPED_TRACE(state);
    PellixSpeaker* speaker = Open(state, state);
    const PellixHistoryRow* rows = nullptr;
    std::size_t found = 0;
    ASSERT_EQ(PellixSpeakerHistory(speaker, &rows, &found), 0);
    EXPECT_EQ(found, count);
  }
  EXPECT_EQ(Read("duo.history.jsonl"), row);
}

// A speaker saved over another speaker's state leaves none of that speaker's history beside it;
// a load of a file that is not there changes nothing; an empty name names no file.
TEST_F(StateSharing, SavesElsewhereAndFailedLoadsMixNoSpeakers) {
  PellixSpeaker* other = Open("other", "other.json");
  for (const int i : {1, 2}) CheckTake(other, i);
  ASSERT_EQ(PellixSpeakerSave(other, nullptr), 0);

  const struct {
    const char* what;
    std::vector<int> checks;
  } cases[] = {{"a speaker without checks", {}}, {"a speaker with a check", {3}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PellixSpeaker* speaker = Open(c.what, "mine.json");
    for (const int i : c.checks) CheckTake(speaker, i);
    ASSERT_EQ(PellixSpeakerSave(speaker, Path("other.json").c_str()), 0);
    PellixSpeaker* reloaded = Open(std::string(c.what) + " reloaded", "other.json");
    const PellixHistoryRow* rows = nullptr;
    std::size_t count = 0;
    ASSERT_EQ(PellixSpeakerHistory(reloaded, &rows, &count), 0);
    EXPECT_EQ(count, c.checks.size());
  }

  PellixSpeaker* kept = Open("kept", "other.json");
  EXPECT_EQ(PellixSpeakerLoad(kept, Path("typo.json").c_str()), 53);
  EXPECT_NE(std::string(PellixSpeakerError(kept)).find("typo.json"), std::string::npos);
  const PellixHistoryRow* rows = nullptr;
  std::size_t count = 0;
  ASSERT_EQ(PellixSpeakerHistory(kept, &rows, &count), 0);
  EXPECT_EQ(count, 1u);
  EXPECT_FALSE(fs::exists(Path("typo.json")));

  PellixSpeaker* empty = nullptr;
  EXPECT_EQ(PellixSpeakerOpen(nullptr, "", &empty), 5);
  PellixSpeakerClose(empty);
  EXPECT_EQ(PellixSpeakerSaveWithin(kept, nullptr, HUGE_VAL), 0) << PellixSpeakerError(kept);
  EXPECT_EQ(PellixSpeakerSave(kept, ""), 5);
  EXPECT_EQ(PellixSpeakerLoad(kept, ""), 5);
}

// Whether some process waits for the flock of `path` (the kernel lists waiters with "->").
bool SomeoneWaitsFor(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  std::ifstream locks("/proc/locks");
  for (std::string line; std::getline(locks, line);) {
    if (line.find("->") == std::string::npos) continue;
    const std::regex inode(":" + std::to_string(info.st_ino) + " ");
    if (std::regex_search(line, inode)) return true;
  }
  return false;
}

// While another run holds the state file, a save waits (PellixSpeakerSaveWithin gives up with
// 55 and saves nothing), and a close from another thread waits for the save in flight.
TEST_F(StateSharing, ACloseWaitsForTheCallInFlight) {
  PellixSpeaker* speaker = nullptr;
  ASSERT_EQ(PellixSpeakerOpen(nullptr, Path("alex.json").c_str(), &speaker), 0);
  CheckTake(speaker, 1);
  const int lock = ::open(Path(".alex.json.lock").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  EXPECT_EQ(PellixSpeakerSaveWithin(speaker, nullptr, 0), 55);
  EXPECT_EQ(PellixSpeakerSaveWithin(speaker, nullptr, 0.05), 55);
  for (const double wait : {-1.0, std::nan("")}) {
    EXPECT_EQ(PellixSpeakerSaveWithin(speaker, nullptr, wait), 5) << wait;
  }
  EXPECT_FALSE(fs::exists(Path("alex.json")));
  // A load waits alike, and gives up leaving the speaker as it was (its one check).
  PellixSpeaker* loading = nullptr;
  ASSERT_EQ(PellixSpeakerOpen(nullptr, nullptr, &loading), 0);
  CheckTake(loading, 2);
  EXPECT_EQ(PellixSpeakerLoadWithin(loading, Path("alex.json").c_str(), 0), 55);
  EXPECT_EQ(PellixSpeakerLoadWithin(loading, Path("alex.json").c_str(), 0.05), 55);
  EXPECT_NE(std::string(PellixSpeakerError(loading)).find("alex.json' is in use"),
            std::string::npos);
  for (const double wait : {-1.0, std::nan("")}) {
    EXPECT_EQ(PellixSpeakerLoadWithin(loading, Path("alex.json").c_str(), wait), 5) << wait;
  }
  const PellixHistoryRow* rows = nullptr;
  std::size_t count = 0;
  ASSERT_EQ(PellixSpeakerHistory(loading, &rows, &count), 0);
  EXPECT_EQ(count, 1u);
  PellixSpeakerClose(loading);

  std::atomic<bool> closed{false};
  int save_number = -1;
  std::thread saving([&] { save_number = PellixSpeakerSave(speaker, nullptr); });
  while (!SomeoneWaitsFor(Path(".alex.json.lock"))) std::this_thread::yield();
  std::thread closing([&] {
    PellixSpeakerClose(speaker);
    closed = true;
  });
  // Time for a close that does not wait to end; one that waits cannot, whatever the time.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(closed.load());
  ::close(lock);
  saving.join();
  closing.join();
  EXPECT_EQ(save_number, 0);
  EXPECT_EQ(HistoryChecks("alex.history.jsonl"), std::vector<int>{1});
  // Free again, the file loads at once: the saved check replaces the speaker's own.
  ASSERT_EQ(PellixSpeakerOpen(nullptr, nullptr, &loading), 0);
  CheckTake(loading, 2);
  CheckTake(loading, 3);
  ASSERT_EQ(PellixSpeakerLoadWithin(loading, Path("alex.json").c_str(), 0), 0);
  ASSERT_EQ(PellixSpeakerHistory(loading, &rows, &count), 0);
  EXPECT_EQ(count, 1u);
  PellixSpeakerClose(loading);
}

// Samples at an address their type may not be read from are copied, and give their row.
TEST_F(StateSharing, SamplesAtAnyAddressGiveTheirRow) {
  const std::string path = Check(1);
  SF_INFO info{};
  SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &info);
  ASSERT_NE(sound, nullptr);
  std::vector<double> samples(static_cast<std::size_t>(info.frames * info.channels));
  sf_readf_double(sound, samples.data(), info.frames);
  sf_close(sound);
  std::vector<float> floats(samples.begin(), samples.end());
  std::vector<std::int16_t> whole(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    whole[i] = static_cast<std::int16_t>(std::lround(samples[i] * 32768));
  }
  const auto rate = static_cast<std::uint32_t>(info.samplerate);
  const auto channels = static_cast<std::uint32_t>(info.channels);
  struct Kind {
    std::int32_t kind;
    const void* data;
    std::size_t bytes;
  };
  for (const Kind& k : {Kind{PELLIX_TAKE_PCM_INT16, whole.data(), whole.size() * 2},
                        Kind{PELLIX_TAKE_PCM_FLOAT32, floats.data(), floats.size() * 4},
                        Kind{PELLIX_TAKE_PCM_FLOAT64, samples.data(), samples.size() * 8}}) {
    SCOPED_TRACE(k.kind);
    // The same samples at an address aligned for any type, and one byte past such an address.
    std::vector<unsigned char> buffers[2] = {std::vector<unsigned char>(k.bytes + 32),
                                             std::vector<unsigned char>(k.bytes + 32)};
    std::string rows[2];
    for (std::size_t shift = 0; shift < 2; ++shift) {
      unsigned char* at = buffers[shift].data();
      at += (16 - reinterpret_cast<std::uintptr_t>(at) % 16) % 16 + shift;
      std::memcpy(at, k.data, k.bytes);
      PellixSpeaker* speaker = nullptr;
      ASSERT_EQ(PellixSpeakerOpen(nullptr, nullptr, &speaker), 0);
      const PellixTake take = {k.kind, "take", at, samples.size(), rate, channels};
      PellixTakeResult result;
      EXPECT_EQ(PellixSpeakerCheck(speaker, &take, &result), 0) << result.error_message;
      rows[shift] = result.json;
      PellixSpeakerClose(speaker);
    }
    EXPECT_EQ(rows[0], rows[1]);
  }
}

}  // namespace
