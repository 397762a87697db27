#ifndef CDBBEM_RUN_RUN_H_
#define CDBBEM_RUN_RUN_H_

#include <string>

namespace cdbbem {

/// Where a translation runs and where it talks.
struct run_options {
  std::string directory;  ///< absolute path of the directory holding the archive
  int console_fd = 1;     ///< console lines
  int error_fd = 2;       ///< the stop message and failure reports
};

/// The whole translation: reads "ANSYS_Model.cdb" in the directory, writes
/// "input.dat" and "input.plt" beside it and returns the exit status: 0 on
/// success, 1 for a malformed archive, else the failure report's number
/// (low 8 bits).  Never throws.
int run_translation(const run_options& options);

}  // namespace cdbbem

#endif  // CDBBEM_RUN_RUN_H_
