// The other primitives, each beside the plain standard-library expression a caller might
// otherwise write (which, unlike them, depends on the FPU state). Names are
// GROUP/IMPLEMENTATION, as for FormatFixed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "services/char_code_at.h"
#include "services/floor32.h"
#include "services/larger_of.h"
#include "services/round_half_up.h"

namespace {

constexpr std::size_t kCount = 4096;

// Prices and their negatives, inside the signed 32-bit range where all peers agree.
std::vector<double> Prices() {
  std::mt19937_64 random(4);
  std::uniform_real_distribution<double> pick(-200000.0, 200000.0);
  std::vector<double> values;
  for (std::size_t i = 0; i < kCount; ++i) values.push_back(std::round(pick(random) * 100000.0) / 100000.0);
  return values;
}

template <typename Op>
void Unary(benchmark::State& state, Op op) {
  static const std::vector<double> values = Prices();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(op(values[i]));
    i = (i + 1) & (kCount - 1);
  }
}

template <typename Op>
void Binary(benchmark::State& state, Op op) {
  static const std::vector<double> values = Prices();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(op(values[i], values[(i + 1) & (kCount - 1)]));
    i = (i + 1) & (kCount - 1);
  }
}

void Floor32(benchmark::State& state) { Unary(state, [](double v) { return zk::Floor32(v); }); }
void floor_int32(benchmark::State& state) {
  Unary(state, [](double v) { return static_cast<double>(static_cast<std::int32_t>(std::floor(v))); });
}
void RoundHalfUp(benchmark::State& state) { Unary(state, [](double x) { return zk::RoundHalfUp(x); }); }
void floor_plus_half(benchmark::State& state) {
  Unary(state, [](double x) { return static_cast<double>(static_cast<std::int32_t>(std::floor(x + 0.5))); });
}
void LargerOf(benchmark::State& state) { Binary(state, [](double a, double b) { return zk::LargerOf(a, b); }); }
void std_max(benchmark::State& state) { Binary(state, [](double a, double b) { return std::max(a, b); }); }

// Symbol names and messages an expert reads characters from; indexes spread over the text,
// a few past its end.
struct Texts {
  std::vector<std::u16string> texts;
  std::vector<std::int32_t> indexes;
  Texts() {
    std::mt19937 random(5);
    const char16_t* samples[] = {u"EURUSD", u"Lable_Name1", u"Order opened \u2192 ticket", u"GBPJPY.m",
                                 u"Take profit reached for the position opened this morning"};
    for (std::size_t i = 0; i < kCount; ++i) {
      texts.emplace_back(samples[random() % 5]);
      indexes.push_back(static_cast<std::int32_t>(random() % (texts.back().size() + 2)));
    }
  }
};

template <typename Op>
void Text(benchmark::State& state, Op op) {
  static const Texts data;
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(op(data.texts[i].c_str(), data.indexes[i]));
    i = (i + 1) & (kCount - 1);
  }
}

void CharCodeAt(benchmark::State& state) { Text(state, zk::CharCodeAt); }
void u16string_view_at(benchmark::State& state) {
  Text(state, [](const char16_t* text, std::int32_t index) -> std::int32_t {
    const std::u16string_view view(text);
    return index >= 0 && static_cast<std::size_t>(index) < view.size() ? view[static_cast<std::size_t>(index)] : 0;
  });
}

BENCHMARK(Floor32)->Name("Floor32/zk::Floor32");
BENCHMARK(floor_int32)->Name("Floor32/int32(floor(v))");
BENCHMARK(RoundHalfUp)->Name("RoundHalfUp/zk::RoundHalfUp");
BENCHMARK(floor_plus_half)->Name("RoundHalfUp/int32(floor(x+0.5))");
BENCHMARK(LargerOf)->Name("LargerOf/zk::LargerOf");
BENCHMARK(std_max)->Name("LargerOf/std::max");
BENCHMARK(CharCodeAt)->Name("CharCodeAt/zk::CharCodeAt");
BENCHMARK(u16string_view_at)->Name("CharCodeAt/u16string_view");

}  // namespace
