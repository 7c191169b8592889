// Side by side: every export of two builds called with the same pseudo-random frames,
// and every way their answers differ counted, with the first frame that shows it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "check/dll_file.h"
#include "exports/catalogue.h"

namespace zk::check {

enum class Aspect : std::uint8_t {
  Exception,    // one raised, or they raised different exceptions
  Stack,        // bytes removed from the frame
  Registers,    // EBX, ESI, EDI, EBP on return
  ControlWord,  // x87 control word on return
  X87Depth,     // values left on the x87 stack
  Result,       // EAX, or ST(0) for the double families
  Text,         // the text a ConstText or FormatFixed export addresses
};
inline constexpr int kAspectCount = 7;
std::string_view AspectName(Aspect aspect);  // "exception", "stack", "registers", ...

struct AspectDifference {
  Aspect aspect = Aspect::Result;
  int frames = 0;         // frames in which it shows
  int first_frame = 0;    // from 1
  std::string arguments;  // of that first frame
  std::string a, b;       // what each DLL did there, in words
};

enum class Outcome : std::uint8_t { Same, Differs, Missing };
std::string_view OutcomeName(Outcome outcome);  // "same", "differs", "missing"

struct ExportComparison {
  const ExportRow* row = nullptr;
  Outcome outcome = Outcome::Same;
  bool missing_in_a = false, missing_in_b = false;
  int frames = 0;
  int differing_frames = 0;
  std::vector<AspectDifference> differences;  // in Aspect order
};

struct ComparisonReport {
  std::wstring a, b;
  std::wstring a_copy, b_copy;  // private copies the DLLs were loaded from, if any
  int frames = 0;
  std::uint64_t seed = 0;
  std::vector<ExportComparison> exports;  // catalogue order
  int Count(Outcome outcome) const;
  bool AllSame() const { return Count(Outcome::Same) == static_cast<int>(exports.size()); }
};

struct CompareOptions {
  int frames = 10000;
  std::uint64_t seed = 1;
  std::function<void(std::size_t done, std::size_t total)> progress;  // after each export
};

ComparisonReport Compare(const Dll& a, const Dll& b, const CompareOptions& options);

}  // namespace zk::check
