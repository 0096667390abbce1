// pellix listen end to end, through the real binary: a stream of nine example utterances
// (three to calibrate on, six to check) read from a file, a WAV stream and raw PCM on standard
// input gives the rows pellix analyze gives for the same utterances cut at the listener's
// boundaries; state carried between runs; and every kind of bad stream reported by name.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "csv_rows.h"
#include "example_stream.h"
#include "scratch_directory_test_base.h"
#include "tests/support/program_run.h"
#include "voice_stream.h"

namespace {

namespace fs = std::filesystem;
using Row = pellix::testing::CsvRow;
using pellix::testing::CsvRows;

constexpr int kRate = pellix::testing::kExampleStreamRate;

using Outcome = pellix::testing::ProgramRun;

class Listen : public ScratchDirectoryTest {
 protected:
  void SetUp() override {
    ScratchDirectoryTest::SetUp();
    stream_ = pellix::testing::ExampleStream();
    WriteWav("stream.wav", stream_);
    Write("stream.raw", std::string(reinterpret_cast<const char*>(stream_.data()),
                                    stream_.size() * sizeof(short)));
  }

  void WriteWav(const std::string& name, const std::vector<short>& samples) const {
    pellix::testing::WriteShorts(Path(name), samples);
  }

  // Runs a shell command line in the test's folder, "pellix" standing for the program.
  Outcome Run(const std::string& line) const { return pellix::testing::RunLine(dir_, line); }

  // A shell command that sends stream.wav's header, waits until the pellix whose messages go to
  // `err` listens (30 s at most), runs `meanwhile`, then sends the sound.
  static std::string HeldStream(const std::string& err, const std::string& meanwhile) {
    return "{ head -c 44 stream.wav; for i in $(seq 300); do grep -qs listening " + err +
           " && break; sleep 0.1; done; " + meanwhile + "; tail -c +45 stream.wav; }";
  }

  // Each row's file (but the profile's) holds the stream's sound between the row's bounds.
  void ExpectKeptSound(const std::vector<Row>& rows) const {
    for (const Row& row : rows) {
      if (row.at("role") == "profile") continue;
      const auto start = std::lround(std::stod(row.at("stream_start_s")) * kRate);
      const auto end = std::lround(std::stod(row.at("stream_end_s")) * kRate);
      EXPECT_EQ(pellix::testing::ReadShorts(Path(row.at("file"))),
                std::vector<short>(stream_.begin() + start, stream_.begin() + end))
          << row.at("file");
    }
  }

  std::vector<short> stream_;
};

TEST_F(Listen, RowsEqualAnalyzeOnTheUtterancesCutAtTheListenersBoundaries) {
  const Outcome listened = Run("pellix listen --input stream.wav --format csv -q </dev/null");
  ASSERT_EQ(listened.status, 0) << listened.err;
  const std::vector<Row> rows = CsvRows(listened.out);
  ASSERT_EQ(rows.size(), 10u) << listened.out;  // nine utterances and the profile

  std::string calibrate, check;
  for (std::size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(rows[i].at("role"), i < 3 ? "calibrate" : "check") << i;
    const auto start = std::lround(std::stod(rows[i].at("stream_start_s")) * kRate);
    const auto end = std::lround(std::stod(rows[i].at("stream_end_s")) * kRate);
    const std::string name = "cut" + std::to_string(i) + ".wav";
    WriteWav(name, std::vector<short>(stream_.begin() + start, stream_.begin() + end));
    (i < 3 ? calibrate : check) += " " + name;
  }
  const Outcome analyzed = Run("pellix analyze --calibrate" + calibrate + " --check" + check +
                               " --profile --format csv -q");
  ASSERT_EQ(analyzed.status, 0) << analyzed.err;
  const std::vector<Row> expected = CsvRows(analyzed.out);
  ASSERT_EQ(expected.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (const auto& [key, value] : expected[i]) {
      if (key == "file") continue;
      EXPECT_EQ(rows[i].at(key), value) << "row " << i << ", " << key;
    }
  }

  // --keep saves each utterance as it was cut, and a second run numbers on after the first's.
  for (int run = 0; run < 2; ++run) {
    const Outcome kept = Run("pellix listen --input stream.wav --keep kept --format csv -q");
    ASSERT_EQ(kept.status, 0) << kept.err;
    const std::vector<Row> kept_rows = CsvRows(kept.out);
    for (std::size_t i = 0; i < 9; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "kept/utterance-%04zu.wav", run * 9 + i + 1);
      EXPECT_EQ(kept_rows[i].at("file"), name);
      EXPECT_EQ(pellix::testing::ReadShorts(Path(name)),
                pellix::testing::ReadShorts(Path("cut" + std::to_string(i) + ".wav")))
          << name;
    }
  }

