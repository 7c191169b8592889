// Floor through a signed 32-bit integer, the way the x87 does it: truncate to 64 bits,
// keep the low 32, step down when a negative fraction was cut off. Worked on the IEEE
// bits so the result never depends on the caller's control word and raises nothing.
#pragma once

#include <bit>
#include <cstdint>

namespace zk {

// The true floor for -2^31 <= v < 2^31, reduced modulo 2^32 outside that range;
// finite |v| >= 2^63 gives 0, NaN and both infinities give -1.
std::int32_t Floor32Bits(std::uint64_t bits) noexcept;

inline double Floor32(double v) noexcept { return Floor32Bits(std::bit_cast<std::uint64_t>(v)); }

}  // namespace zk
