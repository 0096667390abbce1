// pellix convert, panel and typelib as a user meets them, through the real binary: sample
// files written from WAV, FLAC and Ogg recordings, errors that name the file (exit 1), usage
// errors (exit 2), the panel of a new and of a loaded instance, and the IDL.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "scratch_directory_test_base.h"
#include "tests/support/program_run.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t Le32(const Bytes& bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

class Cli : public ScratchDirectoryTest {
 protected:
  using Result = pellix::testing::ProgramRun;

  Bytes ReadBytes(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

  // A recording of a 440 Hz tone at half scale, `frames` long, written by libsndfile.
  std::string Recording(const std::string& name, int format, int rate, int frames,
                        int channels = 1) const {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    const std::string path = Path(name);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    if (file == nullptr) return path;
    std::vector<double> samples;
    for (int i = 0; i < frames; ++i) {
      double v = 0.5 * std::sin(2 * std::numbers::pi * 440 * i / rate);
      for (int c = 0; c < channels; ++c) samples.push_back(v);
    }
    sf_writef_double(file, samples.data(), frames);
    sf_close(file);
    return path;
  }

  // Runs pellix with `arguments` (already quoted for the shell) in the test's folder.
  Result Pellix(const std::string& arguments) const {
    return pellix::testing::RunLine(dir_, "pellix " + arguments);
  }

  // A file of the folder that pellix cannot use, and the error number it must give.
  struct Unusable {
    std::string name;
    const char* error;
  };

  // Runs `before` + the quoted path of each file + `after`: each must exit 1 with nothing on
  // standard output and an error naming the file with its number.
  void ExpectRefusedByName(const std::string& before, const std::string& after,
                           const std::vector<Unusable>& files) const {
    for (const Unusable& file : files) {
      const std::string path = Path(file.name);
      Result run = Pellix(before + Quote(path) + after);
      EXPECT_EQ(run.status, 1) << path;
      EXPECT_EQ(run.out, "") << path;
      EXPECT_NE(run.err.find("'" + path + "'"), std::string::npos) << run.err;
      EXPECT_NE(run.err.find(file.error), std::string::npos) << run.err;
    }
  }

  // The sample file header, checked field by field; returns the samples after it.
  Bytes CheckSampleFile(const std::string& path, std::uint32_t rate, std::uint32_t count) const {
    Bytes bytes = ReadBytes(path);
    EXPECT_EQ(bytes.size(), 49u + count) << path;
    if (bytes.size() < 49) return {};
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "PLXSMP01");
    EXPECT_EQ(Le32(bytes, 8), rate);
    EXPECT_EQ(Le32(bytes, 12), count);
    for (std::size_t i = 16; i < 49; ++i) EXPECT_EQ(bytes[i], 0) << "header byte " << i;
    return Bytes(bytes.begin() + 49, bytes.end());
  }

  std::string Quote(const std::string& path) const { return "'" + path + "'"; }
};

// ---- convert ----

