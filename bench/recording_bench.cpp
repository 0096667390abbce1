// From a recording to a result, as `pellix analyze` goes: a 44.1 kHz stereo WAV converted to
// the window the intake reads, then calibrated on and checked, against the conversion alone.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/sample_source.h"
#include "analysis/session.h"
#include "audio/audio_converter.h"
#include "audio/pitch.h"
#include "audio/sample_file.h"
#include "bench/speech_take.h"
#include "platform/instruction_set.h"

namespace {

void Put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The speech-like take as a recording: raised from 11025 to 44100 Hz by linear interpolation,
// 16-bit stereo, the right channel a little quieter.
const std::string& RecordingPath() {
  static const std::string path = [] {
    const std::vector<std::uint8_t> take = pellix::bench::SpeechLikeTake();
    std::vector<std::int16_t> frames;
    for (std::size_t i = 49; i < take.size(); ++i) {
      const int value = (take[i] - 128) * 256;
      const int next = i + 1 < take.size() ? (take[i + 1] - 128) * 256 : value;
      for (int step = 0; step < 4; ++step) {
        const int left = value + (next - value) * step / 4;
        frames.push_back(static_cast<std::int16_t>(left));
        frames.push_back(static_cast<std::int16_t>(left * 7 / 8));
      }
    }
    const auto data = static_cast<std::uint32_t>(frames.size() * 2);
    std::vector<std::uint8_t> wav{'R', 'I', 'F', 'F'};
    Put(wav, 36 + data, 4);
    for (char c : std::string("WAVEfmt ")) wav.push_back(static_cast<std::uint8_t>(c));
    Put(wav, 16, 4);
    Put(wav, 1, 2);  // PCM
    Put(wav, 2, 2);
    Put(wav, 44100, 4);
    Put(wav, 44100 * 4, 4);
    Put(wav, 4, 2);
    Put(wav, 16, 2);
    for (char c : std::string("data")) wav.push_back(static_cast<std::uint8_t>(c));
    Put(wav, data, 4);
    for (std::int16_t s : frames) Put(wav, static_cast<std::uint16_t>(s), 2);
    const auto file = std::filesystem::temp_directory_path() /
                      ("pellix_bench_recording_" + std::to_string(::getpid()) + ".wav");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
    return file.string();
  }();
  static const bool removed_at_exit = [] {
    return std::atexit([] { std::filesystem::remove(path); }) == 0;
  }();
  (void)removed_at_exit;
  return path;
}

// A speaker's session on one calibration and one check of the recording; the time is per take.
void BM_RecordingToResult(benchmark::State& state) {
  pellix::analysis::SpeakerTakes takes;
  takes.calibrations.push_back({RecordingPath(), "take.wav"});
  takes.checks.push_back({RecordingPath(), "take.wav"});
  const pellix::analysis::SessionSettings settings;
  pellix::analysis::SampleSource source;
  bool failed = false;
  for (auto _ : state) {
    pellix::analysis::SessionOutcome outcome = RunSession(takes, settings, source);
    failed = failed || outcome.failed;
    benchmark::DoNotOptimize(outcome.events.data());
  }
  if (failed) state.SkipWithError("the recording was not analysed");
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_RecordingToResult);

// The conversion alone: decoding, mixing down, resampling and quantising the window.
void BM_ConvertWindow(benchmark::State& state) {
  for (auto _ : state) {
    pellix::ConvertedRecording take = pellix::ConvertToSamples(
        RecordingPath(), pellix::kDefaultSampleRate, pellix::kSampleWindow);
    benchmark::DoNotOptimize(take.samples.data());
  }
}
BENCHMARK(BM_ConvertWindow);

// The pitch of the converted window, by our YIN on whole numbers and by aubio's.
void BM_TrackPitch(benchmark::State& state) {
  const pellix::ConvertedRecording take =
      pellix::ConvertToSamples(RecordingPath(), pellix::kDefaultSampleRate, pellix::kSampleWindow);
  const auto method = static_cast<pellix::PitchMethod>(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(pellix::TrackPitch(take.samples, take.rate, method));
  }
}
BENCHMARK(BM_TrackPitch)
    ->ArgName("aubio")
    ->Arg(static_cast<int>(pellix::PitchMethod::kWhole))
    ->Arg(static_cast<int>(pellix::PitchMethod::kAubio));

// Our YIN's forms side by side on the same window: the argument caps the instruction set
// (InstructionSet: 2 AVX2, 3 AVX-512). Below AVX-512 the estimate runs in its form for any
// processor, whose compiled copies take AVX-512's wider vectors where the processor has them;
// from AVX-512 with dot products of bytes on, in the form of its own.
void BM_WholePitchForms(benchmark::State& state) {
  const pellix::ConvertedRecording take =
      pellix::ConvertToSamples(RecordingPath(), pellix::kDefaultSampleRate, pellix::kSampleWindow);
  const auto form = static_cast<pellix::InstructionSet>(state.range(0));
  pellix::LimitInstructionSet(form);
  std::size_t frames = 0;
  for (auto _ : state) {
    const pellix::PitchFigures figures = pellix::TrackPitch(take.samples, take.rate);
    frames += figures.frames;
    benchmark::DoNotOptimize(figures);
  }
  pellix::LimitInstructionSet(pellix::kWidestInstructionSet);
  state.SetLabel(pellix::ActiveInstructionSet() >= form ? "" : "form not available");
  state.counters["PerFrame"] = benchmark::Counter(
      static_cast<double>(frames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WholePitchForms)
    ->ArgName("form")
    ->Arg(static_cast<int>(pellix::InstructionSet::kAvx2))
    ->Arg(static_cast<int>(pellix::InstructionSet::kAvx512));

}  // namespace
