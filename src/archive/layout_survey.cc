#include "archive/layout_survey.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "archive/element_block.h"
#include "model/element_class.h"
#include "textrec/numeric_input.h"
#include "textrec/progress.h"
#include "textrec/record_reader.h"
#include "textrec/text.h"

namespace cdbbem {

namespace {

using std::string_view;
constexpr std::size_t npos = string_view::npos;

// The number of up to `most` digits at `at`, moving past them; -1 for none.
int digits(string_view text, std::size_t& at, int most) {
  int value = -1;
  for (int k = 0; k < most && at < text.size() && text[at] >= '0' && text[at] <= '9'; ++k) {
    value = (value < 0 ? 0 : value * 10) + (text[at++] - '0');
  }
  return value;
}

// The width of the first integer fields of a format record such as
// "(3i9,6e21.13e3)" or "(19i10)"; 0 when it is no such format.
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

// Field `k` (from 0) of a record of fields `width` wide; empty past its end.
string_view field(string_view record, int k, int width) {
  const auto start = static_cast<std::size_t>(k) * static_cast<std::size_t>(width);
  if (start >= record.size()) {
    return {};
  }
  return record.substr(start, static_cast<std::size_t>(width));
}

bool is_blank(string_view text) { return text.find_first_not_of(" \t") == npos; }

string_view trim(string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The integer of field `k`; 0 when it is blank or not an integer.
std::int32_t int_at(string_view record, int k, int width) {
  std::int32_t value = 0;
  return parse_int_field(field(record, k, width), value) ? value : 0;
}

// Fields of `width` that the record fills, trailing blanks dropped.
int fields_present(string_view record, int width) {
  const std::size_t last = record.find_last_not_of(" \t");
  if (last == npos) {
    return 0;
  }
  return static_cast<int>(last / static_cast<std::size_t>(width)) + 1;
}

// The first value of a block record: its first field, or with no width
// (a format that does not read) its first word.
bool first_value(string_view record, int width, std::int32_t& value) {
  if (width > 0) {
    return parse_int_field(field(record, 0, width), value);
  }
  const std::size_t at = record.find_first_not_of(' ');
  if (at == npos) {
    value = 0;
    return true;
  }
  return parse_plain_int(record.substr(at, record.find_first_of(" ,", at) - at), value);
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether `name` is `command` (upper case) or an abbreviation of it of at
// least `shortest` letters, in any case.
bool names(string_view name, string_view command, std::size_t shortest) {
  if (name.size() > command.size() || name.size() < std::min(shortest, command.size())) {
    return false;
  }
  for (std::size_t k = 0; k < name.size(); ++k) {
    if (upper(name[k]) != command[k]) {
      return false;
    }
  }
  return true;
}

// One command's comma-separated fields, blanks around them dropped.
struct command_fields {
  static constexpr int most = 6;
  string_view at[most];
  int count = 0;
};

command_fields split_command(string_view text) {
  command_fields c;
  for (;;) {
    const std::size_t comma = text.find(',');
    c.at[c.count++] = trim(text.substr(0, comma));
    if (comma == npos || c.count == command_fields::most) {
      return c;
    }
    text.remove_prefix(comma + 1);
  }
}

bool int_of(string_view text, std::int32_t& value) {
  return !text.empty() && parse_int_field(text, value);
}

// The four node layouts the legacy reader knows, by their first 13 columns.
bool is_node_layout(string_view record) {
  for (const char* layout : {"(3i8,6e16.9) ", "(3i8,6e20.13)", "(3i9,6e20.13)", "(3i9,6e21.13e"}) {
    if (columns_equal(record, 13, layout)) {
      return true;
    }
  }
  return false;
}

// What an element type without a surface of its own is; null for a shell,
// a surface mesh or a surface-effect element.
const char* non_surface_words(std::int32_t type, std::int32_t shape) {
  switch (classify_element_type(type, shape)) {
  case element_class::shell:
  case element_class::mesh_surface:
  case element_class::surface_effect:
    return nullptr;
  case element_class::planar:
    return "a 2-D planar element";
  case element_class::brick8:
    return "an 8-node brick";
  case element_class::brick20:
    return "a 20-node brick";
  case element_class::tet10:
    return "a 10-node tet";
  case element_class::tet4:
    return "a 4-node tet";
  case element_class::mesh_volume:
    switch (element_node_count(type, shape)) {
    case 4:
      return "a 4-node tet";
    case 10:
      return "a 10-node tet";
    case 8:
      return "an 8-node brick";
    default:
      return "a 20-node brick";
    }
  case element_class::other:
    return type == mesh_only_type && shape >= 0 && shape <= 3 ? "a line element"
                                                              : "not a surface element";
  }
  return "not a surface element";
}

// Up to 40 characters of a record, for a message.
std::string shown(string_view record) {
  std::string text(trim(record.substr(0, 40)));
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) {
      c = '?';
    }
  }
  return text;
}

std::string on_line(std::int64_t line) { return " on archive line " + std::to_string(line); }

enum class mode {
  outside,
  offset_counts,
  node_format,
  nodes,
  element_format,
  elements,
  continuation,
  type_format,
  types,
  component_format,
  component_values,
  component_second,
};

enum class element_form { solid, blank, compact };

// The node or element block being read.
struct block_state {
  bool nodes = true;
  bool first = false;  // the first of its kind: the one the legacy reader reads
  element_form form = element_form::solid;
  int width = 0;          // of its integer fields; 0: a format that does not read
  std::int64_t line = 0;  // of its header or its layout record
  std::int64_t records = 0;
  std::int32_t last_label = 0;
};

// How the first node or element block ended, for the offset section's counts.
struct block_summary {
  bool seen = false;
  std::int64_t records = 0;
  std::int64_t end_line = 0;
};

// A FIELDCELLS or FIELDPOINTS component: its first two values, which the
// legacy reader takes for the range first, -last.
struct component {
  const char* name;
  const char* members;
  bool seen = false;
  bool readable = true;
  std::int64_t line = 0;
  int width = 0;
  std::int32_t first = 0;
  std::int32_t second = 0;
};

// The fields before an element's nodes.  SOLID: ten attributes (the ninth
// the number of nodes) and the label; blank: label, type, real constants,
// material, coordinate system; COMPACT: the label (the type comes from the
// TYPE command before the block).
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

// One element record: its label, its type's `itype`, how many nodes it
// has and how many of them the record holds.
struct element_fields {
  std::int32_t label = 0;
  std::int32_t itype = 0;
  std::int32_t nodes = 0;
  std::int32_t written = 0;
};

constexpr int reason_slots = static_cast<int>(layout_reason::block_layout) + 1;
constexpr std::int32_t most_itypes = 1024;

class layout_pass {
 public:
  explicit layout_pass(record_reader& archive) : archive_(archive) {}

