// libPellixAnalysis.so's manifests and corpus reports through the C header: speakers and takes
// in manifest order with URLs kept as written, the command's errors by file and line, and the
// report file carried on after an interrupted run or a speaker left out, in manifest order.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "PellixAnalysis.h"
#include "scratch_directory_test_base.h"

namespace {

// A manifest as "speaker: path=name path=name | path=name" (calibrations | checks), speakers
// separated by "; ", or the error as "error N: message".
std::string Shown(int number, PellixManifest* manifest) {
  if (number != 0) return "error " + std::to_string(number) + ": " + PellixManifestError(manifest);
  const PellixManifestSpeaker* speakers = nullptr;
  const std::size_t count = PellixManifestSpeakers(manifest, &speakers);
  std::string shown;
  for (std::size_t i = 0; i < count; ++i) {
    const PellixManifestSpeaker& s = speakers[i];
    shown += std::string(i == 0 ? "" : "; ") + s.speaker + ":";
    for (std::size_t k = 0; k < s.calibration_count; ++k)
      shown += std::string(" ") + s.calibrations[k].path + "=" + s.calibrations[k].name;
    shown += " |";
    for (std::size_t k = 0; k < s.check_count; ++k)
      shown += std::string(" ") + s.checks[k].path + "=" + s.checks[k].name;
  }
  return shown;
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

std::string Parsed(const std::string& text, const char* folder) {
  PellixManifest* manifest = nullptr;
  const int number = PellixManifestParse(text.data(), text.size(), "m.csv", folder, &manifest);
  std::string shown = Shown(number, manifest);
  PellixManifestClose(manifest);
  return shown;
}

TEST(AnalysisCManifest, TextGivesSpeakersInOrderOrTheCommandsError) {
  const std::string h = "speaker,role,file\n";
  struct Case {
    std::string text;
    std::string shown;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBF"
       "File, Role ,speaker\nx/1.wav,calibrate,bo\n\n\"y, z.wav\",CHECK,al\n"
       " ./x/../2.wav ,check, bo \n/abs/3.wav,calibrate,bo\n",
       "bo: dir/x/1.wav=dir/x/1.wav /abs/3.wav=/abs/3.wav | dir/./x/../2.wav=dir/2.wav; "
       "al: | dir/y, z.wav=dir/y, z.wav"},
      // URLs stay as written; one letter before "://" is a drive, a digit first no scheme.
      {h + "a,check,s3://b/d/../3.flac\na,check,file:///abs/a%20b.wav\na,check,git+ssh://h/x\n"
           "a,check,x://y\na,check,1a://y\n",
       "a: | s3://b/d/../3.flac=s3://b/d/../3.flac file:///abs/a%20b.wav=file:///abs/a%20b.wav "
       "git+ssh://h/x=git+ssh://h/x dir/x://y=dir/x:/y dir/1a://y=dir/1a:/y"},
      {"", "error 321: m.csv: the manifest is empty"},
      {h, "error 321: m.csv: the manifest lists no takes"},
      {"speaker,role\n",
       "error 321: m.csv:1: the header must name the columns speaker, role and file (found "
       "'speaker,role')"},
      {h + "a,check\n", "error 321: m.csv:2: 2 fields where the header has 3"},
      {h + "\na,chek,x\n", "error 321: m.csv:3: the role must be calibrate or check, not 'chek'"},
      {h + ",check,x\n", "error 321: m.csv:2: the speaker is empty"},
      {h + "a,check,\n", "error 321: m.csv:2: the file is empty"},
      {h + "a,check,\"x\n", "error 321: m.csv:2: a quoted field is not closed"},
      {h + "a,check,x\n" + std::string("b,check,\"a.wav\0x\"\n", 18),
       "error 321: m.csv:3: the file holds a NUL character"},
      {h + std::string("\"\0\",check,x\n", 12),
       "error 321: m.csv:2: the speaker holds a NUL character"},
  };
  for (const Case& c : cases) EXPECT_EQ(Parsed(c.text, "dir"), c.shown) << c.text;
  // Without a folder, relative files are the current folder's.
  EXPECT_EQ(Parsed(h + "a,check,./b.wav\n", nullptr), "a: | ./b.wav=b.wav");
}

TEST(AnalysisCManifest, RowsAreCheckedAsLinesAreAndNamedByNumber) {
  struct Case {
    std::vector<const char*> speakers, roles, files;
    std::string shown;
  };
  const Case cases[] = {
      {{"a", "b", "a"},
       {"check", "Calibrate", "calibrate"},
       {"x.wav", "http://h/y.wav", "/z.wav"},
       "a: /z.wav=/z.wav | f/x.wav=f/x.wav; b: http://h/y.wav=http://h/y.wav |"},
      {{"a", "b"},
       {"check", ""},
       {"x", "y"},
       "error 321: frame:2: the role must be calibrate or check, not ''"},
      {{"a", nullptr}, {"check", "check"}, {"x", "y"}, "error 321: frame:2: the speaker is empty"},
      {{}, {}, {}, "error 321: frame: the manifest lists no takes"},
  };
  for (const Case& c : cases) {
    PellixManifest* manifest = nullptr;
    const int number = PellixManifestFromRows(c.speakers.data(), c.roles.data(), c.files.data(),
                                              c.speakers.size(), "frame", "f", &manifest);
    EXPECT_EQ(Shown(number, manifest), c.shown);
    PellixManifestClose(manifest);
  }
  PellixManifest* manifest = nullptr;
  EXPECT_EQ(PellixManifestFromRows(nullptr, nullptr, nullptr, 1, "frame", "", &manifest), 5);
  EXPECT_EQ(manifest, nullptr);
}

class AnalysisCCorpus : public ScratchDirectoryTest {
 protected:
  void SetUp() override {
    ScratchDirectoryTest::SetUp();
    const std::string text =
        "speaker,role,file\na,check,1\nb,check,2\nc,check,3\n=d,check,4\ne,check,5\n";
    ASSERT_EQ(PellixManifestParse(text.data(), text.size(), "m.csv", "", &manifest_), 0);
  }
  void TearDown() override {
    PellixManifestClose(manifest_);
    ScratchDirectoryTest::TearDown();
  }

