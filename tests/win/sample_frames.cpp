#include "tests/win/sample_frames.h"

#include <bit>
#include <limits>

#include "probe/probe.h"
#include "tests/win/test_support.h"

namespace zk::test {
namespace {

const char16_t kText[] = u"ABCDEFGHIJKLMNOPQ\u2192";

const std::uint64_t kSignallingNaN = 0x7FF0000000000001;
const std::uint64_t kQuietNaN = 0xFFF8000000000000;
const std::uint64_t kSubnormal = 0x0000000000000123;
const std::uint64_t kInf = 0x7FF0000000000000;
const std::uint64_t kHuge = 0x7FE1CCF385EBC8A0;   // 1e308
const std::uint64_t kTiny = 0x0031FA182C40C60D;   // 1e-308

}  // namespace

std::vector<std::vector<std::uint32_t>> SampleFrames(const ExportRow& row) {
  std::vector<std::vector<std::uint32_t>> frames;
  auto one = [&](std::uint64_t x) {
    auto frame = MarkedFrame(row.slots);
    probe::PutBits(frame, row.operand1, x);
    frames.push_back(frame);
  };
  auto two = [&](std::uint64_t a, std::uint64_t b) {
    auto frame = MarkedFrame(row.slots);
    probe::PutBits(frame, row.operand1, a);
    probe::PutBits(frame, row.operand2, b);
    frames.push_back(frame);
  };
  auto word = [&](std::uint32_t v) {
    auto frame = MarkedFrame(row.slots);
    frame[row.operand1 - 1] = v;
    frames.push_back(frame);
  };
  switch (row.family) {
    case Family::ConstText:
    case Family::ConstInt:
    case Family::ConstReal:
      frames.push_back(MarkedFrame(row.slots));
      break;
    case Family::PassInt:
    case Family::Increment:
      word(0x7FFFFFFF);
      word(0x80000000);
      break;
    case Family::WidenInt:
      word(0x80000000);
      word(0x7FFFFFFF);
      break;
    case Family::CharCodeAt: {
      auto frame = MarkedFrame(row.slots);
      frame[row.operand1 - 1] = reinterpret_cast<std::uint32_t>(kText);
      if (row.operand2 != 0) frame[row.operand2 - 1] = 17;
      frames.push_back(frame);
      break;
    }
    case Family::PassReal:
    case Family::RoundHalfUp:
    case Family::FormatFixed:
      for (std::uint64_t x : {kSignallingNaN, kQuietNaN, kSubnormal, kInf, kHuge, Bits(2.5), Bits(-0.0), Bits(2.675)}) {
        one(x);
      }
      break;
    case Family::LargerOf:
    case Family::Quotient:
    case Family::PerHundredRatio:
      for (auto [a, b] : {std::pair{Bits(1.0), Bits(0.0)}, {Bits(0.0), Bits(0.0)}, {kHuge, kTiny},
                          {kTiny, kHuge}, {kSignallingNaN, Bits(1.0)}, {Bits(1.0), kSignallingNaN},
                          {kSubnormal, Bits(3.0)}, {Bits(3.0), kSubnormal}, {kInf, kInf},
                          {Bits(50.0), Bits(3.0)}, {Bits(1.0), Bits(3.0)}}) {
        two(a, b);
      }
      break;
  }
  return frames;
}

}  // namespace zk::test