  layout_finding run() {
    string_view record;
    std::int64_t records = 0;
    while (archive_.next(record)) {
      progress_tick("explaining the layout", ++records, 0);
      // The legacy reader ends at FINISH only before the offset section and
      // in its search for the components; its node and element readers go
      // past it.
      if (columns_equal(record, 6, "FINISH") && !offset_seen_) {
        note(layout_reason::no_offset_section,
             "no offset section (*ELSE) before FINISH" + on_line(line()));
        break;
      }
      finished_ = finished_ || columns_equal(record, 18, "FINISH");
      take(record);
    }
    end_block();
    return conclude();
  }

 private:
  std::int64_t line() const { return archive_.line_number(); }
  bool open(layout_reason r) const { return !slots_[static_cast<std::size_t>(r)].found; }

  // Keeps the first finding of each reason; `at` -1 is the current line.
  void note(layout_reason r, std::string text, std::int64_t at = -1) {
    slot& s = slots_[static_cast<std::size_t>(r)];
    if (!s.found) {
      s = {true, {r, std::move(text), at < 0 ? line() : at}};
    }
  }

  void take(string_view record) {
    switch (mode_) {
    case mode::offset_counts:
      offset_count(record);
      return;
    case mode::node_format:
      start_nodes(record);
      return;
    case mode::nodes:
      if (node_record(record)) {
        return;
      }
      break;
    case mode::element_format:
      start_elements(record);
      return;
    case mode::continuation:
      // The rest of the nodes, unless the record holds more fields than
      // they are and enough for an element: then the element ended early
      // (a slash) and this is the next.
      mode_ = mode::elements;
      if (const int present = fields_present(record, block_.width);
          present <= nodes_to_come_ || present < attribute_fields(block_.form)) {
        return;
      }
      [[fallthrough]];
    case mode::elements:
      if (element_record(record)) {
        return;
      }
      break;
    case mode::type_format:
      types_width_ = format_width(record);
      mode_ = mode::types;
      return;
    case mode::types:
      if (type_row(record)) {
        return;
      }
      break;
    case mode::component_format:
      component_->width = format_width(record);
      component_->readable = component_->width > 0;
      mode_ = mode::component_values;
      return;
    case mode::component_values:
      component_values(record);
      return;
    case mode::component_second:
      component_->readable =
          component_->readable &&
          parse_int_field(field(record, 0, component_->width), component_->second);
      mode_ = mode::outside;
      return;
    case mode::outside:
      break;
    }
    mode_ = mode::outside;
    command(record);
  }

