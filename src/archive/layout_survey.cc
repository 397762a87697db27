#include "archive/layout_survey.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "archive/command_syntax.h"
#include "archive/element_block.h"
#include "archive/layout_blocks.h"
#include "archive/node_block.h"
#include "textrec/numeric_input.h"
#include "textrec/progress.h"
#include "textrec/record_reader.h"
#include "textrec/text.h"

namespace cdbbem {

namespace {

using std::string_view;
constexpr layout_notes::line_mark on_line = layout_notes::on_line;

// Whether `text` is the whole of `word` (upper case), in any case.
bool word_is(string_view text, string_view word) {
  return text.size() == word.size() && starts_with_keyword(text, word);
}

// What the next record is taken for.
enum class mode {
  outside,           // a command
  offset_counts,     // the NUMOFF records after "*ELSE"
  block_format,      // the format record of a node or element block
  block,             // a record of the block, or what ends it
  type_format,       // the format record of an ETBLOCK
  types,             // a row of the ETBLOCK, or what ends it
  component_format,  // the format record of a FIELDCELLS or FIELDPOINTS component
  component_values,  // its range's values
};

// A FIELDCELLS or FIELDPOINTS component, the first of each name, and the
// range it opens with as the legacy reader takes it: its first two values
// (first, -last), which it reads free-form, so that the second may stand
// on the next record.
struct component {
  component(const char* component_name, const char* member_name)
      : name(component_name), members(member_name) {}

  void take_format(string_view record) {
    width = format_width(record);
    readable = width > 0;
  }

  // Takes a record of values; true when the range goes on on the next.
  bool take(string_view record) {
    if (second_to_come) {
      second_to_come = false;
      readable = readable && parse_int_field(int_field(record, 0, width), second);
      return false;
    }
    if (width == 0) {
      return false;
    }
    readable = parse_int_field(int_field(record, 0, width), first);
    if (trim_blanks(int_field(record, 1, width)).empty()) {
      second_to_come = true;
      return true;
    }
    readable = readable && parse_int_field(int_field(record, 1, width), second);
    return false;
  }

