// Reports of an analysis run: the json lines and csv rows built from the control's texts,
// the table for people, and the result-code reading.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "analysis/report.h"

namespace pellix::analysis {
namespace {

using Json = nlohmann::json;

CalibrationRecord Accepted() {
  return {"", "cal 1.wav", "0", Measures{"35", "20", "12", "5"}, Constants{"35", "20", "12", "5"},
          {}};
}

CheckRecord Checked() {
  return {
      "", "yes.wav", "7", Measures{"36.5", "21", "12.25", "5.1"}, StressLevels{"170", "140", "95"},
      {}};
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
  EXPECT_EQ(PublishedCode("0").value(), 0);
  EXPECT_EQ(PublishedCode("-2").value(), -2);
  EXPECT_EQ(PublishedCode("9").value(), 9);
  EXPECT_FALSE(PublishedCode("10").value());
  EXPECT_FALSE(PublishedCode("").value());
  EXPECT_FALSE(PublishedCode("1.0").value());
  EXPECT_FALSE(PublishedCode(" 1").value());
}

TEST(Report, JsonCalibrationWritesNumbersAsNumbers) {
  Json line = Json::parse(Format(ReportFormat::kJson, Accepted()));
  EXPECT_EQ(line["role"], "calibrate");
  EXPECT_EQ(line["speaker"], "");
  EXPECT_EQ(line["file"], "cal 1.wav");
  EXPECT_EQ(line["code"], 0);
  EXPECT_EQ(line["meaning"], "accepted");
  EXPECT_EQ(line["thorn_rate"], 35);
  EXPECT_TRUE(line["thorn_rate"].is_number_integer());
  EXPECT_EQ(line["cal_avg_jump_len"], 5);
  EXPECT_TRUE(line["lie_stress"].is_null());
  EXPECT_EQ(line["flags"], Json::array());
}

TEST(Report, JsonRejectedCalibrationWithoutMeasures) {
  CalibrationRecord rejected{"al", "short.smp", "-1", std::nullopt, std::nullopt, {}};
  Json line = Json::parse(Format(ReportFormat::kJson, rejected, true));
  EXPECT_EQ(line["speaker"], "al");
  EXPECT_EQ(line["code"], -1);
  EXPECT_NE(line["meaning"].get<std::string>().find("too short or silent"), std::string::npos);
  for (const char* key : {"thorn_rate", "jump_rate", "jump_spread", "avg_jump_len",
                          "cal_thorn_rate", "cal_avg_jump_len"}) {
    EXPECT_TRUE(line[key].is_null()) << key;
  }
}

TEST(Report, JsonCheckKeepsFractionsAndExplainsTheCode) {
  Json line = Json::parse(Format(ReportFormat::kJson, Checked()));
  EXPECT_EQ(line["role"], "check");
  EXPECT_EQ(line["code"], 7);
  EXPECT_EQ(line["meaning"], "lie: lie stress above the band; or sarcasm or lie");
  EXPECT_EQ(line["lie_stress"], 170);
  EXPECT_DOUBLE_EQ(line["thorn_rate"].get<double>(), 36.5);
  EXPECT_DOUBLE_EQ(line["jump_spread"].get<double>(), 12.25);
}

TEST(Report, JsonKeepsATextThatIsNoNumberAsText) {
  CheckRecord odd = Checked();
  odd.code = "";  // what a control publishes when no code was ever set
  odd.measures->thorn_rate = "abc";
  Json line = Json::parse(Format(ReportFormat::kJson, odd));
  EXPECT_EQ(line["code"], "");
  EXPECT_EQ(line["meaning"], "unknown code ''");
  EXPECT_EQ(line["thorn_rate"], "abc");
}

TEST(Report, JsonProfileDigitsAndPercentages) {
  Json line = Json::parse(
      Format(ReportFormat::kJson, ProfileRecord{"", "241103000300000050010050000", 20}));
  EXPECT_EQ(line["role"], "profile");
  EXPECT_EQ(line["profile"], "241103000300000050010050000");
  EXPECT_EQ(line["profile_checks"], 20);
  ASSERT_EQ(line["digits"].size(), 9u);
  EXPECT_EQ(line["digits"][5]["digit"], "3");
  EXPECT_EQ(line["digits"][5]["meaning"], "two or more lies (code 7)");
  ASSERT_EQ(line["percentages"].size(), 9u);
  EXPECT_EQ(line["percentages"][0]["percent"], 30);
  EXPECT_EQ(line["percentages"][5]["name"], "lie");
  EXPECT_EQ(line["percentages"][5]["percent"], 10);

  Json none = Json::parse(Format(ReportFormat::kJson, ProfileRecord{"", "0", 9}));
  EXPECT_EQ(none["profile"], "0");  // a text: profiles are digits, not numbers
  EXPECT_NE(none["meaning"].get<std::string>().find("at least ten checks"), std::string::npos);
  EXPECT_FALSE(none.contains("digits"));
}

// The facts of a take with every figure set, in the units the keys name.
TakeFacts SomeFacts() {
  TakeFacts f;
  f.recording_s = 2.5;
  f.stretch_start_s = 0.25;
  f.stretch_end_s = 0.6875;
  f.peak_dbfs = -0.04;
  f.rms_dbfs = -12.25;
  f.clipped_source = 0.025;
  f.clipped_8bit = 0.5;
  f.pitch_hz = 101.25;
  f.voiced_share = 0.0625;
  f.flags = {"clipped", "short_stretch"};
  return f;
}

TEST(Report, CsvHeaderAndRowsShareTheJsonKeys) {
  auto csv = MakeReport(ReportFormat::kCsv, ReportLayout{});
  EXPECT_EQ(csv->Header(),
            "speaker,role,file,code,meaning,lie_stress,global_stress,excitement_stress,"
            "thorn_rate,jump_rate,jump_spread,avg_jump_len,cal_thorn_rate,cal_jump_rate,"
            "cal_jump_spread,cal_avg_jump_len,recording_s,stretch_start_s,stretch_end_s,"
            "stretch_s,peak_dbfs,rms_dbfs,clipped_source,clipped_8bit,pitch_hz,voiced_share,"
            "flags,refusal,advice,profile,profile_checks,error_number,error_message\n");
  CheckRecord check = Checked();
  check.facts = SomeFacts();
  // Seconds to 3 decimals, levels to 1, shares to 4 (voiced to 3), pitch to 1; the stretch's
  // length is its end less its start (0.4375); flags joined by a blank.
  EXPECT_EQ(csv->Format(check),
            ",check,yes.wav,7,lie: lie stress above the band; or sarcasm or lie,170,140,95,36.5,21,"
            "12.25,5.1,,,,,2.500,0.250,0.688,0.438,-0.0,-12.2,0.0250,0.5000,101.2,0.062,"
            "clipped short_stretch,,,,,,\n");
  EXPECT_EQ(csv->Format(Accepted()),
            ",calibrate,cal 1.wav,0,accepted,,,,35,20,12,5,35,20,12,5,,,,,,,,,,,,,,,,,\n");
  EXPECT_EQ(csv->Format(ProfileRecord{"al", "0", 3}),
            "al,profile,,,no profile yet: it needs at least ten checks since the control was "
            "created or reset,,,,,,,,,,,,,,,,,,,,,,,,,0,3,,\n");
  EXPECT_EQ(
      csv->Format(FailureRecord{"al", FailureRole::kCheck, "x.wav", 53, "cannot open 'x.wav'"}),
      "al,check,x.wav,,,,,,,,,,,,,,,,,,,,,,,,,,,,,53,cannot open 'x.wav'\n");

  // Every csv column is a json key, in the same order.
  const auto line = nlohmann::ordered_json::parse(Format(ReportFormat::kJson, check));
  std::string keys;
  for (const auto& item : line.items()) keys += (keys.empty() ? "" : ",") + item.key();
  EXPECT_EQ(keys + "\n", csv->Header());
  EXPECT_EQ(line["flags"], nlohmann::ordered_json::array({"clipped", "short_stretch"}));
  EXPECT_DOUBLE_EQ(line["stretch_s"].get<double>(), 0.438);
}

TEST(Report, CsvQuotesFieldsThatNeedIt) {
  ReportLayout layout;
  layout.show_speaker = true;
  auto report = MakeReport(ReportFormat::kCsv, layout);
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

TEST(Report, TableNotesUnderATake) {
  auto report = MakeReport(ReportFormat::kTable, ReportLayout{});
  CheckRecord check = Checked();
  check.facts = SomeFacts();
  check.facts.refusal = "silent scan";
  check.facts.advice = "record speech";
  const std::string text = report->Format(check);
  EXPECT_NE(text.find("analysed 0.25-0.69 s of 2.50 s; peak -0.0 dBFS; RMS -12.2 dBFS; "
                      "clipped 2.5% (8-bit 50.0%); pitch 101 Hz; 6% voiced\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("! clipped: more than 1 sample in 1000"), std::string::npos);
  EXPECT_NE(text.find("! the analysed stretch is under half a second"), std::string::npos);
  EXPECT_NE(text.find("refused: silent scan\n"), std::string::npos);
  EXPECT_NE(text.find("try: record speech\n"), std::string::npos);
  const std::string failure =
      report->Format(FailureRecord{"", FailureRole::kCalibrate, "x.wav", 321, "not a recording"});
  EXPECT_NE(failure.find("error 321: not a recording"), std::string::npos);
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
