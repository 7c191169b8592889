// Reports for people (one line per export and a summary) and for scripts (JSON).
//
// JSON, format 1. Both modes print one object:
//   "tool": "zelvankor-check", "format": 1, "mode": "check" or "compare",
//   "exports": one object per catalogue export, in catalogue order, each with
//       "name", "tail", "family" and the fields of its mode,
//   "summary": counts.
// check mode adds "dll" (full path); per export "verdict" ("pass", "fail", "missing" or
//   "raised"), "cases" (cases run, the failing one included) and, unless it passed,
//   "detail" (the first difference in words); summary "exports", "passed", "failed"
//   (every export that did not pass, missing and raised ones included), "missing",
//   "raised".
// compare mode adds "a", "b" (full paths), "frames" (per export) and "seed"; per export
//   "outcome" ("same", "differs" or "missing"), "frames" run, "differing_frames",
//   "missing_in" (a list of "a" and/or "b"; empty unless missing) and "differences": one
//   object per aspect that differs ("exception", "stack", "registers", "control_word",
//   "x87_depth", "result", "text") with "frames" (how many show it), "first_frame"
//   (from 1), "arguments" (of that frame) and "a", "b" (what each did, in words);
//   summary "exports", "same", "differ", "missing".
#pragma once

#include <ostream>

#include "check/compare.h"
#include "check/conformance.h"

namespace zk::check {

void PrintConformance(const ConformanceReport& report, std::ostream& out);
void PrintConformanceJson(const ConformanceReport& report, std::ostream& out);

void PrintComparison(const ComparisonReport& report, std::ostream& out);
void PrintComparisonJson(const ComparisonReport& report, std::ostream& out);

}  // namespace zk::check
