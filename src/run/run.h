#ifndef CDBBEM_RUN_RUN_H_
#define CDBBEM_RUN_RUN_H_

#include <cstdint>
#include <memory>
#include <string>

namespace cdbbem {

/// Where a translation runs and where it talks.
struct run_options {
  std::string directory;               ///< absolute path of the directory for the outputs
  std::intptr_t console = 1;           ///< the platform's file for console lines
  std::intptr_t error_out = 2;         ///< the platform's file for the stop message and reports
  std::uint64_t store_memory_cap = 0;  ///< most bytes the store may take (0: no cap)
  unsigned threads = 1;                ///< threads the run may use
  std::string archive;    ///< absolute path of the archive; empty: ANSYS_Model.cdb in `directory`
  bool check = false;     ///< check the model instead of writing input.dat and input.plt
  bool json = false;      ///< with `check`: the report, or the failure, as JSON
  bool vtk = false;       ///< also write input.vtu
  bool any = false;       ///< read the archive as the pre-processor writes it
  std::string dof;        ///< with `any`: the degree-of-freedom label of the potentials
  std::string flux;       ///< with `any`: the load label of the fluxes
  bool progress = false;  ///< show a progress line on `error_out` (a terminal)
};

struct run_state;

/// The archive reader and the channels of a run with their buffers, kept by
/// a caller that runs many translations (a fuzz target) so that each run
/// does not allocate them again.  Serves one run at a time.
class run_buffers {
 public:
  run_buffers();
  ~run_buffers();
  run_buffers(const run_buffers&) = delete;
  run_buffers& operator=(const run_buffers&) = delete;

 private:
  friend int run_translation(const run_options& options, run_buffers& buffers);
  std::unique_ptr<run_state> state_;
};

/// The whole run.  A translation reads the archive, writes "input.dat" and
/// "input.plt" (and with `vtk` "input.vtu") in the directory and returns
/// the exit status: 0 on success, 1 for a malformed archive, else the
/// failure report's number (low 8 bits).  A check reads the archive the
/// same way, writes only "input.vtu" when asked, prints the mesh report
/// and returns the failure's status, or 3 when the report finds a defect,
/// or 0.  A second run in the same directory while one is writing ends
/// with 108 and touches no file.  Never throws.
int run_translation(const run_options& options);

/// The same through `buffers`; every file is closed when it returns.
int run_translation(const run_options& options, run_buffers& buffers);

}  // namespace cdbbem

#endif  // CDBBEM_RUN_RUN_H_
