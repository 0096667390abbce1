// libPellixAnalysis.so through its C header: the rows of the bundled recordings against the
// pellix command's, a take as a file, as bytes and as PCM giving one row, speakers handed
// between threads, and every kind of bad input refused by number and name with nothing changed.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
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

std::string Recording(const std::string& name) {
  return (kRecordings / (name + ".wav")).string();
}

// A speaker's takes as the manifest lists them.
std::vector<std::string> Takes(const std::string& speaker, const std::string& role, int count) {
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) {
    const std::string number =
        role == "check" && i < 10 ? "0" + std::to_string(i) : std::to_string(i);
    names.push_back(Recording(speaker + "_" + role + "_" + number));
  }
  return names;
}

std::vector<std::uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A recording's samples as libsndfile decodes them, with its rate and channels.
template <typename Value>
struct Decoded {
  std::vector<Value> values;
  std::uint32_t rate = 0;
  std::uint32_t channels = 0;
};

template <typename Value>
Decoded<Value> Decode(const std::string& path) {
  SF_INFO info{};
  SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(sound, nullptr) << path;
  Decoded<Value> decoded;
  decoded.values.resize(static_cast<std::size_t>(info.frames * info.channels));
  if constexpr (std::is_same_v<Value, std::int16_t>) {
    sf_readf_short(sound, decoded.values.data(), info.frames);
  } else {
    sf_readf_float(sound, decoded.values.data(), info.frames);
  }
  sf_close(sound);
  decoded.rate = static_cast<std::uint32_t>(info.samplerate);
  decoded.channels = static_cast<std::uint32_t>(info.channels);
  return decoded;
}

PellixTake FileTake(const std::string& path) {
  return {PELLIX_TAKE_FILE, path.c_str(), nullptr, 0, 0, 0};
}

// A speaker that closes itself.
class Speaker {
 public:
  explicit Speaker(const char* state = nullptr, const char* parameters = nullptr) {
    opened_ = PellixSpeakerOpen(parameters, state, &speaker_);
  }
  ~Speaker() { PellixSpeakerClose(speaker_); }
  Speaker(const Speaker&) = delete;
  Speaker& operator=(const Speaker&) = delete;

  PellixSpeaker* get() const { return speaker_; }
  int opened() const { return opened_; }
  std::string error() const { return PellixSpeakerError(speaker_); }

  // The json row of a take, or "error N: message" when it could not be analysed.
  std::string Row(bool check, const PellixTake& take) {
    PellixTakeResult result;
    const int number = check ? PellixSpeakerCheck(speaker_, &take, &result)
                             : PellixSpeakerCalibrate(speaker_, &take, &result);
    EXPECT_EQ(number, result.error_number);
    if (number != 0) return "error " + std::to_string(number) + ": " + result.error_message;
    return result.json;
  }
  std::string Calibrate(const std::string& path) { return Row(false, FileTake(path)); }
  std::string Check(const std::string& path) { return Row(true, FileTake(path)); }

  std::size_t HistoryCount() {
    const PellixHistoryRow* rows = nullptr;
    std::size_t count = 0;
    EXPECT_EQ(PellixSpeakerHistory(speaker_, &rows, &count), 0);
    return count;
  }

 private:
  PellixSpeaker* speaker_ = nullptr;
  int opened_ = -1;
};

class AnalysisC : public ScratchDirectoryTest {
 protected:
  // The json rows pellix analyze writes for `arguments`.
  std::vector<std::string> PellixRows(const std::string& arguments) const {
    const pellix::testing::ProgramRun run =
        pellix::testing::RunLine(dir_, "pellix analyze --format json " + arguments);
    EXPECT_GE(run.status, 0) << arguments;
    std::istringstream in(run.out);
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);) rows.push_back(line);
    return rows;
  }
};

