// The sample intake: reading the file, the automatic gain, the start of the take, the cut at a
// long pause, the full store, errors, and a store that never shows an earlier take.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/tarvo_alg1.h"
#include "engine_state.h"
#include "error_of.h"
#include "platform/error.h"
#include "tests/support/memory_file_system.h"

namespace {

using pellix::testing::ErrorOf;
using Bytes = std::vector<std::uint8_t>;

// A sample file: the 49-byte header the converter writes, then the sample bytes.
Bytes SampleFile(const Bytes& samples) {
  Bytes file = {'P', 'L', 'X', 'S', 'M', 'P', '0', '1', 0x11, 0x2B, 0, 0};
  const auto count = static_cast<std::uint32_t>(samples.size());
  for (int shift = 0; shift < 32; shift += 8) {
    file.push_back(static_cast<std::uint8_t>(count >> shift));
  }
  file.resize(49, 0);
  file.insert(file.end(), samples.begin(), samples.end());
  return file;
}

// Runs of (count, value), one after another.
Bytes Runs(std::initializer_list<std::pair<std::size_t, std::uint8_t>> runs) {
  Bytes samples;
  for (const auto& [count, value] : runs) samples.insert(samples.end(), count, value);
  return samples;
}

Bytes Repeat(std::size_t count, std::uint8_t value) {
  return Bytes(count, value);
}

class IntakeTest : public pellix::testing::EngineStateTest {
 protected:
  // Reads the file DataFileName names from the files in memory.
  void LoadSamples() {
    Tarvo_alg1::LoadSamples(s, Tarvo_alg1::NamedSampleFile(files_, s.DataFileName));
  }

  // Loads `samples` as the file "take" with the given gain and border.
  void Load(const Bytes& samples, double gain, double border) {
    files_.Add("take", SampleFile(samples));
    auto& m = s;
    m.DataFileName = "take";
    m.Gain = gain;
    m.BackgroundBorder = border;
    LoadSamples();
  }

  // The error number LoadSamples raises, or 0.
  int LoadError(const Bytes& samples, double gain, double border) {
    try {
      Load(samples, gain, border);
    } catch (const pellix::PlatformError& e) {
      return e.number();
    }
    return 0;
  }

