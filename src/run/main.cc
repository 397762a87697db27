#include <cstdio>
#include <string>

#include "platform/files.h"
#include "platform/fp_env.h"
#include "platform/interrupts.h"
#include "run/reports.h"
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
  cdbbem::install_interrupt_handlers(cdbbem::interrupt_message(), cdbbem::standard_error());
  return cdbbem::run_translation(
      {cdbbem::current_directory(), cdbbem::standard_output(), cdbbem::standard_error()});
}
