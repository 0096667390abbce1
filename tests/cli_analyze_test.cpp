// pellix analyze and pellix demo end to end, through the real binary: the reports in every
// format checked for structure and for the rules that tie their values together, recordings
// of every kind, state carried between runs, batch manifests on one or two threads, and every
// kind of bad input reported by name with the right exit status.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "scratch_directory_test_base.h"
#include "tests/support/program_run.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

struct Outcome : pellix::testing::ProgramRun {
  // "pellix: 1 speaker, 15 takes: ..." that ends an analyze run, taken out of `err`
  std::string summary;
};

const fs::path kExamples = fs::path(PELLIX_SOURCE_DIR) / "examples";

std::string Recording(const std::string& name) {
  return (kExamples / "recordings" / (name + ".wav")).string();
}
std::string Sample(const std::string& name) {
  return (kExamples / "samples" / (name + ".smp")).string();
}

// alex's three calibration takes and twelve checks, as recordings or as sample files.
std::string AlexTakes(std::string (*file)(const std::string&)) {
  std::string args = "--calibrate";
  for (int i = 1; i <= 3; ++i) args += " '" + file("alex_calibrate_" + std::to_string(i)) + "'";
  args += " --check";
  for (int i = 1; i <= 12; ++i) {
    args += " '" + file((i < 10 ? "alex_check_0" : "alex_check_") + std::to_string(i)) + "'";
  }
  return args;
}

std::string AlexCalibration() {
  std::string args = "--calibrate";
  for (int i = 1; i <= 3; ++i)
    args += " '" + Recording("alex_calibrate_" + std::to_string(i)) + "'";
  return args;
}

std::vector<Json> JsonLines(const std::string& text) {
  std::vector<Json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
  return lines;
}

// A record without the file name, to compare the same take read from different files.
Json WithoutFile(Json line) {
  line.erase("file");
  return line;
}

// A record without what depends on the source rather than the samples analysed: the file name
// and the source's levels (16-bit before conversion, 8-bit in a sample file).
Json WithoutSource(Json line) {
  for (const char* key : {"file", "peak_dbfs", "rms_dbfs", "clipped_source"}) line.erase(key);
  return line;
}

// One CSV line split into fields (quotes as RFC 4180; no line breaks inside fields here).
std::vector<std::string> CsvFields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

std::int64_t RoundHalfEven(double x) {
  return static_cast<std::int64_t>(std::nearbyint(x));  // the default rounding mode: to even
}

int CountLines(const std::string& text, const std::string& needle) {
  int count = 0;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) count += line.find(needle) != std::string::npos;
  return count;
}

bool Contains(const std::string& text, const std::string& needle) {
  return text.find(needle) != std::string::npos;
}

class Analyze : public ScratchDirectoryTest {
 protected:
  // Runs pellix with `arguments` (quoted for the shell) in the test's folder.
  Outcome Pellix(const std::string& arguments) const {
    Outcome run{pellix::testing::RunLine(dir_, "pellix " + arguments), ""};
    const std::size_t last = run.err.rfind("pellix: ", run.err.size() > 0 ? run.err.size() - 1 : 0);
    if (last != std::string::npos && run.err.find(" take", last) != std::string::npos &&
        run.err.find(" failed, in ", last) != std::string::npos) {
      run.summary = run.err.substr(last);
      run.err.erase(last);
    }
    return run;
  }

  // A sample file of `samples` (header as the converter writes it).
  void WriteSampleFile(const std::string& name, const std::vector<std::uint8_t>& samples) const {
    std::string bytes = "PLXSMP01";
    for (std::uint32_t v : {11025u, static_cast<std::uint32_t>(samples.size())}) {
      for (int b = 0; b < 4; ++b) bytes += static_cast<char>((v >> (8 * b)) & 0xFF);
    }
    bytes.resize(49, '\0');
    bytes.append(samples.begin(), samples.end());
    Write(name, bytes);
  }

  // A 16-bit mono WAV at 11025 Hz (the converter's rate, so no resampling) of `values`.
  void WriteWav(const std::string& name, const std::vector<double>& values) const {
    SF_INFO info{};
    info.samplerate = 11025;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open(Path(name).c_str(), SFM_WRITE, &info);
    ASSERT_NE(out, nullptr);
    sf_writef_double(out, values.data(), static_cast<sf_count_t>(values.size()));
    sf_close(out);
  }

  // Runs pellix with standard input from the file `input` of the test's folder.
  Outcome PellixReading(const std::string& input, const std::string& arguments) const {
    return Pellix(arguments + " <'" + Path(input) + "'");
  }

  // Copies the sound of `wav` into a new file of `format`, `times` times over, with libsndfile.
  // False when this libsndfile cannot write that format.
  bool Reencode(const std::string& wav, const std::string& name, int format, int times = 1) const {
    SF_INFO in_info{};
    SNDFILE* in = sf_open(wav.c_str(), SFM_READ, &in_info);
    if (in == nullptr) return false;
    std::vector<short> frames(static_cast<std::size_t>(in_info.frames * in_info.channels));
    sf_readf_short(in, frames.data(), in_info.frames);
    sf_close(in);
    SF_INFO out_info{};
    out_info.samplerate = in_info.samplerate;
    out_info.channels = in_info.channels;
    out_info.format = format;
    if (!sf_format_check(&out_info)) return false;
    SNDFILE* out = sf_open(Path(name).c_str(), SFM_WRITE, &out_info);
    if (out == nullptr) return false;
    for (int i = 0; i < times; ++i) sf_writef_short(out, frames.data(), in_info.frames);
    sf_close(out);
    return true;
  }

  // A calibration run against the state file `state`, which cannot be used: it exits 1 with an
  // error naming the file and giving `error` ("error 53: File not found"), and analyses
  // nothing: the one row is the state's failure.
  void ExpectStateRefusedBeforeAnalysing(const std::string& state, const std::string& error) const {
    Outcome run = Pellix("analyze --state " + state + " " + AlexCalibration());
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, state)) << run.err;
    EXPECT_TRUE(Contains(run.err, error)) << run.err;
    EXPECT_EQ(CountLines(run.out, error.substr(0, error.find(':'))), 1) << run.out;
    EXPECT_EQ(CountLines(run.out, "accepted"), 0) << run.out;
  }
};

// ---- Reports ----

