// From a recording to a result, as `pellix analyze` goes: a 44.1 kHz stereo WAV converted to
// the window the intake reads, then calibrated on and checked, against the conversion alone
// (of the WAV, read from its bytes, and of the same sound as FLAC, decoded by libFLAC).
#include <benchmark/benchmark.h>
#include <sndfile.h>
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

// The speech-like take raised from 11025 to 44100 Hz by linear interpolation, 16-bit stereo
// frames, the right channel a little quieter.
std::vector<std::int16_t> RecordingFrames() {
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
  return frames;
}

// A file in the temporary folder, removed at exit.
std::string TemporaryPath(const std::string& extension) {
  static std::vector<std::filesystem::path> made;
  static const bool removed_at_exit = [] {
    return std::atexit([] {
             for (const std::filesystem::path& file : made) std::filesystem::remove(file);
           }) == 0;
  }();
  (void)removed_at_exit;
  made.push_back(std::filesystem::temp_directory_path() /
                 ("pellix_bench_recording_" + std::to_string(::getpid()) + extension));
  return made.back().string();
}

// The recording as a WAV file.
const std::string& RecordingPath() {
  static const std::string path = [] {
    const std::vector<std::int16_t> frames = RecordingFrames();
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
    const std::string file = TemporaryPath(".wav");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
    return file;
  }();
  return path;
}

// The recording as a FLAC file, written by libsndfile.
const std::string& FlacPath() {
  static const std::string path = [] {
    const std::vector<std::int16_t> frames = RecordingFrames();
    const std::string file = TemporaryPath(".flac");
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* sound = sf_open(file.c_str(), SFM_WRITE, &info);
    if (sound != nullptr) {
      sf_writef_short(sound, frames.data(), static_cast<sf_count_t>(frames.size() / 2));
      sf_close(sound);
    }
    return file;
  }();
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

// The conversion alone: decoding, mixing down, resampling and quantising the window, of the WAV
// or of the FLAC file.
void BM_ConvertWindow(benchmark::State& state) {
  const std::string& path = state.range(0) != 0 ? FlacPath() : RecordingPath();
  for (auto _ : state) {
    pellix::ConvertedRecording take =
        pellix::ConvertToSamples(path, pellix::kDefaultSampleRate, pellix::kSampleWindow);
    benchmark::DoNotOptimize(take.samples.data());
  }
}
BENCHMARK(BM_ConvertWindow)->ArgName("flac")->Arg(0)->Arg(1);

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
