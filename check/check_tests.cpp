// zelvankor-check, run in-process under Wine: the real DLL passes and answers like
// itself; a copy with faults put in on purpose (zk_broken, see CMakeLists.txt) is caught
// export by export in both modes; files that are not 32-bit DLLs are refused.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>

#include "check/cli.h"
#include "check/compare.h"
#include "check/conformance.h"
#include "check/dll_file.h"
#include "check/frames.h"
#include "check/values.h"

namespace zk::check {
namespace {

std::wstring BinDir() {
  wchar_t exe[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring dir(exe, n);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}
std::wstring GoodDll() { return BinDir() + L"zelvankor.dll"; }
std::wstring BrokenDll() { return BinDir() + L"zk_broken.dll"; }

std::unique_ptr<Dll> MustLoad(const std::wstring& path, Dll::Copy copy = Dll::Copy::IfNeeded) {
  std::string error;
  auto dll = Dll::Load(path, error, copy);
  EXPECT_NE(dll, nullptr) << error;
  return dll;
}

struct ToolRun {
  int code;
  std::string out, err;
};

ToolRun Tool(const std::vector<std::wstring>& args) {
  std::ostringstream out, err;
  const int code = RunTool(args, out, err);
  return {code, out.str(), err.str()};
}

std::wstring TempFile(const wchar_t* name) {
  wchar_t dir[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, dir);
  return std::wstring(dir, n) + L"zk-check-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
}

void WriteFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// The faults in zk_broken, what the check must say of each, and the aspect in which
// --compare against the good DLL must see it (none for the missing export), in every
// frame unless the fault depends on the arguments.
struct Fault {
  std::string_view tail;
  Verdict verdict;
  std::string_view detail;
  std::optional<Aspect> aspect;
  bool every_frame = true;
};
const Fault kFaults[] = {
    {"iiI1i1IIii", Verdict::Fail, "removed 32 bytes, expected 28", Aspect::Stack},
    {"i1IiI1ii11", Verdict::Fail,
     R"(returned "EA\u2192 ", expected "EA\u2192\u00A0" (first difference at code unit 4))", Aspect::Text},
    {"111III1iI1", Verdict::Fail, "left the x87 stack empty: a double result belongs in ST(0)", Aspect::X87Depth},
    {"i1IiIII1ii", Verdict::Raised, "raised exception 0xE0000001 on LargerOf(a = 1, b = 2)", Aspect::Exception},
    {"I1111I111I", Verdict::Missing, "no export named Dravmok_5748B89C_1_I1111I111I", std::nullopt},
    {"1IIiiIIIII", Verdict::Fail, "did not preserve ESI: 0x00000000 on return, 0x51525354 before the call",
     Aspect::Registers},
    {"Iiii1iIiii", Verdict::Fail, "RoundHalfUp(x = 2.5) returned 0, expected 3", Aspect::Result, false},
};

const Fault* FaultOf(std::string_view tail) {
  for (const Fault& f : kFaults) {
    if (f.tail == tail) return &f;
  }
  return nullptr;
}

// ---- conformance ----------------------------------------------------------------------

TEST(Conformance, TheDllPassesEveryExport) {
  const auto dll = MustLoad(GoodDll());
  ASSERT_NE(dll, nullptr);
  const ConformanceReport report = CheckConformance(*dll);
  ASSERT_EQ(report.exports.size(), kCatalogueSize);
  for (const ExportVerdict& e : report.exports) {
    EXPECT_EQ(e.verdict, Verdict::Pass) << e.row->tail << ": " << e.detail;
    EXPECT_GE(e.cases, 3) << e.row->tail;
  }
}

TEST(Conformance, NamesExactlyTheBrokenExports) {
  const auto dll = MustLoad(BrokenDll());
  ASSERT_NE(dll, nullptr);
  const ConformanceReport report = CheckConformance(*dll);
  ASSERT_EQ(report.exports.size(), kCatalogueSize);
  for (const ExportVerdict& e : report.exports) {
    if (const Fault* fault = FaultOf(e.row->tail)) {
      EXPECT_EQ(e.verdict, fault->verdict) << e.row->tail;
      EXPECT_EQ(e.detail, fault->detail) << e.row->tail;
    } else {
      // A raise or a lost register earlier in the run must not spill into later exports.
      EXPECT_EQ(e.verdict, Verdict::Pass) << e.row->tail << ": " << e.detail;
    }
  }
}

// ---- compare --------------------------------------------------------------------------

TEST(Compare, FindsEachFaultAgainstTheGoodDllAndNothingElse) {
  const auto good = MustLoad(GoodDll());
  const auto broken = MustLoad(BrokenDll());
  ASSERT_TRUE(good && broken);
  CompareOptions options;
  options.frames = 60;
  const ComparisonReport report = Compare(*good, *broken, options);
  ASSERT_EQ(report.exports.size(), kCatalogueSize);
  for (const ExportComparison& e : report.exports) {
    const Fault* fault = FaultOf(e.row->tail);
    if (fault == nullptr) {
      EXPECT_EQ(e.outcome, Outcome::Same) << e.row->tail << ": " << (e.differences.empty() ? "" : e.differences[0].b);
      continue;
    }
    if (!fault->aspect) {
      EXPECT_EQ(e.outcome, Outcome::Missing) << e.row->tail;
      EXPECT_FALSE(e.missing_in_a);
      EXPECT_TRUE(e.missing_in_b);
      continue;
    }
    EXPECT_EQ(e.outcome, Outcome::Differs) << e.row->tail;
    if (fault->every_frame) {
      EXPECT_EQ(e.differing_frames, 60) << e.row->tail << ": the fault shows whatever the arguments";
    }
    ASSERT_FALSE(e.differences.empty()) << e.row->tail;
    EXPECT_EQ(e.differences.front().aspect, *fault->aspect) << e.row->tail << ": " << e.differences.front().a
                                                            << " / " << e.differences.front().b;
  }
}

TEST(Compare, DescribesADifferenceWithItsFirstFrame) {
  const ToolRun run = Tool({L"--compare", GoodDll(), BrokenDll(), L"--frames", L"5", L"--seed", L"7"});
  EXPECT_EQ(run.code, kSomeFail);
  std::istringstream lines(run.out);
  std::map<std::string, std::vector<std::string>> by_tail;  // the export's line and its detail lines
  std::string line, tail;
  while (std::getline(lines, line)) {
    if (line.starts_with("    ")) by_tail[tail].push_back(line);
    else by_tail[tail = line.substr(0, 10)].push_back(line);
  }
  const auto& increment = by_tail["iiI1i1IIii"];
  ASSERT_EQ(increment.size(), 2u) << run.out;
  EXPECT_EQ(increment[0], "iiI1i1IIii  Increment        differs in 5 of 5 frames");
  EXPECT_TRUE(increment[1].starts_with("    stack: A removed 28 bytes, B removed 32 bytes (in 5 frames; first in frame 1: n = "))
      << increment[1];
  EXPECT_EQ(by_tail["I1111I111I"], std::vector<std::string>{"I1111I111I  CharCodeAt       missing in B"});
  EXPECT_NE(run.out.find("176 exports compared: 169 same, 6 differ, 1 missing\n"), std::string::npos) << run.out;
}

TEST(Compare, TheDllAgainstItselfFindsNoDifference) {
  // The same file twice: B must be a second module, loaded from a copy.
  const ToolRun run = Tool({L"--compare", GoodDll(), GoodDll(), L"--frames", L"200"});
  EXPECT_EQ(run.code, kAllPass) << run.out << run.err;
  EXPECT_NE(run.out.find("(loaded from a copy, "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("176 exports compared: 176 same, 0 differ, 0 missing\n"), std::string::npos) << run.out;
}

TEST(Compare, SameBaseNameLoadsASecondModule) {
  const auto a = MustLoad(GoodDll());
  auto b = MustLoad(GoodDll(), Dll::Copy::Always);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a->module(), b->module());
  EXPECT_FALSE(b->copy_path().empty());
  const std::wstring copy = b->copy_path();
  EXPECT_NE(GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES);
  b.reset();
  EXPECT_EQ(GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES) << "the copy outlives the run";
}

// ---- the command line -------------------------------------------------------------------

TEST(Tool, ExitCodeAndSummarySayWhetherEveryExportPasses) {
  struct Case { std::vector<std::wstring> args; int code; std::string_view summary; };
  const Case cases[] = {
      {{GoodDll()}, kAllPass, "176 exports: 176 pass, 0 fail\n"},
      {{BrokenDll()}, kSomeFail, "176 exports: 169 pass, 7 fail (1 missing, 1 raised)\n"},
  };
  for (const Case& c : cases) {
    const ToolRun run = Tool(c.args);
    EXPECT_EQ(run.code, c.code) << run.out << run.err;
    EXPECT_TRUE(run.out.ends_with(c.summary)) << run.out;
    EXPECT_TRUE(run.err.empty()) << run.err;
    // A title, one line per export, the summary.
    EXPECT_EQ(static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '\n')), kCatalogueSize + 2);
  }
  const ToolRun broken = Tool({BrokenDll()});
  EXPECT_NE(broken.out.find("\niiI1i1IIii  Increment        fail: removed 32 bytes, expected 28\n"), std::string::npos);
  EXPECT_NE(broken.out.find("\nI1111I111I  CharCodeAt       missing: no export named Dravmok_5748B89C_1_I1111I111I\n"),
            std::string::npos);
}

// A header that says PE32+ for x86-64 and nothing more.
std::vector<std::uint8_t> Pe32PlusDll() {
  std::vector<std::uint8_t> file(512, 0);
  const auto put16 = [&](std::size_t at, std::uint16_t v) { std::memcpy(&file[at], &v, 2); };
  const auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&file[at], &v, 4); };
  put16(0, IMAGE_DOS_SIGNATURE);
  put32(0x3C, 0x80);                     // e_lfanew
  put32(0x80, IMAGE_NT_SIGNATURE);
  put16(0x84, IMAGE_FILE_MACHINE_AMD64);
  put16(0x86, 1);                        // sections
  put16(0x94, 0xF0);                     // size of the optional header
  put16(0x96, IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_LARGE_ADDRESS_AWARE | IMAGE_FILE_DLL);
  put16(0x98, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
  return file;
}

