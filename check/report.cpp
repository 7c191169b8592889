#include "check/report.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "check/values.h"

namespace zk::check {
namespace {

using Json = nlohmann::ordered_json;
constexpr int kFormat = 1;

// "11Ii11i1ii  ConstText        "
std::string Lead(const ExportRow& row) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%-10.*s  %-15.*s  ", static_cast<int>(row.tail.size()), row.tail.data(),
                static_cast<int>(FamilyName(row.family).size()), FamilyName(row.family).data());
  return buf;
}

Json Header(std::string_view mode) {
  return Json{{"tool", "zelvankor-check"}, {"format", kFormat}, {"mode", mode}};
}

Json Identity(const ExportRow& row) {
  return Json{{"name", row.Name()}, {"tail", row.tail}, {"family", FamilyName(row.family)}};
}

void Write(const Json& json, std::ostream& out) {
  out << json.dump(2, ' ', /*ensure_ascii=*/true) << "\n";
}

}  // namespace

void PrintConformance(const ConformanceReport& report, std::ostream& out) {
  out << "zelvankor-check: checking " << Utf8(report.dll) << "\n";
  for (const ExportVerdict& e : report.exports) {
    out << Lead(*e.row);
    switch (e.verdict) {
      case Verdict::Pass: out << "pass"; break;
      case Verdict::Fail: out << "fail: " << e.detail; break;
      case Verdict::Missing: out << "missing: " << e.detail; break;
      case Verdict::Raised: out << e.detail; break;
    }
    out << "\n";
  }
  const int missing = report.Count(Verdict::Missing), raised = report.Count(Verdict::Raised);
  out << report.exports.size() << " exports: " << report.Count(Verdict::Pass) << " pass, "
      << report.exports.size() - report.Count(Verdict::Pass) << " fail";
  if (missing + raised > 0) out << " (" << missing << " missing, " << raised << " raised)";
  out << "\n";
}

void PrintConformanceJson(const ConformanceReport& report, std::ostream& out) {
  Json json = Header("check");
  json["dll"] = Utf8(report.dll);
  Json exports = Json::array();
  for (const ExportVerdict& e : report.exports) {
    Json entry = Identity(*e.row);
    entry["verdict"] = VerdictName(e.verdict);
    entry["cases"] = e.cases;
    if (e.verdict != Verdict::Pass) entry["detail"] = e.detail;
    exports.push_back(std::move(entry));
  }
  json["exports"] = std::move(exports);
  const int passed = report.Count(Verdict::Pass);
  json["summary"] = {{"exports", report.exports.size()},
                     {"passed", passed},
                     {"failed", static_cast<int>(report.exports.size()) - passed},
                     {"missing", report.Count(Verdict::Missing)},
                     {"raised", report.Count(Verdict::Raised)}};
  Write(json, out);
}

void PrintComparison(const ComparisonReport& report, std::ostream& out) {
  const auto copied = [](const std::wstring& copy) {
    return copy.empty() ? std::string() : " (loaded from a copy, " + Utf8(copy) + ")";
  };
  out << "zelvankor-check: comparing\n"
      << "  A: " << Utf8(report.a) << copied(report.a_copy) << "\n"
      << "  B: " << Utf8(report.b) << copied(report.b_copy) << "\n"
      << "  " << report.frames << " frames per export, seed " << report.seed << "\n";
  for (const ExportComparison& e : report.exports) {
    out << Lead(*e.row);
    switch (e.outcome) {
      case Outcome::Same: out << "same\n"; break;
      case Outcome::Missing:
        out << "missing in " << (e.missing_in_a && e.missing_in_b ? "both" : e.missing_in_a ? "A" : "B") << "\n";
        break;
      case Outcome::Differs:
        out << "differs in " << e.differing_frames << " of " << e.frames << " frames\n";
        for (const AspectDifference& d : e.differences) {
          std::string aspect(AspectName(d.aspect));
          std::replace(aspect.begin(), aspect.end(), '_', ' ');
          out << "    " << aspect << ": A " << d.a << ", B " << d.b << " (in " << d.frames
              << (d.frames == 1 ? " frame" : " frames") << "; first in frame " << d.first_frame << ": "
              << d.arguments << ")\n";
        }
        break;
    }
  }
  out << report.exports.size() << " exports compared: " << report.Count(Outcome::Same) << " same, "
      << report.Count(Outcome::Differs) << " differ, " << report.Count(Outcome::Missing) << " missing\n";
}

void PrintComparisonJson(const ComparisonReport& report, std::ostream& out) {
  Json json = Header("compare");
  json["a"] = Utf8(report.a);
  json["b"] = Utf8(report.b);
  json["frames"] = report.frames;
  json["seed"] = report.seed;
  Json exports = Json::array();
  for (const ExportComparison& e : report.exports) {
    Json entry = Identity(*e.row);
    entry["outcome"] = OutcomeName(e.outcome);
    entry["frames"] = e.frames;
    entry["differing_frames"] = e.differing_frames;
    Json missing_in = Json::array();
    if (e.missing_in_a) missing_in.push_back("a");
    if (e.missing_in_b) missing_in.push_back("b");
    entry["missing_in"] = std::move(missing_in);
    Json differences = Json::array();
    for (const AspectDifference& d : e.differences) {
      differences.push_back({{"aspect", AspectName(d.aspect)},
                             {"frames", d.frames},
                             {"first_frame", d.first_frame},
                             {"arguments", d.arguments},
                             {"a", d.a},
                             {"b", d.b}});
    }
    entry["differences"] = std::move(differences);
    exports.push_back(std::move(entry));
  }
  json["exports"] = std::move(exports);
  json["summary"] = {{"exports", report.exports.size()},
                     {"same", report.Count(Outcome::Same)},
                     {"differ", report.Count(Outcome::Differs)},
                     {"missing", report.Count(Outcome::Missing)}};
  Write(json, out);
}

}  // namespace zk::check
