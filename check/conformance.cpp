#include "check/conformance.h"

#include <bit>
#include <cfloat>
#include <limits>
#include <map>

#include "check/values.h"
#include "services/constant_pool.h"

namespace zk::check {
namespace {

using Kind = Expected::Kind;

Expected Int(std::int32_t value) { return {Kind::Int, value, 0, {}}; }
Expected Double(double d) { return {Kind::Double, 0, Bits(d), {}}; }
Expected DoubleBits(std::uint64_t bits) { return {Kind::Double, 0, bits, {}}; }
Expected AnyNaN() { return {Kind::AnyNaN, 0, 0, {}}; }
Expected Text(std::u16string_view text) { return {Kind::Text, 0, 0, std::u16string(text)}; }

double FromBits(std::uint64_t bits) { return std::bit_cast<double>(bits); }

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
const double kQuietNaN = FromBits(0x7FF8'0000'0000'0123);
const double kNegativeNaN = FromBits(0xFFF8'0000'0000'0000);

// Slots an export does not read hold marker words, so reading the wrong slot shows.
using probe::MarkedFrame;

// ---- the tables -------------------------------------------------------------------

// PassReal answers the double as the x87 loads it: bit for bit, but a signalling NaN
// comes back quiet.
const std::uint64_t kPassRealBits[] = {
    0x0000'0000'0000'0000,  // +0
    0x8000'0000'0000'0000,  // -0
    0x3FF8'0000'0000'0000,  // 1.5
    0xC006'0000'0000'0000,  // -2.75
    0x3FF3'C0C1'FC8F'3238,  // 1.23456
    0x7FEF'FFFF'FFFF'FFFF,  // largest double
    0x0010'0000'0000'0000,  // smallest normal
    0x0000'0000'0000'0001,  // smallest subnormal
    0x800F'FFFF'FFFF'FFFF,  // largest negative subnormal
    0x7FF0'0000'0000'0000,  // +inf
    0xFFF0'0000'0000'0000,  // -inf
    0x7FF8'0000'0000'0000,  // quiet NaN
    0xFFF8'0000'0000'1234,  // negative quiet NaN with a payload
    0x7FF0'0000'0000'0001,  // signalling NaN
};

const std::uint32_t kPassIntWords[] = {0, 1, 0xFFFFFFFF, 0x80000000, 0x7FFFFFFF, 0x12345678};

const std::int32_t kWidenIntValues[] = {0, 1, -1, kIntMax, kIntMin, 100000};

struct RoundCase { double x; std::int32_t n; };
const RoundCase kRoundHalfUp[] = {
    {2.5, 3}, {-2.5, -2}, {-2.6, -3}, {1.5, 2},
    {0.49999999999999994, 1},          // x + 0.5 rounds to 1.0 before the floor
    {0.0, 0}, {-0.0, 0}, {-0.5, 0},    // the floor of +0.5 and of 0: +0.0
    {2147483647.5, kIntMin},           // floors through 32 bits
    {3e9, -1294967296},
    {1e19, 0},                         // beyond 2^63
    {kQuietNaN, -1}, {kInf, -1}, {-kInf, -1},
};

struct PairCase { double a, b; Expected result; };
const PairCase kLargerOf[] = {
    {1.0, 2.0, Double(2.0)},
    {2.0, 1.0, Double(2.0)},
    {3.0, 3.0, Double(3.0)},
    {-1.0, -2.0, Double(-1.0)},
    {kQuietNaN, 5.0, Double(kQuietNaN)},  // NaNs are unordered: the first operand
    {5.0, kQuietNaN, Double(5.0)},
    {0.0, -0.0, Double(0.0)},             // ties keep the first operand
    {-0.0, 0.0, Double(-0.0)},
    {-kInf, -1e308, Double(-1e308)},
    {1e308, kInf, Double(kInf)},
};

// One IEEE division, rounded to a double before it is returned.
const PairCase kQuotient[] = {
    {1.0, 0.0, Double(kInf)},
    {-1.0, 0.0, Double(-kInf)},
    {1.0, -0.0, Double(-kInf)},
    {0.0, 0.0, AnyNaN()},
    {7.0, 2.0, Double(3.5)},
    {-6.0, 4.0, Double(-1.5)},
    {1.0, 3.0, Double(0x1.5555555555555p-2)},
    {1e300, 1e-10, Double(kInf)},         // finite in an x87 register, not in a double
    {0x1p-1074, 2.0, Double(0.0)},        // the half of the smallest subnormal rounds to even
};

// 100 / a at the unit's working precision (53 bits here, but the x87's exponent range),
// times b, and only the product rounded to a double.
const PairCase kPerHundredRatio[] = {
    {50.0, 3.0, Double(6.0)},
    {-4.0, 2.0, Double(-50.0)},
    {8.0, 0.25, Double(3.125)},
    {3.0, 1.0, Double(0x1.0aaaaaaaaaaabp+5)},
    {0.0, 1.0, Double(kInf)},
    {0.0, 0.0, AnyNaN()},
    {1e-307, 1e-10, Double(0x1.31cfd3999f7bp+993)},  // 100 / a overflows a double, not the x87
};

struct IncrementCase { std::int32_t n, result; };
const IncrementCase kIncrement[] = {
    {0, 1}, {-1, 0}, {41, 42}, {kIntMax, kIntMin}, {kIntMin, kIntMin + 1},
};

// Fixed-point texts: 18 significant digits at most, halves (as those digits show them)
// away from zero, exponent form from 1E18, a full stop as the separator.
struct FormatCase { double x; std::u16string_view decimals0, decimals2; };
const FormatCase kFormatFixed[] = {
    {0.5, u"1", u"0.50"},
    {2.5, u"3", u"2.50"},
    {-2.5, u"-3", u"-2.50"},
    {0.125, u"0", u"0.13"},
    {2.675, u"3", u"2.67"},      // the double lies just below 2.675
    {1.005, u"1", u"1.00"},
    {9.995, u"10", u"9.99"},
    {9.996, u"10", u"10.00"},
    {99.995, u"100", u"100.00"},  // the double lies just above
    {123.456, u"123", u"123.46"},
    {-0.004, u"0", u"0.00"},      // never "-0"
    {-0.005, u"0", u"-0.01"},
    {-0.4, u"0", u"-0.40"},
    {-0.0, u"0", u"0.00"},
    {0.015, u"0", u"0.01"},
    {1000000000000000.25, u"1000000000000000", u"1000000000000000.25"},
    {999999999999999872.0, u"999999999999999872", u"999999999999999872.00"},
    {kQuietNaN, u"NAN", u"NAN"},
    {kNegativeNaN, u"NAN", u"NAN"},
    {kInf, u"INF", u"INF"},
    {-kInf, u"-INF", u"-INF"},
    {1e18, u"1E18", u"1E18"},
    {1.5e19, u"1.5E19", u"1.5E19"},
    {-2.5e19, u"-2.5E19", u"-2.5E19"},
    {1e100, u"1.00000000000000002E100", u"1.00000000000000002E100"},
    {-DBL_MAX, u"-1.79769313486231571E308", u"-1.79769313486231571E308"},
};

// ---- cases from the tables ----------------------------------------------------------

constexpr std::u16string_view kLetters = u"abcdefghijklmnopqrstuvwxyz";

// CharCodeAt at index i: the unit at i zero-extended (a surrogate stays one unit), 0 at
// or past the end, 0 for a null text; a NUL ends the text even when units follow it.
void AddCharCodeAtCases(const ExportRow& row, std::int32_t index, TextArena& texts, std::vector<Case>& cases) {
  const auto frame = [&](std::uint32_t text) {
    std::vector<std::uint32_t> slots = MarkedFrame(row.slots);
    slots[row.operand1 - 1] = text;
    if (row.operand2 != 0) slots[row.operand2 - 1] = static_cast<std::uint32_t>(index);
    return slots;
  };
  const std::u16string prefix(kLetters.substr(0, index));
  cases.push_back({frame(0), Int(0)});
  cases.push_back({frame(texts.Put(prefix + u"\u2192")), Int(0x2192)});
  cases.push_back({frame(texts.Put(prefix + u"\U0001F600")), Int(0xD83D)});
  cases.push_back({frame(texts.Put(prefix)), Int(0)});
  if (index >= 2) {
    std::u16string cut = prefix + u"xyz";
    cut[index - 2] = u'\0';
    cases.push_back({frame(texts.Put(cut)), Int(0)});
  }
}

void AddDoubleCases(const ExportRow& row, const PairCase* table, std::size_t n, std::vector<Case>& cases) {
  for (std::size_t i = 0; i < n; ++i) {
    std::vector<std::uint32_t> slots = MarkedFrame(row.slots);
    probe::PutDouble(slots, row.operand1, table[i].a);
    probe::PutDouble(slots, row.operand2, table[i].b);
    cases.push_back({slots, table[i].result});
  }
}

}  // namespace

std::vector<Case> CasesFor(const ExportRow& row, TextArena& texts) {
  std::vector<Case> cases;
  const auto with_word = [&](std::uint32_t word, Expected expected) {
    std::vector<std::uint32_t> slots = MarkedFrame(row.slots);
    slots[row.operand1 - 1] = word;
    cases.push_back({slots, std::move(expected)});
  };
  const auto with_double = [&](double x, Expected expected) {
    std::vector<std::uint32_t> slots = MarkedFrame(row.slots);
    probe::PutDouble(slots, row.operand1, x);
    cases.push_back({slots, std::move(expected)});
  };

  switch (row.family) {
    case Family::ConstText: case Family::ConstInt: case Family::ConstReal: {
      const Expected expected = row.family == Family::ConstText ? Text(ConstantPool::Text(row.text))
                                : row.family == Family::ConstInt ? Int(row.value)
                                                                 : Double(ConstantPool::Real(row.real));
      // The arguments carry no meaning: nulls, all ones and arbitrary words alike.
      for (const auto& slots : {std::vector<std::uint32_t>(row.slots, 0),
                                std::vector<std::uint32_t>(row.slots, 0xFFFFFFFF), MarkedFrame(row.slots)}) {
        cases.push_back({slots, expected});
      }
      break;
    }
    case Family::PassReal:
      for (std::uint64_t bits : kPassRealBits) {
        std::vector<std::uint32_t> slots = MarkedFrame(row.slots);
        probe::PutBits(slots, row.operand1, bits);
        cases.push_back({slots, DoubleBits(bits)});
      }
      break;
    case Family::PassInt: {
      for (std::uint32_t word : kPassIntWords) with_word(word, Int(static_cast<std::int32_t>(word)));
      const std::uint32_t text = texts.Put(u"abc");  // a text pointer comes back unread
      with_word(text, Int(static_cast<std::int32_t>(text)));
      break;
    }
    case Family::WidenInt:
      for (std::int32_t n : kWidenIntValues) with_word(static_cast<std::uint32_t>(n), Double(n));
      break;
    case Family::CharCodeAt:
      if (row.operand2 == 0) {
        AddCharCodeAtCases(row, row.value, texts, cases);
      } else {
        for (std::int32_t index : {0, 5, 17}) AddCharCodeAtCases(row, index, texts, cases);
        // A negative index never reads the text.
        for (std::int32_t index : {-1, kIntMin}) {
          std::vector<std::uint32_t> slots = MarkedFrame(row.slots);
          slots[row.operand1 - 1] = texts.Put(kLetters);
          slots[row.operand2 - 1] = static_cast<std::uint32_t>(index);
          cases.push_back({slots, Int(0)});
        }
      }
      break;
    case Family::RoundHalfUp:
      for (const RoundCase& c : kRoundHalfUp) with_double(c.x, Double(c.n));
      break;
    case Family::LargerOf:
      AddDoubleCases(row, kLargerOf, std::size(kLargerOf), cases);
      break;
    case Family::Quotient:
      AddDoubleCases(row, kQuotient, std::size(kQuotient), cases);
      break;
    case Family::PerHundredRatio:
      AddDoubleCases(row, kPerHundredRatio, std::size(kPerHundredRatio), cases);
      break;
    case Family::Increment:
      for (const IncrementCase& c : kIncrement) with_word(static_cast<std::uint32_t>(c.n), Int(c.result));
      break;
    case Family::FormatFixed:
      for (const FormatCase& c : kFormatFixed) {
        with_double(c.x, Text(row.value == 0 ? c.decimals0 : c.decimals2));
      }
      break;
  }
  return cases;
}

std::string_view VerdictName(Verdict verdict) {
  constexpr std::string_view names[] = {"pass", "fail", "missing", "raised"};
  return names[static_cast<int>(verdict)];
}

int ConformanceReport::Count(Verdict verdict) const {
  int n = 0;
  for (const ExportVerdict& e : exports) n += e.verdict == verdict;
  return n;
}

namespace {

std::string ExceptionName(std::uint32_t code) {
  switch (code) {
    case 0xC0000005: return "access violation";
    case 0xC000001D: return "illegal instruction";
    case 0xC0000094: return "integer division by zero";
    case 0xC0000095: return "integer overflow";
    case 0xC000008E: return "x87 division by zero";
    case 0xC000008F: return "x87 inexact result";
    case 0xC0000090: return "x87 invalid operation";
    case 0xC0000091: return "x87 overflow";
    case 0xC0000092: return "x87 stack check";
    case 0xC0000093: return "x87 underflow";
    case 0xC00000FD: return "stack overflow";
    case 0x80000003: return "breakpoint";
    case 0xE06D7363: return "C++ exception";
    case 0x0EEDFADE: return "Delphi exception";
    default: return "";
  }
}

}  // namespace

std::string DescribeException(std::uint32_t code) {
  const std::string name = ExceptionName(code);
  return Hex32(code) + (name.empty() ? "" : " (" + name + ")");
}

std::string DescribeInt(const ExportRow& row, std::int32_t value) {
  return row.family == Family::PassInt ? Hex32(static_cast<std::uint32_t>(value)) : std::to_string(value);
}

std::array<SavedRegister, 4> SavedRegisters(const probe::Result& r) {
  return {{{"EBX", r.before.ebx, r.after.ebx},
           {"ESI", r.before.esi, r.after.esi},
           {"EDI", r.before.edi, r.after.edi},
           {"EBP", r.before.ebp, r.after.ebp}}};
}

namespace {

std::string Plural(int n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

// "Increment(n = 5) returned" or, for exports that take no arguments, "returned".
std::string Returned(const ExportRow& row, const std::vector<std::uint32_t>& slots) {
  if (Operands(row).empty()) return "returned";
  return DescribeCall(row, slots) + " returned";
}

std::string TextDifference(std::u16string_view got, std::u16string_view want) {
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  return Quote(got) + ", expected " + Quote(want) + " (first difference at code unit " + std::to_string(at + 1) + ")";
}

}  // namespace

std::pair<Verdict, std::string> Judge(const ExportRow& row, const std::vector<std::uint32_t>& slots,
                                      const probe::Result& r, const Expected& expected) {
  if (r.raised != 0) {
    return {Verdict::Raised, "raised exception " + DescribeException(r.raised) + " on " + DescribeCall(row, slots)};
  }
  const auto fail = [](std::string detail) { return std::pair{Verdict::Fail, std::move(detail)}; };

  if (r.bytes_removed != row.BytesRemoved()) {
    return fail("removed " + Plural(r.bytes_removed, "byte", "bytes") + ", expected " +
                (row.cleanup == Cleanup::Caller ? std::string("none (the caller removes its arguments)")
                                                : std::to_string(row.BytesRemoved())));
  }
  for (const SavedRegister& reg : SavedRegisters(r)) {
    if (reg.before != reg.after) {
      return fail(std::string("did not preserve ") + reg.name + ": " + Hex32(reg.after) + " on return, " +
                  Hex32(reg.before) + " before the call");
    }
  }
  if (r.control_word != kHostControlWord) {
    return fail("changed the x87 control word from " + Hex16(kHostControlWord) + " to " +
                Hex16(r.control_word));
  }
  if (r.ExceptionPending()) {
    return fail("left an unmasked x87 exception pending (status word " + Hex16(r.status_word) + ")");
  }
  const bool in_st0 = ResultChannel(row.family) == Channel::St0;
  if (in_st0 && r.x87_depth == 0) return fail("left the x87 stack empty: a double result belongs in ST(0)");
  if (in_st0 && r.x87_depth > 1) {
    return fail("left " + Plural(r.x87_depth, "value", "values") + " on the x87 stack, expected only the result");
  }
  if (!in_st0 && r.x87_depth > 0) {
    return fail("left " + Plural(r.x87_depth, "value", "values") +
                " on the x87 stack, expected it empty (the result is in EAX)");
  }

  const auto eax = static_cast<std::int32_t>(r.eax);
  switch (expected.kind) {
    case Kind::Int:
      if (eax != expected.value) {
        return fail(Returned(row, slots) + " " + DescribeInt(row, eax) + ", expected " + DescribeInt(row, expected.value));
      }
      break;
    case Kind::Double:
      if (r.st0 != LoadedAsX87(expected.bits)) {
        return fail(Returned(row, slots) + " " + DescribeX87(r.st0) + ", expected " +
                    DescribeX87(LoadedAsX87(expected.bits)));
      }
      break;
    case Kind::AnyNaN:
      if (!IsNaN(r.st0)) return fail(Returned(row, slots) + " " + DescribeX87(r.st0) + ", expected a NaN");
      break;
    case Kind::Text: {
      if (r.eax == 0) return fail(Returned(row, slots) + " a null pointer, expected the text " + Quote(expected.text));
      const auto text = ReadText(r.eax);
      if (!text) return fail(Returned(row, slots) + " " + Hex32(r.eax) + ", which does not address a readable text");
      if (*text != expected.text) return fail(Returned(row, slots) + " " + TextDifference(*text, expected.text));
      break;
    }
  }
  return {Verdict::Pass, {}};
}

ConformanceReport CheckConformance(const Dll& dll) {
  probe::Init();
  ConformanceReport report{dll.path(), {}};
  std::map<PoolText, std::pair<std::uint32_t, std::string_view>> text_addresses;  // first seen
  for (const ExportRow& row : kCatalogue) {
    ExportVerdict& verdict = report.exports.emplace_back(ExportVerdict{&row, Verdict::Pass, 0, {}});
    probe::Call call;
    call.fn = dll.Bind(row);
    call.control_word = kHostControlWord;
    if (call.fn == nullptr) {
      verdict.verdict = Verdict::Missing;
      verdict.detail = "no export named " + row.Name();
      continue;
    }
    TextArena texts;
    for (const Case& c : CasesFor(row, texts)) {
      ++verdict.cases;
      call.slots = c.slots;
      const probe::Result result = probe::Run(call);
      auto [outcome, detail] = Judge(row, c.slots, result, c.expected);
      if (outcome == Verdict::Pass && row.family == Family::ConstText) {
        // A pool text has one address for as long as the library is loaded.
        const auto [first, inserted] = text_addresses.try_emplace(row.text, result.eax, row.tail);
        if (first->second.first != result.eax) {
          outcome = Verdict::Fail;
          detail = "returned its text at " + Hex32(result.eax) + ", but " + std::string(first->second.second) +
                   " returned the same text at " + Hex32(first->second.first) + ": a text has one address";
        }
      }
      if (outcome != Verdict::Pass) {
        verdict.verdict = outcome;
        verdict.detail = std::move(detail);
        break;
      }
    }
  }
  return report;
}

}  // namespace zk::check
