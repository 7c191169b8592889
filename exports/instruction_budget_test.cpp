// The machine code of every export in the built DLL, read back with the i686 objdump:
// value exports are one load and one return, forwarding a double adds only a short guard
// with an out-of-line branch, computing exports hand over to their primitive in a handful
// of instructions, and every return removes exactly what the catalogue says.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "exports/catalogue.h"

namespace zk {
namespace {

// ---- the DLL's export table, read from the file ------------------------------------

struct Image {
  std::vector<std::uint8_t> bytes;
  std::uint32_t image_base = 0;
  std::map<std::string, std::uint32_t> exports;  // name -> RVA
};

std::uint32_t Le(const std::vector<std::uint8_t>& b, std::size_t at, int size) {
  if (at + size > b.size()) throw std::runtime_error("PE file shorter than its headers say");
  std::uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = v << 8 | b[at + i];
  return v;
}

std::optional<Image> ReadImage(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + " not found: build the Windows side first (cmake --build --preset windows)";
    return std::nullopt;
  }
  Image image;
  image.bytes.assign(std::istreambuf_iterator<char>(in), {});
  const auto& b = image.bytes;
  const std::uint32_t pe = Le(b, 0x3C, 4);
  if (Le(b, pe, 4) != 0x00004550 || Le(b, pe + 24, 2) != 0x10B) {
    error = path + " is not a PE32 image";
    return std::nullopt;
  }
  const std::uint32_t sections = Le(b, pe + 6, 2);
  const std::uint32_t optional_size = Le(b, pe + 20, 2);
  image.image_base = Le(b, pe + 24 + 28, 4);
  const std::uint32_t export_rva = Le(b, pe + 24 + 96, 4);
  const std::size_t section_table = pe + 24 + optional_size;
  auto offset_of = [&](std::uint32_t rva) -> std::size_t {
    for (std::uint32_t s = 0; s < sections; ++s) {
      const std::size_t h = section_table + 40 * s;
      const std::uint32_t va = Le(b, h + 12, 4), raw_size = Le(b, h + 16, 4), raw = Le(b, h + 20, 4);
      if (rva >= va && rva < va + raw_size) return raw + (rva - va);
    }
    throw std::runtime_error("RVA outside every section");
  };
  const std::size_t dir = offset_of(export_rva);
  const std::uint32_t names = Le(b, dir + 24, 4);
  const std::size_t functions = offset_of(Le(b, dir + 28, 4));
  const std::size_t name_table = offset_of(Le(b, dir + 32, 4));
  const std::size_t ordinals = offset_of(Le(b, dir + 36, 4));
  for (std::uint32_t i = 0; i < names; ++i) {
    std::string name;
    for (std::size_t at = offset_of(Le(b, name_table + 4 * i, 4)); at < b.size() && b[at] != 0; ++at) {
      name.push_back(static_cast<char>(b[at]));
    }
    image.exports[name] = Le(b, functions + 4 * Le(b, ordinals + 2 * i, 2), 4);
  }
  return image;
}

// The DLL built by the windows preset, or the one ZK_WINDOWS_DLL names.
std::string DllPath() {
  const char* path = std::getenv("ZK_WINDOWS_DLL");
  return path != nullptr && *path != 0 ? path : ZK_WINDOWS_DLL;
}

// ---- objdump -----------------------------------------------------------------------

struct Instruction {
  std::uint32_t address;
  std::string mnemonic;
  std::string operands;
};

// Intel-syntax disassembly of [address, address + length).
std::vector<Instruction> Disassemble(std::uint32_t address, std::uint32_t length) {
  char command[1024];
  std::snprintf(command, sizeof command,
                "'%s' -d -M intel --no-show-raw-insn --start-address=0x%x --stop-address=0x%x '%s'",
                ZK_I686_OBJDUMP, address, address + length, DllPath().c_str());
  std::vector<Instruction> out;
  FILE* pipe = popen(command, "r");
  if (pipe == nullptr) return out;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    // "642c1c00:\tmov    eax,0xffffffff"
    unsigned at = 0;
    int used = 0;
    if (std::sscanf(line, " %x:\t%n", &at, &used) != 1 || used == 0) continue;
    std::istringstream rest(line + used);
    Instruction insn{at, {}, {}};
    rest >> insn.mnemonic;
    std::getline(rest >> std::ws, insn.operands);
    out.push_back(insn);
  }
  pclose(pipe);
  return out;
}

std::uint32_t Target(const Instruction& insn) { return std::stoul(insn.operands, nullptr, 16); }

bool IsConditionalJump(const Instruction& insn) {
  return insn.mnemonic.size() > 1 && insn.mnemonic[0] == 'j' && insn.mnemonic != "jmp";
}

