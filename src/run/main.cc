#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/fp_env.h"
#include "platform/machine.h"
#include "platform/process.h"
#include "platform/interrupts.h"
#include "run/reports.h"
#include "run/run.h"

namespace {

constexpr std::string_view usage =
    "Usage: cdbbem [--help | --version]\n"
    "\n"
    "Translates the archive ANSYS_Model.cdb in the current directory into\n"
    "input.dat (the BEM solver's model file) and input.plt (a Tecplot file\n"
    "of the mesh), written beside it.  Takes no other arguments.\n"
    "\n"
    "Exit status: 0 on success, 1 for a malformed archive, otherwise the\n"
    "number of the failure report written on standard error.\n";

// Text goes to the platform's files as bytes, never through a C library
// stream that might translate line ends.
void say(cdbbem::file_handle file, std::string_view text) {
  cdbbem::write_all(file, text.data(), text.size());
}

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
  const std::vector<std::string> args = cdbbem::program_arguments(argc, argv);
  if (!args.empty()) {
    const std::string& arg = args[0];
    if (args.size() == 1 && (arg == "--help" || arg == "-h")) {
      say(cdbbem::standard_output(), usage);
      return 0;
    }
    if (args.size() == 1 && arg == "--version") {
      say(cdbbem::standard_output(), "cdbbem " CDBBEM_VERSION "\n");
      return 0;
    }
    say(cdbbem::standard_error(),
        "cdbbem: unexpected argument '" + arg + "'; cdbbem takes no arguments (see --help)\n");
    return 2;
  }
  const unsigned threads = thread_count();
  if (threads == 0) {
    say(cdbbem::standard_error(), "cdbbem: CDBBEM_THREADS must be a whole number from 1 to 64\n");
    return 2;
  }
  cdbbem::install_interrupt_handlers(cdbbem::interrupt_message(), cdbbem::standard_error());
  return cdbbem::run_translation({cdbbem::current_directory(), cdbbem::standard_output(),
                                  cdbbem::standard_error(), 0, threads});
}
