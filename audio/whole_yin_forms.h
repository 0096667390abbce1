// The forms of whole_yin.h's estimate: the plain one, for any processor, and one in AVX-512 with
// its dot products of bytes (VNNI) where the processor has them. Both compute the same integers
// and the same doubles by the same operations in the same order, so their estimates are equal
// bit for bit; EstimatePeriod picks the widest the instruction set in force allows
// (platform/instruction_set.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "audio/whole_yin.h"

namespace pellix::whole_yin {

// Lags computed past the last: a form may work out a block of lags beyond the frame's.
inline constexpr std::size_t kLagsPast = 16;

// The normalised difference of every lag worked out, d'(0) = 1 first.
using Normalised = std::array<double, kMaxYinLags + kLagsPast>;

// The estimate for `frame` from its normalised differences: `best` is the lag chosen and
// `known` how many lags from 0 are there to refine it with. Defined once, outside any form's
// target, so that every form rounds it alike.
YinEstimate Conclude(const Normalised& normalised, std::size_t best, std::size_t known,
                     std::span<const std::uint8_t> frame);

YinEstimate EstimatePeriodPlain(std::span<const std::uint8_t> frame);

// Whether this processor has what the AVX-512 form uses, whatever the limit in force; an x86-64
// build that is not portable has the form.
bool HasAvx512Form() noexcept;
YinEstimate EstimatePeriodAvx512(std::span<const std::uint8_t> frame);

}  // namespace pellix::whole_yin
