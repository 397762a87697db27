#ifndef CDBBEM_RUN_OPTIONS_H_
#define CDBBEM_RUN_OPTIONS_H_

#include <string>
#include <vector>

namespace cdbbem {

/// What the command line asks for.
struct command_line {
  enum class request { run, help, version, usage_error };
  request what = request::run;
  bool check = false;
  bool json = false;
  bool vtk = false;
  bool any = false;  ///< --any: read the archive as the pre-processor writes it
  std::string dof;   ///< --dof LABEL, with --any: the potentials' degree of freedom
  std::string flux;  ///< --flux LABEL, with --any: the fluxes' load label
  bool has_path = false;
  std::string path;   ///< the PATH argument as given
  std::string error;  ///< for a usage error: its line, without line end
};

/// Reads the arguments (the program's name left out): options and at most
/// one PATH, in any order.  --help and --version stand alone; --json needs
/// --check.
command_line parse_command_line(const std::vector<std::string>& args);

/// Where a run works: the directory for its outputs and the archive.
struct run_place {
  std::string directory;  ///< absolute; the outputs go here
  std::string archive;    ///< absolute path of the archive
};

/// The place for PATH: with none or ".", the current directory and its
/// ANSYS_Model.cdb exactly as a run without arguments names them.  A
/// directory holds ANSYS_Model.cdb; any regular file is the archive and
/// its directory takes the outputs.  A relative PATH is put after the
/// current directory and a "/"; nothing is resolved.  False, with the
/// usage error's line in `error`, when PATH names nothing or something
/// else than a directory or a regular file.
bool find_run_place(const command_line& args, run_place& place, std::string& error);

}  // namespace cdbbem

#endif  // CDBBEM_RUN_OPTIONS_H_
