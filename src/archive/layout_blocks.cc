#include "archive/layout_blocks.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/block_format.h"
#include "archive/command_syntax.h"
#include "archive/element_block.h"
#include "archive/node_block.h"
#include "model/element_class.h"
#include "textrec/numeric_input.h"

namespace cdbbem {

namespace {

using std::string_view;
constexpr layout_notes::line_mark on_line = layout_notes::on_line;
using enum layout_reason;
constexpr std::size_t npos = string_view::npos;

// The number of up to `most` digits at `at`, moving past them; -1 for none.
int digits(string_view text, std::size_t& at, int most) {
  int value = -1;
  for (int k = 0; k < most && at < text.size() && text[at] >= '0' && text[at] <= '9'; ++k) {
    value = (value < 0 ? 0 : value * 10) + (text[at++] - '0');
  }
  return value;
}

bool is_blank(string_view text) { return trim_blanks(text).empty(); }

bool int_of(string_view text, std::int32_t& value) {
  return !text.empty() && parse_int_field(text, value);
}

// The integer of field `k`; 0 when it is blank or not an integer.
std::int32_t int_at(string_view record, int k, int width) {
  std::int32_t value = 0;
  return parse_int_field(int_field(record, k, width), value) ? value : 0;
}

// Fields of `width` that the record fills, trailing blanks dropped.
int fields_present(string_view record, int width) {
  const std::size_t last = record.find_last_not_of(" \t");
  return last == npos ? 0 : static_cast<int>(last / static_cast<std::size_t>(width)) + 1;
}

// The first value of a block record: its first field, or with no width
// (a format that does not read) its first word.
bool first_value(string_view record, int width, std::int32_t& value) {
  if (width > 0) {
    return parse_int_field(int_field(record, 0, width), value);
  }
  const std::size_t at = record.find_first_not_of(' ');
  if (at == npos) {
    value = 0;
    return true;
  }
  return parse_plain_int(record.substr(at, record.find_first_of(" ,", at) - at), value);
}

// Where a record stands to a block: a blank record or -1 in the first
// field ends it, a record whose first field is no integer is the command
// after it.
enum class standing { holds, ends_here, ends_before };
standing block_record(string_view record, int width, std::int32_t& first) {
  if (is_blank(record)) {
    return standing::ends_here;
  }
  if (!first_value(record, width, first)) {
    return standing::ends_before;
  }
  return first == -1 ? standing::ends_here : standing::holds;
}

// The fields before an element's nodes.
int attribute_fields(element_form form) {
  switch (form) {
  case element_form::solid:
    return 11;
  case element_form::blank:
    return 5;
  case element_form::compact:
    return 1;
  }
  return 1;
}

const char* solid_words(int nodes) {
  switch (nodes) {
  case 4:
    return "a 4-node tet";
  case 10:
    return "a 10-node tet";
  case 8:
    return "an 8-node brick";
  default:
    return "a 20-node brick";
  }
}

// What an element type without a surface of its own is; null for a shell,
// a surface mesh or a surface-effect element.
const char* non_surface_words(const element_type& t) {
  switch (classify_element_type(t.type, t.shape)) {
  case element_class::shell:
  case element_class::mesh_surface:
  case element_class::surface_effect:
    return nullptr;
  case element_class::planar:
    return "a 2-D planar element";
  case element_class::brick8:
  case element_class::brick20:
  case element_class::tet10:
  case element_class::tet4:
  case element_class::mesh_volume:
    return solid_words(element_node_count(t.type, t.shape));
  case element_class::other:
    break;
  }
  return t.type == mesh_only_type && t.shape >= 0 && t.shape <= 3 ? "a line element"
                                                                  : "not a surface element";
}

// Up to 40 characters of a record, for a message.
std::string shown(string_view record) {
  std::string text(trim_blanks(record.substr(0, 40)));
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) {
      c = '?';
    }
  }
  return text;
}

}  // namespace

