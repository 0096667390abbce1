// The literal scan's marks against the engine: on many takes, the thorns and jumps it marks,
// counted the way the rates count them, give the engine's four results exactly, and the stored
// take lies where the engine says it does; a take's picture carries the same marks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/literal_model.h"
#include "engine/tarvo_alg1.h"
#include "engine_state.h"
#include "platform/conversions.h"
#include "plot/plot_surface.h"
#include "plot/take_plot.h"
#include "tests/support/memory_file_system.h"

namespace pellix {
namespace {

// A take of speech-like bursts: a tone whose amplitude and pitch wander, with pauses, noise and
// flat stretches, so that thorns, jumps, restarts and pauses all occur.
std::vector<std::uint8_t> SyntheticTake(std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<std::uint8_t> file(49, 0);
  const int sections = 2 + static_cast<int>(random() % 6);
  for (int s = 0; s < sections; ++s) {
    const int length = 200 + static_cast<int>(random() % 4000);
    const double amplitude = unit(random) < 0.2 ? 2 : 10 + 110 * unit(random);
    const double period = 6 + 60 * unit(random);
    const double noise = 8 * unit(random);
    const int hold = 1 + static_cast<int>(random() % 6);  // repeated samples make flat runs
    double value = 128;
    for (int i = 0; i < length; ++i) {
      if (i % hold == 0) {
        value = 128 +
                amplitude * std::sin(6.283185307179586 * i / period) *
                    (0.5 + 0.5 * std::sin(i / 400.0)) +
                noise * (unit(random) - 0.5);
      }
      file.push_back(static_cast<std::uint8_t>(std::clamp(std::lround(value), 1L, 255L)));
    }
  }
  return file;
}

struct Run {
  std::unique_ptr<Tarvo_alg1::SharedState> model;
  reference::ScanMarks marks;
};

class ScanMarks : public testing::EngineStateTest {
 protected:
  // Reads the file DataFileName names into `m` from the files in memory, by the engine or the
  // literal model.
  void LoadSamples(Tarvo_alg1::SharedState& m) {
    Tarvo_alg1::LoadSamples(m, Tarvo_alg1::NamedSampleFile(files_, m.DataFileName));
  }
  void LoadLiterally(Tarvo_alg1::SharedState& m) {
    reference::LoadSamples(m, Tarvo_alg1::NamedSampleFile(files_, m.DataFileName));
  }

