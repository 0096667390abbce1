// Takes that hold their sound in memory and own it: for a program that records or decodes
// takes itself (a live listener, the desk, the C and Python interfaces).
//
//   session.Check(PcmTake(std::move(samples), 44100, 2, "live 12"));
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/manifest.h"

namespace pellix::analysis {

// The bytes of a whole recording or sample file.
Take BytesTake(std::vector<std::uint8_t> bytes, std::string name);
// Interleaved PCM samples of `channels` values a frame at `rate` frames per second.
Take PcmTake(std::vector<std::int16_t> samples, std::uint32_t rate, std::uint32_t channels,
             std::string name);
Take PcmTake(std::vector<float> samples, std::uint32_t rate, std::uint32_t channels,
             std::string name);
Take PcmTake(std::vector<double> samples, std::uint32_t rate, std::uint32_t channels,
             std::string name);

}  // namespace pellix::analysis
