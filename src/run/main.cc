#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/fp_env.h"
#include "platform/process.h"
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
  return cdbbem::run_translation(
      {cdbbem::current_directory(), cdbbem::standard_output(), cdbbem::standard_error()});
}
