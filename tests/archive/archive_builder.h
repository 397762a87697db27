#ifndef CDBBEM_TESTS_ARCHIVE_ARCHIVE_BUILDER_H_
#define CDBBEM_TESTS_ARCHIVE_ARCHIVE_BUILDER_H_

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "archive/load_notes.h"
#include "model/model.h"
#include "textrec/failure.h"

namespace cdbbem::testing {

/// `pattern` with `args`, as printf writes them (up to 511 characters).
template <typename... Args>
std::string format(const char* pattern, Args... args) {
  char text[512];
  std::snprintf(text, sizeof text, pattern, args...);
  return text;
}

/// How the records of a node layout are written: its layout record, the
/// width of the integer fields, of the real fields and the digits after
/// the point.
struct node_format {
  const char* layout_record;
  int int_width;
  int real_width;
  int digits;
};

/// The four node layouts, layout k at k - 1.
inline constexpr node_format node_formats[] = {
    {"(3i8,6e16.9)", 8, 16, 9},
    {"(3i8,6e20.13)", 8, 20, 13},
    {"(3i9,6e20.13)", 9, 20, 13},
    {"(3i9,6e21.13e3)", 9, 21, 13},
};

/// A point of the model.
struct xyz {
  double x, y, z;
};

/// A boundary element; K = L makes it a triangle.  `number` 0 writes the
/// element's position in the block; `node_total` is the record's 9th value.
struct element_spec {
  std::int32_t i, j, k, l;
  std::int32_t number = 0;
  std::int32_t node_total = 4;
};

/// A "D," record: node and value.
struct potential_spec {
  std::int32_t node;
  double value;
};

/// An "SFE," header and its four values.
struct flux_spec {
  std::int32_t element;
  double a, b, c, d;
};

/// What `build_archive` writes.
struct archive_plan {
  std::vector<xyz> nodes;         ///< boundary nodes 1..N
  std::vector<xyz> field_points;  ///< field points N+1..N+P
  std::vector<element_spec> elements;
  std::vector<std::array<std::int32_t, 4>> cells;  ///< corners counted among the field points
  std::vector<potential_spec> potentials;
  std::vector<std::string> condition_records;  ///< written as they are, after the potentials
  std::vector<flux_spec> fluxes;
  /// When not empty, the number written on node record k (boundary nodes,
  /// then field points) instead of k.
  std::vector<std::int32_t> node_numbers;
  int node_layout = 1;          ///< 1 to 4
  int element_width = 8;        ///< 8, 9 or 10: (19i8), (19i9) or (19i10)
  bool split_elements = false;  ///< every element record continued on a second record
  bool crlf = false;
};

/// An archive holding the model of `plan`, with the landmarks a run looks
/// for: offset section, node and element blocks, the two components, the
/// condition records, "/GO" and "FINISH".
std::string build_archive(const archive_plan& plan);

/// One-based number of the first line of `text` that contains `needle`, or 0.
std::int64_t line_of(std::string_view text, std::string_view needle);

/// What the reading stages made of an archive.
struct loaded_model : model {
  std::string console;  ///< console lines written while reading
  load_notes notes;     ///< what the reading learned of the archive

  /// Coordinates of boundary node n.
  xyz node(std::int64_t n) const;
  /// The three nodes of triangle t.
  std::array<std::int32_t, 3> triangle(std::int64_t t) const;
  /// The two triangles of element e.
  std::array<std::int32_t, 2> element(std::int64_t e) const;
  /// The four corners of field cell c.
  std::array<std::int32_t, 4> cell(std::int64_t c) const;
};

/// Runs the survey and the reading stages on `text` in memory, in the
/// order of a run.  Failures propagate as `run_failure` or `run_stop`.
loaded_model load_archive(std::string_view text);

/// The failure that loading `text` raises; a test failure when none is.
run_failure load_failure(std::string_view text);

}  // namespace cdbbem::testing

#endif  // CDBBEM_TESTS_ARCHIVE_ARCHIVE_BUILDER_H_