TEST_F(Analyze, SampleFilesReportCalibrationsChecksAndProfileAsJsonLines) {
  Outcome run = Pellix("analyze " + AlexTakes(Sample) + " --profile --format json");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::vector<Json> lines = JsonLines(run.out);
  ASSERT_EQ(lines.size(), 16u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i]["role"], i < 3 ? "calibrate" : i < 15 ? "check" : "profile") << i;
    EXPECT_EQ(lines[i]["speaker"], "");
  }

  // Calibration records whole measures of at least 1, and each constant is the whole part of
  // the mean of the measures so far.
  const char* measure[] = {"thorn_rate", "jump_rate", "jump_spread", "avg_jump_len"};
  const char* constant[] = {"cal_thorn_rate", "cal_jump_rate", "cal_jump_spread",
                            "cal_avg_jump_len"};
  std::int64_t sums[4] = {};
  for (int i = 0; i < 3; ++i) {
    const Json& c = lines[static_cast<std::size_t>(i)];
    EXPECT_EQ(c["code"], 0);
    EXPECT_EQ(c["meaning"], "accepted");
    for (int m = 0; m < 4; ++m) {
      ASSERT_TRUE(c[measure[m]].is_number_integer()) << c;
      EXPECT_GE(c[measure[m]].get<std::int64_t>(), 1) << c;
      sums[m] += c[measure[m]].get<std::int64_t>();
      EXPECT_EQ(c[constant[m]], sums[m] / (i + 1)) << constant[m] << " after calibration " << i;
    }
  }

  // Checks: a published code with its meaning, stress levels on their scale.
  const std::set<int> codes = {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  int recorded = 0;
  int per_code[10] = {};
  for (std::size_t i = 3; i < 15; ++i) {
    const Json& c = lines[i];
    ASSERT_TRUE(c["code"].is_number_integer()) << c;
    const int code = c["code"].get<int>();
    EXPECT_TRUE(codes.count(code)) << c;
    EXPECT_FALSE(c["meaning"].get<std::string>().empty());
    if (code < 0) continue;
    ++recorded;
    ++per_code[code];
    for (const char* key : {"lie_stress", "global_stress", "excitement_stress"}) {
      ASSERT_TRUE(c[key].is_number_integer()) << c;
      const int level = c[key].get<int>();
      EXPECT_TRUE(level == 0 || (level >= 30 && level <= 300)) << key << " " << level;
    }
    for (const char* key : measure) EXPECT_GE(c[key].get<double>(), 0) << c;
  }

  // The profile sums up the same checks: its code percentages are the codes' shares, its jump
  // percentages the rows (average jump length rounded half to even) against the calibrated
  // length, which checks do not move.
  const Json& profile = lines[15];
  EXPECT_EQ(profile["profile_checks"], recorded);
  ASSERT_EQ(profile.contains("digits"), recorded >= 10);
  ASSERT_EQ(profile["digits"].size(), 9u);
  ASSERT_EQ(profile["percentages"].size(), 9u);
  auto pct = [&](int count) { return count * 100 / recorded; };
  auto percent = [&](int index) { return profile["percentages"][index]["percent"].get<int>(); };
  EXPECT_EQ(percent(2), pct(per_code[4]));
  EXPECT_EQ(percent(3), pct(per_code[2]));
  EXPECT_EQ(percent(4), pct(per_code[6]));
  EXPECT_EQ(percent(5), pct(per_code[7]));
  EXPECT_EQ(percent(6), pct(per_code[8]));
  const double cal_avj = lines[2]["cal_avg_jump_len"].get<double>();
  int high = 0, low = 0, g_low = 0, g_high = 0, e_low = 0, e_high = 0;
  for (std::size_t i = 3; i < 15; ++i) {
    if (lines[i]["code"].get<int>() < 0) continue;
    const double avj = static_cast<double>(RoundHalfEven(lines[i]["avg_jump_len"].get<double>()));
    high += avj > cal_avj * 1.4;
    low += avj < cal_avj * 0.8;
    // The history keeps GlbStress and ExcStress rounded, the report their whole parts: a
    // whole part of 180 (or 140, 190) leaves the count open by one.
    const int g = lines[i]["global_stress"].get<int>(),
              e = lines[i]["excitement_stress"].get<int>();
    g_low += g >= 181;
    g_high += g >= 180;
    e_low += (e >= 141) + 2 * (e >= 191);
    e_high += (e >= 140) + 2 * (e >= 190);
  }
  EXPECT_EQ(percent(7), pct(high));
  EXPECT_EQ(percent(8), pct(low));
  EXPECT_GE(percent(1), pct(g_low));
  EXPECT_LE(percent(1), pct(g_high));
  EXPECT_GE(percent(0), pct(e_low));
  EXPECT_LE(percent(0), pct(e_high));
  // Digit 7 balances the long and short jumps.
  const int balance = high - low;
  EXPECT_EQ(profile["digits"][6]["digit"], balance < -7 ? "1" : balance > 7 ? "2" : "0");
  for (const Json& digit : profile["digits"])
    EXPECT_FALSE(digit["meaning"].get<std::string>().empty());
}

TEST_F(Analyze, RecordingsGiveTheSameResultsAsTheSampleFilesMadeFromThem) {
  Outcome wav = Pellix("analyze " + AlexTakes(Recording) + " --profile --format json");
  Outcome smp = Pellix("analyze " + AlexTakes(Sample) + " --profile --format json");
  ASSERT_EQ(wav.status, 0) << wav.err;
  ASSERT_EQ(smp.status, 0) << smp.err;
  std::vector<Json> a = JsonLines(wav.out), b = JsonLines(smp.out);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i)
    EXPECT_EQ(WithoutSource(a[i]), WithoutSource(b[i])) << i;
}