  // The same stream through standard input, as a WAV stream and as raw PCM, gives the same rows;
  // a chunk of tags after the sound is no sound.
  Write("tagged.wav", Read("stream.wav") + "LIST" + std::string("\x10\x56\x00\x00", 4) +
                          std::string(22032, '\x7f'));
  for (const std::string line : {"pellix listen - --format csv -q <stream.wav",
                                 "pellix listen - --format csv -q <tagged.wav",
                                 "cat stream.raw | pellix listen - --rate 11025 --format csv -q"}) {
    const Outcome piped = Run(line);
    EXPECT_EQ(piped.status, 0) << line << '\n' << piped.err;
    EXPECT_EQ(piped.out, listened.out) << line;
  }
}

TEST_F(Listen, AStateWithACalibrationChecksFromTheFirstUtterance) {
  ASSERT_EQ(Run("pellix listen --input stream.wav --state alex.json -q </dev/null").status, 0);
  ASSERT_TRUE(fs::exists(Path("alex.json")));
  const Outcome again =
      Run("pellix listen --input stream.wav --state alex.json --format csv -q </dev/null");
  ASSERT_EQ(again.status, 0) << again.err;
  const std::vector<Row> rows = CsvRows(again.out);
  ASSERT_EQ(rows.size(), 10u);
  for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(rows[i].at("role"), "check") << i;
  // Eighteen more checks: a profile after the tenth of this run and one at its end, over the
  // checks of both runs.
  const Outcome twice = Run(
      "cat stream.raw stream.raw | pellix listen - --rate 11025 --state alex.json --format csv -q");
  std::vector<std::string> profiles;
  for (const Row& row : CsvRows(twice.out))
    if (row.at("role") == "profile") profiles.push_back(row.at("profile_checks"));
  EXPECT_EQ(profiles, (std::vector<std::string>{"25", "33"})) << twice.out;
}

TEST_F(Listen, AStreamCutOffOrStalledMidUtteranceStillGivesItsRow) {
  // The stream up to the end of the fourth utterance (the first check, 8.10 to 8.52 s).
  const std::size_t cut = 2 * static_cast<std::size_t>(std::lround(8.45 * kRate));
  Write("cut.raw", Read("stream.raw").substr(0, cut));
  const Outcome ended = Run("pellix listen - --rate 11025 --format csv -q <cut.raw");
  ASSERT_EQ(ended.status, 0) << ended.err;
  EXPECT_EQ(CsvRows(ended.out).size(), 5u) << ended.out;  // four utterances and the profile

  // Standard input open but silent: the stall ends the utterance, Ctrl-C ends the run.
  const Outcome stalled =
      Run("{ cat cut.raw; sleep 4; } | timeout --preserve-status -s INT 2.5 pellix listen - --rate "
          "11025 --stall "
          "0.5 --state s.json --format csv");
  EXPECT_EQ(stalled.status, 0) << stalled.err;
  EXPECT_EQ(CsvRows(stalled.out).size(), 5u) << stalled.out;
  EXPECT_NE(stalled.err.find("standard input has sent nothing for 0.5 s"), std::string::npos)
      << stalled.err;
  EXPECT_NE(stalled.err.find("stopped; finishing"), std::string::npos) << stalled.err;
  EXPECT_TRUE(fs::exists(Path("s.json")));
}

TEST_F(Listen, ASpeakerWhoNeverPausesIsCutAtTheLongestUtterance) {
  pellix::testing::VoiceStream voice(16000);
  voice.Noise(-60).Pause(1).Speech(7.2, -20).Pause(1);
  const std::vector<float>& samples = voice.samples();
  Write("long.f32",
        std::string(reinterpret_cast<const char*>(samples.data()), samples.size() * sizeof(float)));
  const Outcome run =
      Run("pellix listen - --rate 16000 --sample-format f32le --longest-utterance 3 --calibrate 0 "
          "--format csv <long.f32");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(CsvRows(run.out).size(), 4u) << run.out;  // three pieces and the profile
  std::size_t warnings = 0;
  for (std::size_t at = 0;
       (at = run.err.find("reached the longest utterance", at)) != std::string::npos; ++at)
    ++warnings;
  EXPECT_EQ(warnings, 2u) << run.err;
}

