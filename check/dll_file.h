// The DLL under check: its file examined before Windows is asked to load it, then
// loaded and bound by name.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "exports/catalogue.h"

namespace zk::check {

std::wstring FullPath(const std::wstring& path);

// Why this file is not a 32-bit x86 DLL, in words for a person; empty when it is one.
// Reads the headers only: nothing of the file runs.
std::string ExamineDllFile(const std::wstring& path);

class Dll {
 public:
  enum class Copy { IfNeeded, Always };

  // Examines and loads the DLL. Windows keeps one module per name, so when it hands
  // back a module from another file (or `copy` says so) the DLL is loaded from a
  // private copy in the temporary folder instead. Null on failure, with `error` set to
  // "<path>: <reason>".
  static std::unique_ptr<Dll> Load(const std::wstring& path, std::string& error,
                                   Copy copy = Copy::IfNeeded);
  ~Dll();
  Dll(const Dll&) = delete;
  Dll& operator=(const Dll&) = delete;

  const void* Bind(const ExportRow& row) const;
  HMODULE module() const { return module_; }
  const std::wstring& path() const { return path_; }        // the file named, as a full path
  const std::wstring& copy_path() const { return copy_; }   // the private copy, if one was made

 private:
  Dll(HMODULE module, std::wstring path, std::wstring copy)
      : module_(module), path_(std::move(path)), copy_(std::move(copy)) {}
  HMODULE module_;
  std::wstring path_;
  std::wstring copy_;
};

bool SameBaseName(const std::wstring& a, const std::wstring& b);

}  // namespace zk::check
