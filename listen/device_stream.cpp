#include "listen/device_stream.h"

#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

#include "listen/input_stream.h"
#include "platform/error.h"

namespace pellix::listen {
namespace {

// How long a device may deliver nothing before it counts as gone (the sound server stopped,
// the device was unplugged): a working device delivers every few milliseconds.
constexpr std::chrono::seconds kDeviceSilence{2};
// Sound captured and not yet read: beyond this the oldest is lost (and counted).
constexpr double kQueueSeconds = 4;

// ALSA's library reports every device it probes on standard error, working or not; while
// PortAudio starts, those lines go nowhere.
class QuietStandardError {
 public:
  QuietStandardError() {
    saved_ = ::dup(2);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) ::dup2(null, 2);
    if (null >= 0) ::close(null);
  }
  ~QuietStandardError() {
    if (saved_ >= 0) {
      ::dup2(saved_, 2);
      ::close(saved_);
    }
  }

 private:
  int saved_ = -1;
};

// PortAudio started for as long as one lives.
class PortAudio {
 public:
  PortAudio() {
    QuietStandardError quiet;
    const PaError e = Pa_Initialize();
    if (e != paNoError)
      throw StreamError(kPathFileAccessError,
                        std::string("cannot start PortAudio: ") + Pa_GetErrorText(e));
  }
  ~PortAudio() { Pa_Terminate(); }
  PortAudio(const PortAudio&) = delete;
  PortAudio& operator=(const PortAudio&) = delete;
};

std::vector<InputDevice> Devices() {
  std::vector<InputDevice> devices;
  const PaDeviceIndex count = Pa_GetDeviceCount();
  const PaDeviceIndex default_input = Pa_GetDefaultInputDevice();
  for (PaDeviceIndex i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (info == nullptr || info->maxInputChannels < 1) continue;
    devices.push_back(
        {i, info->name, info->maxInputChannels, info->defaultSampleRate, i == default_input});
  }
  return devices;
}

class DeviceStream final : public SoundStream {
 public:
  DeviceStream(const std::optional<std::string>& device, std::optional<std::uint32_t> rate,
               std::optional<std::uint32_t> channels)
      : audio_(std::make_unique<PortAudio>()) {
    const InputDevice chosen = Choose(device);
    name_ = "the device '" + chosen.name + "'";
    format_.format = SampleFormat::kS16;
    format_.rate = rate.value_or(static_cast<std::uint32_t>(std::lround(chosen.rate)));
    format_.channels = channels.value_or(1);
    if (std::string problem = FormatProblem(format_); !problem.empty())
      throw StreamError(kInvalidProcedureCall, name_ + ": " + problem);
    if (format_.channels > static_cast<std::uint32_t>(chosen.channels)) {
      throw StreamError(kInvalidProcedureCall, name_ + " captures at most " +
                                                   std::to_string(chosen.channels) + " channels");
    }
    queue_.resize(static_cast<std::size_t>(kQueueSeconds * format_.rate) * format_.frame_bytes());
    PaStreamParameters input{};
    input.device = chosen.index;
    input.channelCount = static_cast<int>(format_.channels);
    input.sampleFormat = paInt16;
    input.suggestedLatency = Pa_GetDeviceInfo(chosen.index)->defaultLowInputLatency;
    PaError e;
    {
      QuietStandardError quiet;
      e = Pa_OpenStream(&stream_, &input, nullptr, format_.rate, format_.rate / 100, paClipOff,
                        &DeviceStream::Captured, this);
      if (e == paNoError) e = Pa_SetStreamFinishedCallback(stream_, &DeviceStream::Finished);
      if (e == paNoError) e = Pa_StartStream(stream_);
    }
    if (e != paNoError) {
      if (stream_ != nullptr) Pa_CloseStream(stream_);
      throw StreamError(kPathFileAccessError, "cannot capture from " + name_ + " at " +
                                                  std::to_string(format_.rate) +
                                                  " Hz: " + Pa_GetErrorText(e));
    }
  }

  ~DeviceStream() override {
    Pa_AbortStream(stream_);
    Pa_CloseStream(stream_);
  }

  const StreamFormat& format() const override { return format_; }
  const std::string& name() const override { return name_; }

