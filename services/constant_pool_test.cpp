// The pool texts code unit by code unit, and the doubles bit for bit.
#include <gtest/gtest.h>

#include <bit>

#include "services/constant_pool.h"

namespace zk {
namespace {

struct TextCase {
  PoolText id;
  std::u16string_view text;
  std::size_t length;
};

// Lengths as published; blanks are U+0020 unless noted.
const TextCase kTexts[] = {
    {PoolText::TX01, u"]hmtz ;N.", 9},
    {PoolText::TX02, u"Magic :  ", 9},                        // two trailing blanks
    {PoolText::TX03, u"_", 1},
    {PoolText::TX04, u"Arrival Break-Even Close All! Magic:", 36},
    {PoolText::TX05, u"[", 1},
    {PoolText::TX06, u"Win Point ,Close ! Magic:", 25},
    {PoolText::TX07, u"Alert: Maxlots ! Maxlots !!", 27},
    {PoolText::TX08, u"_CloseAllOrder_", 15},
    {PoolText::TX09, u"Lable_Name1", 11},
    {PoolText::TX10, u"Lable_Name5", 11},
    {PoolText::TX11, u"Lable_Name12", 12},
    {PoolText::TX12, std::u16string_view(u"\x0045\x0041\x2192\x00A0", 4), 4},  // arrow, no-break space
    {PoolText::TX13, u"NowLot:  ", 9},
    {PoolText::TX14, u"Lable_Name6", 11},
    {PoolText::TX15, u"Lable_NameAlert", 15},
    {PoolText::TX16, u"Arial", 5},
    {PoolText::TX17, u"Stop Loss ,Close ALL !!", 23},
    {PoolText::TX18, u"MaxLots:  ", 10},
    {PoolText::TX19, u"_OpenRev_", 9},
    {PoolText::TX20, u"_CloseMagic_", 12},
    {PoolText::TX21, u"Take Profit, Close ALL !!", 25},
};

TEST(ConstantPool, TextsAreExactAndTerminated) {
  ASSERT_EQ(std::size(kTexts), static_cast<std::size_t>(kPoolTextCount));
  for (const TextCase& c : kTexts) {
    const std::u16string_view text = ConstantPool::Text(c.id);
    EXPECT_EQ(text.size(), c.length) << static_cast<int>(c.id);
    EXPECT_EQ(text, c.text) << static_cast<int>(c.id);
    EXPECT_EQ(text.data()[text.size()], u'\0') << static_cast<int>(c.id);
  }
}

TEST(ConstantPool, TextsHaveOneAddressEach) {
  for (const TextCase& c : kTexts) {
    EXPECT_EQ(ConstantPool::Text(c.id).data(), ConstantPool::Text(c.id).data());
  }
  EXPECT_EQ(ConstantPool::Text(PoolText::TX01).data(), ZkPool_TX01);
  EXPECT_EQ(ConstantPool::Text(PoolText::TX21).data(), ZkPool_TX21);
}

TEST(ConstantPool, DoublesBitForBit) {
  EXPECT_EQ(std::bit_cast<std::uint64_t>(ConstantPool::Real(PoolReal::Real0)), 0u);  // +0.0
  EXPECT_EQ(std::bit_cast<std::uint64_t>(ConstantPool::Real(PoolReal::Real99999999)), 0x4197D783FC000000u);
  EXPECT_EQ(ConstantPool::Real(PoolReal::Real100), 100.0);
  EXPECT_EQ(&ConstantPool::Real(PoolReal::Real100), &ZkPool_Real100);
}

}  // namespace
}  // namespace zk