TEST_F(AnalysisC, BundledSpeakersGiveTheRowsOfThePellixCommand) {
  for (const std::string name : {"alex", "robin"}) {
    SCOPED_TRACE(name);
    const std::vector<std::string> calibrations = Takes(name, "calibrate", 3);
    const std::vector<std::string> checks = Takes(name, "check", 12);
    std::string arguments = "--profile --calibrate";
    for (const std::string& take : calibrations) arguments += " '" + take + "'";
    arguments += " --check";
    for (const std::string& take : checks) arguments += " '" + take + "'";

    Speaker speaker;
    ASSERT_EQ(speaker.opened(), 0) << speaker.error();
    std::vector<std::string> rows;
    for (const std::string& take : calibrations) rows.push_back(speaker.Calibrate(take));
    for (const std::string& take : checks) rows.push_back(speaker.Check(take));
    PellixProfile profile;
    ASSERT_EQ(PellixSpeakerProfile(speaker.get(), &profile), 0);
    rows.push_back(profile.json);
    EXPECT_EQ(rows, PellixRows(arguments));
    // Twelve checks make a profile whose digits are all explained.
    EXPECT_EQ(profile.readable, 1);
    EXPECT_EQ(profile.checks, 12);
    for (const PellixProfileDigit& digit : profile.digits) {
      EXPECT_NE(std::string(digit.topic), "");
      EXPECT_NE(std::string(digit.meaning), "") << digit.topic << " " << digit.digit;
    }
  }
}

TEST_F(AnalysisC, BytesAndPcmGiveTheRowOfTheirFile) {
  const std::vector<std::string> calibrations = Takes("robin", "calibrate", 3);
  Speaker from_files;
  Speaker from_bytes;
  Speaker from_whole16;
  Speaker from_floats;
  // Each speaker follows its own history: a difference in any take shows in every later row.
  for (const std::string& path : calibrations) {
    const std::string row = from_files.Calibrate(path);
    const std::vector<std::uint8_t> bytes = FileBytes(path);
    EXPECT_EQ(
        from_bytes.Row(false, {PELLIX_TAKE_BYTES, path.c_str(), bytes.data(), bytes.size(), 0, 0}),
        row);
    const Decoded<std::int16_t> whole = Decode<std::int16_t>(path);
    EXPECT_EQ(from_whole16.Row(false, {PELLIX_TAKE_PCM_INT16, path.c_str(), whole.values.data(),
                                       whole.values.size(), whole.rate, whole.channels}),
              row);
    const Decoded<float> floats = Decode<float>(path);
    EXPECT_EQ(from_floats.Row(false, {PELLIX_TAKE_PCM_FLOAT32, path.c_str(), floats.values.data(),
                                      floats.values.size(), floats.rate, floats.channels}),
              row);
  }
  for (const std::string& path : Takes("robin", "check", 12)) {
    const std::string row = from_files.Check(path);
    const Decoded<float> floats = Decode<float>(path);
    EXPECT_EQ(from_floats.Row(true, {PELLIX_TAKE_PCM_FLOAT32, path.c_str(), floats.values.data(),
                                     floats.values.size(), floats.rate, floats.channels}),
              row);
  }
}