TEST(Tool, RefusesWhatIsNotALoadable32BitDll) {
  const std::wstring text = TempFile(L"notes.dll");
  const std::wstring pe64 = TempFile(L"x64.dll");
  const std::wstring dos = TempFile(L"dos.dll");
  WriteFile(text, {'p', 'r', 'i', 'c', 'e', 's', '\r', '\n'});
  WriteFile(pe64, Pe32PlusDll());
  std::vector<std::uint8_t> mz(128, 0);
  mz[0] = 'M', mz[1] = 'Z';
  WriteFile(dos, mz);
  wchar_t exe[MAX_PATH];
  const std::wstring program(exe, GetModuleFileNameW(nullptr, exe, MAX_PATH));
  const std::wstring missing = TempFile(L"missing.dll");

  struct Case { std::wstring file; std::string_view reason; };
  const Case cases[] = {
      {missing, "no such file"},
      {text, "not a DLL: it does not start with an executable header (MZ)"},
      {dos, "not a DLL: no PE header after the MZ header (an MS-DOS program or a damaged file)"},
      {pe64, "is a 64-bit (x86-64) module; only 32-bit x86 DLLs can be checked, as the terminal loads only those"},
      {program, "is a program (EXE), not a DLL"},
  };
  for (const Case& c : cases) {
    const std::string expected = "zelvankor-check: " + Utf8(c.file) + ": " + std::string(c.reason) + "\n";
    for (const auto& args : {std::vector<std::wstring>{c.file}, {L"--compare", GoodDll(), c.file},
                             {L"--compare", c.file, GoodDll()}}) {
      const ToolRun run = Tool(args);
      EXPECT_EQ(run.code, kCannotCheck) << Utf8(c.file);
      EXPECT_EQ(run.err, expected);
      EXPECT_TRUE(run.out.empty()) << run.out;
    }
  }
  for (const auto& file : {text, pe64, dos}) DeleteFileW(file.c_str());
}

