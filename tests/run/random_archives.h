#ifndef CDBBEM_TESTS_RUN_RANDOM_ARCHIVES_H_
#define CDBBEM_TESTS_RUN_RANDOM_ARCHIVES_H_

#include <cstdint>
#include <string>

namespace cdbbem::testing {

/// An archive drawn from a seed, and what it was made of in words, for the
/// message of a test that fails on it.
struct random_archive {
  std::string text;
  std::string recipe;
};

/// The archive of `seed`: a random model written by `build_archive` (sizes
/// from one element to a few thousand, every node and element layout, LF or
/// CR LF, field points and cells, potentials and fluxes, misnumbered nodes,
/// extreme coordinates), then none, one or two random damages: a count
/// edited (negative, huge, off by a few), a field replaced by junk or by a
/// value too wide for it, an index out of its range, lines or whole blocks
/// deleted, repeated, moved or added, bytes changed, the file cut.  The
/// same seed gives the same archive on every run.
random_archive draw_archive(std::uint64_t seed);

}  // namespace cdbbem::testing

#endif  // CDBBEM_TESTS_RUN_RANDOM_ARCHIVES_H_