int format_width(string_view record) {
  std::size_t at = record.find_first_not_of(' ');
  if (at == npos || record[at] != '(') {
    return 0;
  }
  ++at;
  if (digits(record, at, 3) == 0 || at >= record.size() ||
      (record[at] != 'i' && record[at] != 'I')) {
    return 0;
  }
  ++at;
  return std::max(digits(record, at, 2), 0);
}

string_view int_field(string_view record, int k, int width) {
  return field_text(record, {field_kind::integer, k * width, width, 0});
}

const element_type* element_types::find(std::int32_t itype) const {
  if (itype < 1 || itype >= most_itypes || by_itype_[static_cast<std::size_t>(itype)].type == 0) {
    return nullptr;
  }
  return &by_itype_[static_cast<std::size_t>(itype)];
}

void element_types::define(std::int32_t itype, element_type type) {
  if (itype >= 1 && itype < most_itypes) {
    by_itype_[static_cast<std::size_t>(itype)] = type;
  }
}

void element_types::take_command(const command_fields& c) {
  std::int32_t itype = 0;
  std::int32_t value = 0;
  if (keyword_is(c[0], "ET") && c.count >= 3 && int_of(c[1], itype)) {
    const std::size_t digit = c[2].find_first_of("0123456789");
    if (digit != npos && int_of(c[2].substr(digit), value)) {
      define(itype, {value, 0});
    }
  } else if (keyword_is(c[0], "KEYOPT") && c.count >= 4 && int_of(c[1], itype) &&
             int_of(c[2], value) && value == 1 && int_of(c[3], value) && find(itype) != nullptr) {
    by_itype_[static_cast<std::size_t>(itype)].shape = value;
  } else if (keyword_is(c[0], "TYPE") && c.count >= 2 && int_of(c[1], itype)) {
    chosen_ = itype;
  }
}

void element_types::take_format(string_view record) { row_width_ = format_width(record); }

element_types::row_kind element_types::take_row(string_view record) {
  std::int32_t itype = 0;
  if (is_blank(record) || !first_value(record, row_width_, itype)) {
    return row_kind::after;
  }
  if (itype == -1) {
    return row_kind::end;
  }
  if (row_width_ > 0) {
    define(itype, {int_at(record, 1, row_width_), int_at(record, 2, row_width_)});
  }
  return row_kind::row;
}

void survey_blocks::begin(bool nodes, element_form form, std::int64_t line) {
  end(line);
  int& blocks = first_[nodes ? 0 : 1].blocks;
  blocks = std::min(blocks + 1, 2);
  if (blocks == 2) {
    notes_.note(second_block, line, nodes ? "a second node block" : "a second element block",
                on_line);
  }
  open_ = true;
  nodes_ = nodes;
  first_of_kind_ = blocks == 1;
  form_ = form;
  width_ = 0;
  line_ = line;
  records_ = 0;
  last_label_ = 0;
  nodes_to_come_ = 0;
}

void survey_blocks::take_format(string_view record, std::int64_t line) {
  width_ = format_width(record);
  if (!first_of_kind_) {
    return;
  }
  if (nodes_ && !is_node_layout(record)) {
    notes_.note(block_layout, line, "node layout ", shown(record), on_line,
                " is not one of (3i8,6e16.9), (3i8,6e20.13), (3i9,6e20.13), (3i9,6e21.13e3)");
  } else if (!nodes_ && form_ != element_form::solid) {
    notes_.note(block_layout, line_, "the element block", on_line, " is in the ",
                form_ == element_form::blank ? "blank" : "COMPACT", " form, not the SOLID form");
  } else if (!nodes_ && !is_element_layout(record)) {
    notes_.note(block_layout, line, "element layout ", shown(record), on_line,
                " is not one of (19i8), (19i9), (19i10)");
  }
}

