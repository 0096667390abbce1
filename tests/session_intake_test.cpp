// A session's takes handed over as bytes: a sample file or a recording in memory gives the
// records the same take gives by its path, and a span too short to hold a take is refused as the
// file holding it would be.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <variant>
#include <vector>

#include "analysis/memory_take.h"
#include "analysis/report.h"
#include "analysis/sample_source.h"
#include "analysis/session.h"
#include "audio/sample_file.h"

namespace pellix::analysis {
namespace {

const std::filesystem::path kExamples = std::filesystem::path(PELLIX_SOURCE_DIR) / "examples";

std::vector<std::uint8_t> FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The session's records as the csv report writes them, one line each.
std::vector<std::string> Rows(const SpeakerTakes& takes) {
  SampleSource source;
  const std::unique_ptr<Report> report = MakeReport(ReportFormat::kCsv, {});
  std::vector<std::string> rows;
  for (const Event& event : RunSession(takes, SessionSettings{}, source).events) {
    if (const auto* record = std::get_if<Record>(&event)) rows.push_back(report->Format(*record));
  }
  return rows;
}

// Every take of `takes` handed over as the bytes of its file, under the same name.
SpeakerTakes AsBytes(SpeakerTakes takes) {
  for (std::vector<Take>* role : {&takes.calibrations, &takes.checks}) {
    for (Take& take : *role) take = BytesTake(FileBytes(take.path), take.name);
  }
  return takes;
}

TEST(SessionIntake, BytesGiveTheRecordsOfTheirFiles) {
  // Sample files, read by the control from disk or from the bytes; recordings, converted
  // either way and handed over as bytes both times.
  for (const char* folder : {"samples", "recordings"}) {
    SCOPED_TRACE(folder);
    const std::string extension = folder == std::string("samples") ? ".smp" : ".wav";
    auto take = [&](const std::string& name) {
      return Take{kExamples / folder / (name + extension), name + extension};
    };
    const SpeakerTakes by_path{
        "",
        {take("alex_calibrate_1"), take("alex_calibrate_2"), take("alex_calibrate_3")},
        {take("alex_check_01"), take("alex_check_02")}};
    const std::vector<std::string> rows = Rows(by_path);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(Rows(AsBytes(by_path)), rows);
  }
}

// Spans that hold no take: nothing at all is no recording (321); a sample file of its header
// alone, or of ten loud samples, is a take too short to check (-1), as the file would be.
TEST(SessionIntake, ShortAndEmptySpansAreRefusedAsTheirFilesWouldBe) {
  const std::vector<std::uint8_t> header_only = EncodeSampleFile(11025, {});
  const std::vector<std::uint8_t> ten_loud =
      EncodeSampleFile(11025, std::vector<std::uint8_t>(10, 200));
  SpeakerTakes takes{"",
                     {},
                     {BytesTake({}, "empty.smp"), BytesTake(header_only, "header.smp"),
                      BytesTake(ten_loud, "ten.smp")}};
  SampleSource source;
  std::vector<std::string> outcomes;
  for (const Event& event : RunSession(takes, SessionSettings{}, source).events) {
    const auto* record = std::get_if<Record>(&event);
    if (record == nullptr) continue;
    if (const auto* failure = std::get_if<FailureRecord>(record)) {
      outcomes.push_back(failure->file + " failed " + std::to_string(failure->error_number));
    } else if (const auto* check = std::get_if<CheckRecord>(record)) {
      outcomes.push_back(check->file + " code " + check->code.caption());
    }
  }
  EXPECT_EQ(outcomes, (std::vector<std::string>{"empty.smp failed 321", "header.smp code -1",
                                                "ten.smp code -1"}));
}

// A sample file's samples end at its first 0 byte or its end, wherever that lies about the
// window the intake reads: counted the same from its path and from its bytes.
TEST(SessionIntake, ASampleFileCountsItsSamplesToItsFirstZero) {
  constexpr std::size_t w = kSampleWindow;
  const struct {
    std::size_t data;  // bytes after the header, all 100 but the one at `zero`
    std::size_t zero;  // past the data: none
    std::uint64_t samples;
  } kCases[] = {{100, 100, 100},
                {100, 50, 50},
                {w, w, w},
                {w + 5000, w + 5000, w + 5000},
                {w + 5000, w, w},
                {w + 5000, w + 10, w + 10},
                {w + 5000, w - 1, w - 1}};
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("pellix_count_" + std::to_string(::getpid()) + ".smp");
  SampleSource source;
  for (const auto& c : kCases) {
    std::vector<std::uint8_t> bytes =
        EncodeSampleFile(11025, std::vector<std::uint8_t>(c.data, 100));
    if (c.zero < c.data) bytes[kSampleFileHeaderSize + c.zero] = 0;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(source.Prepare(Take{path, "t.smp"}).samples, c.samples) << c.data << " " << c.zero;
    EXPECT_EQ(source.Prepare(BytesTake(bytes, "t.smp")).samples, c.samples) << c.data;
  }
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace pellix::analysis
