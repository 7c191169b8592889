// Fixed-point text of a double: at most 18 significant digits, 0 to 2 decimals, halves
// (as seen in those 18 digits) away from zero, exponent form from 1E18 up.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace zk {

inline constexpr std::size_t kFormatTextMax = 24;             // longest text, in UTF-16 code units
inline constexpr std::size_t kFormatBufferUnits = kFormatTextMax + 1;

// Writes the fixed-point text of the double with these bits, and a NUL, into out
// (kFormatBufferUnits units); returns its length. decimals is 0, 1 or 2 (other values: clamp into 0..2).
// Does no floating-point arithmetic, so the caller's FPU control word never matters.
std::size_t FormatFixedBits(std::uint64_t bits, int decimals, char16_t separator, char16_t* out) noexcept;

inline std::size_t FormatFixed(double x, int decimals, char16_t separator, char16_t* out) noexcept {
  return FormatFixedBits(std::bit_cast<std::uint64_t>(x), decimals, separator, out);
}

}  // namespace zk
