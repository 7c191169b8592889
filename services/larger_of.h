// The larger of two doubles, favouring the first on ties (+0.0 against -0.0 included)
// and whenever either is a NaN. Decided on the bits, so it neither depends on nor
// disturbs the caller's floating-point state.
#pragma once

#include <bit>
#include <cstdint>

namespace zk {

// True iff b > a under IEEE comparison.
inline bool LargerOfTakesB(std::uint64_t a_bits, std::uint64_t b_bits) noexcept {
  constexpr std::uint64_t kSign = std::uint64_t{1} << 63;
  constexpr std::uint64_t kInfinity = 0x7FF0'0000'0000'0000;
  const std::uint64_t a_abs = a_bits & ~kSign;
  const std::uint64_t b_abs = b_bits & ~kSign;
  if (a_abs > kInfinity || b_abs > kInfinity) return false;  // NaNs are unordered
  if ((a_abs | b_abs) == 0) return false;                    // +0.0 == -0.0
  // Sign-magnitude to an unsigned key that orders like the values.
  const auto key = [](std::uint64_t x) { return (x & kSign) != 0 ? ~x : x | kSign; };
  return key(b_bits) > key(a_bits);
}

inline double LargerOf(double a, double b) noexcept {
  return LargerOfTakesB(std::bit_cast<std::uint64_t>(a), std::bit_cast<std::uint64_t>(b)) ? b : a;
}

}  // namespace zk
