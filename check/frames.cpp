#include "check/frames.h"

#include <bit>
#include <cfloat>
#include <cstdio>
#include <limits>

#include "check/values.h"
#include "probe/probe.h"

namespace zk::check {

std::uint32_t TextArena::Put(std::u16string_view text) {
  texts_.emplace_back(text);  // std::u16string keeps a NUL after its last unit
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(texts_.back().c_str()));
}

std::vector<Operand> Operands(const ExportRow& row) {
  using K = OperandKind;
  const int a = row.operand1, b = row.operand2;
  switch (row.family) {
    case Family::ConstText: case Family::ConstInt: case Family::ConstReal:
      return {};
    case Family::PassReal: case Family::RoundHalfUp: case Family::FormatFixed:
      return {{"x", K::Double, a}};
    case Family::PassInt:
      return {{"value", K::Word, a}};
    case Family::WidenInt: case Family::Increment:
      return {{"n", K::Int, a}};
    case Family::CharCodeAt:
      if (b == 0) return {{"text", K::Text, a}};
      return {{"text", K::Text, a}, {"index", K::Index, b}};
    case Family::LargerOf: case Family::Quotient: case Family::PerHundredRatio:
      return {{"a", K::Double, a}, {"b", K::Double, b}};
  }
  return {};
}

std::string DescribeArguments(const ExportRow& row, const std::vector<std::uint32_t>& slots) {
  const auto slot = [&](int k) { return k >= 1 && k <= static_cast<int>(slots.size()) ? slots[k - 1] : 0u; };
  const std::vector<Operand> operands = Operands(row);
  std::string out;
  if (operands.empty()) {
    out = "slots";
    for (std::uint32_t word : slots) out.append(" ").append(Hex32(word));
    return slots.empty() ? "no slots" : out;
  }
  for (const Operand& op : operands) {
    if (!out.empty()) out += ", ";
    out += std::string(op.name) + " = ";
    switch (op.kind) {
      case OperandKind::Double:
        out += DescribeDouble(slot(op.slot) | std::uint64_t{slot(op.slot + 1)} << 32);
        break;
      case OperandKind::Int: case OperandKind::Index:
        out += std::to_string(static_cast<std::int32_t>(slot(op.slot)));
        break;
      case OperandKind::Word:
        out += Hex32(slot(op.slot));
        break;
      case OperandKind::Text: {
        const auto text = ReadText(slot(op.slot));
        out += slot(op.slot) == 0 ? "null" : text ? Quote(*text) : Hex32(slot(op.slot));
        break;
      }
    }
  }
  if (row.family == Family::CharCodeAt && row.operand2 == 0) out += ", index " + std::to_string(row.value);
  if (row.family == Family::FormatFixed) out += ", " + std::to_string(row.value) + " decimals";
  return out;
}

std::string DescribeCall(const ExportRow& row, const std::vector<std::uint32_t>& slots) {
  return std::string(FamilyName(row.family)) + "(" + DescribeArguments(row, slots) + ")";
}

namespace {

std::uint64_t SplitMix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EB;
  return x ^ (x >> 31);
}