bool survey_blocks::take(string_view record, std::int64_t line) {
  if (!nodes_) {
    return take_element(record, line);
  }
  // Node labels must run 1, 2, 3, ... through the block.
  std::int32_t label = 0;
  const standing s =
      starts_with_keyword(record, "N,") ? standing::ends_here : block_record(record, width_, label);
  if (s != standing::holds) {
    end(line);
    return s == standing::ends_here;
  }
  ++records_;
  if (first_of_kind_ && records_ == 1 && label != 1) {
    notes_.note(node_labels, line, "node label ", label, on_line,
                " opens the node block instead of 1");
  } else if (first_of_kind_ && label != records_) {
    notes_.note(node_labels, line, "node label ", label, on_line, " follows ", last_label_);
  }
  last_label_ = label;
  return true;
}

bool survey_blocks::take_element(string_view record, std::int64_t line) {
  const int w = width_;
  if (nodes_to_come_ > 0) {
    // The rest of the nodes, unless the record holds more fields than they
    // are and enough for an element: then the element ended early (a
    // slash) and this is the next.
    const int present = fields_present(record, w);
    const bool rest = present <= nodes_to_come_ || present < attribute_fields(form_);
    nodes_to_come_ = 0;
    if (rest) {
      return true;
    }
  }
  std::int32_t first = 0;
  if (const standing s = block_record(record, w, first); s != standing::holds) {
    end(line);
    return s == standing::ends_here;
  }
  ++records_;
  if (w == 0) {
    return true;
  }
  const bool solid = form_ == element_form::solid;
  const std::int32_t label = int_at(record, solid ? 10 : 0, w);
  const element_type* type =
      types_.find(form_ == element_form::compact ? types_.chosen() : int_at(record, 1, w));
  const int written = std::max(fields_present(record, w) - attribute_fields(form_), 0);
  std::int32_t nodes = solid ? int_at(record, 8, w) : 0;
  if (!solid) {
    // The type gives the number of nodes; without it, the record does.
    const int n = type != nullptr ? element_node_count(type->type, type->shape) : 0;
    nodes = n > 0 ? n : written;
  }
  if (written < nodes) {
    nodes_to_come_ = nodes - written;
  }
  if (!first_of_kind_) {
    return true;
  }
  // Element labels may come in any order, but within the offset's count;
  // an element has at most 4 nodes and a surface of its own.
  if (labels_limited_ && (label < 1 || label > element_total_)) {
    notes_.note(element_labels, line, "element label ", label, on_line, " is outside 1 to ",
                element_total_, ", the offset section's count");
  }
  if (!notes_.open(element_kind)) {
    return true;
  }
  const char* words = nodes <= 4 && type != nullptr ? non_surface_words(*type) : nullptr;
  if (nodes > 4) {
    notes_.note(element_kind, line, "element ", label, on_line, " has ", nodes, " nodes");
  } else if (words != nullptr && type->type == mesh_only_type) {
    notes_.note(element_kind, line, "element ", label, on_line, " is of type ", type->type,
                " (shape ", type->shape, "), ", words);
  } else if (words != nullptr) {
    notes_.note(element_kind, line, "element ", label, on_line, " is of type ", type->type, ", ",
                words);
  }
  return true;
}

void survey_blocks::end(std::int64_t line) {
  if (open_) {
    open_ = false;
    if (first_of_kind_) {
      summary& s = first_[nodes_ ? 0 : 1];
      s.records = records_;
      s.end_line = line;
    }
  }
}

void survey_blocks::limit_element_labels(std::int32_t total) {
  labels_limited_ = true;
  element_total_ = total;
}

void survey_blocks::check_count(const summary& s, std::int64_t total, const char* what,
                                layout_reason r) {
  if (s.blocks > 0 && s.records != total) {
    notes_.note(r, s.end_line, "the ", what, " block ends", on_line, " after ", s.records, " ",
                what, "s; the offset section counts ", total);
  }
}

void survey_blocks::conclude(bool counts_known, std::int64_t node_total,
                             std::int64_t element_total) {
  if (counts_known) {
    check_count(first_[0], node_total, "node", node_labels);
    check_count(first_[1], element_total, "element", element_labels);
  }
  if (first_[0].blocks == 0) {
    notes_.note(block_layout, 0, "the archive has no node block");
  }
  if (first_[1].blocks == 0) {
    notes_.note(block_layout, 0, "the archive has no element block");
  }
}

}  // namespace cdbbem