  pellix::MemoryFileSystem files_;
};

// --- Reading the file -------------------------------------------------------------------------

TEST_F(IntakeTest, NoFileNameMeansNoTakeAndNoFileTouched) {
  auto& m = s;
  m.SampleCount = 12;
  m.Gain = 0;
  m.DefaultMinSamples = 7;
  m.DataFileName = "";
  LoadSamples();  // the in-memory layer would raise 53 for any name
  EXPECT_EQ(m.SampleCount, 0);
  EXPECT_EQ(m.Gain, 0);               // automatic mode is not even set up
  EXPECT_EQ(m.DefaultMinSamples, 7);  // nor the minimums
}

TEST_F(IntakeTest, FileErrorsReachTheCallerAfterTheSettingsAreTaken) {
  auto& m = s;
  m.SampleCount = 12;
  m.DataFileName = "missing";
  m.Gain = 0;
  EXPECT_EQ(ErrorOf([&] { LoadSamples(); }), pellix::kFileNotFound);
  EXPECT_EQ(m.SampleCount, 0);
  EXPECT_EQ(m.Gain, 3);  // automatic mode starts from unity before the file is opened
  EXPECT_EQ(m.AutoGain, 1);
  EXPECT_EQ(m.MinSamples, 850);
  EXPECT_EQ(m.DefaultMinSamples, 850);

  files_.AddFailing("locked", pellix::kPermissionDenied);
  m.DataFileName = "locked";
  m.Gain = 3;
  EXPECT_EQ(ErrorOf([&] { LoadSamples(); }), pellix::kPermissionDenied);
}

TEST_F(IntakeTest, HeaderOnlyFileGivesNoTakeInEitherMode) {
  auto& m = s;
  files_.Add("short", Bytes(49, 200));  // all header, even if every byte looks loud
  m.DataFileName = "short";
  m.Gain = 3;
  LoadSamples();
  EXPECT_EQ(m.SampleCount, 0);
  m.Gain = 0;
  LoadSamples();
  EXPECT_EQ(m.SampleCount, 0);
  files_.Add("empty", {});
  m.DataFileName = "empty";
  m.Gain = 3;
  LoadSamples();
  EXPECT_EQ(m.SampleCount, 0);
}

TEST_F(IntakeTest, GivenGainStoresCentredSamplesFromTheFirstByte) {
  // Gain 3 is unity: a stored sample is raw - 128. Border 10: 148 (+20) and 40 (-88) are loud,
  // 130 (+2) is quiet. Storing starts with the fourth loud sample, at index 3.
  Bytes samples = {148, 40, 148, 40, 130, 130, 1, 255, 128};
  Load(samples, 3, 10);
  auto& m = s;
  EXPECT_EQ(m.SampleCount, 6);
  EXPECT_EQ(m.Samples[0], -88);
  EXPECT_EQ(m.Samples[1], 2);
  EXPECT_EQ(m.Samples[2], 2);
  EXPECT_EQ(m.Samples[3], -127);
  EXPECT_EQ(m.Samples[4], 127);
  EXPECT_EQ(m.Samples[5], 0);
  EXPECT_EQ(m.Gain, 3);
  EXPECT_EQ(m.AutoGain, 0);
  EXPECT_EQ(m.MinSamples, 850);
  EXPECT_EQ(m.DefaultMinSamples, 850);
}

TEST_F(IntakeTest, ZeroByteEndsTheData) {
  // The 200s after the 0 are never read.
  Bytes samples = Runs({{4, 200}, {3, 130}, {1, 0}, {100, 200}});
  Load(samples, 3, 10);
  EXPECT_EQ(s.SampleCount, 4);
  EXPECT_EQ(s.Samples[4], 0);

  // With a given gain, a zero at byte 50 ends the data before it starts.
  Bytes leading_zero = Runs({{1, 0}, {100, 200}});
  Load(leading_zero, 3, 10);
  EXPECT_EQ(s.SampleCount, 0);
}

TEST_F(IntakeTest, ScaledSamplesRoundDown) {
  // Gain 10: raw 100 gives Int(-28 * 10/3) = Int(-93.33) = -94 and raw 80 gives -160, still
  // above this gain's clip level Int(-128 * 10/3) = -427, so it is loud; raw 129 gives
  // Int(3.33) = 3.
  Bytes samples = Runs({{3, 80}, {1, 100}, {1, 80}, {1, 129}});
  Load(samples, 10, 10);
  auto& m = s;
  EXPECT_EQ(m.SampleCount, 3);
  EXPECT_EQ(m.Samples[0], -94);
  EXPECT_EQ(m.Samples[1], -160);
  EXPECT_EQ(m.Samples[2], 3);
}

TEST_F(IntakeTest, ClipLevelFollowsTheGivenGain) {
  // Gain 6: the clip level is Int(-128 * 2) = -256, so raw 1 (-254) is loud. At unity it would
  // be -128 and -127 would still be loud; at gain 6 a clip level of -128 would silence it.
  Bytes samples = Runs({{4, 1}, {2, 130}});
  Load(samples, 6, 10);
  EXPECT_EQ(s.SampleCount, 3);
  EXPECT_EQ(s.Samples[0], -254);
  EXPECT_EQ(s.Samples[1], 4);
}

TEST_F(IntakeTest, BorderAtOrAboveFullScaleLeavesNothingLoud) {
  Bytes samples;
  for (int i = 0; i < 500; ++i) samples.push_back(i % 2 == 0 ? 1 : 255);
  Load(samples, 3, 128);
  EXPECT_EQ(s.SampleCount, 0);
  Load(samples, 3, 127);  // +127 and -127 are not beyond a border of 127 either
  EXPECT_EQ(s.SampleCount, 0);
  Load(samples, 3, 126);
  EXPECT_EQ(s.SampleCount, 497);
}

TEST_F(IntakeTest, UnusualGainsAreHandled) {
  // A negative gain mirrors the samples and lifts the clip level to +128: nothing is loud.
  Bytes loud = Repeat(50, 200);
  Load(loud, -3, 10);
  EXPECT_EQ(s.SampleCount, 0);
  // A fractional gain: 72 * 1.5/3 = 36; the clip level Int(-64) = -64.
  Load(loud, 1.5, 10);
  EXPECT_EQ(s.SampleCount, 47);
  EXPECT_EQ(s.Samples[0], 36);
  // A huge gain still gives finite samples.
  Load(loud, 3e300, 10);
  EXPECT_EQ(s.SampleCount, 47);
  EXPECT_GT(s.Samples[0], 1e301);
  // A gain whose clip level is beyond the double range is an overflow.
  auto& m = s;
  m.SampleCount = 5;
  EXPECT_EQ(LoadError(loud, 1e308, 10), pellix::kOverflow);
  EXPECT_EQ(m.SampleCount, 0);
}

// --- Automatic gain ---------------------------------------------------------------------------

TEST_F(IntakeTest, AutomaticModeNeverReadsByteFifty) {
  // Index 0 is 0, which would end the data; the automatic passes start at index 1 or later.
  Bytes samples = Runs({{1, 0}, {20, 140}});
  Load(samples, 0, 5);
  EXPECT_EQ(s.SampleCount, 17);
  Load(samples, 3, 5);
  EXPECT_EQ(s.SampleCount, 0);
}

TEST_F(IntakeTest, AutomaticGainCentresOn127AndStartsAtTheFirstLoudSample) {
  // Border 5. Raw 122 is -5 in the gain pass (not loud) but -6 x 9 = -54 in the main pass
  // (loud), and raw 140 is +13 in the gain pass: peak 13, gain Int(360/13) = 27.
  // The main pass starts at index 4, the first loud one, so the three 122s before it do not
  // count: storing starts with the fourth 140 (index 7), 108 = 12 x 9.
  Bytes samples = Runs({{1, 128}, {3, 122}, {10, 140}});
  Load(samples, 0, 5);
  auto& m = s;
  EXPECT_EQ(m.Gain, 27);
  EXPECT_EQ(m.AutoGain, 1);
  EXPECT_EQ(m.PeakLevel, 13);
  EXPECT_EQ(m.SampleCount, 7);
  EXPECT_EQ(m.Samples[0], 108);
}

TEST_F(IntakeTest, AutomaticGainIsCappedAndClipsAtUnity) {
  // Border 5. Loudest |raw - 127| is 7 (raw 134 and raw 120): gain Int(360/7) = 51, capped to
  // 50. The clip level was taken at gain 3, -128, so raw 120 (Int(-8 x 50/3) = -134) is not
  // loud in the main pass, and raw 134 is Int(6 x 50/3) = 100; raw 129 is Int(50/3) = 16.
  Bytes samples = Runs({{1, 128}, {3, 134}, {6, 120}, {1, 134}, {4, 129}});
  Load(samples, 0, 5);
  auto& m = s;
  EXPECT_EQ(m.Gain, 50);
  EXPECT_EQ(m.SampleCount, 5);  // storing starts at index 10, the fourth counted loud sample
  EXPECT_EQ(m.Samples[0], 100);
  EXPECT_EQ(m.Samples[1], 16);
}

TEST_F(IntakeTest, AutomaticGainNeedsTenLoudSamplesBeforeAPeakAbove110) {
  // Nine loud samples, then a peak of 123 stops the pass at ten: gain Int(360/123) = 2.
  Bytes samples = Runs({{1, 128}, {9, 147}, {1, 250}, {50, 147}});
  Load(samples, 0, 5);
  EXPECT_EQ(s.Gain, 2);
  EXPECT_GT(s.SampleCount, 0);

  // Eight loud samples before the peak: the pass stops at nine, and there is no take.
  Bytes loud = Runs({{1, 128}, {8, 147}, {1, 250}, {50, 147}});
  Load(loud, 0, 5);
  EXPECT_EQ(s.SampleCount, 0);
  EXPECT_EQ(s.Gain, 3);
  EXPECT_EQ(s.PeakLevel, 123);
}

TEST_F(IntakeTest, AutomaticGainWithNoPeakIsADivisionByZero) {
  // A negative border makes every sample loud, even 127, whose level is 0.
  auto& m = s;
  m.SampleCount = 9;
  Bytes flat = Repeat(30, 127);
  EXPECT_EQ(LoadError(flat, 0, -1), pellix::kDivisionByZero);
  EXPECT_EQ(m.SampleCount, 0);
  EXPECT_EQ(m.Gain, 3);
}

// --- The end of the take ----------------------------------------------------------------------

TEST_F(IntakeTest, ShortPauseRestartsTheTakeAtSlotOne) {
  // Border 10: 200 (+72) loud, 130 (+2) quiet. Slot 0 is the fourth 200; slots 1 to 1001 are
  // quiet, and the 1001st quiet one gives n = 1001 - 700 = 301, too short: restart. Two more
  // loud samples are needed, so 190 (+62) goes to slot 1 and 180 (+52) to slot 2.
  Bytes samples = Runs({{4, 200}, {1001, 130}, {1, 200}, {1, 190}, {1, 180}});
  Load(samples, 3, 10);
  auto& m = s;
  EXPECT_EQ(m.SampleCount, 3);
  EXPECT_EQ(m.Samples[0], 72);  // left from the abandoned stretch
  EXPECT_EQ(m.Samples[1], 62);
  EXPECT_EQ(m.Samples[2], 52);
  EXPECT_EQ(m.Samples[3], 2);  // the rest of the abandoned stretch stays as well
  EXPECT_EQ(m.Samples[1001], 2);
  EXPECT_EQ(m.Samples.high_water(), 1002u);
}

TEST_F(IntakeTest, TakesInSixteenBitsAndInDoublesNeverSeeEachOther) {
  // A run of equal loud bytes is stored from its fourth byte on. Gain 600 is 200 per step
  // from the centre and can store 127 x 200 = 25400: that take is kept in doubles. Gains 3 and
  // 30 store at most 1280 and are kept in 16 bits. Each take is shorter than the one before.
  struct Row {
    std::size_t bytes;
    std::uint8_t value;
    double gain;
    double stored;
    bool narrow;
  };
  const Row rows[] = {
      {2003, 200, 600, 72 * 200, false},
      {903, 200, 3, 72, true},
      {503, 190, 600, 62 * 200, false},
      {303, 60, 30, -68 * 10, true},
  };
  for (const Row& row : rows) {
    Load(Repeat(row.bytes, row.value), row.gain, 10);
    const auto& m = std::as_const(s);
    const std::size_t count = row.bytes - 3;
    EXPECT_EQ(m.SampleCount, count);
    EXPECT_EQ(m.Samples.is_narrow(), row.narrow) << "gain " << row.gain;
    EXPECT_EQ(m.Samples[0], row.stored);
    EXPECT_EQ(m.Samples[count - 1], row.stored);
    std::size_t zeros = count;
    while (zeros < m.Samples.size() && m.Samples[zeros] == 0) ++zeros;
    EXPECT_EQ(zeros, m.Samples.size()) << "gain " << row.gain << ": an earlier take shows";
  }
}

TEST_F(IntakeTest, LongPauseEndsTheTakeKeepingThreeHundredQuietSamples) {
  // Slots 0 to 999 loud, 1000 to 2000 quiet: at slot 2000 the quiet run is 1001, and
  // 2000 - 700 = 1300 is more than 850. The last 500 loud samples lie after the take's end.
  Bytes samples = Runs({{1003, 200}, {1001, 130}, {500, 200}});
  Load(samples, 3, 10);
  auto& m = s;
  EXPECT_EQ(m.SampleCount, 1300);
  EXPECT_EQ(m.Samples[999], 72);
  EXPECT_EQ(m.Samples[1000], 2);
  EXPECT_EQ(m.Samples[2000], 2);  // stored past the count, and kept
  EXPECT_EQ(m.Samples[2001], 0);
  EXPECT_EQ(m.Samples.high_water(), 2001u);
}

TEST_F(IntakeTest, SampleAtTheClipLevelCountsAsQuiet) {
  // Gain 1: the clip level is Int(-128/3) = -43, and raw 1 gives Int(-127/3) = -43 too: beyond
  // the border of 10, yet quiet. 1001 of them end the take at slot 2601: 2601 - 700 = 1901.
  // Raw 2 would be -42, loud and not quiet, and the take would run to the end of the data.
  // Raw 200 is Int(72/3) = 24.
  Bytes samples = Runs({{1604, 200}, {1001, 1}, {200, 200}});
  Load(samples, 1, 10);
  EXPECT_EQ(s.SampleCount, 1901);
  EXPECT_EQ(s.Samples[1601], -43);

  samples = Runs({{1604, 200}, {1001, 2}, {200, 200}});
  Load(samples, 1, 10);
  EXPECT_EQ(s.SampleCount, 2802);
}

TEST_F(IntakeTest, FullStoreCountsAsQuietAndTheCountPassesTheStore) {
  // 30001 loud samples: slots 0 to 21000 are stored; slots from 21001 on are not, and count
  // as quiet, so at n = 22001 the take ends with 22001 - 700 = 21301.
  Bytes samples = Repeat(30001, 200);
  Load(samples, 3, 10);
  auto& m = s;
  EXPECT_EQ(m.SampleCount, 21301);
  EXPECT_EQ(m.Samples[21000], 72);
  EXPECT_EQ(m.Samples.high_water(), 21001u);

  // When the data runs out first, the count is where it ran out: 22000 - 3.
  Load(Repeat(22000, 200), 3, 10);
  EXPECT_EQ(m.SampleCount, 21997);

  // Bytes past 30050 are not read: the pause never comes.
  Bytes longer = Runs({{30001, 200}, {2000, 128}});
  Load(longer, 3, 10);
  EXPECT_EQ(m.SampleCount, 21301);
}

// --- No stale samples -------------------------------------------------------------------------

// The store after a take depends only on that take, not on what an earlier take left there.
TEST_F(IntakeTest, EarlierTakeLeavesNothingBehind) {
  auto& m = s;
  Load(Repeat(3000, 200), 3, 10);  // slots 0 to 2996 hold 72
  ASSERT_EQ(m.SampleCount, 2997);

  Bytes samples = Runs({{4, 190}, {900, 130}});
  Load(samples, 3, 10);
  ASSERT_EQ(m.SampleCount, 901);
  EXPECT_EQ(m.Samples[0], 62);
  EXPECT_EQ(m.Samples[900], 2);
  // The scan of a 901-slot take reads slots 901 to 903; they must read as in a fresh process.
  EXPECT_EQ(m.Samples[901], 0);
  EXPECT_EQ(m.Samples[903], 0);
  EXPECT_EQ(m.Samples[2996], 0);
  EXPECT_EQ(m.Samples.high_water(), 901u);
}

TEST_F(IntakeTest, ScanAfterAnEarlierTakeMatchesAFreshProcess) {
  // Take A leaves a thorn, (10, 20, 10), in slots 901 to 903. Take B has 901 slots, so the
  // last flic reads those three slots.
  Bytes a = Runs({{904, 200}, {1, 138}, {1, 148}, {1, 138}, {100, 200}});
  Bytes b = Repeat(3, 200);
  for (int i = 0; i < 901; ++i) b.push_back(i % 6 == 5 ? 158 : 138);  // thorns and jumps

  auto analyse = [&](bool after_a) {
    ResetState();
    if (after_a) Load(a, 3, 5);
    Load(b, 3, 5);
    auto& m = s;
    m.MinJump = 2;
    m.MaxJump = 30;
    Tarvo_alg1::ScanThornsJumps(s);
    return std::vector<double>{m.SampleCount, m.ThornRate, m.JumpRate, m.AvgJumpLen, m.JumpSpread};
  };
  const std::vector<double> fresh = analyse(false);
  ASSERT_EQ(fresh[0], 901);
  ASSERT_GT(fresh[1], 0);
  EXPECT_EQ(analyse(true), fresh);
}

TEST_F(IntakeTest, TakeThatStoresNothingClearsTheEarlierTake) {
  auto& m = s;
  Load(Repeat(2000, 200), 3, 10);
  Load(Repeat(2000, 130), 3, 10);  // nothing loud, nothing stored
  EXPECT_EQ(m.SampleCount, 0);
  EXPECT_EQ(m.Samples[0], 0);
  EXPECT_EQ(m.Samples[1996], 0);
  EXPECT_EQ(m.Samples.high_water(), 0u);
}

// A sample file held in memory reads as the file holding it, however short: what the span
// lacks reads as the end of the data. Gain 3, border 10: 200 is +72, loud; 130 is +2, quiet.
TEST_F(IntakeTest, HeldBytesReadAsTheFileHoldingThem) {
  Bytes take = Runs({{4, 200}, {3, 130}});
  const struct {
    const char* what;
    Bytes file;
    double count;
    double first;  // slot 0
  } rows[] = {
      {"nothing", {}, 0, 0},
      {"part of the header", Bytes(10, 200), 0, 0},
      {"the header alone", SampleFile({}), 0, 0},
      {"four loud samples, then three quiet", SampleFile(take), 4, 72},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ResetState();
    s.DataFileName = "held";
    s.Gain = 3;
    s.BackgroundBorder = 10;
    Tarvo_alg1::LoadSamples(s, Tarvo_alg1::SampleFileBytes(row.file));
    EXPECT_EQ(s.SampleCount, row.count);
    EXPECT_EQ(s.Samples[0], row.first);
    files_.Add("held", row.file);
    LoadSamples();
    EXPECT_EQ(s.SampleCount, row.count);
  }
}

// --- Threads and readers ---------------------------------------------------------------------

// A state is the caller's, whichever thread uses it, and its take comes from the reader handed
// over: another thread's fresh state reading through the disk finds no "take", while this
// test's state, used there through the files in memory, reads it.
TEST_F(IntakeTest, EachStateIsItsOwnOnAnyThreadAndReadsThroughItsReader) {
  Load(Repeat(100, 200), 3, 10);
  ASSERT_EQ(s.SampleCount, 97);

  double other_count = -1;
  int other_error = 0;
  double moved_count = -1;
  std::thread other([&] {
    auto fresh = std::make_unique<Tarvo_alg1::SharedState>();
    other_count = fresh->SampleCount;
    fresh->DataFileName = "take";
    fresh->Gain = 3;
    other_error = ErrorOf([&] {
      Tarvo_alg1::LoadSamples(
          *fresh, Tarvo_alg1::NamedSampleFile(pellix::NativeFileSystem(), fresh->DataFileName));
    });
    Load(Repeat(50, 200), 3, 10);
    moved_count = s.SampleCount;
  });
  other.join();
  EXPECT_EQ(other_count, 0);
  EXPECT_EQ(other_error, pellix::kFileNotFound);
  EXPECT_EQ(moved_count, 47);
  EXPECT_EQ(s.Samples[0], 72);
}

}  // namespace