TEST_F(Analyze, FlacGivesTheSameResultsAsItsWavAndOggIsAnalysed) {
  const std::string wav = Recording("alex_check_05");
  ASSERT_TRUE(Reencode(wav, "take.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
  Outcome from_wav =
      Pellix("analyze " + AlexCalibration() + " --check '" + wav + "' --format json");
  Outcome from_flac = Pellix("analyze " + AlexCalibration() + " --check take.flac --format json");
  ASSERT_EQ(from_wav.status, 0) << from_wav.err;
  ASSERT_EQ(from_flac.status, 0) << from_flac.err;
  std::vector<Json> a = JsonLines(from_wav.out), b = JsonLines(from_flac.out);
  ASSERT_EQ(a.size(), 4u);
  ASSERT_EQ(b.size(), 4u);
  EXPECT_EQ(b[3]["file"], "take.flac");
  EXPECT_EQ(WithoutFile(a[3]), WithoutFile(b[3]));

  // Vorbis is lossy, so its samples differ a little: the take is analysed all the same.
  if (!Reencode(wav, "take.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS)) GTEST_SKIP() << "no Vorbis";
  Outcome from_ogg = Pellix("analyze " + AlexCalibration() + " --check take.ogg --format json");
  ASSERT_EQ(from_ogg.status, 0) << from_ogg.err;
  std::vector<Json> c = JsonLines(from_ogg.out);
  ASSERT_EQ(c.size(), 4u);
  EXPECT_EQ(c[3]["file"], "take.ogg");
  EXPECT_GE(c[3]["code"].get<int>(), 0);
  EXPECT_GE(c[3]["lie_stress"].get<int>(), 30);
}

TEST_F(Analyze, CsvHasOneHeaderAndOneRowPerTakeWithTheJsonValues) {
  Outcome csv = Pellix("analyze " + AlexTakes(Sample) + " --format csv");
  Outcome json = Pellix("analyze " + AlexTakes(Sample) + " --format json");
  ASSERT_EQ(csv.status, 0) << csv.err;
  std::vector<std::string> rows;
  std::istringstream in(csv.out);
  for (std::string line; std::getline(in, line);) rows.push_back(line);
  ASSERT_EQ(rows.size(), 16u);
  const std::vector<std::string> header = CsvFields(rows[0]);
  ASSERT_EQ(header.size(), 33u);
  std::vector<Json> lines = JsonLines(json.out);
  ASSERT_EQ(lines.size(), 15u);
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const std::vector<std::string> row = CsvFields(rows[i]);
    ASSERT_EQ(row.size(), header.size()) << rows[i];
    const Json& same = lines[i - 1];
    for (std::size_t k = 0; k < row.size(); ++k) {
      const Json& value = same.at(header[k]);
      if (value.is_null()) {
        EXPECT_EQ(row[k], "") << header[k];
      } else if (value.is_number()) {
        EXPECT_DOUBLE_EQ(std::stod(row[k]), value.get<double>()) << header[k];
      } else if (value.is_array()) {
        std::string joined;
        for (const Json& item : value)
          joined += (joined.empty() ? "" : " ") + item.get<std::string>();
        EXPECT_EQ(row[k], joined) << header[k];
      } else {
        EXPECT_EQ(row[k], value.get<std::string>()) << header[k];
      }
    }
  }
}

TEST_F(Analyze, TableIsTheDefaultFormat) {
  Outcome run =
      Pellix("analyze " + AlexCalibration() + " --check '" + Recording("alex_check_01") + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "take")) << run.out;
  EXPECT_EQ(CountLines(run.out, "accepted"), 3);
  EXPECT_EQ(CountLines(run.out, "alex_check_01.wav"), 1);
  EXPECT_FALSE(Json::accept(run.out.substr(0, run.out.find('\n'))));
}

// ---- State between runs ----

TEST_F(Analyze, StateCarriesTheCalibrationToALaterRun) {
  Outcome first = Pellix("analyze --state s.json " + AlexCalibration() + " --format json");
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.err, "");
  const Json calibrated = JsonLines(first.out).back();
  const Json saved = Json::parse(Read("s.json"));
  const char* bag_key[] = {"CAL_spT", "CAL_spJ", "CAL_JQ", "CAL_AVJ"};
  const char* report_key[] = {"cal_thorn_rate", "cal_jump_rate", "cal_jump_spread",
                              "cal_avg_jump_len"};
  for (int k = 0; k < 4; ++k) {
    const char* key = bag_key[k];
    EXPECT_EQ(saved[key], calibrated[report_key[k]].dump())
        << key;  // the bag keeps captions as text
  }

  Outcome second =
      Pellix("analyze --state s.json --check '" + Recording("alex_check_01") + "' --format json");
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_FALSE(Contains(second.err, "without calibration")) << second.err;
  const Json check = JsonLines(second.out).at(0);
  ASSERT_GE(check["code"].get<int>(), 0);
  // The check moved three constants a sixth of the way to its measures; CAL_AVJ stays.
  const Json after = Json::parse(Read("s.json"));
  auto drift = [](const std::string& old_text, double measure) {
    return std::to_string(RoundHalfEven(std::stod(old_text) * 5 + measure) / 6);
  };
  EXPECT_EQ(after["CAL_spT"], drift(saved["CAL_spT"], check["thorn_rate"].get<double>()));
  EXPECT_EQ(after["CAL_spJ"], drift(saved["CAL_spJ"], check["jump_rate"].get<double>()));
  EXPECT_EQ(after["CAL_JQ"], drift(saved["CAL_JQ"], check["jump_spread"].get<double>()));
  EXPECT_EQ(after["CAL_AVJ"], saved["CAL_AVJ"]);

  // Without the state the same check warns, once for all its takes.
  Outcome fresh = Pellix("analyze --check '" + Recording("alex_check_01") + "' '" +
                         Recording("alex_check_02") + "' --format json");
  EXPECT_EQ(fresh.status, 0) << fresh.err;
  EXPECT_EQ(CountLines(fresh.err, "checking without calibration"), 1) << fresh.err;
}

TEST_F(Analyze, AStateFileThatIsNotJsonIsReportedAndLeftIntact) {
  const std::string bytes = "{\"CAL_spT\": \"40\", oops\n";
  Write("s.json", bytes);
  ExpectStateRefusedBeforeAnalysing("s.json", "error 321: Invalid file format");
  EXPECT_EQ(Read("s.json"), bytes);
}

TEST_F(Analyze, AStateValueTheControlRefusesIsNamedAndTheFileLeftIntact) {
  Write("save.pellix", "save s.json\n");
  ASSERT_EQ(Pellix("script save.pellix").status, 0);
  std::string bytes = Read("s.json");
  const std::size_t at = bytes.find("\"DensityLevel\":0");
  ASSERT_NE(at, std::string::npos) << bytes;
  bytes.replace(at, 16, "\"DensityLevel\":\"many\"");
  Write("s.json", bytes);
  Outcome run = Pellix("analyze --state s.json " + AlexCalibration());
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "s.json")) << run.err;
  EXPECT_TRUE(Contains(run.err, "\"DensityLevel\"")) << run.err;
  EXPECT_TRUE(Contains(run.err, "error 13: Type mismatch")) << run.err;
  EXPECT_EQ(Read("s.json"), bytes);
}

TEST_F(Analyze, AStateInAFolderThatDoesNotExistFailsBeforeAnalysing) {
  ExpectStateRefusedBeforeAnalysing("no/such/s.json", "error 53: File not found");
  EXPECT_FALSE(fs::exists(dir_ / "no"));
}

// ---- Bad takes ----

TEST_F(Analyze, EachBadTakeIsNamedWithItsErrorAndTheOthersStillAnalysed) {
  Write("text.wav", "this is not a recording\n");
  Write("empty.wav", "");
  std::ifstream wav(Recording("alex_check_01"), std::ios::binary);
  std::string bytes(std::istreambuf_iterator<char>(wav), {});
  Write("truncated.wav", bytes.substr(0, bytes.size() / 3));
  const struct {
    const char* file;
    const char* error;
  } cases[] = {
      {"missing.wav", "error 53: File not found"},
      {"missing.smp", "error 53: File not found"},
      {"text.wav", "error 321: Invalid file format"},
      {"truncated.wav", "error 321: Invalid file format"},
      {"empty.wav", "error 321: Invalid file format"},
  };
  const std::string good = Recording("alex_check_02");
  for (const auto& c : cases) {
    Outcome run = Pellix("analyze " + AlexCalibration() + " --check " + c.file + " '" + good +
                         "' --format json");
    EXPECT_EQ(run.status, 1) << c.file;
    EXPECT_EQ(CountLines(run.err, c.file), 1) << run.err;
    EXPECT_TRUE(Contains(run.err, c.error)) << c.file << ": " << run.err;
    // The bad take is a row of its own, with its error number.
    std::vector<Json> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 5u) << c.file;
    EXPECT_EQ(lines[3]["role"], "check");
    EXPECT_EQ(lines[3]["file"], c.file);
    EXPECT_TRUE(lines[3]["code"].is_null());
    EXPECT_EQ(lines[3]["error_number"], std::stoi(std::string(c.error).substr(6, 3)));
    EXPECT_FALSE(lines[3]["error_message"].get<std::string>().empty());
    EXPECT_EQ(lines[4]["file"], good);
  }
  // The same as calibration takes.
  Outcome run = Pellix("analyze --calibrate missing.wav text.wav '" +
                       Recording("alex_calibrate_1") + "' --format json");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(CountLines(run.err, "error"), 2) << run.err;
  ASSERT_EQ(JsonLines(run.out).size(), 3u);
  EXPECT_EQ(JsonLines(run.out)[1]["error_number"], 321);
  EXPECT_TRUE(Contains(run.summary, "1 speaker, 3 takes: 0 refused, 2 failed")) << run.summary;
}

