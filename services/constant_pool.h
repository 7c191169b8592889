// The library's fixed texts and numbers. Exports hand out the addresses of these
// stored copies, never copies of them, so each text has exactly one address.
#pragma once

#include <cstdint>
#include <string_view>

namespace zk {

enum class PoolText : std::uint8_t {
  TX01 = 1, TX02, TX03, TX04, TX05, TX06, TX07, TX08, TX09, TX10, TX11,
  TX12, TX13, TX14, TX15, TX16, TX17, TX18, TX19, TX20, TX21,
};
inline constexpr int kPoolTextCount = 21;

enum class PoolReal : std::uint8_t { Real0, Real99999999, Real100 };

struct ConstantPool {
  // The stored text; data() is the address the exports return (NUL-terminated).
  static std::u16string_view Text(PoolText id);
  static const double& Real(PoolReal id);
};

}  // namespace zk

// The same storage under C names, for the export routines written in assembly.
extern "C" {
#define ZK_DECLARE_POOL_TEXT(id) extern const char16_t ZkPool_##id[];
ZK_DECLARE_POOL_TEXT(TX01) ZK_DECLARE_POOL_TEXT(TX02) ZK_DECLARE_POOL_TEXT(TX03)
ZK_DECLARE_POOL_TEXT(TX04) ZK_DECLARE_POOL_TEXT(TX05) ZK_DECLARE_POOL_TEXT(TX06)
ZK_DECLARE_POOL_TEXT(TX07) ZK_DECLARE_POOL_TEXT(TX08) ZK_DECLARE_POOL_TEXT(TX09)
ZK_DECLARE_POOL_TEXT(TX10) ZK_DECLARE_POOL_TEXT(TX11) ZK_DECLARE_POOL_TEXT(TX12)
ZK_DECLARE_POOL_TEXT(TX13) ZK_DECLARE_POOL_TEXT(TX14) ZK_DECLARE_POOL_TEXT(TX15)
ZK_DECLARE_POOL_TEXT(TX16) ZK_DECLARE_POOL_TEXT(TX17) ZK_DECLARE_POOL_TEXT(TX18)
ZK_DECLARE_POOL_TEXT(TX19) ZK_DECLARE_POOL_TEXT(TX20) ZK_DECLARE_POOL_TEXT(TX21)
#undef ZK_DECLARE_POOL_TEXT
extern const double ZkPool_Real0;
extern const double ZkPool_Real99999999;
extern const double ZkPool_Real100;
}