  // The records after "*ELSE": the NUMOFF counts of nodes and elements,
  // which the legacy survey takes from columns 13-21.
  void offset_count(string_view record) {
    const command_fields c = split_command(record);
    std::int32_t count = 0;
    const bool nodes = counts_read_ == 0;
    offset_ok_ = offset_ok_ && c.count >= 3 && names(c.at[0], "NUMOFF", 4) &&
                 names(c.at[1], nodes ? "NODE" : "ELEM", 4) &&
                 parse_int_field(record.size() > 12 ? record.substr(12, 9) : string_view(), count);
    (nodes ? node_total_ : element_total_) = count;
    if (++counts_read_ == 2) {
      mode_ = mode::outside;
    }
  }

  void command(string_view record) {
    if (columns_equal(record, 5, "*ELSE")) {
      if (!offset_seen_) {
        offset_seen_ = true;
        offset_line_ = line();
        mode_ = mode::offset_counts;
      }
      return;
    }
    if (columns_equal(record, 18, "CMBLOCK,FIELDCELLS")) {
      if (!finished_) {
        start_component(cells_);
      }
      return;
    }
    // The legacy survey looks for the field points after the field cells.
    if (columns_equal(record, 19, "CMBLOCK,FIELDPOINTS")) {
      if (cells_.seen && !finished_) {
        start_component(points_);
      }
      return;
    }
    // A layout record the legacy reader knows opens a block of its own.
    if (is_node_layout(record)) {
      begin_block(true);
      start_nodes(record);
      return;
    }
    if (is_element_layout(record)) {
      begin_block(false);
      start_elements(record);
      return;
    }
    // Text after "!" is a comment; "$" separates commands.
    record = record.substr(0, record.find('!'));
    for (;;) {
      const std::size_t dollar = record.find('$');
      one_command(split_command(record.substr(0, dollar)));
      if (dollar == npos) {
        return;
      }
      record.remove_prefix(dollar + 1);
    }
  }

