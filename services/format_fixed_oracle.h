// Test-only reference for FormatFixed, shared by the unit tests and the fuzzer. It takes
// its 18 digits from the C library's exact "%.17e" and does the cut on a plain positional
// string, so it shares nothing with the implementation but the rules themselves.
// Slow on purpose; uses floating point freely.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace zk::oracle {

class FixedReference {
 public:
  explicit FixedReference(double x) : negative_(std::signbit(x)) {
    if (std::isnan(x)) {
      special_ = "NAN";
    } else if (std::isinf(x)) {
      special_ = negative_ ? "-INF" : "INF";
    } else {
      char sci[40];
      std::snprintf(sci, sizeof sci, "%.17e", std::fabs(x));  // d.ddddddddddddddddde[+-]x
      digits_ = std::string(1, sci[0]) + std::string(sci + 2, 17);
      point_ = std::atoi(sci + 20) + 1;
      if (digits_.find_first_not_of('0') == std::string::npos) digits_.clear();
    }
  }

  std::string Text(int decimals, char separator) const {
    decimals = std::clamp(decimals, 0, 2);
    if (!special_.empty()) return special_;
    if (digits_.empty()) return Unsigned("0", decimals, separator);

    if (point_ > 18) {
      std::string rest = digits_.substr(1);
      rest.erase(rest.find_last_not_of('0') + 1);
      std::string text = negative_ ? "-" : "";
      text += digits_[0];
      if (!rest.empty()) text += separator + rest;
      return text + "E" + std::to_string(point_ - 1);
    }

    // The 18-digit value written out in full, then rounded half away at the last kept place.
    std::string whole = "0";
    std::string fraction;
    if (point_ <= 0) {
      fraction = std::string(static_cast<std::size_t>(-point_), '0') + digits_;
    } else {
      whole = digits_.substr(0, static_cast<std::size_t>(point_));
      fraction = digits_.substr(static_cast<std::size_t>(point_));
    }
    fraction.resize(std::max(fraction.size(), static_cast<std::size_t>(decimals) + 1), '0');
    std::string kept = whole + fraction.substr(0, static_cast<std::size_t>(decimals));
    if (fraction[static_cast<std::size_t>(decimals)] >= '5') {
      auto i = kept.size();
      while (i > 0 && kept[i - 1] == '9') kept[--i] = '0';
      if (i == 0) {
        kept.insert(kept.begin(), '1');
      } else {
        ++kept[i - 1];
      }
    }
    const bool zero = kept.find_first_not_of('0') == std::string::npos;
    std::string magnitude = kept.substr(0, kept.size() - static_cast<std::size_t>(decimals));
    magnitude.erase(0, std::min(magnitude.find_first_not_of('0'), magnitude.size() - 1));
    if (decimals > 0) magnitude += separator + kept.substr(kept.size() - static_cast<std::size_t>(decimals));
    return (negative_ && !zero ? "-" : "") + magnitude;
  }

 private:
  static std::string Unsigned(const std::string& whole, int decimals, char separator) {
    return decimals > 0 ? whole + separator + std::string(static_cast<std::size_t>(decimals), '0') : whole;
  }

  bool negative_;
  std::string special_;
  std::string digits_;  // 18 digits, or empty for zero
  int point_ = 0;       // digits before the decimal point
};

}  // namespace zk::oracle