  MemoryFileSystem files_;
};

TEST_F(ScanMarks, CountsEqualTheEngineRatesOnManyTakes) {
  int scanned = 0;
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    files_.Add("take.smp", SyntheticTake(seed));
    s.DataFileName = "take.smp";
    s.Gain = seed % 3 == 0 ? 3 : 0;
    s.BackgroundBorder = 5;
    auto model = std::make_unique<Tarvo_alg1::SharedState>(s);
    LoadSamples(s);
    LoadLiterally(*model);
    ASSERT_EQ(s.SampleCount, model->SampleCount) << seed;
    EXPECT_EQ(s.TakeStart, model->TakeStart) << seed;
    EXPECT_EQ(s.TakeEnd, model->TakeEnd) << seed;
    EXPECT_EQ(s.TakeEnd - s.TakeStart, static_cast<std::size_t>(s.SampleCount)) << seed;
    if (s.SampleCount < 450) continue;
    ++scanned;

    s.MinJump = 2;
    s.MaxJump = 30;
    model->MinJump = 2;
    model->MaxJump = 30;
    Tarvo_alg1::ScanThornsJumps(s);
    reference::ScanMarks marks;
    reference::ScanThornsJumps(*model, &marks);

    // The rates count the flics up to the first one without marks.
    std::map<std::size_t, double> thorns;
    std::map<std::size_t, double> jumps;
    for (const auto& t : marks.thorns) thorns[t.flic] += 1;
    std::array<double, 101> histogram{};
    for (const auto& j : marks.jumps) {
      jumps[j.flic] += 1;
      histogram[static_cast<std::size_t>(j.length)] += 1;
    }
    std::size_t used = 0;
    double thorn_sum = 0;
    double jump_sum = 0;
    for (std::size_t f = 1; f <= marks.flic_starts.size(); ++f) {
      if (f > 1 && thorns[f] == 0 && jumps[f] == 0) break;
      thorn_sum += thorns[f];
      jump_sum += jumps[f];
      ++used;
    }
    EXPECT_EQ(used, marks.aggregated_flics) << seed;
    const double mean = reference::MeanJumpLength(histogram);
    if (mean < 2 || mean > 11) {
      EXPECT_EQ(s.AvgJumpLen, 0) << seed;
      continue;
    }
    const double m = static_cast<double>(used);
    EXPECT_EQ(s.ThornRate, Int(thorn_sum / m / 300 * 3000)) << seed;
    EXPECT_EQ(s.JumpRate, Int(jump_sum / m / 300 * 3000)) << seed;
    EXPECT_EQ(s.AvgJumpLen, mean) << seed;
    // Flics start every 300 slots from slot 1.
    for (std::size_t f = 0; f < marks.flic_starts.size(); ++f)
      EXPECT_EQ(marks.flic_starts[f], 1 + 300 * f);
  }
  EXPECT_GT(scanned, 100);  // the takes exercise the scan, not only the intake
}

// The stored take of a hand-built file: 1000 quiet samples (128 is 1 from the gain pass's 127,
// inside the border of 5), 3000 alternating 168 and 88 from index 1000, then 2000 quiet. The gain
// pass finds the first loud sample at 1000 and a peak of 41, so the gain is Int(360 / 41) = 8: 168
// gives Int(40 x 8/3) = 106 and 88 gives -107, both loud. Storing starts at the fourth loud sample,
// 1003. The 1001st quiet sample in a row is 5000, stored in slot 3997; less 700 that is 3297,
// above 850, so the take is 3297 slots: 1003 to 4300.
TEST_F(ScanMarks, TheStoredTakeOfAHandBuiltFile) {
  std::vector<std::uint8_t> file(49, 0);
  file.insert(file.end(), 1000, 128);
  for (int i = 0; i < 3000; ++i) file.push_back(i % 2 == 0 ? 168 : 88);
  file.insert(file.end(), 2000, 128);
  files_.Add("take.smp", file);
  s.DataFileName = "take.smp";
  s.Gain = 0;
  s.BackgroundBorder = 5;
  LoadSamples(s);
  EXPECT_EQ(s.Gain, 8);
  EXPECT_EQ(s.SampleCount, 3297);
  EXPECT_EQ(s.TakeStart, 1003u);
  EXPECT_EQ(s.TakeEnd, 4300u);
  EXPECT_EQ(s.Samples[0], -107);  // slot 0 holds index 1003, an 88 (even indices hold 168)
  EXPECT_EQ(s.Samples[1], 106);

  s.DataFileName = "";
  LoadSamples(s);
  EXPECT_EQ(s.TakeStart, 0u);
  EXPECT_EQ(s.TakeEnd, 0u);
}

// The x coordinates of the moves of the one path drawn in `colour` ("rgb(80%,10%,10%)").
std::vector<double> TickPositions(const std::string& svg, const std::string& colour) {
  std::vector<double> xs;
  const std::size_t style = svg.find("stroke:" + colour);
  if (style == std::string::npos) return xs;
  const std::size_t tag = svg.rfind("<path", style);
  const std::size_t end = svg.find('>', style);
  const std::size_t d = svg.find(" d=\"", tag);
  if (tag == std::string::npos || d == std::string::npos || d > end) return xs;
  std::istringstream in(svg.substr(d + 4, svg.find('"', d + 4) - (d + 4)));
  std::string token;
  while (in >> token) {
    if (token != "M") continue;
    double x = 0;
    in >> x;
    xs.push_back(x);
  }
  return xs;
}

TEST_F(ScanMarks, APictureCarriesTheMarksAndRendersToEverySurface) {
  // The first synthetic take with thorns and jumps both.
  plot::TakePicture picture;
  std::uint32_t seed = 1;
  for (; seed < 100; ++seed) {
    files_.Add("take.smp", SyntheticTake(seed));
    s.DataFileName = "take.smp";
    s.Gain = 0;
    s.BackgroundBorder = 5;
    LoadSamples(s);
    if (s.SampleCount < 800) continue;
    s.MinJump = 2;
    s.MaxJump = 30;
    picture.marks = {};
    auto copy = std::make_unique<Tarvo_alg1::SharedState>(s);
    reference::ScanThornsJumps(*copy, &picture.marks);
    if (!picture.marks.thorns.empty() && !picture.marks.jumps.empty()) break;
  }
  ASSERT_LT(seed, 100u);
  picture.title = "take.smp";
  picture.rate = 11025;
  const std::vector<std::uint8_t> bytes = SyntheticTake(seed);
  picture.samples.assign(bytes.begin() + 49, bytes.end());
  picture.take_start = s.TakeStart;
  picture.stretch_end = s.TakeEnd;

  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("pellix_plot_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  auto draw = [&picture](cairo_t* cr) {
    plot::DrawTake(cr, picture, plot::kTakeWidth, plot::kTakeHeight);
  };
  for (plot::PlotFormat format :
       {plot::PlotFormat::kSvg, plot::PlotFormat::kPng, plot::PlotFormat::kPdf}) {
    const auto path = folder / ("take" + std::string(plot::PlotExtension(format)));
    plot::RenderPlot(path, format, plot::kTakeWidth, plot::kTakeHeight, draw);
    EXPECT_GT(std::filesystem::file_size(path), 1000u);
  }
  std::ifstream in(folder / "take.png", std::ios::binary);
  std::string png((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(png.substr(1, 3), "PNG");

  // Read the ticks back from the SVG: one per thorn and one per jump, where the marks are.
  std::ifstream svg_in(folder / "take.svg");
  const std::string svg((std::istreambuf_iterator<char>(svg_in)), {});
  const std::vector<double> thorns = TickPositions(svg, "rgb(80%,10%,10%)");
  const std::vector<double> jumps = TickPositions(svg, "rgb(10%,30%,80%)");
  ASSERT_EQ(thorns.size(), picture.marks.thorns.size());
  ASSERT_EQ(jumps.size(), picture.marks.jumps.size());
  for (std::size_t i = 0; i < thorns.size(); ++i) {
    const double index = static_cast<double>(s.TakeStart + picture.marks.thorns[i].slot);
    EXPECT_NEAR(thorns[i], plot::TakeX(picture, plot::kTakeWidth, index), 0.01) << i;
  }
  for (std::size_t i = 0; i < jumps.size(); ++i) {
    const double index = static_cast<double>(s.TakeStart + picture.marks.jumps[i].slot);
    EXPECT_NEAR(jumps[i], plot::TakeX(picture, plot::kTakeWidth, index), 0.01) << i;
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace pellix