  void one_command(const command_fields& c) {
    const string_view name = c.at[0];
    std::int32_t itype = 0;
    std::int32_t value = 0;
    if (names(name, "NBLOCK", 4)) {
      begin_block(true);
      mode_ = mode::node_format;
    } else if (names(name, "EBLOCK", 4)) {
      begin_block(false);
      const string_view form = c.count > 2 ? c.at[2] : string_view();
      block_.form = names(form, "SOLID", 5)     ? element_form::solid
                    : names(form, "COMPACT", 7) ? element_form::compact
                                                : element_form::blank;
      mode_ = mode::element_format;
    } else if (names(name, "ETBLOCK", 4)) {
      mode_ = mode::type_format;
    } else if (names(name, "ET", 2) && c.count >= 3 && int_of(c.at[1], itype)) {
      // The number may follow the type's name: "SHELL63".
      const std::size_t digit = c.at[2].find_first_of("0123456789");
      if (digit != npos && int_of(c.at[2].substr(digit), value)) {
        set_type(itype, value, 0);
      }
    } else if (names(name, "KEYOPT", 4) && c.count >= 4 && int_of(c.at[1], itype) &&
               int_of(c.at[2], value) && value == 1 && int_of(c.at[3], value) && known(itype)) {
      shape_of_[static_cast<std::size_t>(itype)] = value;
    } else if (names(name, "TYPE", 4) && c.count >= 2 && int_of(c.at[1], itype)) {
      current_type_ = itype;
    }
  }

  bool in_table(std::int32_t itype) const { return itype >= 1 && itype < most_itypes; }
  bool known(std::int32_t itype) const {
    return in_table(itype) && type_of_[static_cast<std::size_t>(itype)] != 0;
  }
  void set_type(std::int32_t itype, std::int32_t type, std::int32_t shape) {
    if (in_table(itype)) {
      type_of_[static_cast<std::size_t>(itype)] = type;
      shape_of_[static_cast<std::size_t>(itype)] = shape;
    }
  }

  // An ETBLOCK row: itype, element type number, option 1, ...
  bool type_row(string_view record) {
    std::int32_t itype = 0;
    if (is_blank(record) || !first_value(record, types_width_, itype)) {
      return false;
    }
    if (itype == -1) {
      mode_ = mode::outside;
    } else if (types_width_ > 0) {
      set_type(itype, int_at(record, 1, types_width_), int_at(record, 2, types_width_));
    }
    return true;
  }

  void begin_block(bool nodes) {
    end_block();
    int& blocks = nodes ? node_blocks_ : element_blocks_;
    blocks = std::min(blocks + 1, 2);
    if (blocks == 2) {
      note(layout_reason::second_block,
           std::string("a second ") + (nodes ? "node" : "element") + " block" + on_line(line()));
    }
    block_ = block_state{};
    block_.nodes = nodes;
    block_.first = blocks == 1;
    block_.line = line();
    in_block_ = true;
  }

  void end_block() {
    if (!in_block_) {
      return;
    }
    in_block_ = false;
    mode_ = mode::outside;
    if (block_.first) {
      (block_.nodes ? nodes_ : elements_) = {true, block_.records, line()};
    }
  }

  void start_nodes(string_view record) {
    block_.width = format_width(record);
    mode_ = mode::nodes;
    if (block_.first && !is_node_layout(record)) {
      note(layout_reason::block_layout,
           "node layout " + shown(record) + on_line(line()) +
               " is not one of (3i8,6e16.9), (3i8,6e20.13), (3i9,6e20.13), (3i9,6e21.13e3)");
    }
  }

  void start_elements(string_view record) {
    block_.width = format_width(record);
    mode_ = mode::elements;
    if (!block_.first) {
      return;
    }
    if (block_.form != element_form::solid) {
      note(layout_reason::block_layout,
           std::string("the element block") + on_line(block_.line) + " is in the " +
               (block_.form == element_form::blank ? "blank" : "COMPACT") +
               " form, not the SOLID form",
           block_.line);
    } else if (!is_element_layout(record)) {
      note(layout_reason::block_layout, "element layout " + shown(record) + on_line(line()) +
                                            " is not one of (19i8), (19i9), (19i10)");
    }
  }

  // Node labels must run 1, 2, 3, ... through the block.
  void check_node_label(std::int32_t label) {
    if (label != block_.records && open(layout_reason::node_labels)) {
      note(layout_reason::node_labels,
           "node label " + std::to_string(label) + on_line(line()) +
               (block_.records == 1 ? std::string(" opens the node block instead of 1")
                                    : " follows " + std::to_string(block_.last_label)));
    }
    block_.last_label = label;
  }

