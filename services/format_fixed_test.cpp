#include "services/format_fixed.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "services/format_fixed_oracle.h"

namespace zk {
namespace {

std::u16string FormatText(double x, int decimals, char16_t separator = u'.') {
  char16_t out[kFormatBufferUnits];
  const std::size_t n = FormatFixed(x, decimals, separator, out);
  return std::u16string(out, n);
}

// ASCII view, so failures print readably.
std::string Narrow(const std::u16string& text) {
  std::string narrow;
  for (char16_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

std::string Format(double x, int decimals) { return Narrow(FormatText(x, decimals)); }

std::string FormatBits(std::uint64_t bits, int decimals) {
  char16_t out[kFormatBufferUnits];
  return Narrow(std::u16string(out, FormatFixedBits(bits, decimals, u'.', out)));
}

double Below(double x) { return std::nextafter(x, -INFINITY); }
double Above(double x) { return std::nextafter(x, INFINITY); }

TEST(FormatFixed, WorkedResults) {
  struct Row {
    double x;
    const char* no_decimals;
    const char* two_decimals;
  };
  const Row rows[] = {
      {0.5, "1", "0.50"},
      {2.5, "3", "2.50"},
      {-2.5, "-3", "-2.50"},
      {0.125, "0", "0.13"},
      {2.675, "3", "2.67"},  // the double lies just below 2.675
      {1.005, "1", "1.00"},
      {9.995, "10", "9.99"},
      {9.996, "10", "10.00"},
      {99.995, "100", "100.00"},  // the double lies just above
      {123.456, "123", "123.46"},
      {-0.004, "0", "0.00"},
      {-0.005, "0", "-0.01"},
      {-0.4, "0", "-0.40"},
      {-0.0, "0", "0.00"},
      {0.015, "0", "0.01"},
      {1000000000000000.25, "1000000000000000", "1000000000000000.25"},
      {999999999999999872.0, "999999999999999872", "999999999999999872.00"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Format(row.x, 0), row.no_decimals) << row.x;
    EXPECT_EQ(Format(row.x, 2), row.two_decimals) << row.x;
  }
}

TEST(FormatFixed, SpecialValuesAndZeros) {
  struct Row {
    std::uint64_t bits;
    const char* text;  // the same for decimals 0 and 2
    const char* why;
  };
  const Row rows[] = {
      {0x7FF8000000000000, "NAN", "quiet NaN"},
      {0xFFF8000000000000, "NAN", "negative NaN prints no sign"},
      {0x7FF0000000000001, "NAN", "signalling NaN, lowest payload"},
      {0xFFF4000000000123, "NAN", "negative signalling NaN with payload"},
      {0xFFFFFFFFFFFFFFFF, "NAN", "all bits set"},
      {0x7FF0000000000000, "INF", "no decimals after infinity"},
      {0xFFF0000000000000, "-INF", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FormatBits(row.bits, 0), row.text) << row.why;
    EXPECT_EQ(FormatBits(row.bits, 2), row.text) << row.why;
  }

  struct ZeroRow {
    std::uint64_t bits;
    const char* why;
  };
  const ZeroRow zeros[] = {
      {0x0000000000000000, "+0.0"},
      {0x8000000000000000, "-0.0 keeps no sign"},
      {0x8000000000000001, "smallest negative subnormal"},
      {0x800FFFFFFFFFFFFF, "largest negative subnormal"},
      {std::bit_cast<std::uint64_t>(-1e-300), "tiny negative normal"},
      {std::bit_cast<std::uint64_t>(-0.00499), "cut to nothing: sign dropped"},
  };
  for (const ZeroRow& row : zeros) {
    EXPECT_EQ(FormatBits(row.bits, 0), "0") << row.why;
    EXPECT_EQ(FormatBits(row.bits, 2), "0.00") << row.why;
  }
  EXPECT_EQ(Format(-0.49, 0), "0") << "whole digits cut to nothing";
  EXPECT_EQ(Format(-0.5, 0), "-1");
}

TEST(FormatFixed, ExponentFormFromTenToTheEighteen) {
  struct Row {
    double x;
    const char* text;  // decimals do not apply
    const char* why;
  };
  const Row rows[] = {
      {1e18, "1E18", "first value with 19 whole digits"},
      {1.5e19, "1.5E19", ""},
      {-2.5e19, "-2.5E19", ""},
      {1e100, "1.00000000000000002E100", "18 digits of the double, not of 1e100"},
      {1152921504606846976.0, "1.15292150460684698E18", "2^60: 19 digits rounded to 18"},
      {1e21, "1E21", "trailing zeros dropped"},
      {DBL_MAX, "1.79769313486231571E308", ""},
      {-DBL_MAX, "-1.79769313486231571E308", "the longest text"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Format(row.x, 0), row.text) << row.why;
    EXPECT_EQ(Format(row.x, 2), row.text) << row.why;
  }
  // Just below 10^18 the fixed form still applies.
  EXPECT_EQ(Format(Below(1e18), 2), "999999999999999872.00");
  EXPECT_EQ(Format(-Below(1e18), 2), "-999999999999999872.00");
}

TEST(FormatFixed, LongestTextFitsTheBuffer) {
  char16_t out[kFormatBufferUnits + 1];
  out[kFormatBufferUnits] = u'#';
  EXPECT_EQ(FormatFixed(-DBL_MAX, 2, u'.', out), kFormatTextMax);
  EXPECT_EQ(out[kFormatTextMax], u'\0');
  EXPECT_EQ(out[kFormatBufferUnits], u'#');
}

TEST(FormatFixed, SeparatorReplacesOnlyThePoint) {
  const double samples[] = {1234.5, -0.005, 0.0, 1e15, 1.5e19, 1e18, -DBL_MAX, NAN, -INFINITY, 0.125};
  const char16_t separators[] = {u',', u'\u066B', u'\u00B7'};
  for (double x : samples) {
    for (int decimals : {0, 2}) {
      const std::u16string dotted = FormatText(x, decimals, u'.');
      for (char16_t separator : separators) {
        std::u16string expected = dotted;
        for (char16_t& c : expected) {
          if (c == u'.') c = separator;
        }
        EXPECT_EQ(FormatText(x, decimals, separator), expected) << Narrow(dotted);
      }
    }
  }
  EXPECT_EQ(FormatText(1.5e19, 0, u','), u"1,5E19");
  EXPECT_EQ(FormatText(-2.5, 2, u','), u"-2,50");
}

TEST(FormatFixed, DecimalsOutsideZeroToTwoAreClamped) {
  struct Row {
    int decimals;
    const char* text;
  };
  const Row rows[] = {
      {INT_MIN, "3"}, {-1, "3"}, {0, "3"}, {1, "2.7"}, {2, "2.67"}, {3, "2.67"}, {INT_MAX, "2.67"},
  };
  for (const Row& row : rows) EXPECT_EQ(Format(2.675, row.decimals), row.text) << row.decimals;
  EXPECT_EQ(Format(0.05, 1), "0.1") << "the double lies just above 0.05";
  EXPECT_EQ(Format(-0.04, 1), "0.0");
}

// Values at the edges of the exact integer path and of the switch to the general one.
TEST(FormatFixed, ShortcutBoundaries) {
  struct Row {
    double x;
    int decimals;
    const char* text;
    const char* why;
  };
  const Row rows[] = {
      {Below(0.5), 0, "0", "0.499999999999999944"},
      {Below(0.005), 2, "0.00", "0.00499999999999999924"},
      {0.005, 2, "0.01", "0.00500000000000000010"},
      {0x1p-11, 2, "0.00", "smallest value given the full treatment"},
      {Below(0x1p-11), 2, "0.00", ""},
      {1000.005, 2, "1000.01", "1000.00499999999999545: 18 digits reach the half"},
      {-1000.005, 2, "-1000.01", ""},
      {1017497.745, 2, "1017497.75", "window hit with 9 kept digits"},
      {1066027377.255, 2, "1066027377.26", "window hit with 12 kept digits"},
      {1019329186099.995, 2, "1019329186100.00", "window hit with a carry"},
      {126.485, 2, "126.48", "126.484999999999999432: just outside the window"},
      {130202.265, 2, "130202.26", "just outside the window"},
      {136515619022.015, 2, "136515619022.01", "just outside the window"},
      {139731709460273.73, 2, "139731709460273.73", "17 kept digits, just outside"},
      {999999999999999.875, 2, "999999999999999.88", "last value with 17 kept digits"},
      {999999999999999.875, 0, "1000000000000000", ""},
      {1000000000000000.125, 2, "1000000000000000.12", "18 digits tie to even: 2 stays"},
      {1000000000000000.375, 2, "1000000000000000.38", "18 digits tie to even: 7 goes up"},
      {4503599627370495.5, 0, "4503599627370496", "largest half below 2^52"},
      {4503599627370495.5, 1, "4503599627370495.5", ""},
      {4503599627370495.5, 2, "4503599627370495.50", ""},
      {9007199254740992.0, 2, "9007199254740992.00", "2^53, first integer without fraction bits"},
      {123456789012345680.0, 2, "123456789012345680.00", "18 whole digits"},
      {576460752303423488.0, 0, "576460752303423488", "2^59"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Format(row.x, row.decimals), row.text) << row.why;
  }
}

// Checks FormatFixed against the reference over many doubles, with decimals 0, 1 and 2.
class OracleSweep {
 public:
  ~OracleSweep() {
    ::testing::Test::RecordProperty("oracle_doubles", std::to_string(doubles_));
    std::printf("FormatFixed oracle: %zu doubles checked with decimals 0, 1 and 2\n", doubles_);
  }

  void Check(double x) {
    ++doubles_;
    const oracle::FixedReference reference(x);
    for (int decimals = 0; decimals <= 2; ++decimals) {
      char16_t out[kFormatBufferUnits + 2];
      out[kFormatBufferUnits] = out[kFormatBufferUnits + 1] = u'#';
      const std::size_t n = FormatFixed(x, decimals, u'.', out);
      const std::string expected = reference.Text(decimals, '.');
      if (n <= kFormatTextMax && out[n] == 0 && out[kFormatBufferUnits + 1] == u'#' &&
          Narrow(std::u16string(out, n)) == expected) {
        continue;
      }
      if (++failures_ <= 20) {
        ADD_FAILURE() << "bits 0x" << std::hex << std::bit_cast<std::uint64_t>(x) << std::dec
                      << " (" << x << ") decimals " << decimals << ": got \""
                      << Narrow(std::u16string(out, std::min(n, kFormatTextMax))) << "\" length "
                      << n << ", expected \"" << expected << "\"";
      }
    }
  }

  // x and its neighbours up to `steps` representable values away on each side.
  void CheckAround(double x, int steps) {
    double up = x;
    double down = x;
    Check(x);
    for (int i = 0; i < steps; ++i) {
      Check(up = Above(up));
      Check(down = Below(down));
    }
  }

  void CheckBothSigns(double x) {
    Check(x);
    Check(-x);
  }

 private:
  std::size_t doubles_ = 0;
  std::size_t failures_ = 0;
};

TEST(FormatFixedOracle, RandomBitPatterns) {
  OracleSweep sweep;
  std::mt19937_64 random(0x5EED0001);
  for (int i = 0; i < 300000; ++i) sweep.Check(std::bit_cast<double>(random()));
  // Uniform over exponents that matter for fixed text: 2^-20 to 2^70.
  std::uniform_int_distribution<std::uint64_t> exponent(1003, 1093);
  for (int i = 0; i < 200000; ++i) {
    const std::uint64_t bits = (random() & 0x800FFFFFFFFFFFFF) | (exponent(random) << 52);
    sweep.Check(std::bit_cast<double>(bits));
  }
}

TEST(FormatFixedOracle, TradingValues) {
  OracleSweep sweep;
  std::mt19937_64 random(0x5EED0002);
  const double scale[] = {1, 10, 100, 1000, 10000, 100000};
  // Quotes: 0.5 to 200000 with 0 to 5 decimals, as parsed from their text.
  for (int i = 0; i < 200000; ++i) {
    const int places = static_cast<int>(random() % 6);
    const double magnitude = std::pow(10.0, std::uniform_real_distribution<double>(-0.31, 5.31)(random));
    const double units = std::round(magnitude * scale[places]);
    sweep.CheckBothSigns(units / scale[places]);
  }
  // Lots from 0.01 to 100.00.
  for (int cents = 1; cents <= 10000; ++cents) sweep.Check(cents / 100.0);
  // Money: up to ten billion in cents, and amounts computed from quotes the way an expert
  // would (price moves times lots times contract size), which are not decimal-exact.
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < 100000; ++i) {
    sweep.CheckBothSigns(static_cast<double>(random() % 1000000000000) / 100.0);
    const double open = std::round(unit(random) * 200000.0) / 100000.0;
    const double close = std::round(unit(random) * 200000.0) / 100000.0;
    const double lots = std::round(unit(random) * 1000.0) / 100.0;
    sweep.Check((close - open) * lots * 100000.0);
    sweep.Check(open * lots);
  }
}

TEST(FormatFixedOracle, PowersOfTenAndHalvesWithNeighbours) {
  OracleSweep sweep;
  for (int power = -326; power <= 309; ++power) {
    char text[16];
    std::snprintf(text, sizeof text, "1e%d", power);
    const double ten = std::strtod(text, nullptr);
    std::snprintf(text, sizeof text, "5e%d", power);
    const double five = std::strtod(text, nullptr);
    for (double x : {ten, -ten, five, -five}) sweep.CheckAround(x, 40);
  }
  // Halves at the cut: q + 0.5 units of the last kept place, for every kept-digit count.
  std::mt19937_64 random(0x5EED0003);
  for (int decimals = 0; decimals <= 2; ++decimals) {
    for (int digits = 1; digits <= 19; ++digits) {
      for (int i = 0; i < 1500; ++i) {
        const std::uint64_t low = digits == 1 ? 0 : 1;
        std::uint64_t q = low;
        for (int d = 1; d < digits; ++d) q *= 10;
        q += random() % (q * 9 + (digits == 1 ? 10 : 0));
        char text[48];
        std::snprintf(text, sizeof text, "%llu.5e-%d", static_cast<unsigned long long>(q), decimals);
        sweep.CheckAround(std::strtod(text, nullptr), 3);
      }
    }
  }
}

// Where the exact integer path hands over to the general one, and the zero cut-off.
TEST(FormatFixedOracle, ShortcutThresholds) {
  OracleSweep sweep;
  const double edges[] = {0x1p-11, 0.005, 0.05, 0.5, 0x1p49, 1e14, 1e15, 0x1p50, 1e16, 0x1p52,
                          0x1p53, 1e17, 0x1p59, 0x1p60, 1e18, 1e19};
  for (double edge : edges) {
    sweep.CheckAround(edge, 3000);
    sweep.CheckAround(-edge, 300);
  }
}

// Values with exactly 19 significant digits, the last a 5: the 18-digit rounding is a tie.
// k / 2^(19 - E) for odd k has 19 - E decimals ending in 5, and E whole digits.
TEST(FormatFixedOracle, TiesAtTheNineteenthDigit) {
  OracleSweep sweep;
  std::mt19937_64 random(0x5EED0004);
  for (int whole = -3; whole <= 16; ++whole) {
    const int bits = 19 - whole;
    const double low = std::ceil(std::ldexp(std::pow(10.0, whole - 1), bits));
    const double high = std::min(std::ldexp(std::pow(10.0, whole), bits), 0x1p53);
    std::uniform_real_distribution<double> pick(low, high);
    for (int i = 0; i < 12000; ++i) {
      double k = std::floor(pick(random));
      if (std::fmod(k, 2.0) == 0) k += 1;
      sweep.CheckBothSigns(std::ldexp(k, -bits));
    }
  }
}

}  // namespace
}  // namespace zk