TEST(Tool, UsageErrorsExitWithTwo) {
  struct Case { std::vector<std::wstring> args; std::string_view first_line; };
  const Case cases[] = {
      {{}, "name the DLL to check"},
      {{L"a.dll", L"b.dll"}, "check takes one DLL (use --compare for two)"},
      {{L"--compare", L"a.dll"}, "--compare takes two DLLs, A and B"},
      {{L"--compare", L"a.dll", L"b.dll", L"c.dll"}, "--compare takes two DLLs, A and B"},
      {{L"a.dll", L"--frames", L"10"}, "--frames and --seed go with --compare"},
      {{L"--compare", L"a.dll", L"b.dll", L"--frames", L"0"}, "--frames takes a whole number from 1 to 1000000, not 0"},
      {{L"--compare", L"a.dll", L"b.dll", L"--frames", L"ten"}, "--frames takes a whole number from 1 to 1000000, not ten"},
      {{L"--compare", L"a.dll", L"b.dll", L"--frames"}, "--frames needs a number"},
      {{L"--compare", L"a.dll", L"b.dll", L"--seed", L"-1"}, "--seed takes a whole number (decimal or 0x-hex), not -1"},
      {{L"--verbose", L"a.dll"}, "unknown option --verbose"},
  };
  for (const Case& c : cases) {
    const ToolRun run = Tool(c.args);
    EXPECT_EQ(run.code, kCannotCheck) << c.first_line;
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), "zelvankor-check: " + std::string(c.first_line));
    EXPECT_NE(run.err.find("usage: zelvankor-check"), std::string::npos);
  }
  EXPECT_EQ(Tool({L"--help"}).code, kAllPass);
}

