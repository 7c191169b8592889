#include "services/format_fixed.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace zk {

namespace {

constexpr int kFractionBits = 52;
constexpr std::uint64_t kFractionMask = (std::uint64_t{1} << kFractionBits) - 1;
constexpr std::uint64_t kSignBit = std::uint64_t{1} << 63;
constexpr int kSpecialExponent = 0x7FF;
// x = significand * 2^(biased exponent - kUnitExponent)
constexpr int kUnitExponent = 1075;
constexpr int kMaxDigits = 18;

// Below 2^-11 even two decimals round to zero (the lowest half that rounds up is 0.005), so
// such values, subnormals and both zeros skip the arithmetic; from here up the fraction's
// denominator 2^shift fits 64 bits.
constexpr int kFirstShortExponent = kUnitExponent - 63;
// Doubles from 2^52 up are integers; shifted into 64 bits they reach 2^60 > 10^18, where the
// exponent form takes over.
constexpr int kLastIntegerExponent = kUnitExponent + 7;

constexpr std::uint64_t kPow10[20] = {
    1u, 10u, 100u, 1000u, 10000u, 100000u, 1000000u, 10000000u, 100000000u, 1000000000u,
    10000000000u, 100000000000u, 1000000000000u, 10000000000000u, 100000000000000u,
    1000000000000000u, 10000000000000000u, 100000000000000000u, 1000000000000000000u,
    10000000000000000000u,
};

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Number of decimal digits of v; 0 has none.
int DigitCount(std::uint64_t v) noexcept {
  if (v == 0) return 0;
  const int guess = (std::bit_width(v) * 1233) >> 12;  // 1233 / 4096 ~ log10(2)
  return guess + (v >= kPow10[guess] ? 1 : 0);
}

// Writes exactly count digits of v (v < 10^count) ending just before end.
void WriteDigitsBackward(std::uint64_t v, int count, char16_t* end) noexcept {
  while (count >= 2) {
    const auto pair = static_cast<unsigned>(v % 100) * 2;
    v /= 100;
    *--end = static_cast<char16_t>(kDigitPairs[pair + 1]);
    *--end = static_cast<char16_t>(kDigitPairs[pair]);
    count -= 2;
  }
  if (count != 0) *--end = static_cast<char16_t>(u'0' + v);
}

std::size_t WriteAscii(const char* text, char16_t* out) noexcept {
  std::size_t n = 0;
  for (; text[n] != 0; ++n) out[n] = static_cast<char16_t>(text[n]);
  out[n] = 0;
  return n;
}

std::size_t WriteZero(int decimals, char16_t separator, char16_t* out) noexcept {
  std::size_t n = 0;
  out[n++] = u'0';
  if (decimals > 0) {
    out[n++] = separator;
    for (int i = 0; i < decimals; ++i) out[n++] = u'0';
  }
  out[n] = 0;
  return n;
}

// units counts steps of 10^-decimals; it is below 10^19.
std::size_t WriteUnits(bool negative, std::uint64_t units, int decimals, char16_t separator,
                       char16_t* out) noexcept {
  if (units == 0) return WriteZero(decimals, separator, out);
  const int whole_digits = std::max(DigitCount(units) - decimals, 1);
  std::size_t n = 0;
  if (negative) out[n++] = u'-';
  n += static_cast<std::size_t>(whole_digits);
  if (decimals > 0) {
    const std::uint64_t scale = kPow10[decimals];
    WriteDigitsBackward(units / scale, whole_digits, out + n);
    out[n++] = separator;
    WriteDigitsBackward(units % scale, decimals, out + n + static_cast<std::size_t>(decimals));
    n += static_cast<std::size_t>(decimals);
  } else {
    WriteDigitsBackward(units, whole_digits, out + n);
  }
  out[n] = 0;
  return n;
}

// Decides the text exactly from the binary digits when the cut falls within the first 17
// significant digits, or the value is an integer below 10^18. Returns 0 when it cannot.
//
// Where the cut falls inside the 18 digits, rounding those 18 digits first changes the
// outcome only for values just below a half at the cut: a value within half a unit of the
// 18th digit below the half rounds up to it and then away from zero. Such a window never
// has a double on its edge (its edge has a factor of 5 in the denominator), so the test
// below needs no tie rule.
std::size_t FormatShort(std::uint64_t bits, int decimals, char16_t separator,
                        char16_t* out) noexcept {
  const bool negative = (bits & kSignBit) != 0;
  const int exponent = static_cast<int>((bits >> kFractionBits) & 0x7FF);
  const std::uint64_t significand = (bits & kFractionMask) | (std::uint64_t{1} << kFractionBits);
  const std::uint64_t scale = kPow10[decimals];

  if (exponent >= kUnitExponent) {
    if (exponent > kLastIntegerExponent) return 0;
    const std::uint64_t whole = significand << (exponent - kUnitExponent);
    if (whole >= kPow10[18]) return 0;
    std::size_t n = WriteUnits(negative, whole, 0, separator, out);
    if (decimals > 0) {
      out[n++] = separator;
      for (int i = 0; i < decimals; ++i) out[n++] = u'0';
      out[n] = 0;
    }
    return n;
  }

  const int shift = kUnitExponent - exponent;  // 1..63
  const std::uint64_t one = std::uint64_t{1} << shift;
  const std::uint64_t scaled_fraction = (significand & (one - 1)) * scale;  // < 2^60
  std::uint64_t units = (significand >> shift) * scale + (scaled_fraction >> shift);
  if (units >= kPow10[17]) return 0;  // the 18-digit rounding could reach the kept digits

  const std::uint64_t rest = scaled_fraction & (one - 1);
  bool up = rest >= one / 2;
  if (!up) {
    // Values less than half a unit of the 18th digit below the half become the half once
    // rounded to 18 digits: up iff (one - 2 rest) / one <= 10^(p - 18), p the digits kept.
    const std::uint64_t gap = one - 2 * rest;
    std::uint64_t product;
    up = !__builtin_mul_overflow(gap, kPow10[kMaxDigits - DigitCount(units)], &product) &&
         product <= one;
  }
  units += up ? 1 : 0;
  return WriteUnits(negative, units, decimals, separator, out);
}

// The values FormatShort leaves: from 10^(18 - decimals) up, so the cut falls at or past
// the 18th digit and cuts nothing.
std::size_t FormatLong(std::uint64_t bits, int decimals, char16_t separator,
                       char16_t* out) noexcept {
  const bool negative = (bits & kSignBit) != 0;
  char text[32];
  // 18 significant digits, ties to even: "D.DDDDDDDDDDDDDDDDDe+XX" (the exponent is positive here).
  const auto result = std::to_chars(text, text + sizeof text, std::bit_cast<double>(bits & ~kSignBit),
                                    std::chars_format::scientific, kMaxDigits - 1);
  char digits[kMaxDigits];
  digits[0] = text[0];
  std::memcpy(digits + 1, text + 2, kMaxDigits - 1);
  int exponent = 0;
  std::from_chars(text + kMaxDigits + 3, result.ptr, exponent);
  const int point = exponent + 1;  // digits before the decimal point
  int count = kMaxDigits;
  while (digits[count - 1] == '0') --count;  // D1 is never 0

  std::size_t n = 0;
  if (negative) out[n++] = u'-';
  if (point > kMaxDigits) {
    out[n++] = static_cast<char16_t>(digits[0]);
    if (count > 1) {
      out[n++] = separator;
      for (int i = 1; i < count; ++i) out[n++] = static_cast<char16_t>(digits[i]);
    }
    out[n++] = u'E';
    char power[8];
    const auto written = std::to_chars(power, power + sizeof power, point - 1);
    for (const char* c = power; c != written.ptr; ++c) out[n++] = static_cast<char16_t>(*c);
  } else {
    for (int i = 0; i < point + decimals; ++i) {
      if (i == point) out[n++] = separator;
      out[n++] = static_cast<char16_t>(i < count ? digits[i] : '0');
    }
  }
  out[n] = 0;
  return n;
}

}  // namespace

std::size_t FormatFixedBits(std::uint64_t bits, int decimals, char16_t separator,
                            char16_t* out) noexcept {
  decimals = std::clamp(decimals, 0, 2);
  const int exponent = static_cast<int>((bits >> kFractionBits) & 0x7FF);
  if (exponent == kSpecialExponent) {
    if ((bits & kFractionMask) != 0) return WriteAscii("NAN", out);
    return WriteAscii((bits & kSignBit) != 0 ? "-INF" : "INF", out);
  }
  if (exponent < kFirstShortExponent) return WriteZero(decimals, separator, out);
  if (const std::size_t n = FormatShort(bits, decimals, separator, out); n != 0) return n;
  return FormatLong(bits, decimals, separator, out);
}

}  // namespace zk
