#ifndef CDBBEM_ARCHIVE_LOAD_H_
#define CDBBEM_ARCHIVE_LOAD_H_

#include <cstdint>
#include <string>

#include "archive/load_notes.h"
#include "model/model.h"

namespace cdbbem {

class output_channel;
class record_reader;

/// What a caller may set for `load`.
struct load_options {
  /// Most bytes the store may take (0: what the machine can give).  For
  /// harnesses that run many archives in one process.
  std::uint64_t store_memory_cap = 0;
  /// Threads the passes may use; with more than one, passes that do not
  /// depend on each other read the archive side by side.
  unsigned threads = 1;
  /// Whether node-numbering warnings are written on the console; they are
  /// counted in the notes either way.
  bool node_warnings_on_console = true;
  /// Read the archive as the pre-processor writes it (any numbering, any
  /// number of blocks, element types and classes) instead of by the
  /// legacy layout.
  bool any = false;
  /// With `any`: the degree-of-freedom label whose `D` records give the
  /// potentials, and the load label whose `SFE` records give the fluxes;
  /// empty: the only one the archive uses.
  std::string dof;
  std::string flux;
  /// With `any`: whether a skin's solids have their own volumes summed,
  /// for the check.
  bool solid_volumes = false;
};

/// Reads the archive open in `archive` into a model: the two survey passes,
/// the store, the node and element blocks, the default conditions, the
/// potentials and their triangles, and the fluxes, in that order, reopening
/// the archive before each pass after the first and raising 107 when the
/// archive changed while it was read.  Node-numbering warnings go to
/// `console` (unless the options say otherwise).  What the passes learned
/// of the archive goes to `notes`, when given.  Failures are raised as
/// `run_failure` or `run_stop`.
model load(record_reader& archive, output_channel& console, const load_options& options = {},
           load_notes* notes = nullptr);

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_LOAD_H_