  StreamRead Read(std::span<std::byte> out, std::chrono::milliseconds wait) override {
    StreamRead result;
    std::unique_lock lock(mutex_);
    const bool got = arrived_.wait_for(lock, wait, [this] { return held_ > 0 || finished_; });
    if (!got) {
      if (Clock::now() - last_delivery_ > kDeviceSilence || Pa_IsStreamActive(stream_) != 1) {
        result.status = StreamRead::Status::kFailed;
        result.message = name_ +
                         " stopped delivering sound (was the sound server stopped, or "
                         "the device unplugged?)";
      } else {
        result.status = StreamRead::Status::kStall;
      }
      return result;
    }
    if (held_ == 0) {
      result.status = StreamRead::Status::kFailed;
      result.message = name_ +
                       " stopped capturing (was the sound server stopped, or the "
                       "device unplugged?)";
      return result;
    }
    const std::size_t frame = format_.frame_bytes();
    const std::size_t frames = std::min(out.size() / frame, held_ / frame);
    for (std::size_t i = 0; i < frames * frame; ++i) out[i] = queue_[(head_ + i) % queue_.size()];
    head_ = (head_ + frames * frame) % queue_.size();
    held_ -= frames * frame;
    result.frames = frames;
    result.live_at = LiveAt(read_);
    read_ += frames;
    if (lost_ > 0) {
      result.message = std::to_string(lost_) + " frames were lost: the listener fell behind";
      lost_ = 0;
    }
    return result;
  }

 private:
  static InputDevice Choose(const std::optional<std::string>& wanted) {
    const std::vector<InputDevice> devices = Devices();
    if (devices.empty())
      throw StreamError(kFileNotFound, "no capture device: PortAudio finds no input");
    if (!wanted) {
      for (const InputDevice& d : devices)
        if (d.is_default) return d;
      throw StreamError(kFileNotFound,
                        "no default capture device; choose one with --device (--list-devices)");
    }
    for (const InputDevice& d : devices)
      if (d.name == *wanted || std::to_string(d.index) == *wanted) return d;
    for (const InputDevice& d : devices)
      if (d.name.find(*wanted) != std::string::npos) return d;
    throw StreamError(kFileNotFound,
                      "no capture device '" + *wanted + "' (pellix listen --list-devices)");
  }

  // On PortAudio's thread: the frames go into the queue, with when they were sound.
  static int Captured(const void* input, void*, unsigned long frames,
                      const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags, void* self) {
    auto& s = *static_cast<DeviceStream*>(self);
    const Clock::time_point now = Clock::now();
    // The first frame was sound in the room as long before now as the device's clock says.
    Clock::time_point live_at =
        now - std::chrono::duration_cast<Clock::duration>(
                  std::chrono::duration<double>(static_cast<double>(frames) / s.format_.rate));
    if (time != nullptr && time->inputBufferAdcTime > 0 && time->currentTime > 0 &&
        time->currentTime >= time->inputBufferAdcTime) {
      // Never later than the block's length before now, whatever the device's clock says.
      live_at = std::min(
          live_at, now - std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                             time->currentTime - time->inputBufferAdcTime)));
    }
    const std::size_t bytes = frames * s.format_.frame_bytes();
    {
      std::lock_guard lock(s.mutex_);
      s.last_delivery_ = now;
      const auto* data = static_cast<const std::byte*>(input);
      if (bytes > s.queue_.size() - s.held_) {
        // A listener this far behind loses what comes now, and hears of it.
        s.lost_ += frames;
        return paContinue;
      }
      for (std::size_t i = 0; i < bytes; ++i)
        s.queue_[(s.head_ + s.held_ + i) % s.queue_.size()] =
            data != nullptr ? data[i] : std::byte{0};
      s.held_ += bytes;
      s.anchors_.push_back({s.written_, live_at});
      if (s.anchors_.size() > 64) s.anchors_.pop_front();
      s.written_ += frames;
    }
    s.arrived_.notify_one();
    return paContinue;
  }

  static void Finished(void* self) {
    auto& s = *static_cast<DeviceStream*>(self);
    {
      std::lock_guard lock(s.mutex_);
      s.finished_ = true;
    }
    s.arrived_.notify_one();
  }

  // When frame `position` was sound, from the latest callback at or before it. Under the lock.
  Clock::time_point LiveAt(std::uint64_t position) const {
    for (auto a = anchors_.rbegin(); a != anchors_.rend(); ++a) {
      if (a->position <= position) {
        return a->at + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                           static_cast<double>(position - a->position) / format_.rate));
      }
    }
    return Clock::now();
  }

  struct Anchor {
    std::uint64_t position;
    Clock::time_point at;
  };

  std::unique_ptr<PortAudio> audio_;
  PaStream* stream_ = nullptr;
  std::string name_;
  StreamFormat format_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<std::byte> queue_;
  std::size_t head_ = 0;
  std::size_t held_ = 0;
  std::uint64_t written_ = 0;  // frames captured
  std::uint64_t read_ = 0;     // frames read
  std::uint64_t lost_ = 0;
  std::deque<Anchor> anchors_;
  Clock::time_point last_delivery_ = Clock::now();
  bool finished_ = false;
};

}  // namespace

std::vector<InputDevice> ListInputDevices() {
  PortAudio audio;
  return Devices();
}

std::unique_ptr<SoundStream> OpenDeviceStream(const std::optional<std::string>& device,
                                              std::optional<std::uint32_t> rate,
                                              std::optional<std::uint32_t> channels) {
  return std::make_unique<DeviceStream>(device, rate, channels);
}

}  // namespace pellix::listen