// The straight-line path from an entry point: conditional branches fall through, and the
// walk ends at the first return or jump.
struct Path {
  std::vector<Instruction> instructions;
  std::vector<std::uint32_t> branch_targets;
  int calls = 0;
  std::optional<std::uint32_t> ret_bytes;  // bytes the final return removes
};

Path Walk(std::uint32_t entry) {
  Path path;
  for (const Instruction& insn : Disassemble(entry, 64)) {
    path.instructions.push_back(insn);
    if (IsConditionalJump(insn)) path.branch_targets.push_back(Target(insn));
    if (insn.mnemonic == "call") ++path.calls;
    if (insn.mnemonic == "ret") {
      path.ret_bytes = insn.operands.empty() ? 0 : std::stoul(insn.operands, nullptr, 16);
      break;
    }
    if (insn.mnemonic == "jmp") break;
  }
  return path;
}

std::string Listing(const Path& path) {
  std::string text;
  for (const Instruction& insn : path.instructions) text += "\n    " + insn.mnemonic + " " + insn.operands;
  return text;
}

// ---- the budgets -------------------------------------------------------------------

struct Budget {
  int most;            // instructions on the ordinary path, the return included
  int branches;        // conditional branches, each to an out-of-line path
  int calls;           // calls into a primitive or a shared tail
};

Budget BudgetOf(Family family) {
  switch (family) {
    case Family::ConstText: case Family::ConstInt: case Family::ConstReal:
    case Family::PassInt: case Family::WidenInt:
      return {2, 0, 0};
    case Family::Increment:
      return {3, 0, 0};
    case Family::PassReal:
      return {2 + 4, 1, 0};  // the load and return, plus high word, two-step test, branch
    default:
      return {5, 0, 1};      // computing: operands into registers, the call, the return
  }
}

class InstructionBudget : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    image_ = ReadImage(DllPath(), error);
    if (!image_) error_ = new std::string(error);
  }
  static void TearDownTestSuite() {
    delete error_;
    error_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(image_.has_value()) << *error_; }

  static std::uint32_t EntryOf(const ExportRow& row) {
    const auto it = image_->exports.find(row.Name());
    if (it == image_->exports.end()) return 0;
    return image_->image_base + it->second;
  }

  static inline std::optional<Image> image_;
  static inline std::string* error_ = nullptr;
};

TEST_F(InstructionBudget, EveryExportStaysWithinItsFamilysBudget) {
  std::map<std::string, std::map<int, int>> counts;  // family -> instruction count -> exports
  std::string computing;                             // one line per computing export
  for (const ExportRow& row : kCatalogue) {
    SCOPED_TRACE(std::string(row.tail) + " (" + std::string(FamilyName(row.family)) + ")");
    const std::uint32_t entry = EntryOf(row);
    if (entry == 0) {
      ADD_FAILURE() << "not exported";
      continue;
    }
    const Path path = Walk(entry);
    const Budget budget = BudgetOf(row.family);
    const int n = static_cast<int>(path.instructions.size());
    ++counts[std::string(FamilyName(row.family))][n];
    for (const Instruction& insn : path.instructions) {
      if (insn.mnemonic == "call") {
        computing += "  " + std::string(row.tail) + "  " + std::string(FamilyName(row.family)) + ": " +
                     std::to_string(n) + " own instructions, then call " + insn.operands + "\n";
      }
    }

    EXPECT_LE(n, budget.most) << Listing(path);
    EXPECT_EQ(path.calls, budget.calls) << Listing(path);
    EXPECT_EQ(path.branch_targets.size(), static_cast<std::size_t>(budget.branches)) << Listing(path);
    if (!path.ret_bytes) {
      ADD_FAILURE() << "the path does not end in a return" << Listing(path);
      continue;
    }
    EXPECT_EQ(*path.ret_bytes, static_cast<std::uint32_t>(row.BytesRemoved())) << Listing(path);

    for (std::uint32_t target : path.branch_targets) {
      // Out of line: not among the next bytes of the routine, and it too removes the slots.
      const std::uint32_t end = path.instructions.back().address;
      EXPECT_TRUE(target < entry || target > end + 64) << "branch to 0x" << std::hex << target;
      const Path rare = Walk(target);
      EXPECT_EQ(rare.ret_bytes, std::optional<std::uint32_t>(row.BytesRemoved())) << Listing(rare);
    }
  }
  std::printf("instructions on the ordinary path, return included:\n");
  for (const auto& [family, histogram] : counts) {
    std::printf("  %-16s", family.c_str());
    for (const auto& [n, exports] : histogram) std::printf("  %d instructions: %d exports", n, exports);
    std::printf("\n");
  }
  std::printf("computing exports:\n%s", computing.c_str());
}

}  // namespace
}  // namespace zk
