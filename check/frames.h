// Argument frames for the exports: which slots carry which operand, texts the tool owns
// for text slots, pseudo-random frames for comparisons, and calls described for people.
#pragma once

#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "exports/catalogue.h"

namespace zk::check {

// Texts the tool owns and passes by address. Addresses stay valid until Clear().
class TextArena {
 public:
  std::uint32_t Put(std::u16string_view text);  // stored with a NUL after it
  void Clear() { texts_.clear(); }

 private:
  std::deque<std::u16string> texts_;
};

enum class OperandKind : std::uint8_t {
  Double,  // two slots, low half first
  Int,     // a signed 32-bit integer
  Index,   // a signed 32-bit index into a text
  Word,    // 32 bits forwarded untouched
  Text,    // address of a NUL-terminated UTF-16 text, or null
};

struct Operand {
  std::string_view name;
  OperandKind kind;
  int slot;  // first slot, from 1
};

// The operands an export reads; none for the constant families.
std::vector<Operand> Operands(const ExportRow& row);

// "x = 2.675, 2 decimals", "text = \"abc\", index 17", or the raw slots of a constant
// export. Text operands must be addresses the tool owns (or null).
std::string DescribeArguments(const ExportRow& row, const std::vector<std::uint32_t>& slots);
// "FormatFixed(x = 2.675, 2 decimals)"
std::string DescribeCall(const ExportRow& row, const std::vector<std::uint32_t>& slots);

// Pseudo-random frames for one export: the same sequence for the same seed and export,
// whatever else the run does.
class FrameMaker {
 public:
  FrameMaker(std::uint64_t seed, const ExportRow& row);
  std::vector<std::uint32_t> Next(TextArena& texts);

 private:
  const ExportRow& row_;
  std::vector<Operand> operands_;
  std::mt19937_64 random_;
};

// The mixes the frames draw from, open to tests.
// Random bit patterns, prices, halves, small integers, NaNs, infinities, zeros,
// subnormals and values near the integer and formatting limits.
std::uint64_t RandomDoubleBits(std::mt19937_64& random);
// Valid UTF-16 of 0 to 24 code units: ASCII, other BMP characters and surrogate pairs.
std::u16string RandomText(std::mt19937_64& random);

}  // namespace zk::check
