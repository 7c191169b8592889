// The module as loader and host see it: its export table, imports and the crash
// reporter's option block.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "tests/win/test_support.h"

namespace zk::test {
namespace {

class ModuleTest : public DllSuite {
 protected:
  const std::uint8_t* base() const { return reinterpret_cast<const std::uint8_t*>(dll().module()); }
  const IMAGE_DATA_DIRECTORY& Directory(int index) const {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base() + dos->e_lfanew);
    return nt->OptionalHeader.DataDirectory[index];
  }
  const IMAGE_EXPORT_DIRECTORY& Exports() const {
    return *reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
        base() + Directory(IMAGE_DIRECTORY_ENTRY_EXPORT).VirtualAddress);
  }
};

TEST_F(ModuleTest, IsA32BitDllNamedZelvankor) {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base());
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base() + dos->e_lfanew);
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
  EXPECT_EQ(nt->FileHeader.TimeDateStamp, 0u) << "a time stamp makes builds differ";
  EXPECT_STREQ(reinterpret_cast<const char*>(base() + Exports().Name), "zelvankor.dll");
}

TEST_F(ModuleTest, ExportTableHoldsTheCatalogueAndNothingElse) {
  const IMAGE_EXPORT_DIRECTORY& exports = Exports();
  const auto* names = reinterpret_cast<const DWORD*>(base() + exports.AddressOfNames);
  std::set<std::string> exported;
  for (DWORD i = 0; i < exports.NumberOfNames; ++i) {
    exported.insert(reinterpret_cast<const char*>(base() + names[i]));
  }
  std::set<std::string> expected;
  for (const ExportRow& row : kCatalogue) expected.insert(row.Name());

  EXPECT_EQ(exports.NumberOfNames, kCatalogueSize);
  EXPECT_EQ(exports.NumberOfFunctions, kCatalogueSize) << "no entries without a name";
  EXPECT_EQ(exported, expected);
}

TEST_F(ModuleTest, EveryCatalogueNameBindsToItsOwnRoutine) {
  std::set<const void*> addresses;
  for (const ExportRow& row : kCatalogue) {
    const void* fn = dll().Bind(row);
    ASSERT_NE(fn, nullptr) << row.Name();
    addresses.insert(fn);
  }
  EXPECT_EQ(addresses.size(), kCatalogueSize);
}

TEST_F(ModuleTest, ImportsOnlyDllsThatShipWithWindows) {
  const IMAGE_DATA_DIRECTORY& dir = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
  ASSERT_NE(dir.VirtualAddress, 0u);
  wchar_t system_dir[MAX_PATH];
  const UINT n = GetSystemDirectoryW(system_dir, MAX_PATH);
  const std::wstring system(system_dir, n);

  std::vector<std::string> imported;
  for (const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base() + dir.VirtualAddress);
       d->Name != 0; ++d) {
    std::string name = reinterpret_cast<const char*>(base() + d->Name);
    std::transform(name.begin(), name.end(), name.begin(), ::tolower);
    imported.push_back(name);
    EXPECT_EQ(name.find("libgcc"), std::string::npos) << name;
    EXPECT_EQ(name.find("libstdc++"), std::string::npos) << name;
    EXPECT_EQ(name.find("winpthread"), std::string::npos) << name;
    const std::wstring file = system + L"\\" + std::wstring(name.begin(), name.end());
    EXPECT_NE(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES) << name << " is not a system DLL";
  }
  std::string list;
  for (const auto& name : imported) list += name + " ";
  RecordProperty("imports", list);
  std::printf("imports: %s\n", list.c_str());
}

// The option block, line by line, as the crash reporter expects it.
const char* const kOptionLines[] = {
    "Activate=1",
    "atFixSafeCallException=1",
    "atWin32=1",
    "cfoReduceFileSize=0",
    "CompatibilityMode=0",
    "csoDoNotStoreProcNames=1",
    "DeleteMapAfterCompile=1",
    "dpDLLExports=0",
    "Encrypt Password=\"\"",
    "EurekaLog Version=7007",
    "idEurekaLog=1",
    "idEurekaLogDetailed=1",
    "idMSClassic=1",
    "idStepsToReproduce=1",
    "InjectCode=1",
    "InjectInfo=1",
    "InjectOptions=1",
    "loCatchLeaks=0",
    "loEmptyFreedMemory=0",
    "loEnableMMDebugMode=1",
    "loShareMM=1",
    "ProjectID=\"{6B0E7A3C-52D4-4F1B-9C8E-2A7D19E4F053}\"",
    "Save Log File=0",
    "TextsCollection=\"\"",
};

TEST_F(ModuleTest, CarriesTheCrashReporterOptionsCompressed) {
  HRSRC info = FindResourceW(dll().module(), L"ELDATA", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  ASSERT_NE(info, nullptr);
  const DWORD size = SizeofResource(dll().module(), info);
  const auto* data = static_cast<const Bytef*>(LockResource(LoadResource(dll().module(), info)));
  ASSERT_NE(data, nullptr);

  std::vector<Bytef> block(64 * 1024);
  uLongf length = block.size();
  ASSERT_EQ(uncompress(block.data(), &length, data, size), Z_OK) << "not a zlib stream";
  std::string text(reinterpret_cast<const char*>(block.data()), length);

  ASSERT_EQ(text.substr(0, 3), "\xEF\xBB\xBF") << "UTF-8 byte-order mark";
  text.erase(0, 3);
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "every line ends in CRLF";
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  ASSERT_EQ(lines.size(), std::size(kOptionLines));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i], kOptionLines[i]) << "line " << i + 1;
    EXPECT_EQ(lines[i].find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace zk::test