TEST_F(Listen, SamplesThatAreNoNumbersAreTakenAsSilence) {
  pellix::testing::VoiceStream voice(16000);
  voice.Noise(-60).Pause(1).Voice(1, -20).Pause(1).Voice(1, -20).Pause(1);
  std::vector<float> samples = voice.samples();
  for (std::size_t i = 16000 + 100; i < 16000 * 3; i += 7) samples[i] = i % 2 ? NAN : INFINITY;
  Write("nan.f32",
        std::string(reinterpret_cast<const char*>(samples.data()), samples.size() * sizeof(float)));
  const Outcome run =
      Run("pellix listen - --rate 16000 --sample-format f32le --format csv <nan.f32");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(CsvRows(run.out).size(), 3u) << run.out;
  EXPECT_NE(run.err.find("samples of the stream were not numbers or infinite"), std::string::npos)
      << run.err;
}

TEST_F(Listen, BadStreamsAndSettingsAreNamed) {
  Write("garbage", std::string(4096, 'x'));
  Write("empty", "");
  // A WAV header that claims 100000 channels.
  std::string huge = Read("stream.wav").substr(0, 44);
  huge[22] = static_cast<char>(0xA0);
  huge[23] = static_cast<char>(0x86);
  Write("huge.wav", huge + std::string(1000, '\0'));
  Write("s.json", "{}");
  const std::string recording = Read("stream.wav");
  // Streams that cannot be listened to fail the run (1).
  const std::vector<std::pair<std::string, std::string>> unreadable = {
      {"pellix listen - <garbage", "standard input is not a WAV stream"},
      {"pellix listen - <empty", "standard input ended before any sound"},
      {"pellix listen - <huge.wav", "34464 channels are outside 1 to 64"},
      {"pellix listen - --rate 5 <empty", "the rate 5 Hz is outside 1000 to 768000 Hz"},
      {"pellix listen - --rate 16000 --channels 0 <empty", "0 channels are outside 1 to 64"},
      {"pellix listen - --rate 768000 --channels 64 --longest-utterance 60 <empty",
       "an utterance of 60 s would take 5625 MiB at 768000 Hz and 64 channels"},
      {"pellix listen --input missing.wav", "cannot open 'missing.wav'"},
      {"pellix listen --input garbage", "cannot read 'garbage' as a recording"},
      {"timeout 20 pellix listen --device no-such-device-here", "no capture device"},
      {"pellix listen --input stream.wav --keep s.json/kept",
       "pellix: error: cannot make the keep folder 's.json/kept': Not a directory (error 75)\n"},
      {"pellix listen --input stream.wav --timings none/t.txt",
       "pellix: error: cannot write 'none/t.txt': No such file or directory (error 53)\n"},
  };
  pellix::testing::ExpectFailures(dir_, 1, unreadable);
  // Options that do not go together, and outputs that would overwrite what the run reads, are
  // usage errors (2).
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"pellix listen --realtime", "--realtime paces an --input file"},
      {"pellix listen - --input stream.wav", "choose one source"},
      {"pellix listen --input stream.wav --shortest-pause 0",
       "the shortest pause must be 0.05 to 10 s"},
      {"pellix listen - --channels 2 <empty", "raw PCM on standard input needs --rate"},
      {"pellix listen stream.wav",
       "pellix listen: the source is '-' (standard input); name a file with --input FILE\n"},
      {"pellix listen --input stream.wav --sample-format s16le",
       "--sample-format describes raw PCM on standard input (-)"},
      {"pellix listen --input stream.wav --rate 16000",
       "an --input file says its own rate and channels"},
      {"pellix listen --input stream.wav --state s.json --timings ./s.json",
       "--timings './s.json' would overwrite the state file 's.json'"},
      {"pellix listen --input stream.wav --timings stream.wav",
       "--timings 'stream.wav' would overwrite the recording 'stream.wav'"},
      {"pellix listen - --timings stream.wav <stream.wav",
       "--timings 'stream.wav' would overwrite standard input"},
      {"pellix listen --input stream.wav --state stream.wav",
       "--state 'stream.wav' would overwrite the recording 'stream.wav'"},
  };
  pellix::testing::ExpectFailures(dir_, 2, refused);
  EXPECT_EQ(Read("s.json"), "{}");
  EXPECT_EQ(Read("stream.wav"), recording);
}

