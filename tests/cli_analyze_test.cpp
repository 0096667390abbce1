// pellix analyze and pellix demo end to end, through the real binary: the reports in every
// format checked for structure and for the rules that tie their values together, recordings
// of every kind, state carried between runs, batch manifests on one or two threads, and every
// kind of bad input reported by name with the right exit status.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>
#include <sys/wait.h>

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

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
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

class Analyze : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "pellix-analyze-XXXXXX");
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Runs pellix with `arguments` (quoted for the shell) in the test's folder.
  Outcome Pellix(const std::string& arguments) const {
    const std::string command = "cd '" + dir_.string() + "' && '" + PELLIX_BINARY + "' " +
                                arguments + " </dev/null >'" + Path("stdout") + "' 2>'" +
                                Path("stderr") + "'";
    const int raw = std::system(command.c_str());
    Outcome run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = Read("stdout");
    run.err = Read("stderr");
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

  fs::path dir_;
};

// ---- Reports ----

TEST_F(Analyze, SampleFilesReportCalibrationsChecksAndProfileAsJsonLines) {
  Outcome run = Pellix("analyze " + AlexTakes(Sample) + " --profile --format json");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::vector<Json> lines = JsonLines(run.out);
  ASSERT_EQ(lines.size(), 16u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i]["kind"], i < 3 ? "calibration" : i < 15 ? "check" : "profile") << i;
    EXPECT_FALSE(lines[i].contains("speaker"));
  }

  // Calibration records whole measures of at least 1, and each constant is the whole part of
  // the mean of the measures so far.
  const char* measure[] = {"CR_spT", "CR_SPJ", "CR_JQ", "CR_avJ"};
  const char* constant[] = {"CAL_spT", "CAL_spJ", "CAL_JQ", "CAL_AVJ"};
  std::int64_t sums[4] = {};
  for (int i = 0; i < 3; ++i) {
    const Json& c = lines[static_cast<std::size_t>(i)];
    EXPECT_EQ(c["code"], 0);
    EXPECT_EQ(c["accepted"], true);
    EXPECT_EQ(c["result"], "accepted");
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
    for (const char* key : {"LIEstress", "GLBstress", "EXCstress"}) {
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
  EXPECT_EQ(profile["checks"], recorded);
  ASSERT_EQ(profile["available"], recorded >= 10);
  ASSERT_EQ(profile["digits"].size(), 9u);
  ASSERT_EQ(profile["percentages"].size(), 9u);
  auto pct = [&](int count) { return count * 100 / recorded; };
  auto percent = [&](int index) { return profile["percentages"][index]["percent"].get<int>(); };
  EXPECT_EQ(percent(2), pct(per_code[4]));
  EXPECT_EQ(percent(3), pct(per_code[2]));
  EXPECT_EQ(percent(4), pct(per_code[6]));
  EXPECT_EQ(percent(5), pct(per_code[7]));
  EXPECT_EQ(percent(6), pct(per_code[8]));
  const double cal_avj = lines[2]["CAL_AVJ"].get<double>();
  int high = 0, low = 0, g_low = 0, g_high = 0, e_low = 0, e_high = 0;
  for (std::size_t i = 3; i < 15; ++i) {
    if (lines[i]["code"].get<int>() < 0) continue;
    const double avj = static_cast<double>(RoundHalfEven(lines[i]["CR_avJ"].get<double>()));
    high += avj > cal_avj * 1.4;
    low += avj < cal_avj * 0.8;
    // The history keeps GlbStress and ExcStress rounded, the report their whole parts: a
    // whole part of 180 (or 140, 190) leaves the count open by one.
    const int g = lines[i]["GLBstress"].get<int>(), e = lines[i]["EXCstress"].get<int>();
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
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(WithoutFile(a[i]), WithoutFile(b[i])) << i;
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
  EXPECT_GE(c[3]["LIEstress"].get<int>(), 30);
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
  EXPECT_EQ(header,
            (std::vector<std::string>{"kind", "file", "code", "meaning", "LIEstress", "GLBstress",
                                      "EXCstress", "CR_spT", "CR_SPJ", "CR_JQ", "CR_avJ"}));
  std::vector<Json> lines = JsonLines(json.out);
  ASSERT_EQ(lines.size(), 15u);
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const std::vector<std::string> row = CsvFields(rows[i]);
    ASSERT_EQ(row.size(), header.size()) << rows[i];
    const Json& same = lines[i - 1];
    EXPECT_EQ(row[0], same["kind"]);
    EXPECT_EQ(row[1], same["file"]);
    EXPECT_EQ(std::stoi(row[2]), same["code"].get<int>());
    for (std::size_t k = 4; k < row.size(); ++k) {
      const Json& value = same.value(header[k], Json());
      if (value.is_null()) {
        EXPECT_EQ(row[k], "") << header[k];
      } else {
        EXPECT_DOUBLE_EQ(std::stod(row[k]), value.get<double>()) << header[k];
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
  for (const char* key : {"CAL_spT", "CAL_spJ", "CAL_JQ", "CAL_AVJ"}) {
    EXPECT_EQ(saved[key], calibrated[key].dump()) << key;  // the bag keeps captions as text
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
  EXPECT_EQ(after["CAL_spT"], drift(saved["CAL_spT"], check["CR_spT"].get<double>()));
  EXPECT_EQ(after["CAL_spJ"], drift(saved["CAL_spJ"], check["CR_SPJ"].get<double>()));
  EXPECT_EQ(after["CAL_JQ"], drift(saved["CAL_JQ"], check["CR_JQ"].get<double>()));
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
  Outcome run = Pellix("analyze --state s.json " + AlexCalibration());
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "s.json")) << run.err;
  EXPECT_TRUE(Contains(run.err, "error 321: Invalid file format")) << run.err;
  EXPECT_EQ(run.out, "");
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
  Outcome run = Pellix("analyze --state no/such/s.json " + AlexCalibration());
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "no/such/s.json")) << run.err;
  EXPECT_TRUE(Contains(run.err, "error 53: File not found")) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(fs::exists(dir_ / "no"));
}

// ---- Bad takes ----

TEST_F(Analyze, EachBadTakeIsNamedWithItsErrorAndTheOthersStillAnalysed) {
  Write("text.wav", "this is not a recording\n");
  Write("empty.wav", "");
  std::ifstream wav(Recording("alex_check_01"), std::ios::binary);
  std::string bytes(std::istreambuf_iterator<char>(wav), {});
  Write("truncated.wav", bytes.substr(0, bytes.size() / 3));
  fs::create_directory(dir_ / "folder.wav");
  const struct {
    const char* file;
    const char* error;
  } cases[] = {
      {"missing.wav", "error 53: File not found"},
      {"missing.smp", "error 53: File not found"},
      {"folder.wav", "error 75: Path/File access error"},
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
    std::vector<Json> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 4u) << c.file;
    EXPECT_EQ(lines[3]["file"], good);
  }
  // The same as calibration takes.
  Outcome run = Pellix("analyze --calibrate missing.wav text.wav '" +
                       Recording("alex_calibrate_1") + "' --format json");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(CountLines(run.err, "error"), 2) << run.err;
  EXPECT_EQ(JsonLines(run.out).size(), 1u);
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
  EXPECT_EQ(lines[0]["accepted"], false);
  EXPECT_TRUE(lines[0]["CR_spT"].is_null());
  EXPECT_TRUE(lines[0]["CAL_spT"].is_null());
  EXPECT_EQ(lines[4]["code"], -1);
  EXPECT_TRUE(lines[4]["LIEstress"].is_null());
  EXPECT_TRUE(lines[4]["CR_avJ"].is_null());
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
           "analyze --check x.wav --profile --format csv",
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
  EXPECT_EQ(lines[15]["kind"], "profile");
  EXPECT_EQ(lines[31]["kind"], "profile");

  // Each speaker as if analysed alone.
  Outcome alex = Pellix("analyze " + AlexTakes(Recording) + " --profile --format json");
  std::vector<Json> alone = JsonLines(alex.out);
  ASSERT_EQ(alone.size(), 16u);
  for (std::size_t i = 0; i < 16; ++i) {
    Json batch = WithoutFile(lines[i]);
    batch.erase("speaker");
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
  ASSERT_EQ(rows.size(), 4u) << run.out;
  EXPECT_EQ(rows[0][0], "speaker");
  EXPECT_EQ(rows[1][0], "al");
  EXPECT_EQ(rows[2][0], "Robin, R.");
  EXPECT_EQ(rows[3][0], "Robin, R.");
  EXPECT_EQ(rows[3][1], "check");
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
  EXPECT_TRUE(Read("out/panel.svg").starts_with("<?xml"));

  Outcome here = Pellix("demo");
  ASSERT_EQ(here.status, 0) << here.err;
  EXPECT_TRUE(fs::exists(dir_ / "panel.svg"));
  EXPECT_EQ(here.out, run.out.substr(0, run.out.rfind("The control's panel")) +
                          "The control's panel: ./panel.svg\n");
}

}  // namespace
