#include "exports/x87_extended.h"

#include <bit>

namespace zk {

namespace {
constexpr int kDoubleBias = 1023;
constexpr int kExtendedBias = 16383;
constexpr int kFractionBits = 52;
constexpr std::uint64_t kIntegerBit = std::uint64_t{1} << 63;
constexpr std::uint64_t kQuietBit = std::uint64_t{1} << 62;
}  // namespace

std::array<std::uint8_t, 10> ToExtended(std::uint64_t double_bits) noexcept {
  const std::uint16_t sign = (double_bits >> 63) != 0 ? 0x8000 : 0;
  const int exponent = static_cast<int>((double_bits >> kFractionBits) & 0x7FF);
  const std::uint64_t fraction = double_bits & ((std::uint64_t{1} << kFractionBits) - 1);

  std::uint64_t significand = 0;
  int extended_exponent = 0;  // zero stays zero
  if (exponent == 0x7FF) {
    extended_exponent = 0x7FFF;
    significand = kIntegerBit | (fraction << 11);
    if (fraction != 0) significand |= kQuietBit;
  } else if (exponent != 0) {
    extended_exponent = exponent - kDoubleBias + kExtendedBias;
    significand = kIntegerBit | (fraction << 11);
  } else if (fraction != 0) {
    // Subnormal: value = fraction * 2^-1074; the wider exponent holds it normalised.
    const int lead = std::countl_zero(fraction);
    significand = fraction << lead;
    extended_exponent = kExtendedBias + 63 - (kDoubleBias + kFractionBits - 1) - lead;
  }

  const std::uint16_t top = sign | static_cast<std::uint16_t>(extended_exponent);
  std::array<std::uint8_t, 10> bytes{};
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(significand >> (8 * i));
  bytes[8] = static_cast<std::uint8_t>(top);
  bytes[9] = static_cast<std::uint8_t>(top >> 8);
  return bytes;
}

}  // namespace zk
