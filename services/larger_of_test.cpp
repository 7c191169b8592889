#include "services/larger_of.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <iterator>
#include <limits>
#include <random>

namespace zk {
namespace {

using Limits = std::numeric_limits<double>;
constexpr double kInf = Limits::infinity();
constexpr double kNaN = Limits::quiet_NaN();
constexpr double kMin = Limits::denorm_min();

std::uint64_t Bits(double v) { return std::bit_cast<std::uint64_t>(v); }

enum class Pick { A, B };

struct LargerOfCase {
  double a;
  double b;
  Pick expected;
  const char* why;
};

const LargerOfCase kLargerOfCases[] = {
    {1.0, 2.0, Pick::B, ""},
    {2.0, 1.0, Pick::A, ""},
    {-2.0, -1.0, Pick::B, "negatives order by magnitude reversed"},
    {-1.0, -2.0, Pick::A, ""},
    {-1.0, 1.0, Pick::B, ""},
    {+0.0, -0.0, Pick::A, "signed zeros tie"},
    {-0.0, +0.0, Pick::A, ""},
    {-0.0, kMin, Pick::B, ""},
    {-kMin, +0.0, Pick::B, ""},
    {-kMin, -0.0, Pick::B, ""},
    {-kInf, kInf, Pick::B, ""},
    {kInf, -kInf, Pick::A, ""},
    {Limits::max(), kInf, Pick::B, ""},
    {-kInf, -Limits::max(), Pick::B, ""},
    {kNaN, 5.0, Pick::A, "NaN is unordered"},
    {5.0, kNaN, Pick::A, ""},
    {-kNaN, kInf, Pick::A, ""},
    {-kInf, -kNaN, Pick::A, "negative NaN is not below -inf"},
    {kNaN, -kNaN, Pick::A, ""},
    {Limits::signaling_NaN(), 1.0, Pick::A, "handed back unquieted"},
};

TEST(LargerOf, Table) {
  for (const auto& c : kLargerOfCases) {
    SCOPED_TRACE(testing::Message() << c.a << " vs " << c.b << " (" << c.why << ")");
    EXPECT_EQ(LargerOfTakesB(Bits(c.a), Bits(c.b)), c.expected == Pick::B);
    EXPECT_EQ(Bits(LargerOf(c.a, c.b)), Bits(c.expected == Pick::B ? c.b : c.a));
  }
}

// Operands are random bits, notable values, or close relatives of the other operand,
// so ties, sign flips and one-ulp differences all come up often.
TEST(LargerOf, MatchesNativeComparison) {
  const double notable[] = {0.0, -0.0, kMin, -kMin, 1.0, -1.0, Limits::max(), -Limits::max(),
                             kInf, -kInf, kNaN, -kNaN, Limits::signaling_NaN()};
  std::mt19937_64 rng(21);
  const auto pick = [&](std::uint64_t other) {
    switch (rng() % 4) {
      case 0: return Bits(notable[rng() % std::size(notable)]);
      case 1: return other + 1 - 2 * (rng() & 1);   // one ulp either way
      case 2: return other ^ (std::uint64_t{1} << 63);  // sign flipped
      default: return rng();
    }
  };
  for (int i = 0; i < 2'000'000; ++i) {
    const std::uint64_t a = pick(rng());
    const std::uint64_t b = pick(a);
    const double da = std::bit_cast<double>(a);
    const double db = std::bit_cast<double>(b);
    const bool native = db > da;
    ASSERT_EQ(LargerOfTakesB(a, b), native) << std::hex << "a 0x" << a << " b 0x" << b;
    ASSERT_EQ(Bits(LargerOf(da, db)), native ? b : a) << std::hex << "a 0x" << a << " b 0x" << b;
  }
}

}  // namespace
}  // namespace zk