std::uint64_t Fnv1a(std::string_view text) {
  std::uint64_t hash = 0xCBF29CE484222325;
  for (char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3;
  return hash;
}

template <typename T>
T Uniform(std::mt19937_64& random, T low, T high) {
  return std::uniform_int_distribution<T>(low, high)(random);
}

bool Chance(std::mt19937_64& random, int percent) { return Uniform(random, 0, 99) < percent; }

constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();

std::int32_t Extreme(std::mt19937_64& random) {
  constexpr std::int32_t values[] = {kIntMin, kIntMin + 1, -1, 0, 1, kIntMax - 1, kIntMax};
  return values[Uniform<std::size_t>(random, 0, std::size(values) - 1)];
}

std::int32_t RandomInt(std::mt19937_64& random, std::int32_t small_low, std::int32_t small_high) {
  const int pick = Uniform(random, 0, 99);
  if (pick < 50) return Uniform(random, small_low, small_high);
  if (pick < 65) return Extreme(random);
  return static_cast<std::int32_t>(random());
}

double Pow10(int n) {
  double p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

}  // namespace

std::uint64_t RandomDoubleBits(std::mt19937_64& random) {
  constexpr std::uint64_t kSign = std::uint64_t{1} << 63;
  const std::uint64_t sign = Chance(random, 25) ? kSign : 0;
  const int pick = Uniform(random, 0, 99);
  if (pick < 20) return random();                                          // any bit pattern
  if (pick < 45) {                                                         // a price: 0 to 5 decimals
    const double units = static_cast<double>(Uniform<std::int64_t>(random, 0, 99'999'999));
    return sign | Bits(units / Pow10(Uniform(random, 0, 5)));
  }
  if (pick < 60) {                                                         // halves, at 0 to 3 decimals
    const int decimals = Uniform(random, 0, 3);
    const double k = static_cast<double>(Uniform(random, 0, 200'000));
    return sign | Bits((k + 0.5) / Pow10(decimals));
  }
  if (pick < 70) return Bits(static_cast<double>(Uniform(random, -1000, 1000)));
  if (pick < 78) {                                                         // NaN: quiet or signalling
    const std::uint64_t quiet = Chance(random, 50) ? std::uint64_t{1} << 51 : 0;
    const std::uint64_t payload = Uniform<std::uint64_t>(random, quiet ? 0 : 1, (std::uint64_t{1} << 51) - 1);
    return sign | 0x7FF0'0000'0000'0000 | quiet | payload;
  }
  if (pick < 83) return sign | 0x7FF0'0000'0000'0000;                     // infinity
  if (pick < 88) return sign;                                              // zero
  if (pick < 92) return sign | Uniform<std::uint64_t>(random, 1, (std::uint64_t{1} << 52) - 1);  // subnormal
  // Near the limits of 32-bit floors, 64-bit truncation, the 18-digit text and the format.
  const double limits[] = {2147483647.5, 2147483648.0, 4294967296.0, 3e9, 9223372036854775808.0,
                           1e15, 999999999999999872.0, 1e18, 1.5e19, 1e100, DBL_MAX, DBL_MIN};
  const double base = limits[Uniform<std::size_t>(random, 0, std::size(limits) - 1)];
  const std::uint64_t nudge = static_cast<std::uint64_t>(Uniform(random, -2, 2));  // a few ulps either way
  return sign | (Bits(base) + nudge);
}

std::u16string RandomText(std::mt19937_64& random) {
  const std::size_t length = Uniform<std::size_t>(random, 0, 24);
  std::u16string text;
  while (text.size() < length) {
    const int pick = Uniform(random, 0, 9);
    if (pick < 5) {
      text.push_back(static_cast<char16_t>(Uniform(random, 0x20, 0x7E)));
    } else if (pick < 7) {
      text.push_back(static_cast<char16_t>(Uniform(random, 0xA0, 0xD7FF)));
    } else if (pick < 8) {
      text.push_back(static_cast<char16_t>(Uniform(random, 0xE000, 0xFFFD)));
    } else {
      const std::uint32_t c = Uniform<std::uint32_t>(random, 0x10000, 0x10FFFF) - 0x10000;
      text.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
  }
  return text;
}

FrameMaker::FrameMaker(std::uint64_t seed, const ExportRow& row)
    : row_(row), operands_(Operands(row)), random_(SplitMix(seed ^ Fnv1a(row.tail))) {}

std::vector<std::uint32_t> FrameMaker::Next(TextArena& texts) {
  std::vector<std::uint32_t> slots(row_.slots);
  for (std::uint32_t& word : slots) word = Chance(random_, 20) ? 0 : static_cast<std::uint32_t>(random_());
  for (const Operand& op : operands_) {
    switch (op.kind) {
      case OperandKind::Double:
        probe::PutBits(slots, op.slot, RandomDoubleBits(random_));
        break;
      case OperandKind::Int:
        slots[op.slot - 1] = static_cast<std::uint32_t>(RandomInt(random_, -1000, 1000));
        break;
      case OperandKind::Index:
        slots[op.slot - 1] = static_cast<std::uint32_t>(RandomInt(random_, -3, 27));
        break;
      case OperandKind::Word:
        slots[op.slot - 1] = Chance(random_, 15) ? texts.Put(RandomText(random_))
                                                 : static_cast<std::uint32_t>(RandomInt(random_, -1000, 1000));
        break;
      case OperandKind::Text:
        slots[op.slot - 1] = Chance(random_, 10) ? 0 : texts.Put(RandomText(random_));
        break;
    }
  }
  return slots;
}

}  // namespace zk::check