  // Where a record stands to the block being read: -1 in the first field
  // or a blank record ends it; a record whose first field is no integer is
  // the command after it.
  enum class standing { ends_here, ends_before, holds };
  standing block_record(string_view record, std::int32_t& first) const {
    if (is_blank(record)) {
      return standing::ends_here;
    }
    if (!first_value(record, block_.width, first)) {
      return standing::ends_before;
    }
    return first == -1 ? standing::ends_here : standing::holds;
  }

  // A record of the node block; false when it is none (the block has ended
  // and the record is a command).  A record opening with "N," ends it too.
  bool node_record(string_view record) {
    std::int32_t label = 0;
    const bool ending = record.size() >= 2 && upper(record[0]) == 'N' && record[1] == ',';
    const standing s = ending ? standing::ends_here : block_record(record, label);
    if (s != standing::holds) {
      end_block();
      return s == standing::ends_here;
    }
    ++block_.records;
    if (block_.first) {
      check_node_label(label);
    }
    return true;
  }

  element_fields read_element(string_view record) const {
    const int w = block_.width;
    const int present = fields_present(record, w);
    element_fields e;
    switch (block_.form) {
    case element_form::solid:
      e.itype = int_at(record, 1, w);
      e.nodes = int_at(record, 8, w);
      e.label = int_at(record, 10, w);
      break;
    case element_form::blank:
      e.label = int_at(record, 0, w);
      e.itype = int_at(record, 1, w);
      break;
    case element_form::compact:
      e.label = int_at(record, 0, w);
      e.itype = current_type_;
      break;
    }
    e.written = std::max(present - attribute_fields(block_.form), 0);
    if (block_.form != element_form::solid) {
      const int n = known(e.itype)
                        ? element_node_count(type_of_[static_cast<std::size_t>(e.itype)],
                                             shape_of_[static_cast<std::size_t>(e.itype)])
                        : 0;
      e.nodes = n > 0 ? n : e.written;
    }
    return e;
  }

  void check_element(const element_fields& e) {
    // Element labels may come in any order, but within the offset's count.
    if (counts_known() && (e.label < 1 || e.label > element_total_) &&
        open(layout_reason::element_labels)) {
      note(layout_reason::element_labels,
           "element label " + std::to_string(e.label) + on_line(line()) + " is outside 1 to " +
               std::to_string(element_total_) + ", the offset section's count");
    }
    if (!open(layout_reason::element_kind)) {
      return;
    }
    std::string kind;
    if (e.nodes > 4) {
      kind = " has " + std::to_string(e.nodes) + " nodes";
    } else if (known(e.itype)) {
      const std::int32_t type = type_of_[static_cast<std::size_t>(e.itype)];
      const std::int32_t shape = shape_of_[static_cast<std::size_t>(e.itype)];
      const char* words = non_surface_words(type, shape);
      if (words == nullptr) {
        return;
      }
      kind = " is of type " + std::to_string(type) +
             (type == mesh_only_type ? " (shape " + std::to_string(shape) + ")" : "") + ", " +
             words;
    } else {
      return;
    }
    note(layout_reason::element_kind,
         "element " + std::to_string(e.label) + on_line(line()) + kind);
  }

  // A record of the element block, as `node_record`.  An element with more
  // nodes than its record holds goes on over the next.
  bool element_record(string_view record) {
    std::int32_t first = 0;
    const standing s = block_record(record, first);
    if (s != standing::holds) {
      end_block();
      return s == standing::ends_here;
    }
    ++block_.records;
    if (block_.width == 0) {
      return true;
    }
    const element_fields e = read_element(record);
    if (block_.first &&
        (open(layout_reason::element_labels) || open(layout_reason::element_kind))) {
      check_element(e);
    }
    if (e.written < e.nodes) {
      nodes_to_come_ = e.nodes - e.written;
      mode_ = mode::continuation;
    }
    return true;
  }

  void start_component(component& c) {
    if (c.seen) {
      return;
    }
    c.seen = true;
    c.line = line();
    component_ = &c;
    mode_ = mode::component_format;
  }