// Each speaker holds its own analysis state: a speaker handed from thread to thread, and two
// speakers taking turns on one thread, must still give a speaker's rows as it gives them alone.
TEST_F(AnalysisC, SpeakersGiveTheSameRowsOnAnyThreadAndInAnyInterleaving) {
  const std::vector<std::string> alex = Takes("alex", "check", 6);
  const std::vector<std::string> robin = Takes("robin", "check", 6);
  auto alone = [](const std::string& name, const std::vector<std::string>& checks) {
    Speaker speaker;
    std::vector<std::string> rows;
    for (const std::string& take : Takes(name, "calibrate", 3))
      rows.push_back(speaker.Calibrate(take));
    for (const std::string& take : checks) rows.push_back(speaker.Check(take));
    return rows;
  };
  const std::vector<std::string> alex_alone = alone("alex", alex);
  const std::vector<std::string> robin_alone = alone("robin", robin);

  Speaker alex_speaker;
  Speaker robin_speaker;
  std::vector<std::string> alex_rows;
  std::vector<std::string> robin_rows;
  const std::vector<std::string> alex_calibrations = Takes("alex", "calibrate", 3);
  const std::vector<std::string> robin_calibrations = Takes("robin", "calibrate", 3);
  for (std::size_t i = 0; i < 3; ++i) {
    alex_rows.push_back(alex_speaker.Calibrate(alex_calibrations[i]));
    robin_rows.push_back(robin_speaker.Calibrate(robin_calibrations[i]));
  }
  for (std::size_t i = 0; i < alex.size(); ++i) {
    // alex's checks each on a thread of its own, robin's here in between.
    std::thread([&] { alex_rows.push_back(alex_speaker.Check(alex[i])); }).join();
    robin_rows.push_back(robin_speaker.Check(robin[i]));
  }
  EXPECT_EQ(alex_rows, alex_alone);
  EXPECT_EQ(robin_rows, robin_alone);

  // Both on this thread, take by take: each speaker's analysis is its own, with nothing carried
  // from one to the other between calls.
  Speaker alex_here;
  Speaker robin_here;
  std::vector<std::string> alex_here_rows;
  std::vector<std::string> robin_here_rows;
  for (std::size_t i = 0; i < 3 + alex.size(); ++i) {
    alex_here_rows.push_back(i < 3 ? alex_here.Calibrate(alex_calibrations[i])
                                   : alex_here.Check(alex[i - 3]));
    robin_here_rows.push_back(i < 3 ? robin_here.Calibrate(robin_calibrations[i])
                                    : robin_here.Check(robin[i - 3]));
  }
  EXPECT_EQ(alex_here_rows, alex_alone);
  EXPECT_EQ(robin_here_rows, robin_alone);

  // Two threads on one speaker at once take turns: every check is recorded once, and each
  // thread reads its own results while the other calls.
  Speaker shared;
  for (const std::string& take : alex_calibrations) shared.Calibrate(take);
  std::thread first([&] {
    for (std::size_t i = 0; i < 3; ++i) shared.Check(alex[i]);
  });
  std::thread second([&] {
    for (std::size_t i = 3; i < 6; ++i) shared.Check(alex[i]);
  });
  first.join();
  second.join();
  EXPECT_EQ(shared.HistoryCount(), 6u);
}