  const char* name;
  const char* members;
  bool seen = false;
  std::int64_t line = 0;
  int width = 0;
  bool readable = true;  // false when the format has no width or a value is no integer
  bool second_to_come = false;
  std::int32_t first = 0;
  std::int32_t second = 0;
};

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
        notes_.note(no_offset_section, line(), "no offset section (*ELSE) before FINISH", on_line);
        break;
      }
      finished_ = finished_ || columns_equal(record, 18, "FINISH");
      if (!take(record)) {
        mode_ = mode::outside;
        command(record);
      }
    }
    blocks_.end(line());
    return conclude();
  }

 private:
  using enum layout_reason;

  std::int64_t line() const { return archive_.line_number(); }

  // Takes a record in the present mode; false when it is a command.
  bool take(string_view record) {
    switch (mode_) {
    case mode::outside:
      return false;
    case mode::offset_counts:
      offset_count(record);
      return true;
    case mode::block_format:
      blocks_.take_format(record, line());
      mode_ = mode::block;
      return true;
    case mode::block:
      if (const bool taken = blocks_.take(record, line()); !blocks_.open()) {
        mode_ = mode::outside;
        return taken;
      }
      return true;
    case mode::type_format:
      blocks_.types().take_format(record);
      mode_ = mode::types;
      return true;
    case mode::types:
      if (const auto kind = blocks_.types().take_row(record);
          kind != element_types::row_kind::row) {
        mode_ = mode::outside;
        return kind == element_types::row_kind::end;
      }
      return true;
    case mode::component_format:
      component_->take_format(record);
      mode_ = mode::component_values;
      return true;
    case mode::component_values:
      if (!component_->take(record)) {
        mode_ = mode::outside;
      }
      return true;
    }
    return false;
  }

  // The records after "*ELSE": the NUMOFF counts of nodes and elements,
  // which the legacy survey takes from columns 13-21.
  void offset_count(string_view record) {
    const command_fields c = split_command(record);
    std::int32_t count = 0;
    const bool nodes = counts_read_ == 0;
    offset_ok_ = offset_ok_ && c.count >= 3 && keyword_is(c[0], "NUMOFF") &&
                 keyword_is(c[1], nodes ? "NODE" : "ELEM") &&
                 parse_int_field(record.size() > 12 ? record.substr(12, 9) : string_view(), count);
    (nodes ? node_total_ : element_total_) = count;
    if (++counts_read_ == 2) {
      mode_ = mode::outside;
      if (offset_ok_) {
        blocks_.limit_element_labels(element_total_);
      }
    }
  }

  void command(string_view record) {
    if (columns_equal(record, 5, "*ELSE")) {
      if (!offset_seen_) {
        offset_seen_ = true;
        offset_line_ = line();
        mode_ = mode::offset_counts;
      }
    } else if (columns_equal(record, 18, "CMBLOCK,FIELDCELLS")) {
      start_component(cells_, !finished_);
    } else if (columns_equal(record, 19, "CMBLOCK,FIELDPOINTS")) {
      // The legacy survey looks for the field points after the field cells.
      start_component(points_, cells_.seen && !finished_);
    } else if (const bool nodes = is_node_layout(record); nodes || is_element_layout(record)) {
      // A layout record the legacy reader knows opens a block of its own.
      begin_block(nodes, element_form::solid);
      take(record);
    } else {
      for_each_command(record, [this](string_view text) { one_command(split_command(text)); });
    }
  }

  void one_command(const command_fields& c) {
    if (keyword_is(c[0], "NBLOCK")) {
      begin_block(true, element_form::solid);
    } else if (keyword_is(c[0], "EBLOCK")) {
      begin_block(false, word_is(c[2], "SOLID")     ? element_form::solid
                         : word_is(c[2], "COMPACT") ? element_form::compact
                                                    : element_form::blank);
    } else if (keyword_is(c[0], "ETBLOCK")) {
      mode_ = mode::type_format;
    } else {
      blocks_.types().take_command(c);
    }
  }

  void begin_block(bool nodes, element_form form) {
    blocks_.begin(nodes, form, line());
    mode_ = mode::block_format;
  }

  void start_component(component& c, bool wanted) {
    if (wanted && !c.seen) {
      c.seen = true;
      c.line = line();
      component_ = &c;
      mode_ = mode::component_format;
    }
  }

  // The legacy reader takes the range for the last `total` members.
  void check_component(const component& c, std::int64_t total) {
    const std::int64_t last = -std::int64_t{c.second};
    if (!c.readable || c.first < 1 || c.second > 0) {
      notes_.note(components, c.line, "component ", c.name, on_line, " is not one range of ",
                  c.members);
    } else if (last != total || last < std::int64_t{c.first} - 1) {
      notes_.note(components, c.line, "component ", c.name, on_line, " names ", c.members, " ",
                  c.first, " to ", last, ", not the last ones (up to ", total, ")");
    }
  }

  layout_finding conclude() {
    const bool counts_known = offset_seen_ && offset_ok_ && counts_read_ == 2;
    if (!offset_seen_) {
      notes_.note(no_offset_section, 0, "no offset section (*ELSE) in the archive");
    } else if (!counts_known) {
      notes_.note(no_offset_section, offset_line_, "the offset section", on_line,
                  " is not followed by its node and element counts (NUMOFF,NODE and NUMOFF,ELEM)");
    } else if (cells_.seen) {
      check_component(cells_, element_total_);
      if (points_.seen) {
        check_component(points_, node_total_);
      } else {
        notes_.note(components, cells_.line, "component FIELDCELLS", on_line,
                    " has no FIELDPOINTS component after it");
      }
    }
    blocks_.conclude(counts_known, node_total_, element_total_);
    return notes_.first();
  }

  record_reader& archive_;
  mode mode_ = mode::outside;
  layout_notes notes_;
  survey_blocks blocks_{notes_};

  bool finished_ = false;  // FINISH seen: no components after it
  bool offset_seen_ = false;
  bool offset_ok_ = true;
  int counts_read_ = 0;
  std::int64_t offset_line_ = 0;
  std::int32_t node_total_ = 0;
  std::int32_t element_total_ = 0;

  component cells_{"FIELDCELLS", "elements"};
  component points_{"FIELDPOINTS", "nodes"};
  component* component_ = &cells_;
};

}  // namespace

layout_finding layout_notes::first() {
  for (layout_finding& f : found_) {
    if (f.reason != layout_reason::none) {
      return std::move(f);
    }
  }
  return {};
}

void layout_notes::append(std::string& text, std::int64_t number, std::int64_t) {
  text += std::to_string(number);
}

void layout_notes::append(std::string& text, line_mark, std::int64_t line) {
  text += " on archive line ";
  text += std::to_string(line);
}

layout_finding survey_layout(record_reader& archive) {
  layout_pass pass(archive);
  return pass.run();
}

}  // namespace cdbbem
