#ifndef CDBBEM_ARCHIVE_ANY_READER_H_
#define CDBBEM_ARCHIVE_ANY_READER_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/grow_array.h"

namespace cdbbem {

class record_reader;

/// An element record (with its continuation records).
struct any_element {
  std::int64_t line;  ///< archive line of its first record
  std::int32_t label;
  std::int32_t itype;        ///< its type attribute, 0 for none
  std::uint32_t first_node;  ///< where its node fields start in `element_nodes`
  std::int32_t node_count;   ///< node fields written (absent ones 0)
};

/// An `ET` record or a row of an `ETBLOCK`: type attribute `itype` is
/// element type `number`, with option 1 `shape`.
struct any_type {
  std::int32_t itype;
  std::int32_t number;
  std::int32_t shape;
};

/// What a `D` record's value is.
enum class value_form : std::uint8_t { number, table, not_a_number, all_nodes };

/// A `D` record.
struct any_potential {
  std::int64_t line;
  std::int32_t node;
  std::int32_t dof;  ///< index in `dofs`
  value_form form;
  double value;
};

/// An `SFE` record or `SFEBLOCK` row: the mean of its four values.
struct any_flux {
  std::int64_t line;
  std::int32_t element;
  std::int32_t face;
  std::int32_t load;  ///< index in `loads`
  std::int32_t key;
  double mean;
};

/// A label that records use, how often, and where first.
struct label_use {
  std::string label;
  std::int64_t count = 0;
  std::int64_t first_line = 0;
};

/// Records of one kind passed over: how many, and the first one's line.
struct passed_records {
  std::int64_t count = 0;
  std::int64_t first_line = 0;
  void add(std::int64_t line) { first_line = count++ == 0 ? line : first_line; }
};

/// A node or element component the reading needs: its label ranges, in
/// the order written.
struct any_component {
  std::vector<std::pair<std::int32_t, std::int32_t>> ranges;
  std::int64_t line = 0;     ///< its CMBLOCK record, 0 for none
  std::int64_t cm_line = 0;  ///< a `CM` record naming it, 0 for none
};

/// The first fault the reading met: where and what.
struct reading_fault {
  std::int64_t line = 0;  ///< 0: none
  std::string message;
};

/// Everything the reading of an archive as the pre-processor writes it
/// takes from the archive, in the order of its records.
struct archive_contents {
  /// The nodes blocks and `N` commands define, in record order: labels,
  /// and x, y, z of each.
  grow_array<std::int32_t> node_labels;
  grow_array<double> node_xyz;
  grow_array<any_element> elements;
  grow_array<std::int32_t> element_nodes;
  std::vector<any_type> types;
  any_component field_points;  ///< FIELDPOINTS, node labels
  any_component field_cells;   ///< FIELDCELLS, element labels
  grow_array<any_potential> potentials;
  std::vector<label_use> dofs;
  grow_array<any_flux> fluxes;
  std::vector<label_use> loads;
  passed_records element_commands;     ///< E, EN, EMORE outside blocks
  passed_records solution_conditions;  ///< D and SFE records after FINISH
  passed_records stray_records;        ///< records of numbers outside blocks and tables
  reading_fault fault;                 ///< the reading stopped here
};

/// Reads every record of the archive open in `archive` (from its first)
/// into `contents`.  Stops at the first record that does not read as its
/// block or command requires, noting it in `contents.fault`.  With more
/// than one thread the element records are read beside the rest, through
/// a reader of their own, with the same result.
void read_any_archive(record_reader& archive, archive_contents& contents, unsigned threads);

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_ANY_READER_H_
