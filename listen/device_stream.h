// Capture devices through PortAudio (on Linux, ALSA, and through its "pulse" and "default"
// devices a PulseAudio or PipeWire server).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "listen/sound_stream.h"

namespace pellix::listen {

struct InputDevice {
  int index = 0;
  std::string name;
  int channels = 0;  // the most input channels it offers
  double rate = 0;   // its default rate
  bool is_default = false;
};

// The devices that can capture. Throws StreamError when PortAudio cannot start.
std::vector<InputDevice> ListInputDevices();

// Captures 16-bit samples from the default input device, or the one whose name is `device`
// (or contains it, or whose number it is), at `rate` (the device's default rate when not
// given) and `channels` (1 when not given). Throws StreamError when there is no such device
// or it cannot be opened. A device that stops delivering reads as kFailed.
std::unique_ptr<SoundStream> OpenDeviceStream(const std::optional<std::string>& device,
                                              std::optional<std::uint32_t> rate,
                                              std::optional<std::uint32_t> channels);

}  // namespace pellix::listen
