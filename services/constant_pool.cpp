#include "services/constant_pool.h"

#include <array>

extern "C" {
// Taken code unit for code unit: trailing blanks belong to the texts, TX12 ends in
// U+2192 RIGHTWARDS ARROW and U+00A0 NO-BREAK SPACE.
const char16_t ZkPool_TX01[] = u"]hmtz ;N.";
const char16_t ZkPool_TX02[] = u"Magic :  ";
const char16_t ZkPool_TX03[] = u"_";
const char16_t ZkPool_TX04[] = u"Arrival Break-Even Close All! Magic:";
const char16_t ZkPool_TX05[] = u"[";
const char16_t ZkPool_TX06[] = u"Win Point ,Close ! Magic:";
const char16_t ZkPool_TX07[] = u"Alert: Maxlots ! Maxlots !!";
const char16_t ZkPool_TX08[] = u"_CloseAllOrder_";
const char16_t ZkPool_TX09[] = u"Lable_Name1";
const char16_t ZkPool_TX10[] = u"Lable_Name5";
const char16_t ZkPool_TX11[] = u"Lable_Name12";
const char16_t ZkPool_TX12[] = u"EA\u2192\u00A0";
const char16_t ZkPool_TX13[] = u"NowLot:  ";
const char16_t ZkPool_TX14[] = u"Lable_Name6";
const char16_t ZkPool_TX15[] = u"Lable_NameAlert";
const char16_t ZkPool_TX16[] = u"Arial";
const char16_t ZkPool_TX17[] = u"Stop Loss ,Close ALL !!";
const char16_t ZkPool_TX18[] = u"MaxLots:  ";
const char16_t ZkPool_TX19[] = u"_OpenRev_";
const char16_t ZkPool_TX20[] = u"_CloseMagic_";
const char16_t ZkPool_TX21[] = u"Take Profit, Close ALL !!";

alignas(8) const double ZkPool_Real0 = 0.0;
alignas(8) const double ZkPool_Real99999999 = 99999999.0;
alignas(8) const double ZkPool_Real100 = 100.0;
}

namespace zk {
namespace {

template <std::size_t N>
constexpr std::u16string_view View(const char16_t (&text)[N]) {
  return {text, N - 1};
}

const std::array<std::u16string_view, kPoolTextCount> kTexts = {
    View(ZkPool_TX01), View(ZkPool_TX02), View(ZkPool_TX03), View(ZkPool_TX04),
    View(ZkPool_TX05), View(ZkPool_TX06), View(ZkPool_TX07), View(ZkPool_TX08),
    View(ZkPool_TX09), View(ZkPool_TX10), View(ZkPool_TX11), View(ZkPool_TX12),
    View(ZkPool_TX13), View(ZkPool_TX14), View(ZkPool_TX15), View(ZkPool_TX16),
    View(ZkPool_TX17), View(ZkPool_TX18), View(ZkPool_TX19), View(ZkPool_TX20),
    View(ZkPool_TX21),
};

}  // namespace

std::u16string_view ConstantPool::Text(PoolText id) {
  return kTexts[static_cast<std::size_t>(id) - 1];
}

const double& ConstantPool::Real(PoolReal id) {
  switch (id) {
    case PoolReal::Real0: return ZkPool_Real0;
    case PoolReal::Real99999999: return ZkPool_Real99999999;
    case PoolReal::Real100: break;
  }
  return ZkPool_Real100;
}

}  // namespace zk