TEST_F(AnalysisC, BadTakesAreRefusedByNumberAndNameAndChangeNothing) {
  ASSERT_EQ(::mkfifo(Path("fifo.wav").c_str(), 0600), 0);
  fs::create_directory(dir_ / "folder.wav");
  Write("noise.wav", std::string(500, 'x'));
  const std::string fifo = Path("fifo.wav");
  const std::string folder = Path("folder.wav");
  const std::string noise = Path("noise.wav");
  const std::string missing = Path("missing.wav");
  const std::string device = "/dev/zero";
  const std::vector<float> ten(10, 0.25f);
  const std::vector<float> nan = {0.1f, std::numeric_limits<float>::quiet_NaN()};
  const std::vector<double> inf = {0.1, -std::numeric_limits<double>::infinity()};
  const std::vector<std::int16_t> five(5, 100);
  const std::uint8_t cut_sample_file[] = {'P', 'L', 'X', 'S', 'M', 'P', '0', '1', 17};
  struct Case {
    const char* what;
    PellixTake take;
    int number;
    std::string named;  // what the message must name
  };
  const Case cases[] = {
      {"a folder", FileTake(folder), 75, folder},
      {"a pipe", FileTake(fifo), 75, fifo},
      {"a device", FileTake(device), 75, device},
      {"a missing file", FileTake(missing), 53, missing},
      {"noise that is no recording", FileTake(noise), 321, noise},
      {"a take without a name", {PELLIX_TAKE_FILE, nullptr, nullptr, 0, 0, 0}, 5, "name"},
      {"an unknown kind", {9, "odd", ten.data(), 10, 8000, 1}, 5, "'odd'"},
      {"data missing", {PELLIX_TAKE_PCM_FLOAT32, "gap", nullptr, 10, 8000, 1}, 5, "'gap'"},
      {"no bytes", {PELLIX_TAKE_BYTES, "empty", nullptr, 0, 0, 0}, 321, "'empty'"},
      {"a cut sample file", {PELLIX_TAKE_BYTES, "cut", cut_sample_file, 9, 0, 0}, 321, "'cut'"},
      {"rate 999 Hz", {PELLIX_TAKE_PCM_FLOAT32, "slow", ten.data(), 10, 999, 1}, 5, "'slow'"},
      {"rate 0 Hz", {PELLIX_TAKE_PCM_FLOAT32, "still", ten.data(), 10, 0, 1}, 5, "'still'"},
      {"no channels", {PELLIX_TAKE_PCM_FLOAT32, "mute", ten.data(), 10, 8000, 0}, 5, "'mute'"},
      {"a cut frame", {PELLIX_TAKE_PCM_INT16, "odd5", five.data(), 5, 8000, 2}, 5, "'odd5'"},
      {"no samples", {PELLIX_TAKE_PCM_INT16, "none", five.data(), 0, 8000, 1}, 321, "'none'"},
      {"NaN", {PELLIX_TAKE_PCM_FLOAT32, "nan", nan.data(), 2, 8000, 1}, 321, "'nan'"},
      {"infinity", {PELLIX_TAKE_PCM_FLOAT64, "inf", inf.data(), 2, 8000, 1}, 321, "'inf'"},
  };
  const std::vector<std::string> calibrations = Takes("alex", "calibrate", 3);
  const std::string good = Recording("alex_check_05");
  Speaker clean;
  for (const std::string& take : calibrations) clean.Calibrate(take);
  const std::string expected = clean.Check(good);

  Speaker speaker;
  for (const std::string& take : calibrations) speaker.Calibrate(take);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const bool check : {false, true}) {
      PellixTakeResult result;
      const int number = check ? PellixSpeakerCheck(speaker.get(), &c.take, &result)
                               : PellixSpeakerCalibrate(speaker.get(), &c.take, &result);
      EXPECT_EQ(number, c.number) << result.error_message;
      EXPECT_EQ(result.error_number, c.number);
      EXPECT_NE(std::string(result.error_message).find(c.named), std::string::npos)
          << result.error_message;
      EXPECT_EQ(std::string(PellixSpeakerError(speaker.get())), result.error_message);
      // Nothing was measured: every figure is NaN, none a 0 that reads as a measure.
      const double figures[] = {
          result.thorn_rate,      result.jump_rate,         result.jump_spread,
          result.avg_jump_len,    result.cal_thorn_rate,    result.cal_jump_rate,
          result.cal_jump_spread, result.cal_avg_jump_len,  result.lie_stress,
          result.global_stress,   result.excitement_stress, result.recording_s,
          result.stretch_start_s, result.stretch_end_s,     result.stretch_s,
          result.peak_dbfs,       result.rms_dbfs,          result.clipped_source,
          result.clipped_8bit,    result.pitch_hz,          result.voiced_share};
      for (std::size_t i = 0; i < std::size(figures); ++i) {
        EXPECT_TRUE(std::isnan(figures[i])) << "figure " << i << " is " << figures[i];
      }
      EXPECT_EQ(result.flags, 0u);
    }
  }
  EXPECT_EQ(speaker.HistoryCount(), 0u);
  EXPECT_EQ(speaker.Check(good), expected);
  EXPECT_EQ(std::string(PellixSpeakerError(speaker.get())), "");

  // Null pointers are refused, never followed.
  PellixSpeaker* none = nullptr;
  EXPECT_EQ(PellixSpeakerOpen(nullptr, nullptr, nullptr), 5);
  EXPECT_EQ(PellixSpeakerCheck(none, nullptr, nullptr), 5);
  EXPECT_EQ(PellixSpeakerCheck(speaker.get(), nullptr, nullptr), 5);
  EXPECT_EQ(PellixSpeakerHistory(speaker.get(), nullptr, nullptr), 5);
  EXPECT_EQ(PellixSpeakerSave(speaker.get(), nullptr), 5);  // opened without a state file
  PellixSpeakerClose(nullptr);
}

