#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/fp_env.h"
#include "platform/interrupts.h"
#include "platform/machine.h"
#include "platform/process.h"
#include "platform/terminal.h"
#include "run/options.h"
#include "run/reports.h"
#include "run/run.h"

namespace {

constexpr const char* usage =
    "Usage: cdbbem [--check [--json]] [--vtk] [PATH]\n"
    "       cdbbem --any [--dof LABEL] [--flux LABEL] [--check [--json]] [--vtk]\n"
    "              [PATH]\n"
    "       cdbbem --help | --version\n"
    "\n"
    "Translates the archive ANSYS_Model.cdb into input.dat (the BEM solver's\n"
    "model file) and input.plt (a Tecplot file of the mesh), written beside it.\n"
    "\n"
    "PATH      a directory holding ANSYS_Model.cdb, or an archive file of any\n"
    "          name; the outputs go to that directory (default: the current one)\n"
    "--any     read the archive as the pre-processor writes it: labels with\n"
    "          gaps in any order, every node and element block in every form,\n"
    "          element types; the boundary is its shell and surface elements\n"
    "          (3, 4, 6 and 8 nodes) outside FIELDCELLS, the field points and\n"
    "          cells the components FIELDPOINTS and FIELDCELLS; what it passes\n"
    "          over is noted on the console, what it cannot read is report\n"
    "          109 to 114\n"
    "--dof LABEL   with --any: the potentials are the D records of this\n"
    "              degree of freedom (needed when the archive has several)\n"
    "--flux LABEL  with --any: the fluxes are the SFE records of this load\n"
    "              label (needed when the archive has several)\n"
    "--check   read the archive as a translation does, write neither input.dat\n"
    "          nor input.plt, and print a report of the mesh: counts, conditions,\n"
    "          and defects (coincident nodes, degenerate or duplicate triangles,\n"
    "          open, non-manifold or misoriented edges) with examples\n"
    "--json    with --check: the report as one JSON object\n"
    "--vtk     also write input.vtu (VTK XML unstructured grid with boundary\n"
    "          conditions, element numbers and defect flags); with --check,\n"
    "          write only input.vtu\n"
    "\n"
    "--json without --check, and --dof or --flux without --any, are usage\n"
    "errors.\n"
    "\n"
    "Exit status: 0 on success, 1 for a malformed archive, 2 for a usage\n"
    "error, 3 when --check finds a defect, otherwise the number of the\n"
    "failure report written on standard error.\n";

// Text goes to the platform's files as bytes, never through a C library
// stream that might translate line ends.
void say(cdbbem::file_handle file, std::string_view text) {
  cdbbem::write_all(file, text.data(), text.size());
}

int usage_error(const std::string& line) {
  say(cdbbem::standard_error(), line + "\n");
  return 2;
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
  const cdbbem::command_line args =
      cdbbem::parse_command_line(cdbbem::program_arguments(argc, argv));
  switch (args.what) {
  case cdbbem::command_line::request::help:
    say(cdbbem::standard_output(), usage);
    return 0;
  case cdbbem::command_line::request::version:
    say(cdbbem::standard_output(), "cdbbem " CDBBEM_VERSION "\n");
    return 0;
  case cdbbem::command_line::request::usage_error:
    return usage_error(args.error);
  case cdbbem::command_line::request::run:
    break;
  }
  cdbbem::run_place place;
  std::string error;
  if (!cdbbem::find_run_place(args, place, error)) {
    return usage_error(error);
  }
  const unsigned threads = thread_count();
  if (threads == 0) {
    return usage_error("cdbbem: CDBBEM_THREADS must be a whole number from 1 to 64");
  }
  cdbbem::run_options options;
  options.threads = threads;
  options.directory = place.directory;
  options.archive = place.archive;
  options.console = cdbbem::standard_output();
  options.error_out = cdbbem::standard_error();
  options.check = args.check;
  options.json = args.json;
  options.vtk = args.vtk;
  options.any = args.any;
  options.dof = args.dof;
  options.flux = args.flux;
  options.progress = cdbbem::is_terminal(options.error_out);
  cdbbem::install_interrupt_handlers(cdbbem::interrupt_message(), cdbbem::standard_error());
  return cdbbem::run_translation(options);
}