  static std::string Header() { return std::string(PellixCsvHeader()) + "\n"; }
  // A speaker's rows as the report writes them (the apostrophe before "=d"), old or new.
  static std::string Rows(char speaker, const std::string& run) {
    const std::string name = speaker == 'd' ? "'=d" : std::string(1, speaker);
    return name + ",check," + run + "1\n" + name + ",check," + run + "2\n";
  }
  static std::string Old(char speaker) { return Rows(speaker, "old"); }
  static std::string New(char speaker) { return Rows(speaker, "new"); }

  // Opens the report over `before` (nothing: no file), writes every speaker it lacks, commits;
  // gives the speakers it had (as letters) and the file.
  std::pair<std::string, std::string> Resumed(const std::string* before) {
    if (before != nullptr) Write("out.csv", *before);
    PellixReport* report = nullptr;
    EXPECT_EQ(PellixReportOpen(Path("out.csv").c_str(), manifest_, 1, 30, &report), 0)
        << PellixReportError(report);
    std::string had;
    for (std::size_t i = 0; i < 5; ++i) {
      const char speaker = static_cast<char>('a' + i);
      if (PellixReportHas(report, i) != 0) {
        had += speaker;
        continue;
      }
      const std::string rows = New(speaker);
      EXPECT_EQ(PellixReportWrite(report, i, rows.data(), rows.size()), 0)
          << PellixReportError(report);
      EXPECT_EQ(PellixReportHas(report, i), 1) << "written now: " << speaker;
    }
    EXPECT_EQ(PellixReportHas(report, 5), 0);  // no such speaker
    EXPECT_EQ(PellixReportKept(report), had.size());
    EXPECT_EQ(PellixReportCommit(report), 0) << PellixReportError(report);
    PellixReportClose(report);
    return {had, Read("out.csv")};
  }

