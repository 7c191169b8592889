#include "check/cli.h"

#include <charconv>
#include <chrono>
#include <optional>

#include "check/compare.h"
#include "check/conformance.h"
#include "check/dll_file.h"
#include "check/report.h"
#include "check/values.h"

namespace zk::check {
namespace {

constexpr int kMostFrames = 1'000'000;

constexpr const char* kUsage =
    "usage: zelvankor-check [--json] DLL\n"
    "       zelvankor-check --compare [--frames N] [--seed S] [--json] A.dll B.dll\n"
    "\n"
    "  DLL         check every export against its contract and a fixed table of cases;\n"
    "              exit 0 when all pass, 1 when any fails\n"
    "  --compare   call every export of A and B with the same pseudo-random frames and\n"
    "              report every difference; exit 0 when they answer alike, 1 otherwise\n"
    "  --frames N  frames per export for --compare (default 10000)\n"
    "  --seed S    seed of the frames, decimal or 0x-hex (default 1)\n"
    "  --json      print the report as one JSON object\n"
    "Exit code 2: a usage error, or a file that is not a loadable 32-bit DLL.\n";

struct Options {
  bool compare = false;
  bool json = false;
  bool help = false;
  std::optional<int> frames;
  std::optional<std::uint64_t> seed;
  std::vector<std::wstring> files;
};

template <typename T>
std::optional<T> Number(const std::wstring& text, int base) {
  const std::string narrow = Utf8(text);
  T value{};
  const auto [end, error] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value, base);
  if (error != std::errc() || end != narrow.data() + narrow.size() || narrow.empty()) return std::nullopt;
  return value;
}

// Empty on success, else what is wrong.
std::string Parse(const std::vector<std::wstring>& args, Options& options) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    const auto value = [&]() -> const std::wstring* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
      options.help = true;
    } else if (arg == L"--json") {
      options.json = true;
    } else if (arg == L"--compare") {
      options.compare = true;
    } else if (arg == L"--frames") {
      const std::wstring* text = value();
      if (text == nullptr) return "--frames needs a number";
      options.frames = Number<int>(*text, 10);
      if (!options.frames || *options.frames < 1 || *options.frames > kMostFrames) {
        return "--frames takes a whole number from 1 to " + std::to_string(kMostFrames) + ", not " + Utf8(*text);
      }
    } else if (arg == L"--seed") {
      const std::wstring* text = value();
      if (text == nullptr) return "--seed needs a number";
      const bool hex = text->starts_with(L"0x") || text->starts_with(L"0X");
      options.seed = Number<std::uint64_t>(hex ? text->substr(2) : *text, hex ? 16 : 10);
      if (!options.seed) return "--seed takes a whole number (decimal or 0x-hex), not " + Utf8(*text);
    } else if (arg.starts_with(L"--")) {
      return "unknown option " + Utf8(arg);
    } else {
      options.files.push_back(arg);
    }
  }
  if (options.help) return {};
  if (options.compare) {
    if (options.files.size() != 2) return "--compare takes two DLLs, A and B";
  } else {
    if (options.frames || options.seed) return "--frames and --seed go with --compare";
    if (options.files.size() != 1) {
      return options.files.empty() ? "name the DLL to check" : "check takes one DLL (use --compare for two)";
    }
  }
  return {};
}

// A progress line at most once a second, once the run has lasted a second.
class Progress {
 public:
  explicit Progress(std::ostream& err) : err_(err), last_(std::chrono::steady_clock::now()) {}
  void operator()(std::size_t done, std::size_t total) {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::seconds(1) || done == total) return;
    last_ = now;
    err_ << "zelvankor-check: compared " << done << " of " << total << " exports..." << std::endl;
  }

 private:
  std::ostream& err_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace

int RunTool(const std::vector<std::wstring>& args, std::ostream& out, std::ostream& err) {
  Options options;
  if (const std::string problem = Parse(args, options); !problem.empty()) {
    err << "zelvankor-check: " << problem << "\n" << kUsage;
    return kCannotCheck;
  }
  if (options.help) {
    out << kUsage;
    return kAllPass;
  }

  std::string error;
  if (!options.compare) {
    const auto dll = Dll::Load(options.files[0], error);
    if (dll == nullptr) {
      err << "zelvankor-check: " << error << "\n";
      return kCannotCheck;
    }
    const ConformanceReport report = CheckConformance(*dll);
    options.json ? PrintConformanceJson(report, out) : PrintConformance(report, out);
    return report.AllPass() ? kAllPass : kSomeFail;
  }

  const auto a = Dll::Load(options.files[0], error);
  // Windows keeps one module per file name: B with A's name is loaded from a copy.
  const auto b = a == nullptr ? nullptr
                              : Dll::Load(options.files[1], error,
                                          SameBaseName(options.files[0], options.files[1]) ? Dll::Copy::Always
                                                                                          : Dll::Copy::IfNeeded);
  if (a == nullptr || b == nullptr) {
    err << "zelvankor-check: " << error << "\n";
    return kCannotCheck;
  }
  CompareOptions compare;  // its defaults are the tool's
  if (options.frames) compare.frames = *options.frames;
  if (options.seed) compare.seed = *options.seed;
  compare.progress = Progress(err);
  const ComparisonReport report = Compare(*a, *b, compare);
  options.json ? PrintComparisonJson(report, out) : PrintComparison(report, out);
  return report.AllSame() ? kAllPass : kSomeFail;
}

}  // namespace zk::check
