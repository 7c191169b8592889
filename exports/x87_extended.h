// A double in the x87's 80-bit extended format, so the exports can put their double
// results on the register stack with an 80-bit load: unlike a 64-bit load, that raises
// nothing (no denormal operand, no invalid for a signalling NaN) under any control word.
#pragma once

#include <array>
#include <cstdint>

namespace zk {

// The 10 bytes (little-endian: 64-bit significand with explicit integer bit, then sign
// and 15-bit exponent) that loading this double onto the x87 stack produces: exact,
// subnormals normalised, a signalling NaN quieted with its sign and payload kept.
std::array<std::uint8_t, 10> ToExtended(std::uint64_t double_bits) noexcept;

}  // namespace zk
