#include "analysis/result_meanings.h"

#include <array>
#include <cstddef>
#include <string_view>

#include "engine/limits.h"
#include "engine/result_codes.h"

namespace pellix::analysis {
namespace {

constexpr std::size_t Digits(long n) {
  return n < 10 ? 1 : 1 + Digits(n / 10);
}

// `head`, the whole number kNumber and `tail` as one text, joined while compiling so that the
// table below stays constant and names a limit without repeating it.
template <long kNumber, std::size_t H, std::size_t T>
consteval auto Join(const char (&head)[H], const char (&tail)[T]) {
  std::array<char, H - 1 + Digits(kNumber) + T - 1> out{};
  for (std::size_t i = 0; i + 1 < H; ++i) out[i] = head[i];
  long rest = kNumber;
  for (std::size_t i = H - 1 + Digits(kNumber); i-- > H - 1; rest /= 10)
    out[i] = static_cast<char>('0' + rest % 10);
  for (std::size_t i = 0; i + 1 < T; ++i) out[H - 1 + Digits(kNumber) + i] = tail[i];
  return out;
}

constexpr auto kRefusedWords = Join<static_cast<long>(Tarvo_alg1::limits::kCheckMinimum)>(
    "too few samples (a check needs ", "), or a silent utterance (no thorns, no jumps)");

constexpr std::array<ResultCodeEntry, 12> kCodes = {{
    {Tarvo_alg1::kNotInitialised,
     {"not initialised", "the analysis constants are not loaded: Initalize has not run"}},
    {Tarvo_alg1::kRefused,
     {"too short or silent", std::string_view(kRefusedWords.data(), kRefusedWords.size())}},
    {Tarvo_alg1::kNoConclusion,
     {"no conclusion", "no conclusion: the measures point to no category"}},
    {Tarvo_alg1::kTruth, {"truth", "truth: no abnormal feature"}},
    {Tarvo_alg1::kSarcasm,
     {"low stress or sarcasm",
      "lie stress just below the truth floor; or sarcasm (both deviations very low); or "
      "possible sarcasm"}},
    {Tarvo_alg1::kExcited, {"excitement", "excitement"}},
    {Tarvo_alg1::kUncertain, {"uncertainty", "uncertainty in the answer"}},
    {Tarvo_alg1::kHighlyExcited, {"high excitement", "high excitement"}},
    {Tarvo_alg1::kManipulated, {"voice manipulation", "voice manipulation"}},
    {Tarvo_alg1::kLie, {"lie", "lie: lie stress above the band; or sarcasm or lie"}},
    {Tarvo_alg1::kExaggerated,
     {"exaggeration",
      "exaggerated truth indicators, result reversed (lie stress mirrored); or exaggeration: "
      "lie stress inside the band"}},
    {Tarvo_alg1::kTrauma, {"trauma or lie", "trauma or lie; or an extreme thorn deviation"}},
}};

struct DigitEntry {
  char digit;
  std::string_view meaning;
};

// Each digit's possible values once the profiler's rules have run (the last rule that holds
// wins, so these are the conditions under which each value survives).
struct DigitTable {
  std::string_view topic;
  std::array<DigitEntry, 6> values;
};

constexpr std::array<DigitTable, kProfileDigits> kDigits = {{
    {"excitement",
     {{{'1', "some excitement: a score of at most a fifth of the number of checks"},
       {'2', "frequent excitement: a score above a fifth of the number of checks"},
       {'3', "very frequent excitement: a score above half the number of checks"},
       {'4', "no excitement in any check"}}}},
    {"global stress",
     {{{'1', "global stress above 180 in some checks, at most a fifth of them"},
       {'2', "global stress above 180 in more than a fifth of the checks"},
       {'3', "global stress above 180 in more than half of the checks"},
       {'4', "global stress above 180 in no check"}}}},
    {"uncertainty",
     {{{'1', "uncertainty (code 4) in at most a fifteenth of the checks"},
       {'2', "uncertainty (code 4) in more than a fifteenth of the checks"},
       {'3', "uncertainty (code 4) in more than a tenth of the checks"}}}},
    {"low stress or sarcasm",
     {{{'0', "code 2 in no check"},
       {'1', "code 2 in some checks, at most a twelfth of them"},
       {'2', "code 2 in more than a twelfth of the checks"},
       {'3', "code 2 in more than a seventh of the checks"}}}},
    {"voice manipulation",
     {{{'0', "voice manipulation (code 6) in at most a thirtieth of the checks"},
       {'1', "voice manipulation (code 6) in more than a thirtieth of the checks"},
       {'2', "voice manipulation (code 6) in more than a twelfth of the checks"},
       {'3', "voice manipulation (code 6) in more than a seventh of the checks"}}}},
    {"lie and exaggeration",
     {{{'0', "no lie (code 7); exaggeration (code 8) in at most a twelfth of the checks"},
       {'1', "exactly one lie (code 7)"},
       {'2', "no lie (code 7); exaggeration (code 8) in more than a twelfth of the checks"},
       {'3', "two or more lies (code 7)"},
       {'4',
        "lies (code 7) in more than a fifth and exaggeration (code 8) in more than an eighth "
        "of the checks"}}}},
    {"jump length",
     {{{'0', "jump lengths balanced: long and short jumps differ by at most seven checks"},
       {'1',
        "short jumps: more than seven checks more below 0.8 times the calibrated length "
        "than above 1.4 times"},
       {'2',
        "long jumps: more than seven checks more above 1.4 times the calibrated length "
        "than below 0.8 times"}}}},
    {"lie and exaggeration pattern",
     {{{'0',
        "no clear pattern: exactly three lies (code 7), or exaggeration (code 8) in "
        "exactly a twentieth of the checks"},
       {'1',
        "fewer than three lies and exaggeration in under a twentieth of the checks; or "
        "lies in more than half of the checks (or in more than a third with exaggeration "
        "in more than half)"},
       {'2',
        "fewer than three lies; exaggeration in more than a twentieth but at most a "
        "tenth of the checks"},
       {'3', "fewer than three lies; exaggeration in more than a tenth of the checks"},
       {'4', "more than three lies (code 7)"},
       {'5',
        "lies in more than a quarter and exaggeration in more than a third of the "
        "checks"}}}},
    {"uncertainty under stress",
     {{{'0',
        "not both of: uncertainty in more than a tenth, high global stress in more than "
        "a twentieth of the checks"},
       {'1',
        "uncertainty (code 4) in more than a tenth of the checks together with global "
        "stress above 180 in more than a twentieth"}}}},
}};

constexpr std::array<PercentageMeaning, kProfilePercentages> kPercentages = {{
    {"excitement score",
     "excitement score per check (excitement above 140 scores 1, above 190 scores 3)"},
    {"high global stress", "checks with global stress above 180"},
    {"uncertainty", "checks with code 4 (uncertainty)"},
    {"low stress or sarcasm", "checks with code 2 (low lie stress or sarcasm)"},
    {"voice manipulation", "checks with code 6 (voice manipulation)"},
    {"lie", "checks with code 7 (lie)"},
    {"exaggeration", "checks with code 8 (exaggeration)"},
    {"long jumps", "checks whose average jump length is above 1.4 times the calibrated one"},
    {"short jumps", "checks whose average jump length is below 0.8 times the calibrated one"},
}};

constexpr std::array<int, kProfilePercentages> kPercentageDigit = {1, 2, 3, 4, 5, 6, 6, 7, 7};

}  // namespace

std::optional<CodeMeaning> ResultCodeMeaning(int code) {
  for (const ResultCodeEntry& entry : kCodes) {
    if (entry.code == code) return entry.meaning;
  }
  return std::nullopt;
}

std::span<const ResultCodeEntry> ResultCodes() {
  return kCodes;
}

std::string_view ProfileDigitTopic(int position) {
  if (position < 1 || position > kProfileDigits) return {};
  return kDigits[static_cast<std::size_t>(position - 1)].topic;
}

std::string_view ProfileDigitMeaning(int position, char digit) {
  if (position < 1 || position > kProfileDigits) return {};
  for (const DigitEntry& entry : kDigits[static_cast<std::size_t>(position - 1)].values) {
    if (entry.digit == digit && !entry.meaning.empty()) return entry.meaning;
  }
  return {};
}

PercentageMeaning ProfilePercentageMeaning(int index) {
  if (index < 0 || index >= kProfilePercentages) return {};
  return kPercentages[static_cast<std::size_t>(index)];
}

int ProfilePercentageDigit(int index) {
  if (index < 0 || index >= kProfilePercentages) return 0;
  return kPercentageDigit[static_cast<std::size_t>(index)];
}

}  // namespace pellix::analysis
