#include "analysis/memory_take.h"

#include <memory>
#include <span>
#include <utility>

namespace pellix::analysis {
namespace {

// The take's spans point into the vector the take keeps alive.
template <typename Value>
Take OwningPcmTake(std::vector<Value> samples, std::uint32_t rate, std::uint32_t channels,
                   std::string name, std::span<const Value> PcmSamples::*form) {
  auto owned = std::make_shared<const std::vector<Value>>(std::move(samples));
  Take take;
  take.name = std::move(name);
  PcmSamples& pcm = take.pcm.emplace();
  pcm.*form = std::span<const Value>(*owned);
  pcm.rate = rate;
  pcm.channels = channels;
  take.owner = std::move(owned);
  return take;
}

}  // namespace

Take BytesTake(std::vector<std::uint8_t> bytes, std::string name) {
  auto owned = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
  Take take;
  take.name = std::move(name);
  take.bytes = std::span<const std::uint8_t>(*owned);
  take.owner = std::move(owned);
  return take;
}

Take PcmTake(std::vector<std::int16_t> samples, std::uint32_t rate, std::uint32_t channels,
             std::string name) {
  return OwningPcmTake(std::move(samples), rate, channels, std::move(name), &PcmSamples::whole16);
}

Take PcmTake(std::vector<float> samples, std::uint32_t rate, std::uint32_t channels,
             std::string name) {
  return OwningPcmTake(std::move(samples), rate, channels, std::move(name), &PcmSamples::floats);
}

Take PcmTake(std::vector<double> samples, std::uint32_t rate, std::uint32_t channels,
             std::string name) {
  return OwningPcmTake(std::move(samples), rate, channels, std::move(name), &PcmSamples::doubles);
}

}  // namespace pellix::analysis
