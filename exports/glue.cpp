// Entry points the export routines call. Doubles arrive as the address of their two
// slots and are read as bits, so no value passes through the x87 unit on the way in.
#include <cstdint>
#include <cstring>

#include "exports/x87_extended.h"
#include "services/char_code_at.h"
#include "services/format_fixed.h"
#include "services/larger_of.h"
#include "services/round_half_up.h"
#include "zelvankor/format_buffer.h"
#include "zelvankor/number_format.h"

#define ZK_FASTCALL __attribute__((fastcall))

namespace {

std::uint64_t BitsAt(const void* slots) {
  std::uint64_t bits;
  std::memcpy(&bits, slots, sizeof bits);
  return bits;
}

}  // namespace

extern "C" {

ZK_FASTCALL std::int32_t ZkCharCodeAt(const char16_t* text, std::int32_t index) {
  return zk::CharCodeAt(text, index);
}

ZK_FASTCALL std::int32_t ZkRoundHalfUp(const void* x) {
  return zk::RoundHalfUpBits(BitsAt(x));
}

ZK_FASTCALL const void* ZkLargerOf(const void* a, const void* b) {
  return zk::LargerOfTakesB(BitsAt(a), BitsAt(b)) ? b : a;
}

ZK_FASTCALL void ZkToExtended(const void* x, void* out) {
  const auto extended = zk::ToExtended(BitsAt(x));
  std::memcpy(out, extended.data(), extended.size());
}

ZK_FASTCALL const char16_t* ZkFormatFixed(const void* x, std::int32_t decimals) {
  char16_t* buffer = zk::ThreadFormatBuffer();
  if (buffer == nullptr) return u"";  // out of memory on this thread's first call
  zk::FormatFixedBits(BitsAt(x), decimals, zk::CurrentNumberFormat().decimal_separator, buffer);
  return buffer;
}

}  // extern "C"