TEST_F(Analyze, ATakeTooShortToMeasureIsAWarningNotAFailure) {
  std::vector<std::uint8_t> samples;
  for (int i = 0; i < 200; ++i) samples.push_back(i % 2 ? 228 : 28);  // loud, but 200 samples
  WriteSampleFile("short.smp", samples);
  Outcome run = Pellix("analyze --calibrate short.smp " + AlexCalibration().substr(12) +
                       " --check short.smp --format json");
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<Json> lines = JsonLines(run.out);
  ASSERT_EQ(lines.size(), 5u);
  // Refused before it was measured: no measures of its own to show.
  EXPECT_EQ(lines[0]["code"], -1);
  EXPECT_EQ(lines[0]["code"], -1);
  EXPECT_TRUE(lines[0]["thorn_rate"].is_null());
  EXPECT_TRUE(lines[0]["cal_thorn_rate"].is_null());
  EXPECT_EQ(lines[4]["code"], -1);
  EXPECT_TRUE(lines[4]["lie_stress"].is_null());
  EXPECT_TRUE(lines[4]["avg_jump_len"].is_null());
  EXPECT_EQ(CountLines(run.err, "short.smp"), 2) << run.err;
  EXPECT_EQ(CountLines(run.err, "warning"), 2) << run.err;
  EXPECT_FALSE(Contains(run.err, "without calibration"));
}

TEST_F(Analyze, ARecordingLongerThanTheWindowWarns) {
  ASSERT_TRUE(
      Reencode(Recording("alex_check_03"), "long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3));
  Outcome run = Pellix("analyze " + AlexCalibration() + " --check long.wav --format json");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(CountLines(run.err, "long.wav"), 1) << run.err;
  EXPECT_TRUE(Contains(run.err, "longer than the analysis window of 30001 samples")) << run.err;
  EXPECT_EQ(JsonLines(run.out).size(), 4u);

  // At the converter's rate, a recording of the window's 30001 samples fits it; one more does
  // not.
  for (const std::size_t samples : {30001u, 30002u}) {
    std::vector<double> values(samples);
    for (std::size_t i = 0; i < samples; ++i)
      values[i] = 0.5 * std::sin(0.1 * static_cast<double>(i));
    WriteWav("edge.wav", values);
    const Outcome edge = Pellix("analyze --check edge.wav --format json");
    EXPECT_EQ(Contains(edge.err, "longer than the analysis window"), samples == 30002u)
        << samples << ": " << edge.err;
  }
}

TEST_F(Analyze, ALongRecordingIsNamedOnceAndManyAreCounted) {
  // Two speakers check the same six long recordings: five are named once each, the sixth
  // only counted, in one line at the end.
  std::string manifest = "speaker,role,file\n";
  for (int i = 1; i <= 6; ++i) {
    const std::string name = "long" + std::to_string(i) + ".wav";
    ASSERT_TRUE(Reencode(Recording("alex_check_03"), name, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3));
    manifest += "a,check," + name + "\nb,check," + name + "\n";
  }
  Write("m.csv", manifest);
  const Outcome run = Pellix("analyze --batch m.csv --format csv --jobs 2");
  EXPECT_EQ(run.status, 0) << run.err;
  for (int i = 1; i <= 6; ++i) {
    EXPECT_EQ(CountLines(run.err, "long" + std::to_string(i) + ".wav is"), i <= 5 ? 1 : 0)
        << run.err;
  }
  EXPECT_EQ(CountLines(run.err,
                       "6 recordings are longer than the analysis window: only their "
                       "first utterance is analysed (the first 5 are named above)"),
            1)
      << run.err;
}

TEST_F(Analyze, UsageErrorsExitWith2) {
  Write("m.csv", "speaker,role,file\nal,check,x.wav\n");
  for (const char* arguments : {
           "analyze",
           "analyze --profile",
           "analyze --check x.wav --format xml",
           "analyze --check x.wav --jobs 0",
           "analyze --check x.wav --jobs many",
           "analyze --check",
           "analyze --check x.wav --plot-format gif",
           "analyze --check x.wav --resume",
           "analyze --batch m.csv --resume",
           "analyze --batch m.csv --resume -o out.txt --format table",
           "analyze --batch m.csv --check x.wav",
           "analyze --batch m.csv --state s.json",
           "analyze --batch m.csv --panel p.svg",
       }) {
    Outcome run = Pellix(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.err, "") << arguments;
    EXPECT_EQ(run.out, "") << arguments;
  }
}

// ---- Batch ----

TEST_F(Analyze, BatchGivesTheSameOutputOnOneOrTwoThreadsInManifestOrder) {
  const std::string manifest = "'" + (kExamples / "manifest.csv").string() + "'";
  Outcome one = Pellix("analyze --batch " + manifest + " --jobs 1 --profile --format json");
  Outcome two = Pellix("analyze --batch " + manifest + " --jobs 2 --profile --format json");
  ASSERT_EQ(one.status, 0) << one.err;
  ASSERT_EQ(two.status, 0) << two.err;
  EXPECT_EQ(one.out, two.out);
  EXPECT_EQ(one.err, "");  // and no progress bar when standard error is no terminal
  std::vector<Json> lines = JsonLines(one.out);
  ASSERT_EQ(lines.size(), 32u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i]["speaker"], i < 16 ? "alex" : "robin") << i;
  }
  EXPECT_EQ(lines[15]["role"], "profile");
  EXPECT_EQ(lines[31]["role"], "profile");

  // Each speaker as if analysed alone.
  Outcome alex = Pellix("analyze " + AlexTakes(Recording) + " --profile --format json");
  std::vector<Json> alone = JsonLines(alex.out);
  ASSERT_EQ(alone.size(), 16u);
  for (std::size_t i = 0; i < 16; ++i) {
    Json batch = WithoutFile(lines[i]);
    batch["speaker"] = "";
    EXPECT_EQ(batch, WithoutFile(alone[i])) << i;
  }
}

