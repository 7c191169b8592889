// Rounding half up through Floor32: the half is added in double precision first, so the
// sum's own rounding (to nearest, ties to even) decides values just below a half and
// beyond 2^52. Computed on the bits, independent of the caller's control word.
#pragma once

#include <bit>
#include <cstdint>

namespace zk {

// Floor32 of x + 0.5, where the sum is rounded to a double (nearest, ties to even).
std::int32_t RoundHalfUpBits(std::uint64_t bits) noexcept;

inline double RoundHalfUp(double x) noexcept {
  return RoundHalfUpBits(std::bit_cast<std::uint64_t>(x));
}

}  // namespace zk
