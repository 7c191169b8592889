#include "check/compare.h"

#include <array>
#include <optional>

#include "check/conformance.h"
#include "check/frames.h"
#include "check/values.h"
#include "probe/probe.h"

namespace zk::check {

std::string_view AspectName(Aspect aspect) {
  constexpr std::string_view names[] = {"exception", "stack",     "registers", "control_word",
                                        "x87_depth", "result",    "text"};
  return names[static_cast<int>(aspect)];
}

std::string_view OutcomeName(Outcome outcome) {
  constexpr std::string_view names[] = {"same", "differs", "missing"};
  return names[static_cast<int>(outcome)];
}

int ComparisonReport::Count(Outcome outcome) const {
  int n = 0;
  for (const ExportComparison& e : exports) n += e.outcome == outcome;
  return n;
}

namespace {

bool ReturnsText(Family f) { return f == Family::ConstText || f == Family::FormatFixed; }

struct Observation {
  probe::Result r;
  std::optional<std::u16string> text;  // read at once: a FormatFixed text lasts until the next call
};

Observation Observe(const void* fn, const ExportRow& row, const std::vector<std::uint32_t>& slots) {
  probe::Call call;
  call.fn = fn;
  call.slots = slots;
  call.control_word = kHostControlWord;
  Observation o{probe::Run(call), std::nullopt};
  if (o.r.raised == 0 && ReturnsText(row.family)) o.text = ReadText(o.r.eax);
  return o;
}

std::string Raised(const probe::Result& r) {
  return r.raised == 0 ? "returned normally" : "raised " + DescribeException(r.raised);
}

std::string Registers(const probe::Result& r) {
  std::string changed;
  for (const SavedRegister& reg : SavedRegisters(r)) {
    if (reg.before == reg.after) continue;
    changed += (changed.empty() ? "changed " : ", ") + std::string(reg.name) + " to " + Hex32(reg.after);
  }
  return changed.empty() ? "preserved EBX, ESI, EDI and EBP" : changed;
}

std::string Depth(int depth) {
  return "left " + std::to_string(depth) + (depth == 1 ? " value" : " values") + " on the x87 stack";
}

std::string TextResult(const Observation& o) {
  if (o.text) return "returned " + Quote(*o.text);
  return o.r.eax == 0 ? "returned a null pointer" : "returned " + Hex32(o.r.eax) + ", not a readable text";
}

std::string EaxResult(const ExportRow& row, std::uint32_t eax) {
  return "returned " + DescribeInt(row, static_cast<std::int32_t>(eax));
}

using Found = std::array<AspectDifference, kAspectCount>;

// Records how two calls of one frame differ; true when they do.
bool Contrast(const ExportRow& row, const Observation& a, const Observation& b, int frame,
              const std::vector<std::uint32_t>& slots, Found& found) {
  bool differs = false;
  const auto note = [&](Aspect aspect, std::string in_a, std::string in_b) {
    differs = true;
    AspectDifference& d = found[static_cast<int>(aspect)];
    if (d.frames++ > 0) return;
    d.aspect = aspect;
    d.first_frame = frame;
    d.arguments = DescribeArguments(row, slots);
    d.a = std::move(in_a);
    d.b = std::move(in_b);
  };
  const probe::Result &ra = a.r, &rb = b.r;
  if (ra.raised != 0 || rb.raised != 0) {
    // Nothing else of a call that raised can be seen.
    if (ra.raised != rb.raised) note(Aspect::Exception, Raised(ra), Raised(rb));
    return differs;
  }
  if (ra.bytes_removed != rb.bytes_removed) {
    note(Aspect::Stack, "removed " + std::to_string(ra.bytes_removed) + " bytes",
         "removed " + std::to_string(rb.bytes_removed) + " bytes");
  }
  if (ra.after != rb.after) note(Aspect::Registers, Registers(ra), Registers(rb));
  if (ra.control_word != rb.control_word) {
    note(Aspect::ControlWord, "left the control word " + Hex16(ra.control_word),
         "left the control word " + Hex16(rb.control_word));
  }
  if (ra.x87_depth != rb.x87_depth) note(Aspect::X87Depth, Depth(ra.x87_depth), Depth(rb.x87_depth));

  if (ReturnsText(row.family)) {
    if (a.text != b.text || (!a.text && ra.eax != rb.eax)) note(Aspect::Text, TextResult(a), TextResult(b));
  } else if (ResultChannel(row.family) == Channel::St0) {
    if (ra.x87_depth > 0 && rb.x87_depth > 0 && ra.st0 != rb.st0) {
      note(Aspect::Result, "returned " + DescribeX87(ra.st0), "returned " + DescribeX87(rb.st0));
    }
  } else if (ra.eax != rb.eax) {
    note(Aspect::Result, EaxResult(row, ra.eax), EaxResult(row, rb.eax));
  }
  return differs;
}

}  // namespace

ComparisonReport Compare(const Dll& a, const Dll& b, const CompareOptions& options) {
  probe::Init();
  ComparisonReport report;
  report.a = a.path();
  report.b = b.path();
  report.a_copy = a.copy_path();
  report.b_copy = b.copy_path();
  report.frames = options.frames;
  report.seed = options.seed;
  for (const ExportRow& row : kCatalogue) {
    ExportComparison& c = report.exports.emplace_back(ExportComparison{&row, Outcome::Same, false, false, 0, 0, {}});
    const void* fa = a.Bind(row);
    const void* fb = b.Bind(row);
    if (fa == nullptr || fb == nullptr) {
      c.outcome = Outcome::Missing;
      c.missing_in_a = fa == nullptr;
      c.missing_in_b = fb == nullptr;
    } else {
      FrameMaker frames(options.seed, row);
      TextArena texts;
      Found found{};
      for (int frame = 1; frame <= options.frames; ++frame) {
        texts.Clear();
        const std::vector<std::uint32_t> slots = frames.Next(texts);
        const Observation in_a = Observe(fa, row, slots);
        const Observation in_b = Observe(fb, row, slots);
        c.differing_frames += Contrast(row, in_a, in_b, frame, slots, found);
      }
      c.frames = options.frames;
      for (AspectDifference& d : found) {
        if (d.frames > 0) c.differences.push_back(std::move(d));
      }
      if (c.differing_frames > 0) c.outcome = Outcome::Differs;
    }
    if (options.progress) options.progress(report.exports.size(), std::size(kCatalogue));
  }
  return report;
}

}  // namespace zk::check
