// The export catalogue as data: one row per generated export, read from the same
// tables the export routines are assembled from.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "services/constant_pool.h"

namespace zk {

inline constexpr std::string_view kExportPrefix = "Dravmok_5748B89C_1_";

enum class Family : std::uint8_t {
  ConstText, ConstInt, ConstReal,                    // answer a pool constant
  PassReal, PassInt, WidenInt,                       // answer an argument
  CharCodeAt, RoundHalfUp, LargerOf, Quotient,       // compute
  Increment, PerHundredRatio, FormatFixed,
};

enum class Cleanup : std::uint8_t { Callee, Caller };
enum class Channel : std::uint8_t { Eax, St0 };

struct ExportRow {
  std::string_view tail;
  Family family;
  Cleanup cleanup;
  int slots;             // slots the caller pushes; the export removes them when callee-cleans
  int operand1 = 0;      // first slot of the first operand (text, integer or double), 0 if none
  int operand2 = 0;      // first slot of the second operand (index, b), 0 if none
  std::int32_t value = 0;  // ConstInt value, CharCodeAt constant index, FormatFixed decimals
  PoolText text{};       // ConstText
  PoolReal real{};       // ConstReal

  std::string Name() const { return std::string(kExportPrefix) + std::string(tail); }
  int BytesRemoved() const { return cleanup == Cleanup::Callee ? 4 * slots : 0; }
};

constexpr Channel ResultChannel(Family f) {
  switch (f) {
    case Family::ConstReal: case Family::PassReal: case Family::WidenInt:
    case Family::RoundHalfUp: case Family::LargerOf: case Family::Quotient:
    case Family::PerHundredRatio:
      return Channel::St0;
    default:
      return Channel::Eax;
  }
}

constexpr std::string_view FamilyName(Family f) {
  constexpr std::string_view names[] = {
      "ConstText", "ConstInt", "ConstReal", "PassReal", "PassInt", "WidenInt", "CharCodeAt",
      "RoundHalfUp", "LargerOf", "Quotient", "Increment", "PerHundredRatio", "FormatFixed"};
  return names[static_cast<int>(f)];
}

namespace catalogue_rows {
using enum PoolText;
using enum PoolReal;
using F = Family;
using C = Cleanup;

#define CONST_TEXT(tail, id, n)       ExportRow{#tail, F::ConstText, C::Callee, n, 0, 0, 0, id},
#define CONST_INT(tail, v, n)         ExportRow{#tail, F::ConstInt, C::Callee, n, 0, 0, v},
#define CONST_REAL(tail, id, n)       ExportRow{#tail, F::ConstReal, C::Callee, n, 0, 0, 0, {}, id},
#define PASS_REAL(tail, s, n)         ExportRow{#tail, F::PassReal, C::Callee, n, s},
#define PASS_INT(tail, s, n)          ExportRow{#tail, F::PassInt, C::Callee, n, s},
#define WIDEN_INT(tail, s, n)         ExportRow{#tail, F::WidenInt, C::Callee, n, s},
#define CHAR_CODE_AT(tail, t, i, n)   ExportRow{#tail, F::CharCodeAt, C::Callee, n, t, 0, i},
#define CHAR_CODE_AT_SLOT(tail, t, is, n) ExportRow{#tail, F::CharCodeAt, C::Callee, n, t, is},
#define ROUND_HALF_UP(tail, x, n)     ExportRow{#tail, F::RoundHalfUp, C::Callee, n, x},
#define LARGER_OF(tail, a, b, n)      ExportRow{#tail, F::LargerOf, C::Callee, n, a, b},
#define QUOTIENT(tail, a, b)          ExportRow{#tail, F::Quotient, C::Caller, (b) + 1, a, b},
#define INCREMENT(tail, s, n)         ExportRow{#tail, F::Increment, C::Callee, n, s},
#define PER_HUNDRED_RATIO(tail, a, b, n) ExportRow{#tail, F::PerHundredRatio, C::Callee, n, a, b},
#define FORMAT_FIXED(tail, x, d)      ExportRow{#tail, F::FormatFixed, C::Caller, (x) + 1, x, 0, d},

inline constexpr ExportRow kRows[] = {
#include "exports/constant_exports.inc"
#include "exports/forwarding_exports.inc"
#include "exports/computing_exports.inc"
};

#undef CONST_TEXT
#undef CONST_INT
#undef CONST_REAL
#undef PASS_REAL
#undef PASS_INT
#undef WIDEN_INT
#undef CHAR_CODE_AT
#undef CHAR_CODE_AT_SLOT
#undef ROUND_HALF_UP
#undef LARGER_OF
#undef QUOTIENT
#undef INCREMENT
#undef PER_HUNDRED_RATIO
#undef FORMAT_FIXED
}  // namespace catalogue_rows

inline constexpr auto& kCatalogue = catalogue_rows::kRows;
inline constexpr std::size_t kCatalogueSize = std::size(catalogue_rows::kRows);

}  // namespace zk
