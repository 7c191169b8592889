// FormatFixed against the standard library's fixed-point formatting, on the same inputs
// in the same run. Names are DATA/dDECIMALS/IMPLEMENTATION; bench/report.py compares the
// zk:: entry of each group with the others.
#include <benchmark/benchmark.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "services/format_fixed.h"

namespace {

constexpr std::size_t kCount = 4096;  // a power of two, small enough to stay in cache

// Quotes from 0.5 to 200000 with 0 to 5 decimals, as they arrive from parsed text.
std::vector<double> Prices() {
  std::mt19937_64 random(1);
  std::uniform_real_distribution<double> log_magnitude(std::log10(0.5), std::log10(200000.0));
  std::vector<double> values;
  for (std::size_t i = 0; i < kCount; ++i) {
    const double scale = std::pow(10.0, static_cast<double>(random() % 6));
    values.push_back(std::round(std::pow(10.0, log_magnitude(random)) * scale) / scale);
  }
  return values;
}

// Random finite bit patterns: mostly far below 0.005 or far above 10^18.
std::vector<double> RandomBits() {
  std::mt19937_64 random(2);
  std::vector<double> values;
  while (values.size() < kCount) {
    const double x = std::bit_cast<double>(random());
    if (std::isfinite(x)) values.push_back(x);
  }
  return values;
}

// Uniform over -10^6 to 10^6: full 53-bit mantissas in the shortcut's range.
std::vector<double> Uniform() {
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> pick(-1e6, 1e6);
  std::vector<double> values;
  for (std::size_t i = 0; i < kCount; ++i) values.push_back(pick(random));
  return values;
}

template <typename Format>
void Run(benchmark::State& state, const std::vector<double>& values, Format format) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(format(values[i]));
    i = (i + 1) & (kCount - 1);
  }
}

void Register(const char* data, const std::vector<double>& values) {
  for (int decimals : {2, 0}) {
    const std::string group = std::string(data) + "/d" + std::to_string(decimals) + "/";
    benchmark::RegisterBenchmark((group + "zk::FormatFixed").c_str(), [=](benchmark::State& state) {
      char16_t out[zk::kFormatBufferUnits];
      Run(state, values, [&](double x) {
        zk::FormatFixed(x, decimals, u'.', out);
        benchmark::ClobberMemory();
        return out[0];
      });
    });
    benchmark::RegisterBenchmark((group + "std::to_chars").c_str(), [=](benchmark::State& state) {
      char out[400];  // DBL_MAX takes 309 digits before the point
      Run(state, values, [&](double x) {
        *std::to_chars(out, out + sizeof out, x, std::chars_format::fixed, decimals).ptr = 0;
        benchmark::ClobberMemory();
        return out[0];
      });
    });
    benchmark::RegisterBenchmark((group + "snprintf").c_str(), [=](benchmark::State& state) {
      char out[400];
      Run(state, values, [&](double x) {
        std::snprintf(out, sizeof out, "%.*f", decimals, x);
        benchmark::ClobberMemory();
        return out[0];
      });
    });
  }
}

const int kRegistered = [] {
  Register("price", Prices());
  Register("random", RandomBits());
  Register("uniform", Uniform());
  return 0;
}();

}  // namespace
