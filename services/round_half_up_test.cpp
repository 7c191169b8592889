#include "services/round_half_up.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace zk {
namespace {

// The oracle adds the half natively, which must be a plain binary64 addition.
static_assert(FLT_EVAL_METHOD == 0, "the oracle needs double arithmetic without excess precision");

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::uint64_t Bits(double v) { return std::bit_cast<std::uint64_t>(v); }

std::int32_t ReferenceRoundHalfUp(double x) {
  const double s = x + 0.5;  // SSE: round to nearest, ties to even
  if (std::isnan(s) || std::isinf(s)) return -1;
  if (std::fabs(s) >= 0x1p63) return 0;
  const auto floor = static_cast<std::int64_t>(std::floor(s));
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(floor));
}

struct RoundCase {
  double x;
  std::int32_t expected;
  const char* why;
};

const RoundCase kRoundCases[] = {
    {0.0, 0, ""},
    {-0.0, 0, "the double result is +0.0"},
    {0x1p-1074, 0, ""},
    {-0x1p-1074, 0, ""},
    {0x1.fffffffffffffp-3, 0, "just below 0.25"},
    {0.25, 0, "sum 0.75"},
    {-0.25, 0, "sum 0.25"},
    {0.49999999999999994, 1, "sum rounds up to 1.0"},
    {0.5, 1, ""},
    {-0.5, 0, "sum is +0.0"},
    {-0x1.0000000000001p-1, -1, "sum is -2^-53"},
    {-0x1.fffffffffffffp-2, 0, "sum is 2^-54"},
    {1.5, 2, ""},
    {-1.5, -1, "halves go up"},
    {2.5, 3, ""},
    {-2.5, -2, ""},
    {-2.6, -3, ""},
    {0x1.3ffffffffffffp1, 2, "one ulp below 2.5"},
    {2147483647.4, 2147483647, ""},
    {2147483647.5, -2147483648, "sum 2^31 wraps"},
    {-2147483648.5, -2147483648, ""},
    {-2147483648.6, 2147483647, "floor -2^31 - 1 wraps"},
    {3e9, -1294967296, ""},
    {0x1p52 - 1.5, -1, "sum 2^52 - 1, exact"},
    {0x1p52 - 0.5, 0, "sum exactly 2^52"},
    {0x1p52, 0, "sum 2^52 + 0.5 ties down to even"},
    {0x1p52 + 1, 2, "sum 2^52 + 1.5 ties up to even"},
    {0x1p52 + 2, 2, ""},
    {-(0x1p52 + 1), 0, "sum -(2^52 + 0.5) ties toward zero"},
    {-(0x1p52 + 2), -2, "sum -(2^52 + 1.5) ties away from zero"},
    {0x1p53 - 2, -2, "sum ties down to even 2^53 - 2"},
    {0x1p53 - 1, 0, "sum ties up to 2^53"},
    {-(0x1p53 - 1), 2, "sum ties to -2^53 + 2"},
    {0x1p53, 0, "from 2^53 the half is below half an ulp"},
    {0x1p53 + 2, 2, ""},
    {-(0x1p53 + 2), -2, ""},
    {1e19, 0, ""},
    {-std::numeric_limits<double>::max(), 0, ""},
    {kInf, -1, ""},
    {-kInf, -1, ""},
    {kNaN, -1, ""},
    {std::numeric_limits<double>::signaling_NaN(), -1, ""},
};

TEST(RoundHalfUp, Table) {
  for (const auto& c : kRoundCases) {
    SCOPED_TRACE(testing::Message() << c.x << " (" << c.why << ")");
    EXPECT_EQ(RoundHalfUpBits(Bits(c.x)), c.expected);
    EXPECT_EQ(Bits(RoundHalfUp(c.x)), Bits(static_cast<double>(c.expected)));
  }
}

void ExpectMatchesReference(double x) {
  ASSERT_EQ(RoundHalfUpBits(Bits(x)), ReferenceRoundHalfUp(x)) << x << " bits 0x" << std::hex << Bits(x);
}

TEST(RoundHalfUp, RandomBitPatterns) {
  std::mt19937_64 rng(11);
  for (int i = 0; i < 1'000'000; ++i) ExpectMatchesReference(std::bit_cast<double>(rng()));
}

TEST(RoundHalfUp, RandomAcrossTheInterestingExponents) {
  // From below 0.25 to beyond 2^53, where the sum's rounding changes character.
  std::mt19937_64 rng(12);
  std::uniform_int_distribution<std::uint64_t> exponent(1023 - 4, 1023 + 56);
  for (int i = 0; i < 1'000'000; ++i) {
    const std::uint64_t bits = (rng() & 0x800F'FFFF'FFFF'FFFF) | (exponent(rng) << 52);
    ExpectMatchesReference(std::bit_cast<double>(bits));
  }
}

TEST(RoundHalfUp, RandomHalvesAndTheirNeighbours) {
  std::mt19937_64 rng(13);
  std::uniform_int_distribution<std::int64_t> halves(-(std::int64_t{1} << 55), std::int64_t{1} << 55);
  for (int i = 0; i < 200'000; ++i) {
    const double x = static_cast<double>(halves(rng)) / 2;  // rounds for large counts: fine
    ExpectMatchesReference(x);
    ExpectMatchesReference(std::nextafter(x, -kInf));
    ExpectMatchesReference(std::nextafter(x, kInf));
  }
}

TEST(RoundHalfUp, RandomRealisticValues) {
  std::mt19937_64 rng(14);
  std::uniform_real_distribution<double> wide(-0x1p34, 0x1p34);
  std::uniform_real_distribution<double> prices(-1e5, 1e5);
  for (int i = 0; i < 500'000; ++i) {
    ExpectMatchesReference(wide(rng));
    ExpectMatchesReference(prices(rng));
  }
}

}  // namespace
}  // namespace zk