  PellixManifest* manifest_ = nullptr;
};

TEST_F(AnalysisCCorpus, ResumeKeepsWholeSpeakersAndWritesTheRestInTheirPlaces) {
  const std::string h = Header();
  const std::string fresh = h + New('a') + New('b') + New('c') + New('d') + New('e');
  struct Case {
    std::string before;
    std::string had;
    std::string after;
  };
  const Case cases[] = {
      {"", "", fresh},
      {"x", "", fresh},  // not even the header was written whole
      {h, "", fresh},
      {h + Old('a'), "", fresh},  // the last speaker may be cut short
      {h + Old('a') + Old('b') + Old('c'), "ab",
       h + Old('a') + Old('b') + New('c') + New('d') + New('e')},
      // b's task failed for good: b is written again, in its place.
      {h + Old('a') + Old('c') + Old('d'), "ac",
       h + Old('a') + New('b') + Old('c') + New('d') + New('e')},
      // The last line has no line feed: it is dropped, and the speaker before it too.
      {h + Old('a') + Old('b') + Old('c') + "'=d,check,ol", "ab",
       h + Old('a') + Old('b') + New('c') + New('d') + New('e')},
      {h + Old('a') + Old('b') + Old('d') + Old('e'), "abd",
       h + Old('a') + Old('b') + New('c') + Old('d') + New('e')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    EXPECT_EQ(Resumed(&c.before), std::make_pair(c.had, c.after));
  }
  std::filesystem::remove(Path("out.csv"));
  EXPECT_EQ(Resumed(nullptr), std::make_pair(std::string(), fresh));
}

TEST_F(AnalysisCCorpus, ResumeRefusesAnotherReportAndLeavesItAsItIs) {
  const std::string h = Header();
  ::mkfifo(Path("fifo").c_str(), 0600);
  struct Case {
    std::string file;
    std::string before;  // written first unless empty
    int number;
    std::string message;
  };
  const Case cases[] = {
      {"out.csv", "speaker,file\n", 321, "cannot resume '{}': it is not a csv report of pellix"},
      {"out.csv", h + "zed,check,x\n", 321,
       "cannot resume '{}': line 2 names the speaker 'zed', who is not in the manifest"},
      {"out.csv", h + Old('b') + Old('a'), 321,
       "cannot resume '{}': line 4 names the speaker 'a', out of the manifest's order"},
      {"out.csv", h + "=d,check,x\n", 321,
       "cannot resume '{}': line 2 names the speaker '=d', who is not in the manifest"},
      {"fifo", "", 75, "cannot resume '{}': it is a pipe, not a regular file (error 75)"},
      {".", "", 75, "cannot resume '{}': it is a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    if (!c.before.empty()) Write(c.file, c.before);
    const std::string path = Path(c.file);
    PellixReport* report = nullptr;
    EXPECT_EQ(PellixReportOpen(path.c_str(), manifest_, 1, 30, &report), c.number);
    std::string message = c.message;
    message.replace(message.find("{}"), 2, path);
    EXPECT_TRUE(StartsWith(PellixReportError(report), message)) << PellixReportError(report);
    // Nothing more is written, not even at a commit.
    EXPECT_EQ(PellixReportWrite(report, 0, "", 0), c.number);
    EXPECT_EQ(PellixReportCommit(report), c.number);
    PellixReportClose(report);
    if (!c.before.empty()) {
      EXPECT_EQ(Read(c.file), c.before);
    }
  }
}

TEST_F(AnalysisCCorpus, SpeakersWaitForTheirTurnAndCheckpointsKeepWholeOnes) {
  const std::string h = Header();
  const std::string a = New('a'), b = New('b'), c = New('c');
  PellixReport* report = nullptr;
  ASSERT_EQ(PellixReportOpen(Path("out.csv").c_str(), manifest_, 0, 0, &report), 0);
  // c arrives first and waits for a and b; a checkpoint follows every speaker written.
  EXPECT_EQ(PellixReportWrite(report, 2, c.data(), c.size()), 0);
  EXPECT_EQ(PellixReportWrite(report, 0, a.data(), a.size()), 0);
  EXPECT_EQ(Read("out.csv"), h + a);
  // Refused: written twice, past the manifest, rows without a last line feed.
  struct Refusal {
    std::size_t index;
    std::string rows;
  };
  for (const Refusal& r : {Refusal{0, a}, Refusal{5, a}, Refusal{1, "b,check,x"}}) {
    EXPECT_EQ(PellixReportWrite(report, r.index, r.rows.data(), r.rows.size()), 5) << r.rows;
  }
  EXPECT_EQ(PellixReportWrite(report, 1, b.data(), b.size()), 0);
  EXPECT_EQ(Read("out.csv"), h + a + b + c);
  // An interrupted run, closed without a commit, leaves what the last checkpoint put in place.
  PellixReportClose(report);
  EXPECT_EQ(Read("out.csv"), h + a + b + c);

  // Without a checkpoint due, the file is as it was until the commit, which leaves out the
  // speakers never given (b: its analysis failed for good).
  ASSERT_EQ(PellixReportOpen(Path("new.csv").c_str(), manifest_, 0, 3600, &report), 0);
  EXPECT_EQ(PellixReportWrite(report, 0, a.data(), a.size()), 0);
  EXPECT_EQ(PellixReportWrite(report, 2, c.data(), c.size()), 0);
  EXPECT_FALSE(std::filesystem::exists(Path("new.csv")));
  EXPECT_EQ(PellixReportCommit(report), 0);
  EXPECT_EQ(Read("new.csv"), h + a + c);
  EXPECT_EQ(PellixReportWrite(report, 1, b.data(), b.size()), 5);
  PellixReportClose(report);

  // Bad arguments: an interval that is not a number of seconds from 0.
  for (const double interval : {-1.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(PellixReportOpen(Path("x.csv").c_str(), manifest_, 0, interval, &report), 5);
    PellixReportClose(report);
  }
}

TEST_F(AnalysisCCorpus, NamedSpeakersWriteTheirNameAsTheCommandDoes) {
  struct Case {
    const char* name;
    std::string column;
  };
  const Case cases[] = {{"=x", "'=x"}, {"-1", "-1"}, {"a,b", "\"a,b\""}, {"", ""}};
  for (const Case& c : cases) {
    PellixSpeaker* speaker = nullptr;
    ASSERT_EQ(PellixSpeakerOpenNamed(c.name, nullptr, nullptr, &speaker), 0);
    PellixTakeResult result;
    const PellixTake missing = {PELLIX_TAKE_FILE, "none.wav", nullptr, 0, 0, 0};
    EXPECT_EQ(PellixSpeakerCalibrate(speaker, &missing, &result), 53);
    EXPECT_TRUE(StartsWith(result.csv, c.column + ",calibrate,none.wav,")) << result.csv;
    EXPECT_EQ(PellixSpeakerFailedTake(speaker, 1, "s3://b/x.wav", 75, "cannot read it", &result),
              0);
    EXPECT_EQ(result.error_number, 75);
    EXPECT_TRUE(StartsWith(result.csv, c.column + ",check,s3://b/x.wav,")) << result.csv;
    EXPECT_NE(std::string(result.csv).find(",75,cannot read it"), std::string::npos) << result.csv;
    EXPECT_NE(std::string(result.json).find("\"error_number\":75"), std::string::npos);
    EXPECT_EQ(PellixSpeakerFailedTake(speaker, 1, "x", 0, "no number", &result), 5);
    PellixSpeakerClose(speaker);
  }
}

}  // namespace
