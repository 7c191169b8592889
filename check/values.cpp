#include "check/values.h"

#include <windows.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace zk::check {

X87Image LoadedAsX87(std::uint64_t double_bits) {
  X87Image image{};
  // The processor is the reference here, not any conversion of this project's own.
  asm volatile("fldl %1\n\tfstpt %0\n\tfnclex" : "=m"(image) : "m"(double_bits));
  return image;
}

X87Image LoadedAsX87(double d) { return LoadedAsX87(Bits(d)); }

std::uint64_t Bits(double d) { return std::bit_cast<std::uint64_t>(d); }

namespace {

struct Extended {
  bool negative;
  int exponent;              // biased, 15 bits
  std::uint64_t significand; // explicit integer bit
};

Extended Split(const X87Image& image) {
  Extended e;
  std::memcpy(&e.significand, image.data(), 8);
  const unsigned top = image[8] | (image[9] << 8);
  e.negative = (top & 0x8000) != 0;
  e.exponent = static_cast<int>(top & 0x7FFF);
  return e;
}

constexpr std::uint64_t kFraction = (std::uint64_t{1} << 52) - 1;

}  // namespace

bool IsNaN(const X87Image& image) {
  const Extended e = Split(image);
  return e.exponent == 0x7FFF && (e.significand << 1) != 0;
}

std::optional<std::uint64_t> AsDoubleBits(const X87Image& image) {
  const Extended e = Split(image);
  const std::uint64_t sign = e.negative ? std::uint64_t{1} << 63 : 0;
  if (e.exponent == 0x7FFF) {
    if ((e.significand << 1) == 0) return sign | 0x7FF0'0000'0000'0000;  // infinity
    if ((e.significand & 0x7FF) != 0) return std::nullopt;             // payload too long
    return sign | 0x7FF0'0000'0000'0000 | ((e.significand >> 11) & kFraction);
  }
  if (e.significand == 0) return e.exponent == 0 ? std::optional(sign) : std::nullopt;
  if (e.exponent != 0 && (e.significand >> 63) == 0) return std::nullopt;  // unnormal
  const int shift = std::countl_zero(e.significand);
  const std::uint64_t m = e.significand << shift;
  const int power = (e.exponent == 0 ? -16382 : e.exponent - 16383) - shift;  // m / 2^63 * 2^power
  if (power > 1023) return std::nullopt;
  if (power >= -1022) {
    if ((m & 0x7FF) != 0) return std::nullopt;
    return sign | (static_cast<std::uint64_t>(power + 1023) << 52) | ((m >> 11) & kFraction);
  }
  const int drop = -(power + 1011);  // bits below 2^-1074
  if (drop > 63 || (m & ((std::uint64_t{1} << drop) - 1)) != 0) return std::nullopt;
  return sign | (m >> drop);
}

std::string DescribeDouble(std::uint64_t bits) {
  const double d = std::bit_cast<double>(bits);
  char buf[64];
  if (std::isnan(d)) {
    std::snprintf(buf, sizeof buf, "NaN (0x%016llX)", static_cast<unsigned long long>(bits));
    return buf;
  }
  const auto end = std::to_chars(buf, buf + sizeof buf, d).ptr;
  return std::string(buf, end);
}

std::string DescribeX87(const X87Image& image) {
  if (const auto bits = AsDoubleBits(image)) return DescribeDouble(*bits);
  std::string out = "0x";
  char buf[4];
  for (int i = 9; i >= 0; --i) {
    std::snprintf(buf, sizeof buf, "%02X", image[i]);
    out += buf;
  }
  return out + " (not a double)";
}

std::string Hex32(std::uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(value));
  return buf;
}

std::string Hex16(std::uint16_t value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%04X", static_cast<unsigned>(value));
  return buf;
}

std::string Quote(std::u16string_view text, std::size_t max_units) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size() && i < max_units; ++i) {
    const char16_t c = text[i];
    if (c == u'"' || c == u'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    }
  }
  out += '"';
  if (text.size() > max_units) out += "...";
  return out;
}

std::optional<std::u16string> ReadText(std::uint32_t address, std::size_t max_units) {
  if (address == 0 || address % 2 != 0) return std::nullopt;
  constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                              PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  std::u16string text;
  auto at = static_cast<std::uintptr_t>(address);
  while (text.size() < max_units) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) == 0) return std::nullopt;
    if (region.State != MEM_COMMIT || (region.Protect & kReadable) == 0 ||
        (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0) {
      return std::nullopt;
    }
    // Regions are page-aligned, so an even address never straddles two of them.
    const auto end = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
    for (; at < end && text.size() < max_units; at += 2) {
      const char16_t c = *reinterpret_cast<const char16_t*>(at);
      if (c == u'\0') return text;
      text.push_back(c);
    }
  }
  return std::nullopt;
}

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

}  // namespace zk::check
