// profiler: condenses the instance's check history into a profile string of nine category
// digits and nine percentages, left in DATAstr for the host to read.
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "control/alg_v1s.h"
#include "engine/checked_arithmetic.h"
#include "engine/result_codes.h"
#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"

namespace pellix {

namespace {

using Tarvo_alg1::checked::Mul;

// The profile needs this many recorded checks.
constexpr int kMinProfileRows = 10;

struct Counters {
  int E = 0;                                   // excitement: above 140 counts 1, above 190 counts 3
  int G = 0;                                   // global stress above 180
  int C2 = 0, C4 = 0, C6 = 0, C7 = 0, C8 = 0;  // verdict codes
  int H = 0;                                   // jump length well above the calibrated one
  int L = 0;                                   // jump length well below it
};

// The grading thresholds are fractions of the row count taken in single precision, as the
// history's integer row count divided by an integer gives a single. A count is compared with
// the single widened to double, which is exact, so the comparison is the single-precision one.
double Fraction(int n, int k) {
  return static_cast<double>(static_cast<float>(n) / static_cast<float>(k));
}

// Int(x / n * 100) with at least two digits; 300 stays "300". The count is at most 3n, so the
// value is a whole number from 0 to 300 and prints as an integer.
std::string Percent(int x, int n) {
  const auto value = static_cast<int>(Int(static_cast<double>(x) / static_cast<double>(n) * 100));
  std::string text = std::to_string(value);
  if (text.size() < 2) text.insert(0, 1, '0');
  return text;
}

using History = std::array<std::array<std::int16_t, kProfileColumns>, kProfileRows>;

// Counts over the first n rows of the history. The bounds of a normal jump length are computed
// once; with no rows nothing is computed, so an overflowing bound fails exactly when the first
// row would have compared against it.
Counters CountHistory(const History& history, int n, double calibrated) {
  Counters c;
  double long_jumps = 0;
  double short_jumps = 0;
  if (n > 0) {
    long_jumps = Mul(calibrated, 1.4);
    short_jumps = Mul(calibrated, 0.8);
  }
  for (int r = 0; r < n; ++r) {
    const auto& row = history[static_cast<std::size_t>(r)];
    if (row[kExcitementColumn] > 140) c.E += 1;
    if (row[kExcitementColumn] > 190) c.E += 2;
    if (row[kGlobalColumn] > 180) ++c.G;
    const auto code = row[kCodeColumn];
    c.C2 += code == Tarvo_alg1::kSarcasm;
    c.C4 += code == Tarvo_alg1::kUncertain;
    c.C6 += code == Tarvo_alg1::kManipulated;
    c.C7 += code == Tarvo_alg1::kLie;
    c.C8 += code == Tarvo_alg1::kExaggerated;
    if (row[kJumpLengthColumn] > long_jumps) ++c.H;
    if (row[kJumpLengthColumn] < short_jumps) ++c.L;
  }
  return c;
}

// A digit graded by the fractions of the n rows that `count` is above: it starts at `digit`, and
// each step whose fraction n / k the count is above replaces it, in order.
struct Step {
  int k;
  char digit;
};
char Graded(int count, int n, char digit, std::initializer_list<Step> steps) {
  for (const Step& step : steps) {
    if (count > Fraction(n, step.k)) digit = step.digit;
  }
  return digit;
}

// The nine category digits. Each starts at its default and every rule that holds replaces it,
// so the last one that holds wins.
std::string CategoryDigits(const Counters& c, int n) {
  auto above = [n](int count, int k) { return count > Fraction(n, k); };
  auto below = [n](int count, int k) { return count < Fraction(n, k); };
  // Excitement, and global stress, alike.
  auto stress = [n](int count) {
    return count == 0 ? '4' : Graded(count, n, '1', {{5, '2'}, {2, '3'}});
  };
  const char uncertainty = Graded(c.C4, n, '1', {{15, '2'}, {10, '3'}});
  const char sarcasm = Graded(c.C2, n, c.C2 > 0 ? '1' : '0', {{12, '2'}, {7, '3'}});
  const char manipulation = Graded(c.C6, n, '0', {{30, '1'}, {12, '2'}, {7, '3'}});
  char lies = '0';
  if (above(c.C8, 12)) lies = '2';
  if (c.C7 > 1) lies = '3';
  if (above(c.C7, 5) && above(c.C8, 8)) lies = '4';
  if (c.C7 == 1) lies = '1';
  // Long against short jumps.
  char balance = '0';
  if (c.H - c.L < -7) balance = '1';
  if (c.H - c.L > 7) balance = '2';
  // Lies and exaggerations again, graded the other way.
  char lies_graded = '0';
  if (c.C7 < 3 && below(c.C8, 20)) lies_graded = '1';
  if (c.C7 < 3 && above(c.C8, 20)) lies_graded = '2';
  if (c.C7 < 3 && above(c.C8, 10)) lies_graded = '3';
  if (c.C7 > 3) lies_graded = '4';
  if (above(c.C7, 4) && above(c.C8, 3) && c.C7 > 1) lies_graded = '5';
  if (above(c.C7, 2) || (above(c.C7, 3) && above(c.C8, 2))) lies_graded = '1';
  const char uncertain_under_stress = above(c.C4, 10) && above(c.G, 20) ? '1' : '0';
  return {stress(c.E), stress(c.G), uncertainty,           sarcasm, manipulation, lies,
          balance,     lies_graded, uncertain_under_stress};
}

// The percentages behind the digits, in the digits' order (lies and exaggerations apart, long
// and short jumps apart).
std::string Percentages(const Counters& c, int n) {
  std::string P;
  for (int count : {c.E, c.G, c.C4, c.C2, c.C6, c.C7, c.C8, c.H, c.L}) P += Percent(count, n);
  return P;
}

}  // namespace

// Too few checks give "0". The profile goes straight into the member: no notification and no
// mode check.
Value ALG_V1S::profiler() {
  const int n = ProfileCount_;
  const Counters c = CountHistory(ProfileTable_, n, state_->CalAvJ);
  DATAstr_ = n < kMinProfileRows ? "0" : CategoryDigits(c, n) + Percentages(c, n);
  return Value();
}

}  // namespace pellix