TEST_F(Cli, ConvertsAWavAtTheDefaultRate) {
  // At 11025 Hz already: no resampling, so one sample per frame.
  std::string wav = Recording("yes.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 2205);
  Result run = Pellix("convert " + Quote(wav) + " " + Quote(Path("yes.smp")));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  // 2205 / 11025 = 0.2 s.
  EXPECT_EQ(run.out,
            "'" + wav + "' -> '" + Path("yes.smp") + "': 0.200 s, 2205 samples at 11025 Hz\n");
  Bytes samples = CheckSampleFile(Path("yes.smp"), 11025, 2205);
  ASSERT_EQ(samples.size(), 2205u);
  EXPECT_EQ(samples[0], 128);  // sin 0, centred on 128
  // The peak, 0.5 of full scale, is near 128 + 64; nothing is 0.
  EXPECT_NEAR(*std::max_element(samples.begin(), samples.end()), 192, 1);
  EXPECT_NEAR(*std::min_element(samples.begin(), samples.end()), 64, 1);
}

TEST_F(Cli, ConvertsAtAChosenRate) {
  std::string wav = Recording("in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 4000);
  Result run = Pellix("convert " + Quote(wav) + " " + Quote(Path("out.smp")) + " --rate 8000");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("0.500 s, 4000 samples at 8000 Hz"), std::string::npos) << run.out;
  CheckSampleFile(Path("out.smp"), 8000, 4000);
}

TEST_F(Cli, ConvertsFlacAndOgg) {
  std::string flac = Recording("a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 11025, 3000, 2);
  Result run = Pellix("convert " + Quote(flac) + " " + Quote(Path("a.smp")));
  EXPECT_EQ(run.status, 0) << run.err;
  CheckSampleFile(Path("a.smp"), 11025, 3000);

  // Ogg Vorbis at 22050 Hz: resampled to half as many samples.
  std::string ogg = Recording("b.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 22050, 11025);
  run = Pellix("convert " + Quote(ogg) + " " + Quote(Path("b.smp")));
  EXPECT_EQ(run.status, 0) << run.err;
  Bytes bytes = ReadBytes(Path("b.smp"));
  ASSERT_GT(bytes.size(), 49u);
  EXPECT_EQ(Le32(bytes, 8), 11025u);
  EXPECT_NEAR(Le32(bytes, 12), 5513, 2);
  EXPECT_EQ(bytes.size(), 49u + Le32(bytes, 12));
}

TEST_F(Cli, TheBundledRecordingGivesTheBundledSampleFile) {
  const std::string source = PELLIX_SOURCE_DIR;
  Result run = Pellix("convert '" + source + "/examples/recordings/alex_calibrate_1.wav' " +
                      Quote(Path("alex.smp")));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBytes(Path("alex.smp")),
            ReadBytes(source + "/examples/samples/alex_calibrate_1.smp"));
}

TEST_F(Cli, ARecordingLongerThanTheWindowIsConvertedWholeWithAWarning) {
  // 40000 samples at 11025 Hz, more than the 30001 the intake reads.
  std::string wav = Recording("long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 40000);
  Result run = Pellix("convert " + Quote(wav) + " " + Quote(Path("long.smp")));
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("only its first utterance is analysed"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(wav), std::string::npos);
  CheckSampleFile(Path("long.smp"), 11025, 40000);

  // 30001 exactly is not longer.
  wav = Recording("edge.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 30001);
  run = Pellix("convert " + Quote(wav) + " " + Quote(Path("edge.smp")));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
}

TEST_F(Cli, BadRecordingsNameTheFileAndExit1) {
  fs::create_directory(dir_ / "folder.wav");
  Write("text.wav", "this is not a recording\n");
  Write("empty.wav", "");
  ExpectRefusedByName("convert ", " " + Quote(Path("out.smp")),
                      {{"missing.wav", "(error 53)"},
                       {"folder.wav", "(error 75)"},
                       {"text.wav", "(error 321)"},
                       {"empty.wav", "(error 321)"}});
  EXPECT_FALSE(fs::exists(dir_ / "out.smp"));
}

TEST_F(Cli, AnOutputThatCannotBeWrittenNamesTheFileAndExit1) {
  std::string wav = Recording("in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 1000);
  Result run = Pellix("convert " + Quote(wav) + " " + Quote(Path("nowhere/out.smp")));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(Path("nowhere/out.smp")), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("(error 53)"), std::string::npos) << run.err;

  fs::create_directory(dir_ / "taken.smp");
  run = Pellix("convert " + Quote(wav) + " " + Quote(Path("taken.smp")));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("(error 75)"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::is_directory(dir_ / "taken.smp"));
}

TEST_F(Cli, ConvertUsageErrorsExit2) {
  std::string wav = Recording("in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 1000);
  const std::string out = Quote(Path("out.smp"));
  for (const std::string& arguments :
       {std::string("convert"), "convert " + Quote(wav), "convert " + Quote(wav) + " " + out + " x",
        "convert " + Quote(wav) + " " + out + " --rate 0",
        "convert " + Quote(wav) + " " + out + " --rate -11025",
        "convert " + Quote(wav) + " " + out + " --rate fast",
        "convert " + Quote(wav) + " " + out + " --rate 11025.5",
        "convert " + Quote(wav) + " " + out + " --rate 999",
        "convert " + Quote(wav) + " " + out + " --rate 192001",
        "convert " + Quote(wav) + " " + out + " --rate 4294967296",
        "convert " + Quote(wav) + " " + out + " --rate"}) {
    Result run = Pellix(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.err, "") << arguments;
    EXPECT_FALSE(fs::exists(dir_ / "out.smp")) << arguments;
  }
  // The edges of the range are accepted.
  EXPECT_EQ(Pellix("convert " + Quote(wav) + " " + out + " --rate 1000").status, 0);
  EXPECT_EQ(Pellix("convert " + Quote(wav) + " " + out + " --rate 192000").status, 0);
}

TEST_F(Cli, ConvertingARecordingOntoItselfIsRefusedAndKeepsIt) {
  std::string wav = Recording("keep.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 1000);
  Bytes before = ReadBytes(wav);
  Result run = Pellix("convert " + Quote(wav) + " " + Quote(dir_.string() + "/./keep.wav"));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("keep.wav"), std::string::npos);
  EXPECT_EQ(ReadBytes(wav), before);
}

// ---- panel ----

// The framed panel of a new instance: 34 lines, the title and the break points in it.
TEST_F(Cli, PanelOfANewInstance) {
  Result run = Pellix("panel");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::vector<std::string> lines;
  std::istringstream in(run.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 34u);
  EXPECT_EQ(lines[0], "+" + std::string(77, '-') + "+");
  // Line 19 of the grid (2790 / 150, rounded), column 46 (3360 / 72), after the frame.
  EXPECT_EQ(lines[20].substr(47, 23), "Stereo Algorithem V2.00");
  // Break points, line 16: 120 under SPT, SPJ and JQ, 0 under AVJ.
  EXPECT_EQ(lines[17].substr(0, 38), "|  120        120        120        0 ");
}

TEST_F(Cli, PanelOfASavedInstanceWithItsPicture) {
  Write("bag.json",
        R"({"CR_MSGX":"7","LIEstress":"41","BGfilter":"5","CAL_spT":"<&>","BackColor":255})");
  Result run =
      Pellix("panel --state " + Quote(Path("bag.json")) + " --svg " + Quote(Path("panel.svg")));
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines;
  std::istringstream in(run.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 34u);
  // LBL_LIE at column 45, line 24; LBL_MSG at column 60, line 29; both BGfilter cells 5.
  EXPECT_EQ(lines[25].substr(46, 2), "41");
  EXPECT_EQ(lines[30].substr(61, 1), "7");
  EXPECT_EQ(lines[4].substr(56, 1), "5");
  EXPECT_EQ(lines[4].substr(68, 1), "5");
  EXPECT_EQ(lines[25].substr(3, 3), "<&>");

  const std::string svg = Read("panel.svg");
  EXPECT_NE(svg.find(R"(data-label="LBL_MSG" data-value-cell="true" x="290" y="286")"),
            std::string::npos);
  EXPECT_NE(svg.find("<text x=\"2\" y=\"12\">7</text>"), std::string::npos);
  EXPECT_NE(svg.find("&lt;&amp;&gt;"), std::string::npos);
  EXPECT_NE(svg.find("fill=\"#FF0000\""), std::string::npos);  // BackColor 255 is red
}

TEST_F(Cli, ABagThatCannotBeReadIsReportedWithItsNumber) {
  fs::create_directory(dir_ / "folder.json");
  Write("list.json", "[1, 2]");
  Write("broken.json", "{\"CR_MSGX\": ");
  ExpectRefusedByName("panel --state ", "",
                      {{"missing.json", "(error 53)"},
                       {"folder.json", "(error 75)"},
                       {"list.json", "(error 321)"},
                       {"broken.json", "(error 321)"}});
}

TEST_F(Cli, AKeyTheControlRefusesIsNamed) {
  Write("person.json", R"({"CR_MSGX":"1","Person":"tall"})");     // not a number: 13
  Write("density.json", R"({"DensityLevel":40000})");             // beyond 16 bits: 6
  Write("nested.json", R"({"BackColor":255,"CAL_JQ":{"a":1}})");  // an object: 13
  struct Case {
    const char* bag;
    const char* key;
    const char* error;
  };
  for (const Case& c : {Case{"person.json", "\"Person\"", "(error 13)"},
                        Case{"density.json", "\"DensityLevel\"", "(error 6)"},
                        Case{"nested.json", "\"CAL_JQ\"", "(error 13)"}}) {
    Result run = Pellix("panel --state " + Quote(Path(c.bag)));
    EXPECT_EQ(run.status, 1) << c.bag;
    EXPECT_EQ(run.out, "") << c.bag;
    EXPECT_NE(run.err.find(c.key), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(Path(c.bag)), std::string::npos) << run.err;
  }
}

TEST_F(Cli, APictureThatCannotBeWrittenIsReported) {
  Result run = Pellix("panel --svg " + Quote(Path("nowhere/panel.svg")));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(Path("nowhere/panel.svg")), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("(error 53)"), std::string::npos) << run.err;
  // An empty path names no file: a usage error, not a missing option.
  for (const char* arguments : {"panel --svg ''", "panel --state ''"}) {
    run = Pellix(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.err.find("an empty path names no file"), std::string::npos) << run.err;
  }
  EXPECT_EQ(Pellix("panel --bogus").status, 2);
  EXPECT_EQ(Pellix("panel extra").status, 2);
}

// ---- typelib ----

TEST_F(Cli, TypelibPrintsTheFiftyTwoMembers) {
  Result run = Pellix("typelib");
  EXPECT_EQ(run.status, 0) << run.err;
  std::regex member(R"(HRESULT (\w+)\()");
  std::vector<std::string> names;
  for (std::sregex_iterator it(run.out.begin(), run.out.end(), member), end; it != end; ++it) {
    names.push_back((*it)[1]);
  }
  ASSERT_EQ(names.size(), 52u);
  EXPECT_EQ(names.front(), "Calibrate");
  EXPECT_EQ(names[23], "profiler");
  EXPECT_EQ(names[24], "CR_msgX");
  EXPECT_EQ(names.back(), "CR_JQ");
  EXPECT_NE(run.out.find("library Pellix"), std::string::npos);
  EXPECT_NE(run.out.find("coclass ALG_V1S"), std::string::npos);
  EXPECT_EQ(Pellix("typelib extra").status, 2);
}

// ---- help ----

TEST_F(Cli, EveryCommandHasHelpWithAnExample) {
  for (const char* command : {"convert", "panel", "typelib"}) {
    Result run = Pellix(std::string(command) + " --help");
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_NE(run.out.find("Examples:\n  pellix " + std::string(command)), std::string::npos)
        << run.out;
  }
  Result run = Pellix("--help");
  for (const char* command : {"convert", "panel", "typelib"}) {
    EXPECT_NE(run.out.find(command), std::string::npos) << command;
  }
  // A line that names some options of analyze still gets the help of all of them.
  for (const char* line : {"analyze --help", "analyze --check a.smp --help", "analyze -h -q"}) {
    run = Pellix(line);
    EXPECT_EQ(run.status, 0) << line;
    for (const char* option : {"--params", "--check", "--jobs", "--output", "--plot-format"}) {
      EXPECT_NE(run.out.find(option), std::string::npos) << line << " lists no " << option;
    }
  }
}

}  // namespace