TEST_F(Analyze, BatchReportsABadTakeAndAnalysesTheRest) {
  Write("m.csv",
        "speaker,role,file\n"
        "al,calibrate," +
            Recording("alex_calibrate_1") +
            "\n"
            "al,check,gone.wav\n"
            "\"Robin, R.\",calibrate," +
            Recording("robin_calibrate_1") +
            "\n"
            "\"Robin, R.\",check," +
            Recording("robin_check_01") + "\n");
  Outcome run = Pellix("analyze --batch m.csv --format csv --jobs 2");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(CountLines(run.err, "gone.wav"), 1) << run.err;
  EXPECT_TRUE(Contains(run.err, "error 53")) << run.err;
  std::istringstream in(run.out);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) rows.push_back(CsvFields(line));
  ASSERT_EQ(rows.size(), 5u) << run.out;
  EXPECT_EQ(rows[0][0], "speaker");
  EXPECT_EQ(rows[1][0], "al");
  // The failure is a row: speaker, role, file, then error_number and error_message last.
  EXPECT_EQ(std::vector<std::string>(rows[2].begin(), rows[2].begin() + 3),
            (std::vector<std::string>{"al", "check", "gone.wav"}));
  EXPECT_EQ(rows[2][rows[2].size() - 2], "53");
  EXPECT_TRUE(Contains(rows[2].back(), "gone.wav")) << rows[2].back();
  EXPECT_EQ(rows[3][0], "Robin, R.");
  EXPECT_EQ(rows[4][0], "Robin, R.");
  EXPECT_EQ(rows[4][1], "check");
}

// A manifest of file:// URLs gives the rows its paths give, as the Python package's runs of
// it do; other schemes are failure rows that say where they are read, not "No such file".
TEST_F(Analyze, BatchReadsFileUrlsAndSaysWhereOtherUrlsAreRead) {
  fs::copy_file(Recording("alex_check_01"), dir_ / "a b.wav");
  const std::string url = "file://" + Path("a%20b.wav");
  std::string by_path = "speaker,role,file\n";
  std::string by_url = by_path;
  for (int i = 1; i <= 3; ++i) {
    by_path += "al,calibrate," + Recording("alex_calibrate_" + std::to_string(i)) + "\n";
    by_url +=
        "al,calibrate,file://localhost" + Recording("alex_calibrate_" + std::to_string(i)) + "\n";
  }
  Write("paths.csv", by_path + "al,check,a b.wav\n");
  Write("urls.csv", by_url + "al,check," + url + "\n");
  const Outcome paths = Pellix("analyze --batch paths.csv --format json -q");
  const Outcome urls = Pellix("analyze --batch urls.csv --format json -q");
  ASSERT_EQ(paths.status, 0) << paths.err;
  EXPECT_EQ(urls.status, 0) << urls.err;
  const std::vector<Json> want = JsonLines(paths.out), got = JsonLines(urls.out);
  ASSERT_EQ(got.size(), want.size()) << urls.out;
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(WithoutFile(got[i]), WithoutFile(want[i]));
  EXPECT_EQ(got.back()["file"], url);
  // The same URL on the command line.
  const Outcome argument = Pellix("analyze --check '" + url + "' --format json -q");
  EXPECT_EQ(argument.status, 0) << argument.err;

  const struct {
    std::string file;
    int number;
    std::string message;
  } refused[] = {
      {"s3://bucket/a.wav", 75,
       "cannot open recording 's3://bucket/a.wav': pellix reads file:// URLs; other schemes are "
       "read through the Python package"},
      {"file:///dev/zero", 75, "cannot open recording '/dev/zero': it is not a regular file"},
      {url + "%00.x", 5, "the path it decodes to holds a NUL character (%00)"},
  };
  for (const auto& r : refused) {
    Write("m.csv", "speaker,role,file\nal,check," + r.file + "\n");
    const Outcome run = Pellix("analyze --batch m.csv --format json -q");
    EXPECT_EQ(run.status, 1) << r.file;
    const std::vector<Json> rows = JsonLines(run.out);
    ASSERT_EQ(rows.size(), 1u) << run.out;
    EXPECT_EQ(rows[0]["file"], r.file);
    EXPECT_EQ(rows[0]["error_number"], r.number) << r.file;
    EXPECT_TRUE(Contains(rows[0]["error_message"].get<std::string>(), r.message))
        << rows[0]["error_message"];
  }
}

TEST_F(Analyze, ABadManifestIsNamedWithItsLine) {
  Write("m.csv", "speaker,role,file\nal,check,a.wav\nal,listen,b.wav\n");
  Outcome run = Pellix("analyze --batch m.csv");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "m.csv:3: the role must be calibrate or check")) << run.err;
  EXPECT_EQ(run.out, "");
  Outcome missing = Pellix("analyze --batch none.csv");
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(Contains(missing.err, "none.csv")) << missing.err;
}

// Every step that ends a run before its end says why, with the status of its kind: options that
// clash (2) are refused before any file is read, and an output that cannot be made (1) once
// the takes are read; a panel that cannot be drawn fails the run after the report.
TEST_F(Analyze, EachStepThatEndsTheRunSaysWhy) {
  fs::copy_file(Sample("alex_check_01"), Path("take.smp"));
  Write("file", "");
  // Options that clash are refused, in the command's words, before any file is read (none.csv
  // is missing).
  const std::pair<std::string, std::string> clashes[] = {
      {"", "no file given: name takes with --calibrate and --check, or a manifest with --batch"},
      {"--batch none.csv --check take.smp",
       "--batch takes its files from the manifest: leave out --calibrate and --check"},
      {"--batch none.csv --state s.json",
       "--state keeps one speaker's control: it cannot be used with --batch"},
      {"--batch none.csv --panel p.svg",
       "--panel draws one speaker's control: it cannot be used with --batch"},
      {"--check take.smp --resume -o r.csv", "--resume skips the speakers of a --batch run"},
      {"--batch none.csv --resume", "--resume needs -o FILE to append to"},
      {"--batch none.csv --resume -o r.txt", "--resume needs --format csv or json"},
  };
  for (const auto& [arguments, message] : clashes) {
    const Outcome run = Pellix("analyze " + arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.err, "pellix analyze: " + message + "\nRun with --help for more information.\n");
  }
  // Outputs that cannot be made fail the run once the takes are read; the panel, after the
  // report.
  pellix::testing::ExpectFailures(
      dir_,
      {{"analyze --check take.smp --plot file/plots", 1,
        "pellix: error: cannot make plot folder 'file/plots': Not a directory (error 75)\n"},
       {"analyze --check take.smp -o none/r.csv", 1,
        "pellix: error: cannot write the report to 'none/r.csv': No such file or directory "
        "(error 53)\n"},
       {"analyze --check take.smp --panel none/p.svg", 1, "cannot write panel 'none/p.svg': "}},
      "pellix ");
  EXPECT_EQ(Names(), (std::vector<std::string>{"file", "stderr", "stdout", "take.smp"}));
}

// ---- What was analysed ----

std::vector<double> Sine(double amplitude, double hertz, double seconds) {
  std::vector<double> values(static_cast<std::size_t>(seconds * 11025));
  for (std::size_t i = 0; i < values.size(); ++i)
    values[i] = amplitude * std::sin(6.283185307179586 * hertz * static_cast<double>(i) / 11025);
  return values;
}

