#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include "platform/process.h"
#include "platform/wide_windows.h"

namespace cdbbem {

// The narrow arguments of main are in the ANSI code page, which cannot hold
// every file or argument name; the wide command line can.
std::vector<std::string> program_arguments(int /*argc*/, char** /*argv*/) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int k = 1; wide != nullptr && k < count; ++k) {
    arguments.push_back(to_utf8(wide[k]));
  }
  LocalFree(wide);
  return arguments;
}

}  // namespace cdbbem
