// The computing exports: operands from the listed slots, results in the listed
// channel, and the floating-point contract under hostile control words.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "tests/win/test_support.h"

namespace zk::test {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kSignallingNaN = std::bit_cast<double>(std::uint64_t{0x7FF0000000000001});
const double kSubnormal = std::bit_cast<double>(std::uint64_t{0x0000000000000123});

class ComputingExports : public DllSuite {
 protected:
  static const ExportRow& Only(Family family) {
    const ExportRow* found = nullptr;
    for (const ExportRow& row : kCatalogue) {
      if (row.family == family) found = &row;
    }
    return *found;
  }
  static probe::Result CallDoubles(const ExportRow& row, double a, double b = 0,
                                   std::uint16_t cw = 0x027F) {
    std::vector<std::uint32_t> frame = MarkedFrame(row.slots);
    probe::PutDouble(frame, row.operand1, a);
    if (row.operand2 != 0) probe::PutDouble(frame, row.operand2, b);
    return Call(row, frame, cw);
  }
};

// ---- CharCodeAt --------------------------------------------------------------------

const char16_t kText18[] = u"ABCDEFGHIJKLMNOPQ\u2192";    // 18 units, U+2192 last
const char16_t kText17[] = u"ABCDEFGHIJKLMNOPQ";          // 17 units
const char16_t kAbc[] = u"abc";
const char16_t kEmpty[] = u"";

std::int32_t ExpectedCode(const char16_t* text, std::int32_t index) {
  if (index < 0 || text == nullptr) return 0;
  for (std::int32_t i = 0; i <= index; ++i) {
    if (text[i] == 0) return 0;
  }
  return text[index];
}

TEST_F(ComputingExports, CharCodeAtReadsTextAndIndexFromTheirSlots) {
  const char16_t* texts[] = {kText18, kText17, kAbc, kEmpty, nullptr};
  const std::int32_t slot_indexes[] = {-1, 0, 2, 3, 16, 17, std::numeric_limits<std::int32_t>::min(),
                                       std::numeric_limits<std::int32_t>::max()};
  int rows = 0;
  for (const ExportRow& row : kCatalogue) {
    if (row.family != Family::CharCodeAt) continue;
    ++rows;
    for (const char16_t* text : texts) {
      const bool index_in_slot = row.operand2 != 0;
      for (const std::int32_t slot_index : slot_indexes) {
        const std::int32_t index = index_in_slot ? slot_index : row.value;
        std::vector<std::uint32_t> frame = MarkedFrame(row.slots);
        frame[row.operand1 - 1] = reinterpret_cast<std::uint32_t>(text);
        if (index_in_slot) frame[row.operand2 - 1] = static_cast<std::uint32_t>(index);
        const probe::Result r = Call(row, frame);
        ExpectBindingRules(row, r);
        EXPECT_EQ(static_cast<std::int32_t>(r.eax), ExpectedCode(text, index))
            << row.Name() << " index " << index << " text " << (text ? Utf8(text) : "null");
        if (!index_in_slot) break;
      }
    }
  }
  EXPECT_EQ(rows, 17);
}

TEST_F(ComputingExports, CharCodeAtEdgeCases) {
  struct Case { const char* tail; const char16_t* text; std::int32_t index; std::int32_t expected; const char* why; };
  const Case cases[] = {
      {"11ii1IiI1I", kText17, 17, 0, "index 17 of a 17-unit text"},
      {"11ii1IiI1I", kText18, 17, 8594, "index 17 of an 18-unit text: U+2192"},
      {"iiIiI1iiII", kText18, 17, 8594, ""},
      {"ii1i1II11I", nullptr, 0, 0, "null text"},
      {"ii1i1II11I", kAbc, 0, 'a', ""},
      {"IIiI1IIIii", kAbc, -1, 0, "negative index"},
      {"IIiI1IIIii", kAbc, 2, 'c', ""},
      {"IIiI1IIIii", kAbc, 3, 0, "index at the length"},
  };
  for (const Case& c : cases) {
    const ExportRow& row = RowByTail(c.tail);
    std::vector<std::uint32_t> frame = MarkedFrame(row.slots);
    frame[row.operand1 - 1] = reinterpret_cast<std::uint32_t>(c.text);
    if (row.operand2 != 0) frame[row.operand2 - 1] = static_cast<std::uint32_t>(c.index);
    EXPECT_EQ(static_cast<std::int32_t>(Call(row, frame).eax), c.expected) << c.tail << " " << c.why;
  }
}

TEST_F(ComputingExports, CharCodeAtTakesTheIndexFromALowerSlotThanTheText) {
  const ExportRow& row = RowByTail("i1i1111I1i");  // text in slot 3, index in slot 2
  ASSERT_EQ(row.operand1, 3);
  ASSERT_EQ(row.operand2, 2);
  EXPECT_EQ(Call(row, {0xFFFFFFFF, 1, reinterpret_cast<std::uint32_t>(kAbc)}).eax, static_cast<std::uint32_t>('b'));
}

// ---- RoundHalfUp, LargerOf, Increment ------------------------------------------------

TEST_F(ComputingExports, RoundHalfUpUnderBothPrecisions) {
  struct Case { double x, expected; const char* why; };
  const Case cases[] = {
      {2.5, 3.0, "halves go up"},
      {-2.5, -2.0, ""},
      {-2.6, -3.0, ""},
      {0.49999999999999994, 1.0, "x + 0.5 rounds to 1 as a double"},
      {3e9, -1294967296.0, "wraps through 32 bits"},
      {kNaN, -1.0, "integer indefinite"},
      {-0.0, 0.0, "never -0"},
  };
  const ExportRow& row = Only(Family::RoundHalfUp);
  for (const std::uint16_t cw : {0x027F, 0x037F, 0x1332}) {
    for (const Case& c : cases) {
      const probe::Result r = CallDoubles(row, c.x, 0, cw);
      ExpectBindingRules(row, r);
      EXPECT_EQ(r.st0, Extended(c.expected)) << c.x << " " << c.why << std::hex << " cw " << cw;
    }
  }
}

TEST_F(ComputingExports, LargerOfFavoursItsFirstOperand) {
  struct Case { double a, b, expected; const char* why; };
  const Case cases[] = {
      {1.0, 2.0, 2.0, ""},
      {2.0, 1.0, 2.0, ""},
      {2.0, 2.0, 2.0, "tie"},
      {kNaN, 5.0, kNaN, "NaN first"},
      {5.0, kNaN, 5.0, "NaN second"},
      {0.0, -0.0, 0.0, "signed zeros tie: a"},
      {-0.0, 0.0, -0.0, ""},
      {-kInf, kInf, kInf, ""},
  };
  const ExportRow& row = Only(Family::LargerOf);
  for (const Case& c : cases) {
    const probe::Result r = CallDoubles(row, c.a, c.b);
    ExpectBindingRules(row, r);
    EXPECT_EQ(r.st0, Extended(c.expected)) << c.a << ", " << c.b << " " << c.why;
  }
}

TEST_F(ComputingExports, IncrementWrapsAround) {
  struct Case { std::int32_t n, expected; };
  const Case cases[] = {{-1, 0}, {0, 1}, {2147483647, -2147483647 - 1}, {-2147483647 - 1, -2147483647}};
  const ExportRow& row = Only(Family::Increment);
  for (const Case& c : cases) {
    std::vector<std::uint32_t> frame = MarkedFrame(row.slots);
    frame[row.operand1 - 1] = static_cast<std::uint32_t>(c.n);
    const probe::Result r = Call(row, frame);
    ExpectBindingRules(row, r);
    EXPECT_EQ(static_cast<std::int32_t>(r.eax), c.expected) << c.n;
  }
}

// ---- Quotient, PerHundredRatio ------------------------------------------------------

// The test thread's own x87 arithmetic under a chosen control word.
class ThreadControlWord {
 public:
  explicit ThreadControlWord(std::uint16_t cw) : saved_(ControlWord()) { SetControlWord(cw); }
  ~ThreadControlWord() { SetControlWord(saved_); }