// The file of TheStoredTakeOfAHandBuiltFile (scan_marks_test): the take is slots 1003 to 4300
// of 6000 at 11025 Hz, so 0.091 to 0.390 s of 0.544 s. Its samples are 0.3125 of full scale
// for half the file: peak 20 log10 0.3125 = -10.1 dBFS, RMS 20 log10 (0.3125 / sqrt 2) = -13.1.
// Never flat, it has no jumps: the scan finds it silent.
TEST_F(Analyze, TheReportGivesTheAnalysedStretchOfAHandBuiltFile) {
  std::vector<std::uint8_t> samples(1000, 128);
  for (int i = 0; i < 3000; ++i) samples.push_back(i % 2 == 0 ? 168 : 88);
  samples.insert(samples.end(), 2000, 128);
  WriteSampleFile("take.smp", samples);
  Outcome run = Pellix("analyze --calibrate take.smp --format json");
  ASSERT_EQ(run.status, 0) << run.err;
  const Json line = JsonLines(run.out).at(0);
  EXPECT_EQ(line["code"], -1);
  EXPECT_DOUBLE_EQ(line["recording_s"].get<double>(), 0.544);
  EXPECT_DOUBLE_EQ(line["stretch_start_s"].get<double>(), 0.091);
  EXPECT_DOUBLE_EQ(line["stretch_end_s"].get<double>(), 0.390);
  EXPECT_DOUBLE_EQ(line["stretch_s"].get<double>(), 0.299);
  EXPECT_DOUBLE_EQ(line["peak_dbfs"].get<double>(), -10.1);
  EXPECT_DOUBLE_EQ(line["rms_dbfs"].get<double>(), -13.1);
  EXPECT_EQ(line["clipped_source"], 0);
  EXPECT_TRUE(Contains(line["flags"].dump(), "short_stretch")) << line;
  EXPECT_TRUE(line["refusal"].get<std::string>().starts_with("silent scan")) << line;
  EXPECT_FALSE(line["advice"].get<std::string>().empty());
}

TEST_F(Analyze, LevelsAndFlagsOfTonesAndSilence) {
  // A sine of amplitude 0.5 peaks at -6.0 dBFS, RMS -9.0; a square at full scale is clipped
  // everywhere, in the source and after the conversion; a sine of 0.03 peaks at -30.5 dBFS,
  // below -24; silence has no level at all and no voice.
  std::vector<double> square = Sine(1, 100, 1.5);
  for (double& v : square) v = v >= 0 ? 1.0 : -1.0;
  WriteWav("tone.wav", Sine(0.5, 200, 1.5));
  WriteWav("square.wav", square);
  WriteWav("quiet.wav", Sine(0.03, 150, 1.5));
  WriteWav("silence.wav", std::vector<double>(16538, 0.0));
  Outcome run =
      Pellix("analyze --check tone.wav square.wav quiet.wav silence.wav --format json -q");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<Json> lines = JsonLines(run.out);
  ASSERT_EQ(lines.size(), 4u);

  const Json& tone = lines[0];
  EXPECT_DOUBLE_EQ(tone["peak_dbfs"].get<double>(), -6.0);
  EXPECT_DOUBLE_EQ(tone["rms_dbfs"].get<double>(), -9.0);
  EXPECT_NEAR(tone["pitch_hz"].get<double>(), 200, 2);
  EXPECT_GT(tone["voiced_share"].get<double>(), 0.9);
  EXPECT_EQ(tone["flags"], Json::array({"steady_tone"}));

  const Json& clipped = lines[1];
  EXPECT_EQ(clipped["clipped_source"], 1);
  EXPECT_EQ(clipped["clipped_8bit"], 1);
  EXPECT_DOUBLE_EQ(clipped["peak_dbfs"].get<double>(), 0.0);
  EXPECT_EQ(clipped["flags"][0], "clipped");

  EXPECT_DOUBLE_EQ(lines[2]["peak_dbfs"].get<double>(), -30.5);
  EXPECT_TRUE(Contains(lines[2]["flags"].dump(), "very_quiet")) << lines[2];

  const Json& silence = lines[3];
  EXPECT_EQ(silence["code"], -1);
  EXPECT_TRUE(silence["peak_dbfs"].is_null());
  EXPECT_TRUE(silence["stretch_start_s"].is_null());
  EXPECT_EQ(silence["voiced_share"], 0);
  EXPECT_EQ(silence["flags"], Json::array({"very_quiet", "no_voiced_speech"}));
  EXPECT_EQ(silence["refusal"],
            "no loud samples: fewer than 10 samples rose above the background border of 5");
}

// alex calibrates at a median of 102 Hz (101.4, 102 and 109.2): a check more than half again
// above it, or a third below, is flagged, as is no check against a calibration loaded from a
// state file, which keeps no pitch.
TEST_F(Analyze, ACheckFarFromTheCalibrationsPitchIsFlagged) {
  const struct {
    double hz;
    bool mismatch;
  } tones[] = {{140, false}, {160, true}, {245, true}};
  std::string checks;
  for (const auto& t : tones) {
    const std::string name = "tone" + std::to_string(static_cast<int>(t.hz)) + ".wav";
    WriteWav(name, Sine(0.5, t.hz, 1.5));
    checks += " " + name;
  }
  const Outcome run = Pellix("analyze " + AlexCalibration() + " --check" + checks +
                             " --format json -q --state s.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<Json> lines = JsonLines(run.out);
  ASSERT_EQ(lines.size(), 6u) << run.out;
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(lines[3 + i]["pitch_hz"].get<double>(), tones[i].hz, tones[i].hz * 0.02);
    const Json& flags = lines[3 + i]["flags"];
    EXPECT_EQ(std::find(flags.begin(), flags.end(), "pitch_mismatch") != flags.end(),
              tones[i].mismatch)
        << tones[i].hz << " Hz: " << flags;
  }
  const Outcome later = Pellix("analyze --state s.json --check" + checks + " --format json -q");
  ASSERT_EQ(later.status, 0) << later.err;
  EXPECT_FALSE(Contains(later.out, "pitch_mismatch")) << later.out;
}

TEST_F(Analyze, ATakeClippedFromItsStartIsRefusedWithTheReason) {
  // Full scale at once: the gain pass stops at the first level above 110 (the first sample of
  // the square, 255 - 127 = 128) with one loud sample counted.
  std::vector<double> square = Sine(1, 100, 1.0);
  for (double& v : square) v = v >= 0 ? 1.0 : -1.0;
  square[0] = 1.0;
  WriteWav("loud.wav", square);
  Outcome run = Pellix("analyze --check loud.wav --format table -q");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "refused: no loud samples: the level passed 110 of 128"))
      << run.out;
  EXPECT_TRUE(Contains(run.out, "try: record at a lower level")) << run.out;
  EXPECT_TRUE(Contains(run.out, "! clipped")) << run.out;
}

// ---- Inputs and outputs ----

