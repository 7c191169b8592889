#include "services/floor32.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace zk {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMax = std::numeric_limits<double>::max();

std::uint64_t Bits(double v) { return std::bit_cast<std::uint64_t>(v); }

// Floor from libm, then the reduction modulo 2^32 on its own.
std::int32_t ReferenceFloor32(double v) {
  if (std::isnan(v) || std::isinf(v)) return -1;
  if (std::fabs(v) >= 0x1p63) return 0;
  const auto floor = static_cast<std::int64_t>(std::floor(v));
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(floor));
}

struct Floor32Case {
  double v;
  std::int32_t expected;
  const char* why;
};

const Floor32Case kFloor32Cases[] = {
    {0.0, 0, ""},
    {-0.0, 0, "no fraction, no step down; the double result is +0.0"},
    {0.5, 0, ""},
    {-0.5, -1, "negative fraction steps down"},
    {0x1.fffffffffffffp-1, 0, "just below 1"},
    {-0x1.fffffffffffffp-1, -1, ""},
    {0x1p-1074, 0, "smallest subnormal"},
    {-0x1p-1074, -1, "smallest negative subnormal still steps down"},
    {-0x1p-1022, -1, "smallest negative normal"},
    {1.0, 1, ""},
    {-1.0, -1, "integral negatives do not step down"},
    {2.7, 2, ""},
    {-2.7, -3, ""},
    {2147483647.0, 2147483647, ""},
    {2147483647.5, 2147483647, "largest value with a true floor"},
    {2147483648.0, -2147483648, "2^31 wraps"},
    {3e9, -1294967296, ""},
    {4294967295.5, -1, "2^32 - 1 wraps to -1"},
    {4294967296.0, 0, "2^32"},
    {4294967301.5, 5, ""},
    {-2147483647.5, -2147483648, ""},
    {-2147483648.0, -2147483648, "-2^31 is in range"},
    {-2147483648.5, 2147483647, "the step down wraps"},
    {-3000000000.5, 1294967295, ""},
    {-4294967296.0, 0, "-2^32"},
    {-4294967296.5, -1, ""},
    {0x1p52 - 0.5, -1, "last binade with fractions"},
    {-(0x1p52 - 0.5), 0, "steps down to -2^52"},
    {0x1p52 + 1, 1, "first binade without fractions"},
    {0x1.fffffffffffffp62, -1024, "largest below 2^63: 2^63 - 1024"},
    {-0x1.fffffffffffffp62, 1024, ""},
    {0x1p63, 0, "integer indefinite from 2^63 up"},
    {-0x1p63, 0, "-2^63 itself truncates to the same bits"},
    {1e19, 0, ""},
    {-1e19, 0, ""},
    {kMax, 0, ""},
    {-kMax, 0, ""},
    {kInf, -1, "indefinite, then the NaN fraction steps down"},
    {-kInf, -1, ""},
    {kNaN, -1, ""},
    {-kNaN, -1, ""},
    {std::numeric_limits<double>::signaling_NaN(), -1, ""},
};

TEST(Floor32, Table) {
  for (const auto& c : kFloor32Cases) {
    SCOPED_TRACE(testing::Message() << c.v << " (" << c.why << ")");
    EXPECT_EQ(Floor32Bits(Bits(c.v)), c.expected);
    // Compared as bits: an integer result is never -0.0.
    EXPECT_EQ(Bits(Floor32(c.v)), Bits(static_cast<double>(c.expected)));
  }
}

void ExpectMatchesReference(double v) {
  ASSERT_EQ(Floor32Bits(Bits(v)), ReferenceFloor32(v)) << v << " bits 0x" << std::hex << Bits(v);
}

TEST(Floor32, RandomBitPatterns) {
  std::mt19937_64 rng(1);
  for (int i = 0; i < 1'000'000; ++i) ExpectMatchesReference(std::bit_cast<double>(rng()));
}

TEST(Floor32, RandomAcrossTheInterestingExponents) {
  // Every shift from |v| < 1 to past 2^63, with random fractions and signs.
  std::mt19937_64 rng(2);
  std::uniform_int_distribution<std::uint64_t> exponent(1023 - 4, 1023 + 66);
  for (int i = 0; i < 1'000'000; ++i) {
    const std::uint64_t bits = (rng() & 0x800F'FFFF'FFFF'FFFF) | (exponent(rng) << 52);
    ExpectMatchesReference(std::bit_cast<double>(bits));
  }
}

TEST(Floor32, RandomRealisticValues) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> wide(-0x1p34, 0x1p34);
  std::uniform_real_distribution<double> prices(-1e5, 1e5);
  for (int i = 0; i < 500'000; ++i) {
    ExpectMatchesReference(wide(rng));
    ExpectMatchesReference(prices(rng));
  }
}

TEST(Floor32, RandomIntegersAndTheirNeighbours) {
  // Integral values must not step down; one ulp below them must.
  std::mt19937_64 rng(4);
  std::uniform_int_distribution<std::int64_t> integer(-(std::int64_t{1} << 40), std::int64_t{1} << 40);
  for (int i = 0; i < 200'000; ++i) {
    const auto v = static_cast<double>(integer(rng));
    ExpectMatchesReference(v);
    ExpectMatchesReference(std::nextafter(v, -kInf));
    ExpectMatchesReference(std::nextafter(v, kInf));
  }
}

}  // namespace
}  // namespace zk