// ---- JSON -------------------------------------------------------------------------------

TEST(Json, CheckReportListsEveryExportWithItsVerdict) {
  const ToolRun run = Tool({L"--json", BrokenDll()});
  EXPECT_EQ(run.code, kSomeFail);
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["tool"], "zelvankor-check");
  EXPECT_EQ(json["format"], 1);
  EXPECT_EQ(json["mode"], "check");
  EXPECT_EQ(json["summary"],
            nlohmann::json::parse(R"({"exports":176,"passed":169,"failed":7,"missing":1,"raised":1})"));
  ASSERT_EQ(json["exports"].size(), kCatalogueSize);
  for (std::size_t i = 0; i < kCatalogueSize; ++i) {
    const auto& e = json["exports"][i];
    EXPECT_EQ(e["name"], kCatalogue[i].Name());
    const Fault* fault = FaultOf(kCatalogue[i].tail);
    EXPECT_EQ(e["verdict"], VerdictName(fault ? fault->verdict : Verdict::Pass));
    if (fault) {
      EXPECT_EQ(e["detail"], fault->detail);
    } else {
      EXPECT_FALSE(e.contains("detail"));
    }
  }
}

TEST(Json, CompareReportNamesAspectsAndMissingSide) {
  const ToolRun run = Tool({L"--compare", L"--json", GoodDll(), BrokenDll(), L"--frames", L"10", L"--seed", L"0x2A"});
  EXPECT_EQ(run.code, kSomeFail);
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["mode"], "compare");
  EXPECT_EQ(json["frames"], 10);
  EXPECT_EQ(json["seed"], 42);
  EXPECT_EQ(json["summary"], nlohmann::json::parse(R"({"exports":176,"same":169,"differ":6,"missing":1})"));
  std::map<std::string, nlohmann::json> by_tail;
  for (const auto& e : json["exports"]) by_tail[e["tail"]] = e;
  EXPECT_EQ(by_tail["I1111I111I"]["outcome"], "missing");
  EXPECT_EQ(by_tail["I1111I111I"]["missing_in"], nlohmann::json::array({"b"}));
  const auto& text = by_tail["i1IiI1ii11"];
  EXPECT_EQ(text["outcome"], "differs");
  ASSERT_EQ(text["differences"].size(), 1u);
  EXPECT_EQ(text["differences"][0]["aspect"], "text");
  EXPECT_EQ(text["differences"][0]["frames"], 10);
  EXPECT_EQ(text["differences"][0]["a"], R"(returned "EA\u2192\u00A0")");
  EXPECT_EQ(text["differences"][0]["b"], R"(returned "EA\u2192 ")");
  EXPECT_EQ(by_tail["11Ii11i1ii"]["differences"], nlohmann::json::array());
}

// ---- frames and values -------------------------------------------------------------------

const ExportRow& Row(std::string_view tail) {
  for (const ExportRow& row : kCatalogue) {
    if (row.tail == tail) return row;
  }
  throw std::logic_error("no row");
}

bool ValidUtf16(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool high = text[i] >= 0xD800 && text[i] < 0xDC00, low = text[i] >= 0xDC00 && text[i] < 0xE000;
    if (low) return false;
    if (high && (++i == text.size() || text[i] < 0xDC00 || text[i] >= 0xE000)) return false;
  }
  return true;
}