  // The legacy reader reads the range's two values free-form: the second
  // may stand on the next record.
  void component_values(string_view record) {
    component& c = *component_;
    mode_ = mode::outside;
    if (c.width == 0) {
      return;
    }
    c.readable = parse_int_field(field(record, 0, c.width), c.first);
    if (is_blank(field(record, 1, c.width))) {
      mode_ = mode::component_second;
      return;
    }
    c.readable = c.readable && parse_int_field(field(record, 1, c.width), c.second);
  }

  void check_component(const component& c, std::int64_t total) {
    const std::string named = std::string("component ") + c.name + on_line(c.line);
    const std::int64_t last = -std::int64_t{c.second};
    if (!c.readable || c.first < 1 || c.second > 0) {
      note(layout_reason::components, named + " is not one range of " + c.members, c.line);
    } else if (last != total || last < std::int64_t{c.first} - 1) {
      note(layout_reason::components,
           named + " names " + c.members + " " + std::to_string(c.first) + " to " +
               std::to_string(last) + ", not the last ones (up to " + std::to_string(total) + ")",
           c.line);
    }
  }

  void check_count(const block_summary& b, std::int64_t total, const char* what, layout_reason r) {
    if (b.seen && b.records != total) {
      note(r,
           std::string("the ") + what + " block ends" + on_line(b.end_line) + " after " +
               std::to_string(b.records) + " " + what + "s; the offset section counts " +
               std::to_string(total),
           b.end_line);
    }
  }

  bool counts_known() const { return offset_seen_ && offset_ok_ && counts_read_ == 2; }

  layout_finding conclude() {
    if (!offset_seen_) {
      note(layout_reason::no_offset_section, "no offset section (*ELSE) in the archive", 0);
    } else if (!counts_known()) {
      note(layout_reason::no_offset_section,
           "the offset section" + on_line(offset_line_) +
               " is not followed by its node and element counts (NUMOFF,NODE and NUMOFF,ELEM)",
           offset_line_);
    } else {
      check_count(nodes_, node_total_, "node", layout_reason::node_labels);
      check_count(elements_, element_total_, "element", layout_reason::element_labels);
      if (cells_.seen) {
        check_component(cells_, element_total_);
        if (points_.seen) {
          check_component(points_, node_total_);
        } else {
          note(layout_reason::components,
               "component FIELDCELLS" + on_line(cells_.line) +
                   " has no FIELDPOINTS component after it",
               cells_.line);
        }
      }
    }
    if (node_blocks_ == 0) {
      note(layout_reason::block_layout, "the archive has no node block", 0);
    }
    if (element_blocks_ == 0) {
      note(layout_reason::block_layout, "the archive has no element block", 0);
    }
    for (slot& s : slots_) {
      if (s.found) {
        return std::move(s.finding);
      }
    }
    return {};
  }

  struct slot {
    bool found = false;
    layout_finding finding;
  };

  record_reader& archive_;
  mode mode_ = mode::outside;
  std::array<slot, reason_slots> slots_;

  bool finished_ = false;  // FINISH seen: no components after it
  bool offset_seen_ = false;
  bool offset_ok_ = true;
  int counts_read_ = 0;
  std::int64_t offset_line_ = 0;
  std::int32_t node_total_ = 0;
  std::int32_t element_total_ = 0;

  block_state block_;
  bool in_block_ = false;
  int node_blocks_ = 0;
  int element_blocks_ = 0;
  std::int32_t nodes_to_come_ = 0;  // of the element read last, on the next record
  block_summary nodes_;
  block_summary elements_;

  std::array<std::int32_t, most_itypes> type_of_{};
  std::array<std::int32_t, most_itypes> shape_of_{};
  int types_width_ = 0;
  std::int32_t current_type_ = 0;

  component cells_{"FIELDCELLS", "elements"};
  component points_{"FIELDPOINTS", "nodes"};
  component* component_ = &cells_;
};

}  // namespace

layout_finding survey_layout(record_reader& archive) {
  layout_pass pass(archive);
  return pass.run();
}

}  // namespace cdbbem
