#include "check/dll_file.h"

#include <cstdio>
#include <cstring>

#include "check/values.h"

namespace zk::check {
namespace {

std::string SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text != nullptr ? text : L"", n);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  char number[32];
  std::snprintf(number, sizeof number, "error %lu", static_cast<unsigned long>(code));
  return message.empty() ? number : Utf8(message) + " (" + number + ")";
}

// Reads exactly `size` bytes at `offset`; false when the file is shorter.
bool ReadAt(HANDLE file, std::int64_t offset, void* out, DWORD size) {
  LARGE_INTEGER at;
  at.QuadPart = offset;
  DWORD got = 0;
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ReadFile(file, out, size, &got, nullptr) &&
         got == size;
}

std::wstring ModuleFileName(HMODULE module) {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
    if (n < name.size()) return name.substr(0, n);
    name.resize(name.size() * 2);
  }
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring BaseName(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring TempCopyName(const std::wstring& path) {
  static int copies = 0;
  wchar_t dir[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, dir);
  return std::wstring(dir, n) + L"zelvankor-check-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(++copies) + L"-" + BaseName(path);
}

// No dialog box for a DLL whose own dependencies are missing: LoadLibrary fails instead.
class QuietErrors {
 public:
  QuietErrors() { SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &saved_); }
  ~QuietErrors() { SetThreadErrorMode(saved_, nullptr); }

 private:
  DWORD saved_ = 0;
};

}  // namespace

std::wstring FullPath(const std::wstring& path) {
  const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  const DWORD m = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  full.resize(m);
  return full;
}

bool SameBaseName(const std::wstring& a, const std::wstring& b) {
  return SamePath(BaseName(FullPath(a)), BaseName(FullPath(b)));
}

std::string ExamineDllFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME) {
      return "no such file";
    }
    return "cannot be read: " + SystemMessage(code);
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "is a folder, not a DLL";

  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "cannot be read: " + SystemMessage(GetLastError());

  IMAGE_DOS_HEADER dos;
  std::uint8_t nt[4 + sizeof(IMAGE_FILE_HEADER) + 2] = {};  // signature, file header, optional magic
  const bool has_dos = ReadAt(file, 0, &dos, sizeof dos) && dos.e_magic == IMAGE_DOS_SIGNATURE;
  const bool has_nt = has_dos && dos.e_lfanew > 0 && ReadAt(file, dos.e_lfanew, nt, sizeof nt);
  CloseHandle(file);
  if (!has_dos) return "not a DLL: it does not start with an executable header (MZ)";

  DWORD signature;
  IMAGE_FILE_HEADER header;
  WORD magic;
  std::memcpy(&signature, nt, 4);
  std::memcpy(&header, nt + 4, sizeof header);
  std::memcpy(&magic, nt + 4 + sizeof header, 2);
  if (!has_nt || signature != IMAGE_NT_SIGNATURE) {
    return "not a DLL: no PE header after the MZ header (an MS-DOS program or a damaged file)";
  }
  if (header.Machine == IMAGE_FILE_MACHINE_AMD64) {
    return "is a 64-bit (x86-64) module; only 32-bit x86 DLLs can be checked, as the terminal loads only those";
  }
  if (header.Machine != IMAGE_FILE_MACHINE_I386) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "is built for another processor (machine type 0x%04X), not 32-bit x86",
                  header.Machine);
    return buf;
  }
  if (magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC) return "is not a 32-bit (PE32) image";
  if ((header.Characteristics & IMAGE_FILE_DLL) == 0) return "is a program (EXE), not a DLL";
  return {};
}

std::unique_ptr<Dll> Dll::Load(const std::wstring& given, std::string& error, Copy copy) {
  const std::wstring path = FullPath(given);
  if (const std::string why = ExamineDllFile(path); !why.empty()) {
    error = Utf8(given) + ": " + why;
    return nullptr;
  }
  QuietErrors quiet;
  if (copy == Copy::IfNeeded) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
      error = Utf8(given) + ": Windows could not load it: " + SystemMessage(GetLastError());
      return nullptr;
    }
    if (SamePath(ModuleFileName(module), path)) return std::unique_ptr<Dll>(new Dll(module, path, {}));
    FreeLibrary(module);  // another file of the same name was already loaded
  }
  const std::wstring copy_path = TempCopyName(path);
  if (!CopyFileW(path.c_str(), copy_path.c_str(), FALSE)) {
    error = Utf8(given) + ": could not copy it to " + Utf8(copy_path) + ": " + SystemMessage(GetLastError());
    return nullptr;
  }
  HMODULE module = LoadLibraryExW(copy_path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) {
    error = Utf8(given) + ": Windows could not load it: " + SystemMessage(GetLastError());
    DeleteFileW(copy_path.c_str());
    return nullptr;
  }
  return std::unique_ptr<Dll>(new Dll(module, path, copy_path));
}

Dll::~Dll() {
  FreeLibrary(module_);
  // A DLL that holds a reference on itself stays loaded; its copy goes at the next restart.
  if (!copy_.empty() && !DeleteFileW(copy_.c_str())) {
    MoveFileExW(copy_.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

const void* Dll::Bind(const ExportRow& row) const {
  return reinterpret_cast<const void*>(GetProcAddress(module_, row.Name().c_str()));
}

}  // namespace zk::check
