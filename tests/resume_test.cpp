// --resume in the analysis library: where an earlier run's csv or json report of a manifest
// stopped, with three or more speakers (the middle ones are where a wrong cut shows), names
// as csv writes them, cut last lines, and reports of another manifest refused.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "analysis/report.h"
#include "analysis/resume.h"

namespace pellix::analysis {
namespace {

std::vector<SpeakerTakes> Speakers(const std::vector<std::string>& names) {
  std::vector<SpeakerTakes> speakers;
  for (const std::string& name : names) speakers.push_back({name, {}, {}});
  return speakers;
}

const std::string kHeader = MakeReport(ReportFormat::kCsv, {})->Header();

// A report as it stood when a run stopped: what a resumed run keeps of it, and the speaker it
// starts from.
struct ResumeCase {
  std::string text;
  std::string kept;
  std::size_t first;
};

void ExpectResumePoints(const std::vector<SpeakerTakes>& speakers, ReportFormat format,
                        const std::string& report, const std::vector<ResumeCase>& cases) {
  for (const ResumeCase& k : cases) {
    const ResumePoint point = FindResumePoint(k.text, format, speakers, report);
    EXPECT_EQ(point.kept, k.kept) << k.text;
    EXPECT_EQ(point.first, k.first) << k.text;
  }
}

std::string Row(const std::string& speaker, const std::string& file) {
  return speaker + ",check," + file + ",1\n";
}

TEST(Resume, CsvCarriesOnFromTheLastSpeakerWritten) {
  const std::vector<SpeakerTakes> speakers = Speakers({"=a", "-1E-5", "@c", "d", "+e"});
  const std::string a = Row("'=a", "1.wav") + Row("'=a", "2.wav");
  const std::string b = Row("-1E-5", "\"3,\nwav\"") + Row("-1E-5", "4.wav");
  const std::string c = Row("'@c", "5.wav") + Row("'@c", "6.wav");
  const std::vector<ResumeCase> cases = {
      {"", "", 0},
      {kHeader.substr(0, 10), "", 0},  // the header cut short
      {kHeader, kHeader, 0},
      {kHeader + a, kHeader, 0},
      {kHeader + a + b, kHeader + a, 1},
      {kHeader + a + b + c, kHeader + a + b, 2},
      {kHeader + a + b + c.substr(0, c.size() - 1), kHeader + a + b, 2},  // no last line feed
      {kHeader + a + b + "'@", kHeader + a, 1},     // c's first line cut inside its name
      {kHeader + a + b.substr(0, 22), kHeader, 0},  // cut inside b's quoted line feed
  };
  ExpectResumePoints(speakers, ReportFormat::kCsv, "o.csv", cases);
}

TEST(Resume, JsonLinesCarryOnFromTheLastSpeakerWritten) {
  const std::vector<SpeakerTakes> speakers = Speakers({"=a", "b", "c"});
  const std::string a = "{\"speaker\":\"=a\",\"role\":\"check\"}\n";
  const std::string b = "{\"speaker\":\"b\",\"role\":\"check\"}\n";
  const std::string c = "{\"speaker\":\"c\",\"role\":\"check\"}\n";
  const std::vector<ResumeCase> cases = {
      {"", "", 0},
      {a + b + b + c, a + b + b, 2},
      {a + b + "\n" + c.substr(0, 9), a, 1},
  };
  ExpectResumePoints(speakers, ReportFormat::kJson, "o.json", cases);
}

TEST(Resume, AReportOfAnotherManifestIsRefused) {
  const std::vector<SpeakerTakes> speakers = Speakers({"a", "b", "c"});
  struct Case {
    ReportFormat format;
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {ReportFormat::kCsv, "x\n", "its header is 'x'"},
      {ReportFormat::kCsv, "x\n" + Row("a", "1"), "its header is 'x'"},
      {ReportFormat::kCsv, kHeader + Row("a", "1") + Row("z", "2"),
       "line 3 names the speaker 'z', who is not in the manifest"},
      {ReportFormat::kCsv, kHeader + Row("b", "1") + Row("a", "2") + Row("c", "3"),
       "line 3 names the speaker 'a', out of the manifest's order"},
      {ReportFormat::kCsv, kHeader + Row("a", "1") + Row("b", "2") + Row("a", "3"),
       "line 4 names the speaker 'a', out of the manifest's order"},
      {ReportFormat::kCsv, kHeader + Row("a", "x\"y") + Row("b", "2"), "is not a csv report"},
      {ReportFormat::kJson, "{\"speaker\":\"a\"}\nnot json\n{\"speaker\":\"b\"}\n",
       "line 2 is not a json line of pellix analyze"},
      {ReportFormat::kJson, "{\"speaker\":1}\n", "line 1 is not a json line"},
  };
  for (const Case& c : cases) {
    try {
      FindResumePoint(c.text, c.format, speakers, "o.txt");
      ADD_FAILURE() << "accepted " << c.text;
    } catch (const ResumeError& e) {
      EXPECT_NE(std::string(e.what()).find("cannot resume 'o.txt': "), std::string::npos);
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

// Every speaker the file lacks is analysed, wherever it lies, and the kept rows go back in
// their places: one rule for the command and for the hosts that run the speakers themselves.
TEST(Resume, APlanAnalysesEverySpeakerTheFileLacks) {
  const std::vector<SpeakerTakes> speakers = Speakers({"a", "b", "c", "d", "e"});
  const std::string a = Row("a", "1"), b = Row("b", "2"), c = Row("c", "3"), d = Row("d", "4");
  struct Case {
    std::string text;
    std::vector<std::size_t> analyse;
    std::string header;
    std::map<std::size_t, std::string> before;  // by place in `analyse`
  };
  const Case cases[] = {
      {"", {0, 1, 2, 3, 4}, "", {}},
      {kHeader, {0, 1, 2, 3, 4}, kHeader, {}},
      {kHeader + a, {0, 1, 2, 3, 4}, kHeader, {}},
      {kHeader + a + b + c, {2, 3, 4}, kHeader, {{0, a + b}}},
      // b's task failed in the first run, and d's: they are done again in their places.
      {kHeader + a + c + Row("e", "5"), {1, 3, 4}, kHeader, {{0, a}, {1, c}}},
      {kHeader + b + d, {0, 2, 3, 4}, kHeader, {{1, b}}},
  };
  for (const Case& k : cases) {
    const ResumePoint point = FindResumePoint(k.text, ReportFormat::kCsv, speakers, "o.csv");
    const ResumePlan plan = PlanResume(point, speakers.size());
    EXPECT_EQ(plan.analyse, k.analyse) << k.text;
    EXPECT_EQ(plan.header, k.header) << k.text;
    std::map<std::size_t, std::string> before;
    for (const auto& [place, text] : plan.before) before.emplace(place, text);
    EXPECT_EQ(before, k.before) << k.text;
  }
}

}  // namespace
}  // namespace pellix::analysis