TEST_F(AnalysisC, StateAndHistorySurviveSaveAndLoad) {
  const std::string state = Path("alex.json");
  const std::vector<std::string> checks = Takes("alex", "check", 4);
  std::string continued;
  {
    Speaker speaker(state.c_str());
    ASSERT_EQ(speaker.opened(), 0) << speaker.error();
    for (const std::string& take : Takes("alex", "calibrate", 3)) speaker.Calibrate(take);
    for (std::size_t i = 0; i < 3; ++i) speaker.Check(checks[i]);
    ASSERT_EQ(PellixSpeakerSave(speaker.get(), nullptr), 0) << speaker.error();
    continued = speaker.Check(checks[3]);
  }
  Speaker reopened(state.c_str());
  ASSERT_EQ(reopened.opened(), 0) << reopened.error();
  const PellixHistoryRow* rows = nullptr;
  std::size_t count = 0;
  ASSERT_EQ(PellixSpeakerHistory(reopened.get(), &rows, &count), 0);
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(std::string(rows[2].file), checks[2]);
  EXPECT_EQ(reopened.Check(checks[3]), continued);

  // Loading replaces the control and its history; a failed load keeps them.
  Speaker fresh;
  ASSERT_EQ(PellixSpeakerLoad(fresh.get(), state.c_str()), 0) << fresh.error();
  EXPECT_EQ(fresh.HistoryCount(), 3u);
  Write("other.json", R"({"window": {"width": 800}})");
  EXPECT_EQ(PellixSpeakerLoad(fresh.get(), Path("other.json").c_str()), 321);
  EXPECT_NE(fresh.error().find(Path("other.json")), std::string::npos) << fresh.error();
  EXPECT_EQ(fresh.HistoryCount(), 3u);
  EXPECT_EQ(fresh.Check(checks[3]), continued);
}

TEST_F(AnalysisC, BadStateFilesAreRefusedByNameAndLeftAsTheyWere) {
  const std::string other = R"({"window": {"width": 800}})";
  Write("other.json", other);
  struct Case {
    const char* what;
    std::string path;
    int number;
  };
  const Case cases[] = {
      {"another program's JSON", Path("other.json"), 321},
      {"a folder that does not exist", Path("gone/alex.json"), 53},
      {"a folder", dir_.string(), 75},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Speaker speaker(c.path.c_str());
    EXPECT_EQ(speaker.opened(), c.number) << speaker.error();
    EXPECT_NE(speaker.error().find(c.path), std::string::npos) << speaker.error();
    // A speaker that failed to open analyses nothing and says why.
    EXPECT_EQ(
        speaker.Check(Recording("alex_check_01")).rfind("error " + std::to_string(c.number), 0),
        0u);
  }
  EXPECT_EQ(Read("other.json"), other);

  // A save that cannot be made leaves what was there.
  Speaker speaker;
  speaker.Calibrate(Recording("alex_calibrate_1"));
  EXPECT_EQ(PellixSpeakerSave(speaker.get(), dir_.c_str()), 75) << speaker.error();
  EXPECT_EQ(PellixSpeakerSave(speaker.get(), Path("other.json").c_str()), 0) << speaker.error();
  EXPECT_NE(Read("other.json"), other);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2)
      << "other.json, its lock and nothing else";
}

TEST_F(AnalysisC, ParameterWarningsAreTheCommandsAndChangeNoSpeaker) {
  struct Case {
    const char* parameters;
    std::vector<std::string> words;  // in each line, in order
  };
  const Case cases[] = {
      {nullptr, {}},
      {"000023000005000000", {}},
      // Jumps of 0 to 0 positions.
      {"abc", {"every take is refused as silent", "a jump of length 0"}},
      // Border 50 at a third of the gain: no sample reaches 127 / 3 = 42.
      {"000023000050000100", {"no sample can be louder than 42"}},
  };
  for (const Case& c : cases) {
    std::istringstream lines(PellixParameterWarnings(c.parameters));
    std::vector<std::string> got;
    for (std::string line; std::getline(lines, line);) got.push_back(line);
    ASSERT_EQ(got.size(), c.words.size()) << (c.parameters ? c.parameters : "NULL");
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_NE(got[i].find(c.words[i]), std::string::npos) << got[i];
    }
  }
  // Between a speaker's calls on this thread, it leaves the speaker's analysis as it was.
  Speaker quiet;
  Speaker warned;
  const std::vector<std::string> calibrations = Takes("alex", "calibrate", 3);
  for (const std::string& take : calibrations) {
    quiet.Calibrate(take);
    warned.Calibrate(take);
    PellixParameterWarnings("abc");
  }
  EXPECT_EQ(warned.Check(Recording("alex_check_01")), quiet.Check(Recording("alex_check_01")));
}

