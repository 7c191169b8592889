#include "services/floor32.h"

namespace zk {

namespace {
constexpr int kBias = 1023;
constexpr int kFractionBits = 52;
constexpr std::uint64_t kFractionMask = (std::uint64_t{1} << kFractionBits) - 1;
}  // namespace

std::int32_t Floor32Bits(std::uint64_t bits) noexcept {
  const bool negative = (bits >> 63) != 0;
  const int exponent = static_cast<int>((bits >> kFractionBits) & 0x7FF);
  const std::uint64_t fraction = bits & kFractionMask;

  // NaN and infinities truncate to the integer indefinite (low half 0) and leave a NaN
  // fraction, which steps down.
  if (exponent == 0x7FF) return -1;
  // |v| >= 2^63 also truncates to the indefinite; such values have no fraction.
  if (exponent >= kBias + 63) return 0;
  // |v| < 1 truncates to 0; only a nonzero negative value leaves a negative fraction.
  if (exponent < kBias) return negative && (exponent != 0 || fraction != 0) ? -1 : 0;

  const std::uint64_t significand = fraction | (std::uint64_t{1} << kFractionBits);
  const int shift = exponent - (kBias + kFractionBits);
  std::uint64_t magnitude;
  bool cut_fraction = false;
  if (shift >= 0) {
    magnitude = significand << shift;
  } else {
    magnitude = significand >> -shift;
    cut_fraction = (significand & ((std::uint64_t{1} << -shift) - 1)) != 0;
  }
  // Unsigned arithmetic gives the 32-bit wrap-around without overflow.
  auto n = static_cast<std::uint32_t>(negative ? 0 - magnitude : magnitude);
  if (negative && cut_fraction) --n;
  return static_cast<std::int32_t>(n);
}

}  // namespace zk
