#include "services/round_half_up.h"

#include <bit>

#include "services/floor32.h"

namespace zk {

namespace {
constexpr int kBias = 1023;
constexpr int kFractionBits = 52;
constexpr std::uint64_t kHiddenBit = std::uint64_t{1} << kFractionBits;
constexpr std::uint64_t kFractionMask = kHiddenBit - 1;
}  // namespace

std::int32_t RoundHalfUpBits(std::uint64_t bits) noexcept {
  const bool negative = (bits >> 63) != 0;
  const int exponent = static_cast<int>((bits >> kFractionBits) & 0x7FF);

  // NaN + 0.5 is a NaN and inf + 0.5 is inf: Floor32 gives the same for either.
  // From 2^53 up the half is below half an ulp and the sum rounds back to x.
  if (exponent == 0x7FF || exponent >= kBias + kFractionBits + 1) return Floor32Bits(bits);
  // |x| < 0.25 puts the sum strictly inside (0.25, 0.75).
  if (exponent < kBias - 2) return 0;

  // Fixed point in units of half an ulp of x, which is 2^-55 or coarser here: x fits in
  // 54 bits, the half in at most 55, so the signed sum stays well inside 64 bits.
  const int unit_exponent = exponent - (kBias + kFractionBits + 1);  // -55 .. -1
  const auto x_units = static_cast<std::int64_t>(((bits & kFractionMask) | kHiddenBit) << 1);
  const std::int64_t half_units = std::int64_t{1} << (-1 - unit_exponent);
  const std::int64_t sum = (negative ? -x_units : x_units) + half_units;
  if (sum == 0) return 0;  // x = -0.5: the sum is +0.0

  // Round the sum to 53 significant bits, ties to even, and hand the double to Floor32.
  const bool sum_negative = sum < 0;
  auto magnitude = static_cast<std::uint64_t>(sum_negative ? -sum : sum);
  int scale = unit_exponent;
  const int excess = std::bit_width(magnitude) - (kFractionBits + 1);
  if (excess > 0) {
    const std::uint64_t rest = magnitude & ((std::uint64_t{1} << excess) - 1);
    const std::uint64_t tie = std::uint64_t{1} << (excess - 1);
    magnitude >>= excess;
    scale += excess;
    if (rest > tie || (rest == tie && (magnitude & 1) != 0)) ++magnitude;
    if (magnitude == kHiddenBit << 1) {  // carried into a new binade
      magnitude >>= 1;
      ++scale;
    }
  } else {
    magnitude <<= -excess;
    scale += excess;
  }
  const auto biased = static_cast<std::uint64_t>(scale + kBias + kFractionBits);
  const std::uint64_t sum_bits = (std::uint64_t{sum_negative} << 63) | (biased << kFractionBits) |
                                 (magnitude & kFractionMask);
  return Floor32Bits(sum_bits);
}

}  // namespace zk
