// The batch manifest: speakers in order of first appearance, takes split by role, files found
// beside the manifest, CSV quoting, and errors that name the file and line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "analysis/manifest.h"

namespace pellix::analysis {
namespace {

namespace fs = std::filesystem;

std::vector<SpeakerTakes> Parse(const std::string& text, const fs::path& folder = "m") {
  return ParseManifest(text, "m.csv", folder);
}

// The message of the ManifestError that parsing `text` raises, or "" when it parses.
std::string ErrorOf(const std::string& text) {
  try {
    Parse(text);
  } catch (const ManifestError& e) {
    return e.what();
  }
  return "";
}

std::vector<std::string> Names(const std::vector<Take>& takes) {
  std::vector<std::string> names;
  for (const Take& take : takes) names.push_back(take.name);
  return names;
}

// One speaker of a parsed manifest: its name, and the names of its takes in order.
void ExpectSpeaker(const SpeakerTakes& speaker, const std::string& name,
                   const std::vector<std::string>& calibrations,
                   const std::vector<std::string>& checks) {
  EXPECT_EQ(speaker.speaker, name);
  EXPECT_EQ(Names(speaker.calibrations), calibrations) << name;
  EXPECT_EQ(Names(speaker.checks), checks) << name;
}

TEST(Manifest, SpeakersInOrderOfFirstAppearanceWithTheirTakesInOrder) {
  auto speakers = Parse(
      "speaker,role,file\n"
      "bo,check,b1.wav\n"
      "al,calibrate,a_cal.wav\n"
      "bo,calibrate,b_cal.wav\n"
      "al,check,a1.wav\n"
      "bo,check,b2.wav\n");
  ASSERT_EQ(speakers.size(), 2u);
  ExpectSpeaker(speakers[0], "bo", {"m/b_cal.wav"}, {"m/b1.wav", "m/b2.wav"});
  ExpectSpeaker(speakers[1], "al", {"m/a_cal.wav"}, {"m/a1.wav"});
}

TEST(Manifest, FilesAreRelativeToTheManifestFolderUnlessAbsolute) {
  auto speakers = Parse("speaker,role,file\nal,check,sub/../x.wav\nal,check,/abs/y.wav\n", "dir");
  ASSERT_EQ(speakers.size(), 1u);
  EXPECT_EQ(speakers[0].checks[0].path, fs::path("dir/sub/../x.wav"));
  EXPECT_EQ(speakers[0].checks[0].name, "dir/x.wav");
  EXPECT_EQ(speakers[0].checks[1].path, fs::path("/abs/y.wav"));
  // A manifest in the current folder names its files as they stand.
  EXPECT_EQ(Parse("speaker,role,file\nal,check,x.wav\n", "")[0].checks[0].name, "x.wav");
}

TEST(Manifest, ColumnsFoundByTheirHeaderNamesInAnyOrderAndCase) {
  auto speakers = Parse("File,notes,Role,SPEAKER\nx.wav,first take,CHECK,al\n");
  ASSERT_EQ(speakers.size(), 1u);
  ExpectSpeaker(speakers[0], "al", {}, {"m/x.wav"});
}

TEST(Manifest, QuotedFieldsKeepCommasQuotesAndLineBreaks) {
  auto speakers = Parse(
      "speaker,role,file\n"
      "\"Smith, Al\",check,\"say \"\"yes\"\".wav\"\n"
      "\"Smith, Al\",check,\"two\nlines.wav\"\n");
  ASSERT_EQ(speakers.size(), 1u);
  ExpectSpeaker(speakers[0], "Smith, Al", {}, {"m/say \"yes\".wav", "m/two\nlines.wav"});
}

TEST(Manifest, BlankLinesCrLfBlanksAroundFieldsAndAByteOrderMark) {
  auto speakers = Parse(
      "\xEF\xBB\xBFspeaker,role,file\r\n"
      "\r\n"
      "  al , check ,  x.wav  \r\n"
      "\n"
      "al,calibrate,\"  padded.wav\"\r\n");
  ASSERT_EQ(speakers.size(), 1u);
  // Blanks inside quotes are part of the field.
  ExpectSpeaker(speakers[0], "al", {"m/  padded.wav"}, {"m/x.wav"});
}

TEST(Manifest, SpeakerNamesAreMatchedExactly) {
  auto speakers = Parse("speaker,role,file\nAl,check,a.wav\nal,check,b.wav\n");
  EXPECT_EQ(speakers.size(), 2u);
}

TEST(Manifest, ErrorsNameTheFileAndLine) {
  const std::string header = "speaker,role,file\n";
  EXPECT_EQ(ErrorOf(header + "al,check,a.wav\nal,chek,b.wav\n"),
            "m.csv:3: the role must be calibrate or check, not 'chek'");
  EXPECT_EQ(ErrorOf(header + "al,check\n"), "m.csv:2: 2 fields where the header has 3");
  EXPECT_EQ(ErrorOf(header + "al,check,a.wav,extra\n"), "m.csv:2: 4 fields where the header has 3");
  EXPECT_EQ(ErrorOf(header + ",check,a.wav\n"), "m.csv:2: the speaker is empty");
  EXPECT_EQ(ErrorOf(header + "al,check,\n"), "m.csv:2: the file is empty");
  EXPECT_EQ(ErrorOf(header + "al,check,a.wav\nal,check,\"open.wav\n\n"),
            "m.csv:3: a quoted field is not closed");
  EXPECT_EQ(ErrorOf(header + "al,check,\"a\"b.wav\n"),
            "m.csv:2: text after the closing quote of a field");
  EXPECT_EQ(ErrorOf(header + "al,check,a\"b.wav\n"),
            "m.csv:2: a quote inside a field that does not start with one");
}

TEST(Manifest, LineNumbersCountBlankLinesAndLineBreaksInsideQuotes) {
  EXPECT_EQ(ErrorOf("speaker,role,file\n\nal,check,\"a\nb.wav\"\n\nal,bad,c.wav\n"),
            "m.csv:6: the role must be calibrate or check, not 'bad'");
}

TEST(Manifest, HeaderMustNameTheThreeColumnsOnce) {
  EXPECT_EQ(ErrorOf("speaker,file\nal,a.wav\n"),
            "m.csv:1: the header must name the columns speaker, role and file (found "
            "'speaker,file')");
  // A manifest without a header: its first row is taken as one and found wanting.
  EXPECT_NE(ErrorOf("al,check,a.wav\n").find("m.csv:1: the header must name"), std::string::npos);
  EXPECT_EQ(ErrorOf("speaker,role,file,role\nal,check,a.wav,x\n"),
            "m.csv:1: the header names the column 'role' twice");
}

TEST(Manifest, EmptyManifestOrHeaderOnly) {
  EXPECT_EQ(ErrorOf(""), "m.csv: the manifest is empty");
  EXPECT_EQ(ErrorOf("\n\n"), "m.csv: the manifest is empty");
  EXPECT_EQ(ErrorOf("speaker,role,file\n"), "m.csv: the manifest lists no takes");
}

TEST(Manifest, ReadManifestNamesAFileThatCannotBeRead) {
  fs::path dir = fs::temp_directory_path() / ("pellix-manifest-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  try {
    ReadManifest(dir / "missing.csv");
    ADD_FAILURE() << "a missing manifest was read";
  } catch (const ManifestError& e) {
    EXPECT_NE(std::string(e.what()).find("missing.csv"), std::string::npos) << e.what();
  }
  try {
    ReadManifest(dir);
    ADD_FAILURE() << "a folder was read as a manifest";
  } catch (const ManifestError& e) {
    EXPECT_NE(std::string(e.what()).find("it is a directory"), std::string::npos) << e.what();
  }
  std::ofstream(dir / "ok.csv") << "speaker,role,file\nal,check,x.wav\n";
  auto speakers = ReadManifest(dir / "ok.csv");
  ASSERT_EQ(speakers.size(), 1u);
  EXPECT_EQ(speakers[0].checks[0].path, dir / "x.wav");
  fs::remove_all(dir);
}

// The processor time parsing a manifest of `speakers` speakers of two takes each takes, the
// least of three runs.
double ParseSeconds(int speakers) {
  std::string text = "speaker,role,file\n";
  for (int i = 0; i < speakers; ++i) {
    text += "s" + std::to_string(i) + ",calibrate,c.wav\n";
    text += "s" + std::to_string(i) + ",check,k.wav\n";
  }
  double least = 1e9;
  for (int run = 0; run < 3; ++run) {
    const std::clock_t start = std::clock();
    EXPECT_EQ(Parse(text).size(), static_cast<std::size_t>(speakers));
    least = std::min(least, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  }
  return least;
}

// Each row finds its speaker without a search through those before: twice the speakers take
// about twice the time (four times when each row searched, 19 s for 100 000 speakers).
TEST(Manifest, ReadingGrowsInProportionToTheSpeakers) {
  const double single = ParseSeconds(20000);
  const double twice = ParseSeconds(40000);
  EXPECT_LT(twice, 3.0 * std::max(single, 1e-3)) << single << " s, then " << twice << " s";
}

}  // namespace
}  // namespace pellix::analysis
