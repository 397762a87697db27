#ifndef CDBBEM_ARCHIVE_LAYOUT_BLOCKS_H_
#define CDBBEM_ARCHIVE_LAYOUT_BLOCKS_H_

#include <array>
#include <cstdint>
#include <string_view>

#include "archive/layout_survey.h"

namespace cdbbem {

struct command_fields;

/// The width of the integer fields a format record such as "(3i9,6e21.13e3)"
/// or "(19i10)" opens with: a repeat count of up to three digits, I and up
/// to two digits of width, whatever follows; 0 when it opens otherwise.
/// Only that is read, as the legacy reader looks only at a layout record's
/// first columns: what follows may be cut or damaged.
int format_width(std::string_view record);

/// Field `k` (from 0) of a record of integer fields `width` wide; empty
/// past the record's end.
std::string_view int_field(std::string_view record, int k, int width);

/// An element type an archive defines: its number and option 1.
struct element_type {
  std::int32_t type = 0;  ///< 0: none defined
  std::int32_t shape = 0;
};

/// The element types by their attribute `itype` (1 to 1023), as ET,
/// KEYOPT (option 1) and the rows of ETBLOCK define them, and the one the
/// TYPE command chose last.  Other `itype`s are passed over.
class element_types {
 public:
  /// The type `itype` names; null when it names none.
  const element_type* find(std::int32_t itype) const;
  /// Takes a command: "ET,itype,type" (the number may follow the type's
  /// name: "SHELL63"), "KEYOPT,itype,1,value" for a defined `itype`,
  /// "TYPE,itype"; passes over any other.
  void take_command(const command_fields& c);
  /// Takes the format record of an ETBLOCK.
  void take_format(std::string_view record);
  /// What a record after it is: a row of itype, type number, option 1,
  /// ..., -1 that ends the rows, or (its first value no integer) the
  /// command after them.
  enum class row_kind { row, end, after };
  /// Takes a record after the format record.
  row_kind take_row(std::string_view record);
  /// The `itype` the last TYPE command chose, 0 before any.
  std::int32_t chosen() const { return chosen_; }

 private:
  void define(std::int32_t itype, element_type type);

  static constexpr std::int32_t most_itypes = 1024;
  std::array<element_type, most_itypes> by_itype_{};
  std::int32_t chosen_ = 0;
  int row_width_ = 0;
};

/// The element block forms.
enum class element_form { solid, blank, compact };

/// The node and element blocks as the layout survey meets them, one at a
/// time, each record read by the width of the integer fields its format
/// record gives (a format of no width tells only where the block ends).
/// In the first block of each kind, the one the legacy reader reads, it
/// notes what that reader would not take.  SOLID element records hold ten
/// attributes (the ninth the number of nodes) and the label before the
/// nodes; blank ones the label, type, real constants, material and
/// coordinate system; COMPACT ones the label, the type being the one TYPE
/// chose.  An element with more nodes than its record holds goes on over
/// the next record.
class survey_blocks {
 public:
  explicit survey_blocks(layout_notes& notes) : notes_(notes) {}

  /// Ends the open block, then opens a node block or an element block in
  /// `form`, at archive line `line`; the next record is its format.
  void begin(bool nodes, element_form form, std::int64_t line);
  /// Takes the format record of the block just opened, at `line`.
  void take_format(std::string_view record, std::int64_t line);
  /// Takes the next record, at `line`; false when the block ended before
  /// it (it is the command after the block).
  bool take(std::string_view record, std::int64_t line);
  /// Ends the open block, if any, at `line`.
  void end(std::int64_t line);
  /// Whether a block is open: begun and not ended.
  bool open() const { return open_; }

  /// From now on, element labels must lie in 1 to `total`.
  void limit_element_labels(std::int32_t total);
  /// Notes a missing block, and when the offset section's counts are known
  /// a first block of another size.
  void conclude(bool counts_known, std::int64_t node_total, std::int64_t element_total);

  /// The element types the element records name.
  element_types& types() { return types_; }

 private:
  // How the first block of a kind ended.
  struct summary {
    int blocks = 0;  // of its kind, counted up to 2
    std::int64_t records = 0;
    std::int64_t end_line = 0;
  };

  bool take_element(std::string_view record, std::int64_t line);
  void check_count(const summary& s, std::int64_t total, const char* what, layout_reason r);

  layout_notes& notes_;
  element_types types_;
  summary first_[2];  // nodes, elements
  bool open_ = false;
  bool nodes_ = true;
  bool first_of_kind_ = false;
  element_form form_ = element_form::solid;
  int width_ = 0;
  std::int64_t line_ = 0;  // of its header or its layout record
  std::int64_t records_ = 0;
  std::int32_t last_label_ = 0;
  std::int32_t nodes_to_come_ = 0;  // of the element taken last, on the next record
  bool labels_limited_ = false;
  std::int32_t element_total_ = 0;
};

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_LAYOUT_BLOCKS_H_
