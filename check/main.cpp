// zelvankor-check: proof that a zelvankor.dll answers as the expert expects, and that two
// builds answer alike. See check/cli.h and the README.
#include <windows.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "check/cli.h"

int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);  // paths are printed as UTF-8
  const std::vector<std::wstring> args(argv + 1, argv + argc);
  try {
    return zk::check::RunTool(args, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "zelvankor-check: " << e.what() << "\n";
    return zk::check::kCannotCheck;
  }
}
