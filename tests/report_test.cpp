// Reports of an analysis run: the json lines and csv rows built from the control's texts,
// the table for people, and the result-code reading.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "host/analysis/report.h"

namespace pellix::analysis {
namespace {

using Json = nlohmann::json;

CalibrationRecord Accepted() {
  return {"", "cal 1.wav", "0", Measures{"35", "20", "12", "5"}, Constants{"35", "20", "12", "5"}};
}

CheckRecord Checked() {
  return {"", "yes.wav", "7", Measures{"36.5", "21", "12.25", "5.1"},
          StressLevels{"170", "140", "95"}};
}

std::string Format(ReportFormat format, const Record& record, bool batch = false) {
  ReportLayout layout;
  layout.show_speaker = batch;
  return MakeReport(format, layout)->Format(record);
}

TEST(Report, FormatNames) {
  EXPECT_EQ(ParseReportFormat("table"), ReportFormat::kTable);
  EXPECT_EQ(ParseReportFormat("json"), ReportFormat::kJson);
  EXPECT_EQ(ParseReportFormat("csv"), ReportFormat::kCsv);
  EXPECT_FALSE(ParseReportFormat("JSON"));
  EXPECT_FALSE(ParseReportFormat(""));
}

TEST(Report, ResultCodeReadsOnlyThePublishedCodes) {
  EXPECT_EQ(ResultCode("0"), 0);
  EXPECT_EQ(ResultCode("-2"), -2);
  EXPECT_EQ(ResultCode("9"), 9);
  EXPECT_FALSE(ResultCode("10"));
  EXPECT_FALSE(ResultCode(""));
  EXPECT_FALSE(ResultCode("1.0"));
  EXPECT_FALSE(ResultCode(" 1"));
}

TEST(Report, JsonCalibrationWritesNumbersAsNumbers) {
  Json line = Json::parse(Format(ReportFormat::kJson, Accepted()));
  EXPECT_EQ(line["kind"], "calibration");
  EXPECT_FALSE(line.contains("speaker"));
  EXPECT_EQ(line["file"], "cal 1.wav");
  EXPECT_EQ(line["code"], 0);
  EXPECT_EQ(line["accepted"], true);
  EXPECT_EQ(line["CR_spT"], 35);
  EXPECT_TRUE(line["CR_spT"].is_number_integer());
  EXPECT_EQ(line["CAL_AVJ"], 5);
}

TEST(Report, JsonRejectedCalibrationWithoutMeasures) {
  CalibrationRecord rejected{"al", "short.smp", "-1", std::nullopt, std::nullopt};
  Json line = Json::parse(Format(ReportFormat::kJson, rejected, true));
  EXPECT_EQ(line["speaker"], "al");
  EXPECT_EQ(line["code"], -1);
  EXPECT_EQ(line["accepted"], false);
  EXPECT_NE(line["result"].get<std::string>().find("too short or silent"), std::string::npos);
  for (const char* key : {"CR_spT", "CR_SPJ", "CR_JQ", "CR_avJ", "CAL_spT", "CAL_AVJ"}) {
    EXPECT_TRUE(line[key].is_null()) << key;
  }
}

TEST(Report, JsonCheckKeepsFractionsAndExplainsTheCode) {
  Json line = Json::parse(Format(ReportFormat::kJson, Checked()));
  EXPECT_EQ(line["kind"], "check");
  EXPECT_EQ(line["code"], 7);
  EXPECT_EQ(line["meaning"], "lie: lie stress above the band; or sarcasm or lie");
  EXPECT_EQ(line["LIEstress"], 170);
  EXPECT_DOUBLE_EQ(line["CR_spT"].get<double>(), 36.5);
  EXPECT_DOUBLE_EQ(line["CR_JQ"].get<double>(), 12.25);
}

TEST(Report, JsonKeepsATextThatIsNoNumberAsText) {
  CheckRecord odd = Checked();
  odd.code = "";  // what a control publishes when no code was ever set
  odd.measures->thorn_rate = "abc";
  Json line = Json::parse(Format(ReportFormat::kJson, odd));
  EXPECT_EQ(line["code"], "");
  EXPECT_EQ(line["meaning"], "unknown code ''");
  EXPECT_EQ(line["CR_spT"], "abc");
}

TEST(Report, JsonProfileDigitsAndPercentages) {
  Json line = Json::parse(
      Format(ReportFormat::kJson, ProfileRecord{"", "241103000300000050010050000", 20}));
  EXPECT_EQ(line["kind"], "profile");
  EXPECT_EQ(line["checks"], 20);
  EXPECT_EQ(line["available"], true);
  ASSERT_EQ(line["digits"].size(), 9u);
  EXPECT_EQ(line["digits"][5]["digit"], "3");
  EXPECT_EQ(line["digits"][5]["meaning"], "two or more lies (code 7)");
  ASSERT_EQ(line["percentages"].size(), 9u);
  EXPECT_EQ(line["percentages"][0]["percent"], 30);
  EXPECT_EQ(line["percentages"][5]["name"], "lie");
  EXPECT_EQ(line["percentages"][5]["percent"], 10);

  Json none = Json::parse(Format(ReportFormat::kJson, ProfileRecord{"", "0", 9}));
  EXPECT_EQ(none["available"], false);
  EXPECT_NE(none["meaning"].get<std::string>().find("at least ten checks"), std::string::npos);
  EXPECT_FALSE(none.contains("digits"));
}

TEST(Report, CsvHeaderAndRows) {
  ReportLayout layout;
  auto report = MakeReport(ReportFormat::kCsv, layout);
  EXPECT_EQ(report->Header(),
            "kind,file,code,meaning,LIEstress,GLBstress,EXCstress,CR_spT,CR_SPJ,CR_JQ,CR_avJ\n");
  EXPECT_EQ(report->Format(Checked()),
            "check,yes.wav,7,lie: lie stress above the band; or sarcasm or lie,170,140,95,36.5,21,"
            "12.25,5.1\n");
  EXPECT_EQ(report->Format(Accepted()), "calibration,cal 1.wav,0,accepted,,,,35,20,12,5\n");
  // Profiles are not part of csv output.
  EXPECT_EQ(report->Format(ProfileRecord{"", "0", 0}), "");
}

TEST(Report, CsvQuotesFieldsThatNeedIt) {
  ReportLayout layout;
  layout.show_speaker = true;
  auto report = MakeReport(ReportFormat::kCsv, layout);
  EXPECT_TRUE(report->Header().starts_with("speaker,kind,"));
  CheckRecord record = Checked();
  record.speaker = "Smith, Al";
  record.file = "say \"yes\".wav";
  record.code = "8";
  const std::string row = report->Format(record);
  EXPECT_TRUE(
      row.starts_with("\"Smith, Al\",check,\"say \"\"yes\"\".wav\",8,\"exaggerated truth "
                      "indicators, result reversed (lie stress mirrored); or exaggeration: "
                      "lie stress inside the band\",170,"))
      << row;
}

TEST(Report, TableShowsEachTakeOnOneLineAndTheProfileInWords) {
  ReportLayout layout;
  layout.file_width = 9;
  auto report = MakeReport(ReportFormat::kTable, layout);
  const std::string header = report->Header();
  EXPECT_EQ(header.find("speaker"), std::string::npos);
  EXPECT_NE(header.find("file"), std::string::npos);

  const std::string check = report->Format(Checked());
  EXPECT_EQ(check.back(), '\n');
  EXPECT_EQ(check.find('\n'), check.size() - 1);
  EXPECT_NE(check.find("yes.wav"), std::string::npos);
  EXPECT_NE(check.find("36.50"), std::string::npos);  // two decimals for people
  EXPECT_NE(check.find(" lie\n"), std::string::npos);
  // The columns line up: the file column is as wide as the widest file.
  EXPECT_EQ(report->Format(Accepted()).find(" 0 "), check.find(" 7 "));

  const std::string profile = report->Format(ProfileRecord{"", "241103000300000050010050000", 20});
  EXPECT_NE(profile.find("241103000300000050010050000"), std::string::npos);
  EXPECT_NE(profile.find("6 = 3"), std::string::npos);
  EXPECT_NE(profile.find("two or more lies (code 7) [lie 10%, exaggeration 05%]"),
            std::string::npos);
  EXPECT_NE(report->Format(ProfileRecord{"", "0", 3}).find("at least ten checks"),
            std::string::npos);
}

}  // namespace
}  // namespace pellix::analysis
