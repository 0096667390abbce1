#include "audio/pitch.h"

#include "audio/whole_yin.h"

#include <aubio/aubio.h>
#include <dlfcn.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace pellix {
namespace {

constexpr uint_t kFrameSize = 512;
constexpr uint_t kHopSize = 256;

// aubio is loaded on first use rather than linked: it brings a whole media stack with it
// (over a hundred libraries), which every pellix command would otherwise map at start, in time
// and address space, for a figure only analyze reports.
constexpr const char* kAubioLibrary = "libaubio.so.5";

struct Aubio {
  decltype(&new_aubio_pitch) new_pitch = nullptr;
  decltype(&del_aubio_pitch) del_pitch = nullptr;
  decltype(&aubio_pitch_do) pitch_do = nullptr;
  decltype(&aubio_pitch_set_unit) set_unit = nullptr;
  decltype(&aubio_pitch_set_silence) set_silence = nullptr;
  decltype(&aubio_pitch_get_confidence) get_confidence = nullptr;
  decltype(&new_fvec) new_vector = nullptr;
  decltype(&del_fvec) del_vector = nullptr;
};

template <typename Function>
void Find(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
}

// The library's functions; nothing when it cannot be loaded (the pitch is then not measured).
const Aubio* LoadAubio() {
  static const std::optional<Aubio> aubio = []() -> std::optional<Aubio> {
    void* library = ::dlopen(kAubioLibrary, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return std::nullopt;
    Aubio a;
    Find(library, "new_aubio_pitch", a.new_pitch);
    Find(library, "del_aubio_pitch", a.del_pitch);
    Find(library, "aubio_pitch_do", a.pitch_do);
    Find(library, "aubio_pitch_set_unit", a.set_unit);
    Find(library, "aubio_pitch_set_silence", a.set_silence);
    Find(library, "aubio_pitch_get_confidence", a.get_confidence);
    Find(library, "new_fvec", a.new_vector);
    Find(library, "del_fvec", a.del_vector);
    if (!a.new_pitch || !a.del_pitch || !a.pitch_do || !a.set_unit || !a.set_silence ||
        !a.get_confidence || !a.new_vector || !a.del_vector) {
      return std::nullopt;
    }
    return a;
  }();
  return aubio ? &*aubio : nullptr;
}

// A tracker for `rate`, kept for the life of the calling thread: making one plans
// its FFTs, which costs more than tracking a whole take. Reusing it is safe because a tracker
// carries nothing from one take to the next but the last frame's samples, and the first frame
// of a take is only counted once its own samples have filled it (see TrackPitch). Nothing when
// aubio refuses the settings.
aubio_pitch_t* Tracker(const Aubio& aubio, std::uint32_t rate) {
  struct Kept {
    std::uint32_t rate;
    std::unique_ptr<aubio_pitch_t, void (*)(aubio_pitch_t*)> tracker;
  };
  thread_local std::vector<Kept> kept;
  for (const Kept& k : kept) {
    if (k.rate == rate) return k.tracker.get();
  }
  aubio_pitch_t* tracker = aubio.new_pitch("yin", kFrameSize, kHopSize, rate);
  if (tracker == nullptr) return nullptr;
  aubio.set_unit(tracker, "Hz");
  // Confidence decides what is voiced, not loudness: a quiet voice is still a voice.
  aubio.set_silence(tracker, -90);
  // The rates a thread meets are few (usually one); a thread that meets many keeps the last few.
  constexpr std::size_t kKeptRates = 4;
  if (kept.size() == kKeptRates) kept.erase(kept.begin());
  kept.push_back({rate, {tracker, [](aubio_pitch_t* p) { LoadAubio()->del_pitch(p); }}});
  return tracker;
}

// Every frame's pitch and confidence by aubio's own YIN, handed to `keep`; false when aubio's
// library cannot be loaded or refuses the settings.
template <typename Keep>
bool TrackWithAubio(std::span<const std::uint8_t> samples, std::uint32_t rate, std::size_t& frames,
                    const Keep& keep) {
  const Aubio* aubio = LoadAubio();
  if (aubio == nullptr) return false;
  aubio_pitch_t* const tracker = Tracker(*aubio, rate);
  auto del_vector = [aubio](fvec_t* v) { aubio->del_vector(v); };
  std::unique_ptr<fvec_t, decltype(del_vector)> hop(aubio->new_vector(kHopSize), del_vector);
  std::unique_ptr<fvec_t, decltype(del_vector)> out(aubio->new_vector(1), del_vector);
  if (tracker == nullptr || !hop || !out) return false;
  // aubio keeps the last frame's worth of hops itself: the first full frame is complete after
  // kFrameSize / kHopSize hops, and only frames from there on are counted.
  const std::size_t warmup = kFrameSize / kHopSize - 1;
  std::size_t hops = 0;
  // (s - 128) / 128 is exact in any floating type, and multiplying by 1/128, a power of two,
  // gives it as dividing does, many values at a time.
  constexpr auto kStep = static_cast<smpl_t>(1.0 / 128.0);
  smpl_t* const values = hop->data;
  for (std::size_t start = 0; start + kHopSize <= samples.size(); start += kHopSize, ++hops) {
    const std::uint8_t* const from = samples.data() + start;
    for (uint_t i = 0; i < kHopSize; ++i) values[i] = static_cast<smpl_t>(from[i] - 128) * kStep;
    aubio->pitch_do(tracker, hop.get(), out.get());
    if (hops < warmup) continue;
    ++frames;
    keep(out->data[0], aubio->get_confidence(tracker));
  }
  return true;
}

// The value at `share` (0 to 1) of sorted `values`, by the nearest rank below.
double AtShare(const std::vector<double>& sorted, double share) {
  return sorted[static_cast<std::size_t>(share * static_cast<double>(sorted.size() - 1))];
}

}  // namespace

PitchFigures TrackPitch(std::span<const std::uint8_t> samples, std::uint32_t rate,
                        PitchMethod method) {
  PitchFigures figures;
  if (samples.size() < kFrameSize || rate == 0) return figures;
  std::vector<double> voiced;
  const auto keep = [&voiced](double hz, double confidence) {
    if (confidence >= kVoicedConfidence && hz >= kLowestPitch && hz <= kHighestPitch) {
      voiced.push_back(hz);
    }
  };
  if (method == PitchMethod::kWhole) {
    for (std::size_t start = 0; start + kFrameSize <= samples.size(); start += kHopSize) {
      ++figures.frames;
      const std::span<const std::uint8_t> frame = samples.subspan(start, kFrameSize);
      // No period, so not voiced, whatever the search would find: pauses are common in takes,
      // and the search through a silence runs its whole length.
      if (NewestHalfSilent(frame)) continue;
      const YinEstimate estimate = EstimatePeriod(frame);
      keep(estimate.period > 0 ? rate / estimate.period : 0, estimate.confidence);
    }
  } else if (!TrackWithAubio(samples, rate, figures.frames, keep)) {
    return figures;
  }
  if (figures.frames == 0) return figures;
  figures.voiced_share = static_cast<double>(voiced.size()) / static_cast<double>(figures.frames);
  if (voiced.empty()) return figures;
  std::sort(voiced.begin(), voiced.end());
  const double median = AtShare(voiced, 0.5);
  figures.median_hz = median;
  figures.steady = voiced.size() >= kSteadyFrames &&
                   AtShare(voiced, 0.9) - AtShare(voiced, 0.1) <= kSteadySpread * median;
  return figures;
}

}  // namespace pellix
