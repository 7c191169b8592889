// The forwarding exports: each answers exactly its listed slot(s), whatever the others
// hold, and raises nothing under any control word.
#include <gtest/gtest.h>

#include <bit>
#include <limits>

#include "tests/win/test_support.h"

namespace zk::test {
namespace {

const std::uint16_t kControlWords[] = {0x027F, 0x037F, 0x1332};

struct DoubleCase {
  std::uint64_t bits;
  std::uint64_t expected;  // the double the host reads back
  const char* what;
};

const DoubleCase kDoubles[] = {
    {0x0000000000000000, 0x0000000000000000, "+0"},
    {0x8000000000000000, 0x8000000000000000, "-0"},
    {0x0000000000000001, 0x0000000000000001, "smallest subnormal"},
    {0x800FFFFFFFFFFFFF, 0x800FFFFFFFFFFFFF, "largest negative subnormal"},
    {0x7FEFFFFFFFFFFFFF, 0x7FEFFFFFFFFFFFFF, "largest finite"},
    {0x7FF0000000000000, 0x7FF0000000000000, "+inf"},
    {0xFFF0000000000000, 0xFFF0000000000000, "-inf"},
    {0x7FF8000000012345, 0x7FF8000000012345, "quiet NaN with a payload"},
    {0xFFF80000DEADBEEF, 0xFFF80000DEADBEEF, "negative quiet NaN"},
    {0x7FF0000000000001, 0x7FF8000000000001, "signalling NaN: its quiet twin"},
    {0xFFF4000000ABCDEF, 0xFFFC000000ABCDEF, "negative signalling NaN, payload kept"},
    {0x3FF8000000000000, 0x3FF8000000000000, "1.5"},
    {0xC05EDD2F1A9FBE77, 0xC05EDD2F1A9FBE77, "-123.456"},
    {0x4197D783FC000000, 0x4197D783FC000000, "99999999"},
    {0x0010000000000000, 0x0010000000000000, "smallest normal"},
};

class ForwardingExports : public DllSuite {};

TEST_F(ForwardingExports, PassRealAnswersItsDoubleBitForBit) {
  int checked = 0;
  for (const ExportRow& row : kCatalogue) {
    if (row.family != Family::PassReal) continue;
    for (const DoubleCase& c : kDoubles) {
      for (const std::uint16_t cw : kControlWords) {
        std::vector<std::uint32_t> frame = MarkedFrame(row.slots);
        probe::PutBits(frame, row.operand1, c.bits);
        const probe::Result r = Call(row, frame, cw);
        ExpectBindingRules(row, r);
        EXPECT_EQ(r.st0, ToExtended(c.expected)) << row.Name() << " " << c.what << std::hex << " cw " << cw;
        EXPECT_EQ(r.Flags(), 0) << row.Name() << " " << c.what << " raised flags";
        EXPECT_EQ(r.control_word, cw) << row.Name();
        ++checked;
      }
    }
  }
  EXPECT_EQ(checked, 23 * static_cast<int>(std::size(kDoubles) * std::size(kControlWords)));
}

TEST_F(ForwardingExports, PassIntAnswersItsSlotUntouched) {
  const std::uint32_t values[] = {
      0xFFFFFFFFu, 0x80000000u, 0u, 1u,
      0x00000010u,  // an address that is not mapped: forwarded, never dereferenced
      reinterpret_cast<std::uint32_t>(u"a text of the caller's"),
  };
  int checked = 0;
  for (const ExportRow& row : kCatalogue) {
    if (row.family != Family::PassInt) continue;
    for (const std::uint32_t v : values) {
      std::vector<std::uint32_t> frame = MarkedFrame(row.slots);
      frame[row.operand1 - 1] = v;
      const probe::Result r = Call(row, frame);
      ExpectBindingRules(row, r);
      EXPECT_EQ(r.eax, v) << row.Name();
      ++checked;
    }
  }
  EXPECT_EQ(checked, 12 * static_cast<int>(std::size(values)));
}

TEST_F(ForwardingExports, WidenIntAnswersTheExactDouble) {
  const std::int32_t values[] = {std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max(), -1, 0, 1, 123456789};
  int checked = 0;
  for (const ExportRow& row : kCatalogue) {
    if (row.family != Family::WidenInt) continue;
    for (const std::int32_t v : values) {
      for (const std::uint16_t cw : kControlWords) {
        std::vector<std::uint32_t> frame = MarkedFrame(row.slots);
        frame[row.operand1 - 1] = static_cast<std::uint32_t>(v);
        const probe::Result r = Call(row, frame, cw);
        ExpectBindingRules(row, r);
        EXPECT_EQ(r.st0, Extended(static_cast<double>(v))) << row.Name() << " " << v;
        EXPECT_EQ(r.Flags(), 0) << row.Name();
        ++checked;
      }
    }
  }
  EXPECT_EQ(checked, 21 * static_cast<int>(std::size(values) * std::size(kControlWords)));
}

TEST_F(ForwardingExports, ReadTheirSlotWhateverTheEarlierSlotsHold) {
  // Slots 5-6 of a six-slot frame, slot 5 of six- and eight-slot frames.
  const probe::Result real = Call(RowByTail("1I1Iii1I11"), {0, 0xFFFFFFFF, 0, 0xFFFFFFFF,
                                                            probe::Low(2.25), probe::High(2.25)});
  EXPECT_EQ(real.st0, Extended(2.25));
  EXPECT_EQ(Call(RowByTail("iIII11iiII"), {1, 2, 3, 4, 0xCAFE, 6}).eax, 0xCAFEu);
  EXPECT_EQ(Call(RowByTail("I11Ii1IIi1"), {1, 2, 3, 4, 0xBEEF, 6, 7, 8}).eax, 0xBEEFu);
  EXPECT_EQ(Call(RowByTail("iIII1iiiII"), {1, 2, 3, 4, 0xFFFFFFFE, 6, 7, 8}).st0, Extended(-2.0));
}

}  // namespace
}  // namespace zk::test
