// The conformance check: every catalogue export of a DLL, called through the probe on a
// fixed table of cases for its family. What each must leave behind comes from the
// catalogue row, the constant pool and the tables written here, never from running this
// library's own code.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "check/dll_file.h"
#include "check/frames.h"
#include "exports/catalogue.h"
#include "probe/probe.h"

namespace zk::check {

enum class Verdict : std::uint8_t { Pass, Fail, Missing, Raised };
std::string_view VerdictName(Verdict verdict);  // "pass", "fail", "missing", "raised"

struct ExportVerdict {
  const ExportRow* row = nullptr;
  Verdict verdict = Verdict::Pass;
  int cases = 0;        // cases run, the failing one included
  std::string detail;   // the first difference in words; empty on a pass
};

struct ConformanceReport {
  std::wstring dll;
  std::vector<ExportVerdict> exports;  // catalogue order
  int Count(Verdict verdict) const;
  bool AllPass() const { return Count(Verdict::Pass) == static_cast<int>(exports.size()); }
};

struct Expected {
  enum class Kind : std::uint8_t {
    Int,     // EAX
    Double,  // ST(0) as the x87 loads this double
    AnyNaN,  // ST(0) holds some NaN
    Text,    // EAX addresses this text
  };
  Kind kind = Kind::Int;
  std::int32_t value = 0;
  std::uint64_t bits = 0;
  std::u16string text;
};

struct Case {
  std::vector<std::uint32_t> slots;
  Expected expected;
};

// The fixed cases of one export; text operands are stored in `texts`.
std::vector<Case> CasesFor(const ExportRow& row, TextArena& texts);

// How one call breaks the export's contract or misses the expected value: Pass with an
// empty text when it does neither.
std::pair<Verdict, std::string> Judge(const ExportRow& row, const std::vector<std::uint32_t>& slots,
                                      const probe::Result& result, const Expected& expected);

// Calls under the control word a host thread has: 53-bit precision, nearest, all masked.
inline constexpr std::uint16_t kHostControlWord = 0x027F;

ConformanceReport CheckConformance(const Dll& dll);

// Shared by the check's and the comparison's descriptions.
std::string DescribeException(std::uint32_t code);  // "0xC0000005 (access violation)", "0xE0000001"
// An integer an export returned in EAX: PassInt's raw word in hex, other integers signed.
std::string DescribeInt(const ExportRow& row, std::int32_t value);
// EBX, ESI, EDI and EBP before the call and on return, by name.
struct SavedRegister {
  const char* name;
  std::uint32_t before, after;
};
std::array<SavedRegister, 4> SavedRegisters(const probe::Result& r);

}  // namespace zk::check