TEST_F(Analyze, StandardInputAFolderAndAGlobNameTheSameTakes) {
  fs::create_directory(dir_ / "takes");
  for (const char* name : {"alex_check_02", "alex_check_01", "alex_check_03"})
    fs::copy_file(Recording(name), dir_ / "takes" / (std::string(name) + ".wav"));
  Write("takes/notes.txt", "not a recording\n");
  const std::string calibrate = AlexCalibration();
  Outcome listed = Pellix("analyze " + calibrate +
                          " --check takes/alex_check_01.wav takes/alex_check_02.wav "
                          "takes/alex_check_03.wav --format csv -q");
  Outcome folder = Pellix("analyze " + calibrate + " --check takes --format csv -q");
  Outcome glob = Pellix("analyze " + calibrate + " --check 'takes/*_0[1-3].wav' --format csv -q");
  ASSERT_EQ(listed.status, 0) << listed.err;
  ASSERT_EQ(folder.status, 0) << folder.err;
  ASSERT_EQ(glob.status, 0) << glob.err;
  EXPECT_EQ(folder.out, listed.out);  // sorted by name, the text file left out
  EXPECT_EQ(glob.out, listed.out);

  // "-" reads the take from standard input; the report names it "-".
  Outcome piped = PellixReading("takes/alex_check_01.wav",
                                "analyze " + calibrate + " --check - --format json -q");
  Outcome named =
      Pellix("analyze " + calibrate + " --check takes/alex_check_01.wav --format json -q");
  ASSERT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(JsonLines(piped.out).back()["file"], "-");
  EXPECT_EQ(WithoutFile(JsonLines(piped.out).back()), WithoutFile(JsonLines(named.out).back()));

  // A pattern that matches nothing, an empty folder, "-" twice: errors naming them.
  fs::create_directory(dir_ / "empty");
  for (const char* arguments :
       {"analyze --check 'takes/*.flac'", "analyze --check empty", "analyze --check - -"}) {
    Outcome bad = Pellix(arguments);
    EXPECT_EQ(bad.status, 1) << arguments;
    EXPECT_TRUE(Contains(bad.err, "error")) << arguments << ": " << bad.err;
    EXPECT_EQ(bad.out, "") << arguments;
  }
}

TEST_F(Analyze, ConvertReadsAndWritesTheStandardStreams) {
  fs::copy_file(Recording("alex_check_01"), dir_ / "take.wav");
  Outcome files = Pellix("convert take.wav file.smp");
  Outcome streams = PellixReading("take.wav", "convert - -");
  ASSERT_EQ(files.status, 0) << files.err;
  ASSERT_EQ(streams.status, 0) << streams.err;
  EXPECT_EQ(streams.out, Read("file.smp"));  // the sample file itself, on standard output
  EXPECT_TRUE(Contains(streams.err, "samples at 11025 Hz")) << streams.err;
}

TEST_F(Analyze, OutputFileQuietAndVersion) {
  Outcome run = Pellix("analyze " + AlexCalibration() + " --format csv -o out.csv");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(CountLines(Read("out.csv"), "accepted"), 3);
  EXPECT_TRUE(Contains(run.summary, "pellix: 1 speaker, 3 takes: 0 refused, 0 failed, in "))
      << run.summary;
  Outcome quiet = Pellix("analyze --params abc " + AlexCalibration() + " -q -o out.csv");
  EXPECT_EQ(quiet.err + quiet.summary, "");
  Outcome warned = Pellix("analyze --params abc " + AlexCalibration() + " -o out.csv");
  EXPECT_TRUE(Contains(warned.err, "warning: --params: the longest jump is 0")) << warned.err;
  Outcome version = Pellix("-V");
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.out.starts_with("pellix ")) << version.out;
}

TEST_F(Analyze, ResumeFinishesAnInterruptedBatchAsOneRunWould) {
  const std::string manifest = "'" + (kExamples / "manifest.csv").string() + "'";
  Outcome whole = Pellix("analyze --batch " + manifest + " --format csv --profile -o whole.csv");
  ASSERT_EQ(whole.status, 0) << whole.err;
  const std::string all = Read("whole.csv");
  // Interrupted after the first speaker: the header and alex's rows are there.
  const std::size_t robin = all.find("\nrobin,");
  ASSERT_NE(robin, std::string::npos);
  Write("part.csv", all.substr(0, robin + 1));
  Outcome resumed =
      Pellix("analyze --batch " + manifest + " --format csv --profile -o part.csv --resume");
  ASSERT_EQ(resumed.status, 0) << resumed.err;
  EXPECT_EQ(Read("part.csv"), all);
  // alex again, since a run stopped in its rows may have cut them short, then robin.
  EXPECT_TRUE(Contains(resumed.summary, "2 speakers, ")) << resumed.summary;
}

TEST_F(Analyze, ResumeMatchesTheNamesItWroteAndRefusesAnotherReport) {
  // Names that csv writes with an apostrophe in front, and three speakers, so that the cut
  // falls between two of them.
  std::string manifest = "speaker,role,file\n";
  for (const char* speaker : {"=eq", "+p", "@at", "bo"}) {
    manifest += std::string(speaker) + ",calibrate," + Sample("alex_calibrate_1") + "\n" + speaker +
                ",check," + Sample("alex_check_01") + "\n";
  }
  Write("m.csv", manifest);
  for (const std::string format : {"csv", "json"}) {
    const std::string out = "out." + format;
    const std::string run = "analyze --batch m.csv -q --format " + format + " -o " + out;
    ASSERT_EQ(Pellix(run).status, 0);
    const std::string all = Read(out);
    const std::size_t third = all.find(format == "csv" ? "\n'@at," : "\n{\"speaker\":\"@at\"");
    ASSERT_NE(third, std::string::npos) << all;
    Write(out, all.substr(0, third + 1));
    for (int again = 0; again < 2; ++again) {
      const Outcome resumed = Pellix(run + " --resume");
      EXPECT_EQ(resumed.status, 0) << resumed.err;
      EXPECT_EQ(Read(out), all) << format << " " << again;
    }  // A file that lacks a speaker in its middle (a run of the Python package whose task for
    // it failed) gets it analysed and written in its place, as the library's rules have it.
    const std::size_t second = all.find(format == "csv" ? "\n'+p," : "\n{\"speaker\":\"+p\"");
    ASSERT_NE(second, std::string::npos) << all;
    Write(out, all.substr(0, second + 1) + all.substr(third + 1));
    const Outcome filled = Pellix(run + " --resume");
    EXPECT_EQ(filled.status, 0) << filled.err;
    EXPECT_EQ(Read(out), all) << format;
  }
  for (const std::string& foreign :
       {std::string("x\n"),
        Read("out.csv").substr(0, Read("out.csv").find('\n') + 1) + "someone,check,a.wav\n"}) {
    Write("other.csv", foreign);
    const Outcome refused = Pellix("analyze --batch m.csv --format csv -o other.csv --resume");
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(Contains(refused.err, "cannot resume 'other.csv': ")) << refused.err;
    EXPECT_TRUE(Contains(refused.err, "(error 321); it was left as it is")) << refused.err;
    EXPECT_EQ(Read("other.csv"), foreign);
  }
}

