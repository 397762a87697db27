#ifndef CDBBEM_TESTS_RUN_LEGACY_ARCHIVES_H_
#define CDBBEM_TESTS_RUN_LEGACY_ARCHIVES_H_

#include <cstdint>
#include <string>

namespace cdbbem::testing {

/// An archive in the legacy layout drawn from a seed, and what it was made
/// of in words, for the message of a test that fails on it.
struct legacy_archive {
  std::string text;
  std::string recipe;
};

/// The archive of `seed`, in the legacy layout: boundary nodes 1 to N and
/// field points N+1 to N+P in one node block, boundary elements (distinct
/// labels 1 to E, in order, reversed or shuffled, every node a corner of
/// one of them, triangles written with K = L) and field cells E+1 to E+C in
/// one element block, the components FIELDCELLS and FIELDPOINTS naming
/// exactly those, then "D," records of one degree of freedom (distinct
/// nodes) and "SFE," records of one load label (HFLUX or PRES) on face 1
/// with value key 0 or 1.  Sizes from one element to a few thousand, every
/// node and element layout, LF or CR LF, and drawn at random what archives
/// hold besides: shell element types in their several spellings, node
/// headers without counts, node records with attributes, rotations or
/// without their trailing zero coordinates, no node terminator, stray
/// "N,R5.x" records, element records split over two records after the
/// element label, corners repeated after the node count, both element
/// terminators, components over several records with repeats and empty
/// ranges, an empty FIELDCELLS beside field points, another component,
/// flux values over two records or comma separated, no last line end.  The
/// default reading translates each with status 0 and no node-numbering
/// warning.  The same seed gives the same archive on every run.
legacy_archive draw_legacy_archive(std::uint64_t seed);

}  // namespace cdbbem::testing

#endif  // CDBBEM_TESTS_RUN_LEGACY_ARCHIVES_H_