TEST(Frames, TextSlotsHoldValidTextsTheToolOwns) {
  const ExportRow& row = Row("i1i1111I1i");  // text in slot 3, index in slot 2
  FrameMaker frames(1, row);
  TextArena texts;
  int null_texts = 0, in_range = 0;
  for (int i = 0; i < 2000; ++i) {
    const auto slots = frames.Next(texts);
    ASSERT_EQ(slots.size(), 3u);
    if (slots[2] == 0) {
      ++null_texts;
      continue;
    }
    const auto text = ReadText(slots[2]);
    ASSERT_TRUE(text) << "frame " << i;
    EXPECT_LE(text->size(), 25u);
    EXPECT_TRUE(ValidUtf16(*text)) << Quote(*text);
    const auto index = static_cast<std::int32_t>(slots[1]);
    in_range += index >= 0 && index < static_cast<std::int32_t>(text->size());
  }
  EXPECT_GT(null_texts, 0) << "null texts are part of the contract";
  EXPECT_GT(in_range, 400) << "most indexes should land inside the text";
}

TEST(Frames, DoublesMixTheValuesThatMatter) {
  std::mt19937_64 random(3);
  int nan = 0, signalling = 0, infinity = 0, zero = 0, subnormal = 0, half = 0;
  for (int i = 0; i < 5000; ++i) {
    const std::uint64_t bits = RandomDoubleBits(random);
    const double d = std::bit_cast<double>(bits);
    nan += std::isnan(d);
    signalling += std::isnan(d) && (bits & (std::uint64_t{1} << 51)) == 0;
    infinity += std::isinf(d);
    zero += d == 0;
    subnormal += std::fpclassify(d) == FP_SUBNORMAL;
    half += std::isfinite(d) && d - std::floor(d) == 0.5;
  }
  for (int count : {nan, signalling, infinity, zero, subnormal, half}) EXPECT_GT(count, 50);
}

TEST(Frames, TheSameSeedGivesTheSameFrames) {
  const ExportRow& row = Row("i1IiIII1ii");  // LargerOf
  FrameMaker first(99, row), second(99, row), other(100, row);
  TextArena texts;
  int differ = 0;
  for (int i = 0; i < 50; ++i) {
    const auto slots = first.Next(texts);
    EXPECT_EQ(slots, second.Next(texts));
    differ += slots != other.Next(texts);
  }
  EXPECT_GT(differ, 40);
}

TEST(Values, ReadTextStopsAtMemoryItCannotRead) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const std::size_t page = info.dwPageSize;
  auto* base = static_cast<char16_t*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE, PAGE_NOACCESS));
  ASSERT_NE(base, nullptr);
  ASSERT_NE(VirtualAlloc(base, page, MEM_COMMIT, PAGE_READWRITE), nullptr);
  const std::size_t units = page / 2;
  std::fill(base, base + units, u'A');
  base[units - 3] = u'\0';
  const auto address = [](const char16_t* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); };

  EXPECT_EQ(ReadText(address(base + units - 5)), std::u16string(u"AA"));
  EXPECT_EQ(ReadText(address(base + units - 2)), std::nullopt) << "runs into the reserved page";
  EXPECT_EQ(ReadText(address(base + units - 5) + 1), std::nullopt) << "odd address";
  EXPECT_EQ(ReadText(0), std::nullopt);
  EXPECT_EQ(ReadText(address(base), 16), std::nullopt) << "no NUL within the limit";
  DWORD old;
  VirtualProtect(base, page, PAGE_NOACCESS, &old);
  EXPECT_EQ(ReadText(address(base + units - 5)), std::nullopt);
  VirtualFree(base, 0, MEM_RELEASE);
  EXPECT_EQ(ReadText(address(base + units - 5)), std::nullopt);
}

TEST(Values, RegistersReadBackAsTheDoublesTheyHold) {
  const std::uint64_t doubles[] = {
      0x0000000000000000, 0x8000000000000000, 0x3FF8000000000000, 0x7FEFFFFFFFFFFFFF, 0x0010000000000000,
      0x0000000000000001, 0x800FFFFFFFFFFFFF, 0x7FF0000000000000, 0xFFF0000000000000, 0x7FF8000000000123,
  };
  for (std::uint64_t bits : doubles) {
    EXPECT_EQ(AsDoubleBits(LoadedAsX87(bits)), bits) << std::hex << bits;
  }
  EXPECT_EQ(AsDoubleBits(LoadedAsX87(std::uint64_t{0x7FF0000000000001})), 0x7FF8000000000001u) << "loading quiets a signalling NaN";
  // 1 + 2^-60 fits the x87's 64-bit significand but not a double's.
  X87Image wide = LoadedAsX87(1.0);
  wide[0] = 0x08;
  EXPECT_EQ(AsDoubleBits(wide), std::nullopt);
  EXPECT_EQ(DescribeX87(wide), "0x3FFF8000000000000008 (not a double)");
}

}  // namespace
}  // namespace zk::check
