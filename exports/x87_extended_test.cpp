#include "exports/x87_extended.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace zk {
namespace {

// On x86-64, long double is the x87 format itself and converting to it is an x87 load.
static_assert(std::numeric_limits<long double>::digits == 64);

using Extended = std::array<std::uint8_t, 10>;

Extended Native(std::uint64_t bits) {
  volatile double d = std::bit_cast<double>(bits);  // converted at run time by the x87
  const long double e = d;
  Extended out;
  std::memcpy(out.data(), &e, out.size());
  return out;
}

Extended Pack(std::uint64_t significand, std::uint16_t sign_exponent) {
  Extended out;
  for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(significand >> (8 * i));
  out[8] = static_cast<std::uint8_t>(sign_exponent);
  out[9] = static_cast<std::uint8_t>(sign_exponent >> 8);
  return out;
}

struct ExtendedCase {
  std::uint64_t bits;
  std::uint64_t significand;
  std::uint16_t sign_exponent;
  const char* why;
};

const ExtendedCase kExtendedCases[] = {
    {0x0000'0000'0000'0000, 0x0000'0000'0000'0000, 0x0000, "+0.0"},
    {0x8000'0000'0000'0000, 0x0000'0000'0000'0000, 0x8000, "-0.0 keeps its sign"},
    {0x3FF0'0000'0000'0000, 0x8000'0000'0000'0000, 0x3FFF, "1.0: explicit integer bit"},
    {0xC000'0000'0000'0000, 0x8000'0000'0000'0000, 0xC000, "-2.0"},
    {0x3FB9'9999'9999'999A, 0xCCCC'CCCC'CCCC'D000, 0x3FFB, "0.1"},
    {0x7FEF'FFFF'FFFF'FFFF, 0xFFFF'FFFF'FFFF'F800, 0x43FE, "largest double"},
    {0x0010'0000'0000'0000, 0x8000'0000'0000'0000, 0x3C01, "smallest normal"},
    {0x000F'FFFF'FFFF'FFFF, 0xFFFF'FFFF'FFFF'F000, 0x3C00, "largest subnormal, normalised"},
    {0x0000'0000'0000'0003, 0xC000'0000'0000'0000, 0x3BCE, "subnormal 3 * 2^-1074"},
    {0x8000'0000'0000'0001, 0x8000'0000'0000'0000, 0xBBCD, "-2^-1074"},
    {0x7FF0'0000'0000'0000, 0x8000'0000'0000'0000, 0x7FFF, "+inf"},
    {0xFFF0'0000'0000'0000, 0x8000'0000'0000'0000, 0xFFFF, "-inf"},
    {0xFFF8'0000'0000'0000, 0xC000'0000'0000'0000, 0xFFFF, "the default NaN"},
    {0x7FFC'0000'0000'0123, 0xE000'0000'0009'1800, 0x7FFF, "quiet NaN payload kept"},
    {0x7FF0'0000'0000'0001, 0xC000'0000'0000'0800, 0x7FFF, "signalling NaN quieted"},
    {0xFFF7'FFFF'FFFF'FFFF, 0xFFFF'FFFF'FFFF'F800, 0xFFFF, "signalling NaN: sign and payload kept"},
};

TEST(ToExtended, Table) {
  for (const auto& c : kExtendedCases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(ToExtended(c.bits), Pack(c.significand, c.sign_exponent));
  }
}

// The oracle's own behaviour for signalling NaNs is what the exports rely on too.
TEST(ToExtended, NativeLoadQuietsSignallingNaNs) {
  EXPECT_EQ(Native(0x7FF0'0000'0000'0001), Pack(0xC000'0000'0000'0800, 0x7FFF));
}

void ExpectMatchesNative(std::uint64_t bits) {
  ASSERT_EQ(ToExtended(bits), Native(bits)) << "bits 0x" << std::hex << bits;
}

TEST(ToExtended, RandomBitPatterns) {
  std::mt19937_64 rng(31);
  for (int i = 0; i < 1'000'000; ++i) ExpectMatchesNative(rng());
}

TEST(ToExtended, RandomSubnormalsInfinitiesAndNaNs) {
  constexpr std::uint64_t kFraction = 0x000F'FFFF'FFFF'FFFF;
  constexpr std::uint64_t kSign = std::uint64_t{1} << 63;
  constexpr std::uint64_t kAllOnesExponent = 0x7FF0'0000'0000'0000;
  std::mt19937_64 rng(32);
  for (int i = 0; i < 200'000; ++i) {
    // Fractions of every width, so the normalising shift takes all its values.
    const std::uint64_t fraction = (rng() & kFraction) >> (rng() % 53);
    ExpectMatchesNative(fraction | (rng() & kSign));
    ExpectMatchesNative(fraction | (rng() & kSign) | kAllOnesExponent);
  }
}

}  // namespace
}  // namespace zk