// ---- Calibration across runs ----

// alex's checks 1 to 12 in three runs of four, or in one run.
std::string AlexChecks(int from, int to) {
  std::string args = "--check";
  for (int i = from; i <= to; ++i)
    args += " '" + Recording((i < 10 ? "alex_check_0" : "alex_check_") + std::to_string(i)) + "'";
  return args;
}

TEST_F(Analyze, HistoryAcrossThreeRunsGivesTheProfileOfOneRun) {
  ASSERT_EQ(Pellix("analyze --state one.json " + AlexCalibration()).status, 0);
  fs::copy_file(dir_ / "one.json", dir_ / "three.json");
  // With the calibration fixed, every check meets the same control in both ways of running.
  Outcome one = Pellix("analyze --state one.json --fixed-calibration " + AlexChecks(1, 12) +
                       " --profile --format json");
  for (int run = 0; run < 2; ++run) {
    ASSERT_EQ(Pellix("analyze --state three.json --fixed-calibration " +
                     AlexChecks(1 + 4 * run, 4 + 4 * run))
                  .status,
              0);
  }
  Outcome three = Pellix("analyze --state three.json --fixed-calibration " + AlexChecks(9, 12) +
                         " --profile --format json");
  ASSERT_EQ(one.status, 0) << one.err;
  ASSERT_EQ(three.status, 0) << three.err;
  const Json profile_one = JsonLines(one.out).back();
  const Json profile_three = JsonLines(three.out).back();
  EXPECT_EQ(profile_one["role"], "profile");
  EXPECT_EQ(profile_three, profile_one);
  EXPECT_EQ(profile_three["profile_checks"], 12);
  EXPECT_EQ(CountLines(Read("three.history.jsonl"), "\"code\""), 12);
  EXPECT_EQ(Read("three.history.jsonl"), Read("one.history.jsonl"));
}

TEST_F(Analyze, AFixedCalibrationGivesTheSameAnswerTwice) {
  ASSERT_EQ(Pellix("analyze --state s.json " + AlexCalibration()).status, 0);
  const std::string take = " --check '" + Recording("alex_check_05") + "' '" +
                           Recording("alex_check_05") + "' --format json";
  // The calibration constants the bag keeps.
  auto calibration = [this] {
    const Json bag = Json::parse(Read("s.json"));
    return std::vector<Json>{bag["CAL_spT"], bag["CAL_spJ"], bag["CAL_JQ"], bag["CAL_AVJ"]};
  };
  const std::vector<Json> saved = calibration();
  Outcome first = Pellix("analyze --state s.json --fixed-calibration" + take);
  Outcome second = Pellix("analyze --state s.json --fixed-calibration" + take);
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out, second.out);
  const std::vector<Json> lines = JsonLines(first.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_GE(lines[0]["code"].get<int>(), 0);
  EXPECT_EQ(lines[0], lines[1]);  // and twice in one run
  EXPECT_EQ(calibration(), saved);
  // Without it the check moves the calibration, and the bag keeps the move.
  ASSERT_EQ(Pellix("analyze --state s.json" + take).status, 0);
  EXPECT_NE(calibration(), saved);
}

TEST_F(Analyze, PlotsOfEveryTakeAndTheTrend) {
  Outcome run = Pellix("analyze " + AlexCalibration() + " " + AlexChecks(1, 2) +
                       " --plot pics --plot-format svg -q");
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* name :
       {"calibrate-01-alex_calibrate_1.svg", "check-02-alex_check_02.svg", "trend.svg"}) {
    const std::string svg = Read(std::string("pics/") + name);
    EXPECT_TRUE(svg.starts_with("<?xml")) << name;
  }
  // Speakers whose names differ only in characters a file name cannot hold keep their own.
  Write("m.csv", "speaker,role,file\na/b,check," + Sample("alex_check_01") + "\na_b,check," +
                     Sample("alex_check_01") + "\na b,check," + Sample("alex_check_01") + "\n");
  ASSERT_EQ(Pellix("analyze --batch m.csv --plot names -q").status, 0);
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(Path("names")))
    names.insert(entry.path().filename());
  EXPECT_EQ(names.size(), 6u);
  EXPECT_TRUE(names.contains("a_b-trend.svg"));
  Outcome blocked = Pellix("analyze " + AlexCalibration() + " --plot /proc/none");
  EXPECT_EQ(blocked.status, 1);
  EXPECT_TRUE(Contains(blocked.err, "plot")) << blocked.err;
}

// ---- Panel and demo ----

TEST_F(Analyze, PanelIsDrawnAfterTheRun) {
  Outcome run = Pellix("analyze " + AlexCalibration() + " --panel p.svg");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string svg = Read("p.svg");
  EXPECT_TRUE(svg.starts_with("<?xml")) << svg.substr(0, 80);
  EXPECT_TRUE(Contains(svg, "<svg"));
  Outcome nowhere = Pellix("analyze " + AlexCalibration() + " --panel no/such/p.svg");
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_TRUE(Contains(nowhere.err, "no/such/p.svg")) << nowhere.err;
}

TEST_F(Analyze, DemoRunsTheWholePatternAndDrawsThePanel) {
  Outcome run = Pellix("demo --out out");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(CountLines(run.out, "accepted"), 3) << run.out;
  EXPECT_EQ(CountLines(run.out, "alex_check_"), 12) << run.out;
  EXPECT_TRUE(Contains(run.out, "Profile (12 checks): ")) << run.out;
  // The profile's characters past the nine digits are told too, the first percentage at 10.
  EXPECT_TRUE(Contains(run.out, " characters: 1-9 are the digits above")) << run.out;
  EXPECT_TRUE(Contains(run.out, "\n  10-1")) << run.out;
  EXPECT_TRUE(Read("out/panel.svg").starts_with("<?xml"));
  EXPECT_TRUE(Contains(Read("out/panel.svg"), ">last check</text>"));

  // The picture is named in full, wherever the demo ran.
  Outcome here = Pellix("demo");
  ASSERT_EQ(here.status, 0) << here.err;
  EXPECT_TRUE(fs::exists(dir_ / "panel.svg"));
  EXPECT_EQ(here.out, run.out.substr(0, run.out.rfind("The control's panel")) +
                          "The control's panel: " +
                          fs::absolute(dir_ / "panel.svg").lexically_normal().string() + "\n");
  EXPECT_TRUE(Contains(
      run.out, "The control's panel: " + fs::absolute(dir_ / "out" / "panel.svg").string() + "\n"))
      << run.out;

  // A folder that cannot be made ends the demo before it analyses anything.
  Write("file", "");
  const Outcome nowhere = Pellix("demo --out file/out");
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_EQ(nowhere.out, "");
  EXPECT_EQ(nowhere.err, "pellix: error: cannot create folder 'file/out': Not a directory\n");
}

}  // namespace
