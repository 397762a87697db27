#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/fp_env.h"
#include "platform/machine.h"
#include "run/run.h"

namespace {

constexpr const char* usage =
    "Usage: cdbbem [--help | --version]\n"
    "\n"
    "Translates the archive ANSYS_Model.cdb in the current directory into\n"
    "input.dat (the BEM solver's model file) and input.plt (a Tecplot file\n"
    "of the mesh), written beside it.  Takes no other arguments.\n"
    "\n"
    "Exit status: 0 on success, 1 for a malformed archive, otherwise the\n"
    "number of the failure report written on standard error.\n";

// The threads a run may use: CDBBEM_THREADS when set (1 to 64), otherwise
// the processors the process may run on, at most 8; 0 for a value that is
// not a count in range.
unsigned thread_count() {
  const char* text = std::getenv("CDBBEM_THREADS");
  if (text == nullptr) {
    return std::min(cdbbem::processor_count(), 8u);
  }
  unsigned value = 0;
  const char* end = text + std::strlen(text);
  auto [stop, error] = std::from_chars(text, end, value);
  if (error != std::errc() || stop != end || value < 1 || value > 64) {
    return 0;
  }
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  cdbbem::flush_denormals();
  if (argc > 1) {
    std::string arg = argv[1];
    if (argc == 2 && (arg == "--help" || arg == "-h")) {
      std::fputs(usage, stdout);
      return 0;
    }
    if (argc == 2 && arg == "--version") {
      std::puts("cdbbem " CDBBEM_VERSION);
      return 0;
    }
    std::fprintf(stderr,
                 "cdbbem: unexpected argument '%s'; cdbbem takes no arguments (see --help)\n",
                 arg.c_str());
    return 2;
  }
  const unsigned threads = thread_count();
  if (threads == 0) {
    std::fprintf(stderr, "cdbbem: CDBBEM_THREADS must be a whole number from 1 to 64\n");
    return 2;
  }
  return cdbbem::run_translation({cdbbem::current_directory(), cdbbem::standard_output(),
                                  cdbbem::standard_error(), 0, threads});
}