TEST_F(AnalysisC, CsvRowsFollowTheHeaderAndFlagsHaveWords) {
  Speaker speaker;
  PellixTakeResult result;
  const std::string take = Recording("alex_calibrate_1");
  const PellixTake file = FileTake(take);
  ASSERT_EQ(PellixSpeakerCalibrate(speaker.get(), &file, &result), 0);
  const std::string header = PellixCsvHeader();
  EXPECT_EQ(header.rfind("speaker,role,file,code,", 0), 0u);
  EXPECT_EQ(std::count(header.begin(), header.end(), ','), 32);
  EXPECT_EQ(std::string(result.csv).rfind(",calibrate," + take + ",0,", 0), 0u) << result.csv;
  EXPECT_EQ(result.code, 0);
  EXPECT_FALSE(std::isnan(result.cal_avg_jump_len));
  EXPECT_TRUE(std::isnan(result.lie_stress));
  const struct {
    std::uint32_t flag;
    const char* name;
  } flags[] = {{PELLIX_FLAG_CLIPPED, "clipped"},
               {PELLIX_FLAG_VERY_QUIET, "very_quiet"},
               {PELLIX_FLAG_SHORT_STRETCH, "short_stretch"},
               {PELLIX_FLAG_NO_VOICED_SPEECH, "no_voiced_speech"},
               {PELLIX_FLAG_STEADY_TONE, "steady_tone"},
               {PELLIX_FLAG_PITCH_MISMATCH, "pitch_mismatch"},
               {3, ""},
               {64, ""}};
  for (const auto& f : flags) {
    EXPECT_EQ(std::string(PellixFlagName(f.flag)), f.name);
    EXPECT_EQ(std::string(PellixFlagWords(f.flag)).empty(), std::string(f.name).empty());
  }
}

TEST_F(AnalysisC, RefusedIsWhatTheControlRefusedNeverAFailure) {
  Speaker speaker;
  const std::vector<std::int16_t> silence(8000, 0);
  const PellixTake silent{PELLIX_TAKE_PCM_INT16, "silent", silence.data(), silence.size(), 8000, 1};
  // The paths outlive the takes that point into them.
  const std::string missing_path = "/nonexistent/none.wav";
  const PellixTake missing = FileTake(missing_path);
  const std::string calibration_path = Recording("alex_calibrate_1");
  const std::string check_path = Recording("alex_check_01");
  const PellixTake calibration = FileTake(calibration_path);
  const PellixTake check = FileTake(check_path);
  // A check's verdict, whichever it is, is no refusal.
  constexpr std::int32_t kAnyVerdict = -100;
  const struct {
    bool check;
    const PellixTake* take;
    std::int32_t code, refused;
  } cases[] = {{false, &silent, -1, 1},
               {false, &missing, 0, 0},
               {false, &calibration, 0, 0},
               {true, &silent, -1, 1},
               {true, &check, kAnyVerdict, 0}};
  for (const auto& c : cases) {
    PellixTakeResult result;
    (c.check ? PellixSpeakerCheck : PellixSpeakerCalibrate)(speaker.get(), c.take, &result);
    if (c.code == kAnyVerdict) {
      EXPECT_GE(result.code, 0) << c.take->name;
    } else {
      EXPECT_EQ(result.code, c.code) << c.take->name;
    }
    EXPECT_EQ(result.refused, c.refused) << c.take->name;
  }
}

TEST_F(AnalysisC, ReportKeysAreTheCsvHeadersAndListensPlace) {
  std::size_t count = 0;
  const PellixReportKey* keys = PellixReportKeys(&count);
  std::string header, listen_only;
  for (std::size_t i = 0; i < count; ++i) {
    std::string& list = keys[i].listen_only != 0 ? listen_only : header;
    list += (list.empty() ? "" : ",") + std::string(keys[i].name);
  }
  EXPECT_EQ(header, PellixCsvHeader());
  EXPECT_EQ(listen_only, "stream_start_s,stream_end_s");
  EXPECT_EQ(keys[5].type, PELLIX_KEY_WHOLE);  // code
  EXPECT_EQ(keys[5].control_text, 1);
  EXPECT_EQ(keys[0].nullable, 0);  // speaker: empty, never null
}

}  // namespace
