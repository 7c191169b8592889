// zelvankor-check's command line, runnable in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zk::check {

// Exit codes.
inline constexpr int kAllPass = 0;       // every export passes, or the two DLLs answer alike
inline constexpr int kSomeFail = 1;      // some export fails, or the two differ somewhere
inline constexpr int kCannotCheck = 2;   // a usage error, or a file that is not a loadable 32-bit DLL

// Runs the tool on its arguments (without the program name); reports go to `out`,
// errors and progress to `err`.
int RunTool(const std::vector<std::wstring>& args, std::ostream& out, std::ostream& err);

}  // namespace zk::check
