#ifndef CDBBEM_TESTS_RUN_BAD_ARCHIVES_H_
#define CDBBEM_TESTS_RUN_BAD_ARCHIVES_H_

#include <string>
#include <string_view>
#include <vector>

namespace cdbbem::testing {

// What the output files hold before each run: no line end of their own, so
// a file that is not cut after a new record cannot pass for one that is.
inline constexpr std::string_view stale_model = "input.dat of an earlier run, longer than a record";
inline constexpr std::string_view stale_plot = "input.plt of an earlier run, longer than a record";

/// A small whole model that translates: four boundary nodes, one
/// quadrilateral, four field points and one field cell, three potentials
/// and one flux.
extern const std::string base_archive;

/// What a run leaves in the output files.
enum class outputs { untouched, written };

/// One damaged archive and how its run ends.
struct bad_archive {
  std::string name;
  std::string archive;
  int status;
  std::string first_line;  ///< of standard error; <DIR> for the run directory
  outputs files;
};

/// Archives that are damaged, cut short, hand-edited or not archives at all,
/// the base archive first.
std::vector<bad_archive> bad_archives();

}  // namespace cdbbem::testing

#endif  // CDBBEM_TESTS_RUN_BAD_ARCHIVES_H_
