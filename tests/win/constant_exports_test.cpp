// The constant exports: pool texts by address, integers in EAX, doubles in ST(0),
// whatever the caller pushed.
#include <gtest/gtest.h>

#include <bit>
#include <map>
#include <random>
#include <set>

#include "tests/win/test_support.h"

namespace zk::test {
namespace {

// Frames a host might push; the constant exports must not care.
std::vector<std::vector<std::uint32_t>> AnyFrames(int slots) {
  std::mt19937 random(static_cast<unsigned>(slots));
  std::vector<std::uint32_t> words(slots), ascending(slots);
  for (int i = 0; i < slots; ++i) {
    words[i] = random();
    ascending[i] = 0xA5000000u + i;
  }
  return {std::vector<std::uint32_t>(slots, 0),            // zeros and null pointers
          std::vector<std::uint32_t>(slots, 0xFFFFFFFFu),  // all ones
          words, ascending};
}

class ConstantExports : public DllSuite {};

TEST_F(ConstantExports, TextsAreThePoolTextsOneAddressPerText) {
  std::map<PoolText, std::uint32_t> address_of;
  for (const ExportRow& row : kCatalogue) {
    if (row.family != Family::ConstText) continue;
    for (const auto& frame : AnyFrames(row.slots)) {
      const probe::Result r = Call(row, frame);
      ExpectBindingRules(row, r);
      ASSERT_NE(r.eax, 0u) << row.Name();
      const std::u16string_view expected = ConstantPool::Text(row.text);
      // Code unit by code unit, with the NUL exactly at the text's length.
      const std::u16string_view got(reinterpret_cast<const char16_t*>(r.eax), expected.size() + 1);
      EXPECT_EQ(got.substr(0, expected.size()), expected) << row.Name() << ": " << Utf8(got);
      EXPECT_EQ(got.back(), u'\0') << row.Name();
      const auto [it, first] = address_of.emplace(row.text, r.eax);
      EXPECT_EQ(it->second, r.eax) << row.Name() << " hands out a second address for its text";
    }
  }
  EXPECT_EQ(address_of.size(), static_cast<std::size_t>(kPoolTextCount));
  std::set<std::uint32_t> distinct;
  for (const auto& [text, address] : address_of) distinct.insert(address);
  EXPECT_EQ(distinct.size(), address_of.size()) << "two texts share an address";
}

TEST_F(ConstantExports, TextsKeepTheirNotableCodeUnits) {
  struct Case { const char* tail; std::u16string_view tail_units; };
  const Case cases[] = {
      {"IIiIiIIi1I", u":  "},              // Magic :  two trailing blanks
      {"i1IiI1ii11", u"A\u2192\u00A0"},    // arrow, then a no-break space, not a blank
      {"1i1i11iIi1", u":  "},              // MaxLots:  two trailing blanks
  };
  for (const Case& c : cases) {
    const probe::Result r = Call(RowByTail(c.tail), {});
    const std::u16string text = TextAt(r.eax);
    ASSERT_GE(text.size(), c.tail_units.size());
    EXPECT_EQ(std::u16string_view(text).substr(text.size() - c.tail_units.size()), c.tail_units) << c.tail;
  }
}

TEST_F(ConstantExports, IntegersComeBackInEax) {
  for (const ExportRow& row : kCatalogue) {
    if (row.family != Family::ConstInt) continue;
    for (const auto& frame : AnyFrames(row.slots)) {
      const probe::Result r = Call(row, frame);
      ExpectBindingRules(row, r);
      EXPECT_EQ(static_cast<std::int32_t>(r.eax), row.value) << row.Name();
    }
  }
}

TEST_F(ConstantExports, DoublesComeBackInSt0BitForBit) {
  const std::map<PoolReal, std::uint64_t> expected_bits = {
      {PoolReal::Real0, 0x0000000000000000},         // positive zero
      {PoolReal::Real99999999, 0x4197D783FC000000},
  };
  for (const ExportRow& row : kCatalogue) {
    if (row.family != Family::ConstReal) continue;
    for (const auto& frame : AnyFrames(row.slots)) {
      const probe::Result r = Call(row, frame);
      ExpectBindingRules(row, r);
      EXPECT_EQ(r.st0, Extended(std::bit_cast<double>(expected_bits.at(row.real)))) << row.Name();
    }
  }
}

TEST_F(ConstantExports, RemoveExactlyTheirListedSlots) {
  struct Case { const char* tail; int bytes; };
  const Case cases[] = {
      {"iI1Ii1iIi1", 52},  // the 13-slot export
      {"1IIiiIIIII", 4},   // one slot
      {"IiiiiII11i", 4},
      {"ii11iI1iiI", 16},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Call(RowByTail(c.tail), {}).bytes_removed, c.bytes) << c.tail;
  }
}

}  // namespace
}  // namespace zk::test
