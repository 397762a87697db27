#include <cstdio>
#include <string>

#include "platform/files.h"
#include "platform/fp_env.h"
#include "platform/terminal.h"
#include "run/options.h"
#include "run/run.h"

namespace {

constexpr const char* usage =
    "Usage: cdbbem [--check [--json]] [--vtk] [PATH]\n"
    "       cdbbem --help | --version\n"
    "\n"
    "Translates the archive ANSYS_Model.cdb into input.dat (the BEM solver's\n"
    "model file) and input.plt (a Tecplot file of the mesh), written beside it.\n"
    "\n"
    "PATH      a directory holding ANSYS_Model.cdb, or an archive file of any\n"
    "          name; the outputs go to that directory (default: the current one)\n"
    "--check   read the archive as a translation does, write neither input.dat\n"
    "          nor input.plt, and print a report of the mesh: counts, conditions,\n"
    "          and defects (coincident nodes, degenerate or duplicate triangles,\n"
    "          open, non-manifold or misoriented edges) with examples\n"
    "--json    with --check: the report as one JSON object\n"
    "--vtk     also write input.vtu (VTK XML unstructured grid with boundary\n"
    "          conditions, element numbers and defect flags); with --check,\n"
    "          write only input.vtu\n"
    "\n"
    "Exit status: 0 on success, 1 for a malformed archive, 2 for a usage\n"
    "error, 3 when --check finds a defect, otherwise the number of the\n"
    "failure report written on standard error.\n";

int usage_error(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  cdbbem::flush_denormals();
  const cdbbem::command_line args = cdbbem::parse_command_line(argc, argv);
  switch (args.what) {
  case cdbbem::command_line::request::help:
    std::fputs(usage, stdout);
    return 0;
  case cdbbem::command_line::request::version:
    std::puts("cdbbem " CDBBEM_VERSION);
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
  cdbbem::run_options options;
  options.directory = place.directory;
  options.archive = place.archive;
  options.console = cdbbem::standard_output();
  options.error_out = cdbbem::standard_error();
  options.check = args.check;
  options.json = args.json;
  options.vtk = args.vtk;
  options.progress = cdbbem::is_terminal(options.error_out);
  return cdbbem::run_translation(options);
}