TEST_F(Listen, AStreamThatOpensWithSpeechLosesNoUtterance) {
  // The example stream from the first sound of its fourth utterance (8.10 s): six answers, the
  // first of which never rises 12 dB above its own opening.
  std::size_t first = 8 * kRate;
  while (std::abs(stream_[first]) <= 32) ++first;
  stream_.erase(stream_.begin(), stream_.begin() + static_cast<std::ptrdiff_t>(first));
  WriteWav("speech.wav", stream_);
  const Outcome run = Run("pellix listen --input speech.wav --format csv -q");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<Row> rows = CsvRows(run.out);
  ASSERT_EQ(rows.size(), 7u) << run.out;
  EXPECT_EQ(rows[0].at("stream_start_s"), "0.000000");
  EXPECT_EQ(rows[0].at("file"), "utterance 1");  // no file was kept
}

TEST_F(Listen, RunsKeepingIntoOneFolderNeverOverwriteEachOther) {
  // The second run has numbered the folder before the first writes into it.
  const Outcome runs = Run(HeldStream("b.err",
                                      "pellix listen --input stream.wav --keep kept "
                                      "--format csv -q >a.csv") +
                           " | pellix listen - --keep kept --format csv >b.csv 2>b.err");
  ASSERT_EQ(runs.status, 0) << runs.err << Read("b.err");
  const std::vector<Row> a = CsvRows(Read("a.csv"));
  const std::vector<Row> b = CsvRows(Read("b.csv"));
  ASSERT_EQ(a.size(), 10u);
  ASSERT_EQ(b.size(), 10u);
  EXPECT_EQ(a[0].at("file"), "kept/utterance-0001.wav");
  EXPECT_EQ(b[0].at("file"), "kept/utterance-0010.wav");
  ExpectKeptSound(a);
  ExpectKeptSound(b);

  // A keep folder gone while the run listens: the rows name no file, and the run fails.
  const Outcome gone = Run(HeldStream("c.err", "rm -r gone; touch gone") +
                           " | pellix listen - --keep gone --format csv 2>c.err");
  EXPECT_EQ(gone.status, 1);
  const std::vector<Row> rows = CsvRows(gone.out);
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows[8].at("file"), "utterance 9");
  EXPECT_NE(Read("c.err").find("cannot keep utterance 9 in 'gone': Not a directory (error 53)"),
            std::string::npos)
      << Read("c.err");

  // A disk that fills while an utterance is written (files of at most 2 KiB, and an utterance is
  // longer): the run fails, naming the utterance, and no part of a file is left.
  const Outcome full =
      Run("trap '' XFSZ; ulimit -f 4; pellix listen --input stream.wav --keep full "
          "--format csv -q >/dev/null");
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err.find("pellix: error: cannot keep utterance 1 in 'full': "), 0u) << full.err;
  EXPECT_NE(full.err.find("(error 75)\n"), std::string::npos) << full.err;
  EXPECT_EQ(Names("full"), std::vector<std::string>{});

  // In a table the kept files' names keep the columns in line.
  std::istringstream table(Run("pellix listen --input stream.wav --keep kept -q").out);
  std::string line;
  std::getline(table, line);
  const std::size_t result = line.find("result");
  while (std::getline(table, line)) {
    if (line.rfind("check", 0) != 0) continue;
    EXPECT_EQ(line.substr(result - 2, 2), "  ") << line;
    EXPECT_NE(line[result], ' ') << line;
  }
}

TEST_F(Listen, TimingsCountEveryUtteranceAndNeverAPauseStillToCome) {
  // Read as fast as it can be: each timing runs from when the sound arrived, never negative.
  const Outcome fast = Run("pellix listen --input stream.wav --timings t.txt --format csv");
  ASSERT_EQ(fast.status, 0) << fast.err;
  EXPECT_NE(fast.err.find("'stream.wav' comes faster than it was spoken"), std::string::npos);
  std::istringstream lines(Read("t.txt"));
  std::vector<double> timings;
  for (double ms; lines >> ms;) timings.push_back(ms);
  ASSERT_EQ(timings.size(), 9u);
  for (double ms : timings) EXPECT_GE(ms, 0);

  // A stream that ends in the fourth utterance: that one too has its timing.
  const std::size_t cut = 2 * static_cast<std::size_t>(std::lround(8.45 * kRate));
  Write("cut.raw", Read("stream.raw").substr(0, cut));
  const Outcome ended = Run("pellix listen - --rate 11025 --timings t.txt -q <cut.raw");
  ASSERT_EQ(ended.status, 0) << ended.err;
  const std::string written = Read("t.txt");
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 4);
}

}  // namespace