 private:
  std::uint16_t saved_;
};

TEST_F(ComputingExports, QuotientByZeroAndZeroByZero) {
  struct Case { double a, b; std::uint64_t expected; const char* why; };
  const Case cases[] = {
      {1.0, 0.0, 0x7FF0000000000000, "+inf"},
      {-1.0, 0.0, 0xFFF0000000000000, "-inf"},
      {1.0, -0.0, 0xFFF0000000000000, "-inf"},
      {0.0, 0.0, 0xFFF8000000000000, "the x87 default NaN"},
      {6.0, 3.0, 0x4000000000000000, "2"},
  };
  const ExportRow& row = Only(Family::Quotient);
  for (const std::uint16_t cw : {0x027F, 0x037F, 0x1332}) {
    for (const Case& c : cases) {
      const probe::Result r = CallDoubles(row, c.a, c.b, cw);
      ExpectBindingRules(row, r);
      EXPECT_EQ(r.st0, ToExtended(c.expected)) << c.a << "/" << c.b << " " << c.why << std::hex << " cw " << cw;
    }
  }
}

TEST_F(ComputingExports, QuotientIsRoundedToADoubleUnder64BitPrecision) {
  const double a = 1.0, b = 3.0;
  long double extended;
  double rounded;
  {
    ThreadControlWord precision64(0x037F);
    volatile long double q = static_cast<long double>(a) / b;
    extended = q;
    rounded = static_cast<double>(extended);
  }
  ASSERT_NE(extended, static_cast<long double>(rounded)) << "the 80-bit quotient must not be a double";
  const probe::Result r = CallDoubles(Only(Family::Quotient), a, b, 0x037F);
  EXPECT_EQ(r.st0, Extended(rounded));
}

TEST_F(ComputingExports, PerHundredRatioCases) {
  struct Case { double a, b; std::uint64_t expected; const char* why; };
  const Case cases[] = {
      {50.0, 3.0, 0x4018000000000000, "6"},
      {0.0, 1.0, 0x7FF0000000000000, "+inf"},
      {-0.0, 1.0, 0xFFF0000000000000, "-inf"},
      {0.0, 0.0, 0xFFF8000000000000, "inf times 0"},
      {kInf, 1.0, 0x0000000000000000, "100/inf is 0"},
  };
  const ExportRow& row = Only(Family::PerHundredRatio);
  for (const std::uint16_t cw : {0x027F, 0x037F, 0x1332}) {
    for (const Case& c : cases) {
      const probe::Result r = CallDoubles(row, c.a, c.b, cw);
      ExpectBindingRules(row, r);
      EXPECT_EQ(r.st0, ToExtended(c.expected)) << c.a << ", " << c.b << " " << c.why << std::hex << " cw " << cw;
    }
  }
}

TEST_F(ComputingExports, PerHundredRatioKeepsTheQuotientAtWorkingPrecision) {
  // Find operands where rounding 100/a to a double before the product changes the
  // result, then check each precision gives its own answer.
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> price(0.5, 2000.0);
  for (int attempt = 0; attempt < 100000; ++attempt) {
    const double a = price(random), b = price(random);
    double working64, working53;
    {
      ThreadControlWord precision64(0x037F);
      volatile long double q = 100.0L / a;
      volatile long double p = q * b;
      working64 = static_cast<double>(p);
    }
    {
      ThreadControlWord precision53(0x027F);
      volatile double q = 100.0 / a;
      volatile double p = q * b;
      working53 = p;
    }
    if (working64 == working53) continue;
    const ExportRow& row = Only(Family::PerHundredRatio);
    EXPECT_EQ(CallDoubles(row, a, b, 0x037F).st0, Extended(working64)) << a << ", " << b;
    EXPECT_EQ(CallDoubles(row, a, b, 0x027F).st0, Extended(working53)) << a << ", " << b;
    EXPECT_EQ(CallDoubles(row, a, b, 0x1332).st0, Extended(working64)) << a << ", " << b;
    RecordProperty("operands", std::to_string(a) + ", " + std::to_string(b));
    return;
  }
  FAIL() << "no operands found where the intermediate rounding matters";
}

// ---- FormatFixed --------------------------------------------------------------------

TEST_F(ComputingExports, FormatFixedExportsPassTheirOperandAndDecimals) {
  struct Case { const char* tail; double x; std::u16string_view expected; };
  const Case cases[] = {
      {"i1II1Ii1I1", 1234.5, u"1235"},
      {"i1II1Ii1I1", -2.5, u"-3"},
      {"i1II1Ii1I1", -0.4, u"0"},
      {"Ii1IiI11i1", 2.675, u"2.67"},
      {"Ii1IiI11i1", -0.005, u"-0.01"},
      {"II111I1I1i", 99.995, u"100.00"},
      {"II111I1I1i", kNaN, u"NAN"},
      {"II111I1I1i", -kInf, u"-INF"},
      {"Ii1IiI11i1", 1e19, u"1E19"},
  };
  for (const Case& c : cases) {
    const ExportRow& row = RowByTail(c.tail);
    const probe::Result r = CallDoubles(row, c.x);
    ExpectBindingRules(row, r);
    EXPECT_EQ(r.bytes_removed, 0) << c.tail << " is caller-cleans";
    EXPECT_EQ(TextAt(r.eax), c.expected) << c.tail << " " << c.x;
  }
}

TEST_F(ComputingExports, FormatFixedReplacesTheThreadsTextInPlace) {
  const ExportRow& row = RowByTail("Ii1IiI11i1");
  const probe::Result first = CallDoubles(row, 1.5);
  const std::u16string first_text = TextAt(first.eax);
  const probe::Result second = CallDoubles(row, 22.25);
  EXPECT_EQ(first_text, u"1.50");
  EXPECT_EQ(first.eax, second.eax) << "one buffer per thread";
  EXPECT_EQ(TextAt(first.eax), u"22.25") << "the first pointer now reads the second text";
}

}  // namespace
}  // namespace zk::test
