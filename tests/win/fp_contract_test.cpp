// Every export under control words that unmask exceptions: nothing is raised or left
// pending, the control word comes back unchanged, and the answer is the one the same
// precision and rounding give with every exception masked.
#include <gtest/gtest.h>

#include "tests/win/sample_frames.h"
#include "tests/win/test_support.h"

namespace zk::test {
namespace {

class FloatingPointContract : public DllSuite {};

struct ControlWords {
  std::uint16_t unmasked, masked;
  const char* what;
};

const ControlWords kControlWords[] = {
    {0x1332, 0x133F, "64-bit precision, invalid, zero-divide and overflow unmasked"},
    // qemu's x87 rounds even loads to the precision setting, which real units do not,
    // so at 24 bits the precision exception stays masked.
    {0x0060, 0x007F, "24-bit precision, everything but precision unmasked"},
    {0x0F40, 0x0F7F, "64-bit precision, chopping, everything unmasked"},
    {0x0640, 0x067F, "53-bit precision, rounding down, everything unmasked"},
};

bool SameAnswer(const ExportRow& row, const probe::Result& a, const probe::Result& b) {
  if (ResultChannel(row.family) == Channel::St0) return a.st0 == b.st0;
  if (row.family == Family::FormatFixed) return TextAt(a.eax) == TextAt(b.eax);
  return a.eax == b.eax;
}

TEST_F(FloatingPointContract, NoExportRaisesUnderAnyControlWord) {
  int calls = 0;
  for (const ExportRow& row : kCatalogue) {
    for (const auto& frame : SampleFrames(row)) {
      for (const ControlWords& cw : kControlWords) {
        const probe::Result unmasked = Call(row, frame, cw.unmasked);
        const probe::Result masked = Call(row, frame, cw.masked);
        ExpectBindingRules(row, unmasked);
        ExpectBindingRules(row, masked);
        EXPECT_EQ(unmasked.control_word, cw.unmasked) << row.Name() << " changed the control word";
        EXPECT_EQ(masked.control_word, cw.masked) << row.Name() << " changed the control word";
        EXPECT_EQ(unmasked.Flags() & ~cw.unmasked & 0x3F, 0)
            << row.Name() << " left an unmasked flag set: " << std::hex << unmasked.status_word;
        EXPECT_TRUE(SameAnswer(row, unmasked, masked)) << row.Name() << " under " << cw.what;
        calls += 2;
      }
    }
  }
  RecordProperty("calls", calls);
}

TEST_F(FloatingPointContract, EveryExportKeepsTheStandardControlWords) {
  for (const std::uint16_t cw : {0x027F, 0x037F}) {
    for (const ExportRow& row : kCatalogue) {
      const probe::Result r = Call(row, SampleFrames(row).front(), cw);
      ExpectBindingRules(row, r);
      EXPECT_EQ(r.control_word, cw) << row.Name();
    }
  }
}

}  // namespace
}  // namespace zk::test
