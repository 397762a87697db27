#include "archive/any_reader.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

#include "archive/block_format.h"
#include "archive/command_syntax.h"
#include "model/element_class.h"
#include "textrec/early_task.h"
#include "textrec/free_form.h"
#include "textrec/numeric_input.h"
#include "textrec/record_reader.h"

namespace cdbbem {

namespace {

// Node fields an element record may give; more is not an element.
constexpr std::int32_t most_element_nodes = 64;

bool is_blank(std::string_view record) { return trim_blanks(record).empty(); }

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string upper_text(std::string_view text) {
  std::string s(text);
  for (char& c : s) {
    c = upper(c);
  }
  return s;
}

// A record that cannot be a record of a numeric block: blank, or
// beginning as a command or a comment does.
bool ends_numeric_block(std::string_view record) {
  if (is_blank(record)) {
    return true;
  }
  const char c = record.front();
  return is_letter(c) || c == '/' || c == '*' || c == '!';
}

// The text of a record as a report quotes it.
std::string quoted_record(std::string_view record) {
  std::string_view shown = trim_blanks(record);
  std::string q = "\"";
  q += shown.substr(0, 40);
  q += shown.size() > 40 ? "...\"" : "\"";
  return q;
}

// A comma field that is a whole number.
bool plain_int(std::string_view text, std::int32_t& value) {
  return !text.empty() && parse_plain_int(text, value);
}

// The index of `label` among `uses`, counting this use.
std::int32_t use_label(std::vector<label_use>& uses, std::string_view label, std::int64_t line) {
  const std::string name = upper_text(label);
  for (std::size_t k = 0; k < uses.size(); ++k) {
    if (uses[k].label == name) {
      ++uses[k].count;
      return static_cast<std::int32_t>(k);
    }
  }
  uses.push_back({name, 1, line});
  return static_cast<std::int32_t>(uses.size() - 1);
}

// With two threads the archive is read by two scans side by side.  The
// scan of the nodes keeps every node defined before the first element
// block; at that block's header it goes on from a record a little short
// of halfway between the other scan and the end of the archive, the first
// there that reads as an element's first record, to the block's end.  The scan of
// the rest keeps everything else (the element records, the nodes after
// the header, the conditions); when it meets that record as the start of
// an element, it takes the elements read from there and goes on at the
// record that ended the block, numbered as it would have found it.
// Otherwise (it passed that record inside an element, or ended the block
// before it, or the reading ahead failed) it reads those records itself.
class element_handover {
 public:
  enum class meeting { not_yet, taken, read_here };

  // The scan of the rest: where it is, now and then.
  void note_progress(std::uint64_t offset) { progress_.store(offset, std::memory_order_relaxed); }
  std::uint64_t progress() const { return progress_.load(std::memory_order_relaxed); }

  // The scan of the nodes: the record it reads on from; false when the
  // scan of the rest has already declined.
  bool offer(std::uint64_t offset) {
    start_ = offset;
    int open = state_open;
    return state_.compare_exchange_strong(open, state_offered, std::memory_order_acq_rel);
  }
  bool declined() const { return state_.load(std::memory_order_acquire) == state_declined; }

  // The scan of the nodes, done: the record that ended the block (its
  // line counted from 1 at the offered record), or failed.
  void finish(bool read, record_mark end) {
    read_ = read;
    end_ = end;
    finished_.end();
  }

  // The scan of the rest, at the start of an element record at `offset`,
  // line `line`: whether it takes the reading ahead (then `end` is where
  // it goes on, numbered as it counts).
  meeting meet(std::uint64_t offset, std::int64_t line, record_mark& end) {
    if (state_.load(std::memory_order_acquire) != state_offered || offset < start_) {
      return meeting::not_yet;
    }
    if (offset > start_) {
      decline();
      return meeting::read_here;
    }
    state_.store(state_taken, std::memory_order_release);
    bool ended = false;
    finished_.wait_beyond(std::numeric_limits<std::int64_t>::max(), ended);
    if (!read_) {
      return meeting::read_here;
    }
    line_ = line;
    end = {end_.offset, line + end_.line - 1};
    taken_ = true;
    return meeting::taken;
  }

  // The scan of the rest: it will not take the reading ahead.
  void decline() {
    int state = state_.load(std::memory_order_acquire);
    while (state == state_open || state == state_offered) {
      if (state_.compare_exchange_weak(state, state_declined, std::memory_order_acq_rel)) {
        return;
      }
    }
  }

  // Once both scans have ended: whether the reading ahead was taken, the
  // line of its first record, and where the rest's elements were then.
  bool taken() const { return taken_; }
  std::int64_t first_line() const { return line_; }
  std::size_t elements_before = 0;
  std::size_t nodes_before = 0;
  archive_contents ahead;  // the elements read ahead

 private:
  static constexpr int state_open = 0;
  static constexpr int state_offered = 1;
  static constexpr int state_taken = 2;
  static constexpr int state_declined = 3;
  std::atomic<std::uint64_t> progress_{0};
  std::atomic<int> state_{state_open};
  std::uint64_t start_ = 0;  // written before the offer, read after it
  shared_count finished_;    // ended when the reading ahead is done
  bool read_ = false;
  record_mark end_;
  bool taken_ = false;
  std::int64_t line_ = 0;
};

// The line the scan of the rest numbers the record it lands on in a node
// block: beyond any archive's lines, so that every line numbered from it
// is known and numbered again at the join.
constexpr std::int64_t relative_lines = std::int64_t{1} << 40;
// Node blocks of fewer records are passed over record by record.
constexpr std::int32_t land_from_nodes = 64;
// The landing is sought to within this many bytes of the block's end.
constexpr std::uint64_t land_within = 4096;

class any_scan {
 public:
  // What a scan keeps: everything; the nodes defined before the first
  // element block, then the reading ahead in that block; everything else.
  // Whatever it keeps, it reads every record it meets as the others do,
  // so that each finds the same blocks and the same ends.
  enum class part { all, first_nodes, rest };

  any_scan(record_reader& in, archive_contents& c, part keeps = part::all,
           element_handover* handover = nullptr)
      : in_(in),
        c_(c),
        handover_(handover),
        keep_nodes_(keeps != part::rest),
        keep_elements_(keeps != part::first_nodes),
        keep_rest_(keeps != part::first_nodes) {}

  const std::vector<record_mark>& first_node_block_ends() const { return first_node_block_ends_; }

  void run() {
    std::string_view record;
    bool held = false;
    while (c_.fault.line == 0 && !stopped_ && (held || in_.next(record))) {
      held = false;
      if (after_finish_) {
        read_after_finish(record);
        continue;
      }
      held = read_commands(record);
    }
  }

 private:
  bool fault(std::string message) {
    if (c_.fault.line == 0) {
      c_.fault = {in_.line_number(), std::move(message)};
    }
    return false;
  }
  bool found_not(std::string_view record, const char* expected) {
    return fault("found " + quoted_record(record) + ", expected " + expected);
  }

  // After FINISH only /PREP7 matters: conditions there are a solution's.
  void read_after_finish(std::string_view record) {
    for_each_command(record, [&](std::string_view command) {
      const command_fields f = split_command(command);
      if (keyword_is(f[0], "/PREP7")) {
        after_finish_ = false;
      } else if (keyword_is(f[0], "D") || keyword_is(f[0], "SFE") || keyword_is(f[0], "SFEBLOCK")) {
        c_.solution_conditions.add(in_.line_number());
      }
    });
  }

  // The commands of one record.  A block reads the records after its
  // header; the record that ended it, when it is not the block's own
  // terminator, comes back in `record` (true) to be read as commands.
  bool read_commands(std::string_view& record) {
    const std::string_view text = trim_blanks(record);
    if (text.empty()) {
      return false;
    }
    // A record of numbers outside a block: the rows of a table of real
    // constants or sections, or records of a block whose end came early.
    const char first = text.front();
    if ((first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.') {
      if (!table_rows_) {
        c_.stray_records.add(in_.line_number());
      }
      return false;
    }
    if (first == '(') {
      return false;  // a format record, of a table whose rows may follow
    }
    table_rows_ = false;
    bool held = false;
    bool block = false;
    for_each_command(record, [&](std::string_view command) {
      if (block || c_.fault.line != 0) {
        return;  // the records after a block header are the block's
      }
      const command_fields f = split_command(command);
      const std::string_view name = f[0];
      if (keyword_is(name, "NBLOCK")) {
        block = true;
        held = read_node_block(f, record);
      } else if (keyword_is(name, "EBLOCK")) {
        block = true;
        held = read_element_block(f, record);
      } else if (keyword_is(name, "CMBLOCK")) {
        block = true;
        held = read_component_block(f, record);
      } else if (keyword_is(name, "ETBLOCK")) {
        block = true;
        held = read_type_block(record);
      } else if (keyword_is(name, "SFEBLOCK")) {
        block = true;
        held = read_flux_block(f, record);
      } else if (keyword_is(name, "SFE")) {
        block = read_flux(f);
      } else {
        read_command(f, record);
      }
    });
    return held;
  }

  void read_command(const command_fields& f, std::string_view record) {
    const std::string_view name = f[0];
    const std::int64_t line = in_.line_number();
    if (keyword_is(name, "N")) {
      read_node_command(f, record);
    } else if (keyword_is(name, "D")) {
      read_potential(f);
    } else if (keyword_is(name, "ET")) {
      std::int32_t itype = 0;
      if (attribute(f[1], itype)) {
        set_type(itype, type_number(f[2]), -1);
      }
    } else if (keyword_is(name, "KEYOPT")) {
      std::int32_t itype = 0, option = 0, value = 0;
      if (attribute(f[1], itype) && plain_int(f[2], option) && option == 1 &&
          plain_int(f[3], value)) {
        set_type(itype, -1, value);
      }
    } else if (keyword_is(name, "TYPE")) {
      attribute(f[1], current_type_);
    } else if (keyword_is(name, "*SET")) {
      std::int32_t value = 0;
      if (!f[1].empty() && plain_int(f[2], value)) {
        parameters_.emplace_back(upper_text(f[1]), value);
      }
    } else if (keyword_is(name, "CM")) {
      if (any_component* named = component(f[1], f[2])) {
        named->cm_line = named->cm_line == 0 ? line : named->cm_line;
      }
    } else if (keyword_is(name, "E") || keyword_is(name, "EMORE") ||
               (keyword_is(name, "EN") && !starts_with_keyword(f[1], "R5"))) {
      c_.element_commands.add(line);
    } else if (keyword_is(name, "FINISH")) {
      after_finish_ = true;
    } else if (keyword_is(name, "RLBLOCK") || keyword_is(name, "SECBLOCK")) {
      table_rows_ = true;
    }
  }

  // A type attribute: a number, or a parameter *SET gave one.
  bool attribute(std::string_view text, std::int32_t& itype) const {
    if (plain_int(text, itype)) {
      return true;
    }
    const std::string name = upper_text(text);
    for (auto it = parameters_.rbegin(); it != parameters_.rend(); ++it) {
      if (it->first == name) {
        itype = it->second;
        return true;
      }
    }
    return false;
  }

  // "186", or a name of letters then the number ("SHELL63").
  static std::int32_t type_number(std::string_view text) {
    std::size_t digits = text.size();
    while (digits > 0 && text[digits - 1] >= '0' && text[digits - 1] <= '9') {
      --digits;
    }
    std::int32_t number = 0;
    return plain_int(text.substr(digits), number) ? number : 0;
  }

  void set_type(std::int32_t itype, std::int32_t number, std::int32_t shape) {
    for (any_type& t : c_.types) {
      if (t.itype == itype) {
        t.number = number >= 0 ? number : t.number;
        t.shape = shape >= 0 ? shape : t.shape;
        return;
      }
    }
    c_.types.push_back({itype, number >= 0 ? number : 0, shape >= 0 ? shape : 0});
  }

  const any_type* type_of(std::int32_t itype) const {
    for (const any_type& t : c_.types) {
      if (t.itype == itype) {
        return &t;
      }
    }
    return nullptr;
  }

  // The component the model needs that `name` names, or null.
  any_component* component(std::string_view name, std::string_view entity) {
    const std::string upper_name = upper_text(name);
    if (upper_name == "FIELDPOINTS" && starts_with_keyword(entity, "NODE")) {
      return &c_.field_points;
    }
    if (upper_name == "FIELDCELLS" && starts_with_keyword(entity, "ELEM")) {
      return &c_.field_cells;
    }
    return nullptr;
  }

  // The format record after a block header.
  bool format_record(block_format& format, const char* block) {
    std::string_view record;
    if (!in_.next(record)) {
      return fault(std::string("the archive ends after the ") + block +
                   " header, expected its format record");
    }
    if (!parse_block_format(trim_blanks(record), format)) {
      return found_not(record, "a format record such as (3i9,6e21.13e3)");
    }
    return true;
  }

  bool int_field(std::string_view record, const block_field* field, std::int32_t& value) {
    value = 0;
    return field == nullptr || parse_int_field(field_text(record, *field), value);
  }

  // NBLOCK: records by the widths of the format until the terminator (a
  // record "N,..." or a label of -1) or the first record that is not a
  // node record.
  bool read_node_block(const command_fields& header, std::string_view& record) {
    block_format format;
    if (!format_record(format, "NBLOCK")) {
      return false;
    }
    const bool held = node_records(header, format, record);
    if (!met_element_block_) {
      // Where the block ended, for the two scans to be compared.
      first_node_block_ends_.push_back(
          c_.fault.line == 0 ? in_.mark()
                             : record_mark{std::numeric_limits<std::uint64_t>::max(), 0});
    }
    return held;
  }

  // The records of a node block after its format.  A scan that only passes
  // over the block first passes over as many records as its header counts
  // nodes, without reading them: the other scan reads them, and the two
  // are taken together only when they saw the block end at one record.
  bool node_records(const command_fields& header, const block_format& format,
                    std::string_view& record) {
    const block_field* label_field = format.nth(field_kind::integer, 0);
    const block_field* xyz_field[3] = {format.nth(field_kind::real, 0),
                                       format.nth(field_kind::real, 1),
                                       format.nth(field_kind::real, 2)};
    if (label_field == nullptr) {
      return fault("the node format has no integer field for the node label");
    }
    std::int32_t count = 0;
    if (!keep_nodes_ && plain_int(header[4], count) && count > 0 &&
        !land_near_block_end(format, *label_field, count)) {
      in_.pass_over(count);
    }
    // Coordinates in three fields side by side of one layout are read
    // together when the record holds all three.
    bool side_by_side = xyz_field[2] != nullptr;
    for (int k = 1; k < 3 && side_by_side; ++k) {
      const block_field& before = *xyz_field[k - 1];
      side_by_side = xyz_field[k]->start == before.start + before.width &&
                     xyz_field[k]->width == before.width &&
                     xyz_field[k]->decimals == before.decimals;
    }
    const e_fields_reader together =
        side_by_side ? e_fields_reader(xyz_field[0]->width, xyz_field[0]->decimals, 3)
                     : e_fields_reader(0, 0, 0);
    const auto together_from = static_cast<std::size_t>(side_by_side ? xyz_field[0]->start : 0);
    while (in_.next(record)) {
      if (ends_numeric_block(record)) {
        // "N,R5.3,LOC,-1," ends the block; "N,12,..." is a node command.
        std::int32_t label = 0;
        return !starts_with_keyword(trim_blanks(record), "N,") ||
               plain_int(split_command(record)[1], label);
      }
      std::int32_t label = 0;
      double xyz[3] = {0.0, 0.0, 0.0};
      if (!int_field(record, label_field, label)) {
        return found_not(record, "a node record");
      }
      if (label == -1) {
        return false;
      }
      if (!keep_nodes_) {
        continue;  // only the label decides where the block ends
      }
      if (together.usable() && record.size() > together_from &&
          together.read(record.substr(together_from), xyz)) {
        add_node(label, xyz);
        continue;
      }
      for (int k = 0; k < 3; ++k) {
        if (xyz_field[k] != nullptr &&
            !parse_real(field_text(record, *xyz_field[k]), real_syntax::fixed_field,
                        xyz_field[k]->decimals, xyz[k])) {
          return found_not(record, "a node record");
        }
      }
      add_node(label, xyz);
    }
    return false;
  }

  // The scan of the rest, at the first record of a node block the other
  // scan keeps: when the input can be seen away from the reading, it goes
  // on from a record near the block's end instead of passing over every
  // record, found by halving the span the block's count allows between
  // records that read as its node records and records that do not.  Its
  // lines are then numbered from `relative_lines`, as the scan cannot know
  // how many it left out; the join numbers them again from where the other
  // scan saw the block end.  Should it land in the wrong place, the two
  // scans see different block ends and the archive is read again by one.
  bool land_near_block_end(const block_format& format, const block_field& label_field,
                           std::int32_t count) {
    if (handover_ == nullptr || relative_ || count < land_from_nodes || !in_.can_look()) {
      return false;
    }
    int widest = 0;
    int integers_end = 0;  // where the integer fields before the first real end
    bool leading = true;
    for (int k = 0; k < format.count; ++k) {
      widest = std::max(widest, format.fields[k].start + format.fields[k].width);
      leading = leading && format.fields[k].kind == field_kind::integer;
      if (leading) {
        integers_end = format.fields[k].start + format.fields[k].width;
      }
    }
    // A node record holds every integer field, ends where one of the
    // format's fields ends, and has a label: not the short continuation
    // record of an element, whose fields are integers too.
    auto node_like = [&](std::string_view r) {
      bool at_field_end = false;
      for (int k = 0; k < format.count && !at_field_end; ++k) {
        at_field_end =
            r.size() == static_cast<std::size_t>(format.fields[k].start + format.fields[k].width);
      }
      std::int32_t label = 0;
      return at_field_end && r.size() >= static_cast<std::size_t>(integers_end) &&
             !ends_numeric_block(r) &&
             static_cast<std::size_t>(label_field.start + label_field.width) <= r.size() &&
             int_field(r, &label_field, label) && label > 0;
    };
    std::uint64_t low = in_.next_offset();
    std::uint64_t start = 0;
    std::string_view r;
    if (!in_.look(low, start, r) || start != low || !node_like(r)) {
      return false;
    }
    // Each record at most the widest with CR LF.
    std::uint64_t high = std::min(in_.size(), low + static_cast<std::uint64_t>(count) *
                                                        (static_cast<std::uint64_t>(widest) + 2));
    while (high - low > land_within) {
      const std::uint64_t middle = low + (high - low) / 2;
      if (in_.look(middle, start, r) && start < high && node_like(r)) {
        low = start;
      } else {
        high = middle;
      }
    }
    in_.seek({low, relative_lines});
    relative_ = true;
    return true;
  }

  void add_node(std::int32_t label, const double (&xyz)[3]) {
    c_.node_labels.push_back(label);
    for (double v : xyz) {
      c_.node_xyz.push_back(v);
    }
  }

  void read_node_command(const command_fields& f, std::string_view record) {
    if (!keep_nodes_) {
      return;
    }
    std::int32_t label = 0;
    double xyz[3] = {0.0, 0.0, 0.0};
    if (!plain_int(f[1], label)) {
      if (!starts_with_keyword(f[1], "R5")) {
        found_not(record, "a node label after N");
      }
      return;  // "N,R5.3,LOC,-1," ends a block and defines no node
    }
    for (int k = 0; k < 3; ++k) {
      const std::string_view v = f[2 + k];
      if (!v.empty() && !parse_real(v, real_syntax::text_field, 0, xyz[k])) {
        found_not(record, "a coordinate");
        return;
      }
    }
    add_node(label, xyz);
  }

  // The integer fields of a record, as many as it holds.  With
  // `structure_only`, only those that decide where element records end are
  // read (the terminator, the type, the node count), the others are 0.
  int element_fields(std::string_view record, const block_format& format, std::int32_t* values,
                     bool structure_only = false) {
    std::size_t written = record.size();
    while (written > 0 && (record[written - 1] == ' ' || record[written - 1] == '\t')) {
      --written;
    }
    if (format.even_width > 0) {
      // The fields that start before the trailing blanks.
      const auto width = static_cast<std::size_t>(format.even_width);
      const auto starting = static_cast<int>(std::min<std::size_t>(
          (written + width - 1) / width, static_cast<std::size_t>(format.count)));
      if (!structure_only) {
        return parse_int_fields(record, format.even_width, starting, values);
      }
      for (const int k : {0, 1, 8}) {
        values[k] = 0;
        if (k < starting && !parse_int_field(field_text(record, format.fields[k]), values[k])) {
          return -1;
        }
      }
      return starting;
    }
    int present = 0;
    for (int k = 0; k < format.count; ++k) {
      const block_field& field = format.fields[k];
      if (static_cast<std::size_t>(field.start) >= written) {
        break;
      }
      if (structure_only && k != 0 && k != 1 && k != 8) {
        values[present++] = 0;
        continue;
      }
      if (!parse_int_field(field_text(record, field), values[present])) {
        return -1;
      }
      ++present;
    }
    return present;
  }

  enum class form { solid, blank, compact };
  enum class block_end { fault, terminator, record, archive, abandoned };

  // EBLOCK in its SOLID, blank or COMPACT form.
  bool read_element_block(const command_fields& header, std::string_view& record) {
    const form kind = starts_with_keyword(header[2], "SOLID")  ? form::solid
                      : starts_with_keyword(header[2], "COMP") ? form::compact
                                                               : form::blank;
    block_format format;
    if (!format_record(format, "EBLOCK")) {
      return false;
    }
    const bool first = !met_element_block_;
    met_element_block_ = true;
    if (first && !keep_rest_) {  // the scan of the first nodes
      if (handover_ != nullptr) {
        read_ahead(kind, format);
      }
      stopped_ = true;  // the scan of the rest reads on from here
      return false;
    }
    keep_nodes_ = true;
    meeting_ = first ? handover_ : nullptr;
    const block_end end = element_records(kind, format, record);
    if (meeting_ != nullptr) {
      meeting_->decline();
      meeting_ = nullptr;
    }
    return end == block_end::record;
  }

  // The element records of a block up to the record that ends it, which
  // comes back in `record`.
  block_end element_records(form kind, const block_format& format, std::string_view& record) {
    std::int32_t values[block_format::max_fields];
    for (std::uint32_t read = 0;; ++read) {
      if (meeting_ != nullptr) {
        meet_reading_ahead(read);
      } else if (ahead_ != nullptr && (read & 255) == 255 && ahead_->declined()) {
        return block_end::abandoned;
      }
      if (!in_.next(record)) {
        return block_end::archive;
      }
      if (ends_numeric_block(record)) {
        // "EN,R5.5,ATTR,-1," defines no element.
        if (starts_with_keyword(trim_blanks(record), "EN,R5")) {
          continue;
        }
        return block_end::record;
      }
      const int present = element_fields(record, format, values, !keep_elements_);
      if (present < 0) {
        found_not(record, "an element record");
        return block_end::fault;
      }
      if (present == 0 || values[0] == -1) {
        return block_end::terminator;
      }
      any_element e{in_.line_number(), 0, 0, 0, 0};
      int first_node = 0;
      std::int32_t needed = 0;
      if (kind == form::solid) {
        if (present < 11) {
          found_not(record, "an element record of at least 11 fields");
          return block_end::fault;
        }
        e.itype = values[1];
        e.label = values[10];
        needed = values[8];
        first_node = 11;
        if (needed < 1 || needed > most_element_nodes) {
          found_not(record, "a node count from 1 to 64 in field 9");
          return block_end::fault;
        }
      } else {
        e.label = values[0];
        first_node = kind == form::blank ? 5 : 1;
        e.itype = kind == form::blank ? (present > 1 ? values[1] : 0) : current_type_;
        const any_type* type = type_of(e.itype);
        const int typed = type != nullptr ? element_node_count(type->number, type->shape) : 0;
        const int in_record = format.count - first_node;
        // Node fields not written are absent midside nodes; only a type of
        // more nodes than a record holds goes on to the next record.
        needed = typed > in_record ? typed : std::max(present - first_node, 0);
      }
      e.first_node = static_cast<std::uint32_t>(c_.element_nodes.size());
      e.node_count = needed;
      if (!element_nodes(record, format, values, present, first_node, needed)) {
        return block_end::fault;
      }
      if (keep_elements_) {
        c_.elements.push_back(e);
      }
    }
  }

  // The scan of the rest, at the start of an element record in the first
  // element block: now and then it says where it is; at the record the
  // scan of the nodes read on from, it takes those elements and goes on
  // at the record that ended the block.
  void meet_reading_ahead(std::uint32_t read) {
    const std::uint64_t at = in_.next_offset();
    if ((read & 255) == 0) {
      meeting_->note_progress(at);
    }
    record_mark end;
    switch (meeting_->meet(at, in_.line_number() + 1, end)) {
    case element_handover::meeting::not_yet:
      return;
    case element_handover::meeting::taken:
      meeting_->elements_before = c_.elements.size();
      meeting_->nodes_before = c_.element_nodes.size();
      in_.seek(end);
      break;
    case element_handover::meeting::read_here:
      break;
    }
    meeting_ = nullptr;
  }

  // The scan of the nodes, at the header of the first element block: the
  // elements from a record ahead of the other scan to the block's end,
  // into `ahead` of the handover, numbered from 1 at that record.  Only
  // the SOLID form, whose first record of an element can be told from its
  // others by its fields.
  void read_ahead(form kind, const block_format& format) {
    element_handover& h = *handover_;
    const std::uint64_t here = in_.next_offset();
    const std::uint64_t other = std::max(h.progress(), here);
    const std::uint64_t size = in_.size();
    if (kind != form::solid || other + 2 >= size) {
      return;
    }
    // A little short of halfway: the scan of the rest also reads what
    // follows the block, and reads its part of the block no faster.
    in_.seek({other + (size - other) * 9 / 20 - 1, 1});
    std::string_view record;
    in_.next(record);  // the end of a record begun before
    std::int32_t values[block_format::max_fields];
    for (int tries = 0; tries < 64 && !in_.truncated(); ++tries) {
      const std::uint64_t start = in_.next_offset();
      if (!in_.next(record) || in_.truncated() || ends_numeric_block(record)) {
        return;
      }
      const int present = element_fields(record, format, values, true);
      if (present >= 11 && values[0] != -1 && values[8] >= 1 && values[8] <= most_element_nodes) {
        if (!h.offer(start)) {
          return;
        }
        in_.seek({start, 1});
        any_scan scan(in_, h.ahead, part::all);
        scan.ahead_ = &h;
        const block_end end = scan.element_records(kind, format, record);
        const bool read =
            end == block_end::terminator || end == block_end::record || end == block_end::archive;
        h.finish(read, end == block_end::archive
                           ? record_mark{in_.next_offset(), in_.line_number() + 1}
                           : in_.mark());
        return;
      }
    }
  }

  // Appends an element's `needed` node fields: those of the record after
  // `first_node`, then those of continuation records.
  bool element_nodes(std::string_view& record, const block_format& format, std::int32_t* values,
                     int present, int first_node, std::int32_t needed) {
    if (c_.element_nodes.size() > std::numeric_limits<std::uint32_t>::max() - 64) {
      return fault("more element node fields than this reading can hold");
    }
    const std::int64_t line = in_.line_number();
    std::int32_t got = 0;
    for (int k = first_node; k < present && got < needed; ++k, ++got) {
      keep_node_field(values[k]);
    }
    while (got < needed) {
      if (!in_.next(record) || ends_numeric_block(record)) {
        c_.fault = {line, "the element on archive line " + std::to_string(line) + " needs " +
                              std::to_string(needed) +
                              " node fields, expected a continuation record"};
        return false;
      }
      const int more = element_fields(record, format, values, !keep_elements_);
      if (more <= 0) {
        return found_not(record, "a continuation record of node fields");
      }
      for (int k = 0; k < more && got < needed; ++k, ++got) {
        keep_node_field(values[k]);
      }
    }
    return true;
  }

  void keep_node_field(std::int32_t label) {
    if (keep_elements_) {
      c_.element_nodes.push_back(label);
    }
  }

  // CMBLOCK: the values over records up to the header's count; a
  // negative value makes a range from the one before it.
  bool read_component_block(const command_fields& header, std::string_view& record) {
    std::int32_t count = 0;
    if (!plain_int(header[3], count) || count < 0) {
      return found_not(record, "a component header with a count of values");
    }
    any_component* named = component(header[1], header[2]);
    const std::string name(header[1]);
    block_format format;
    if (!format_record(format, "CMBLOCK")) {
      return false;
    }
    if (named != nullptr) {
      named->ranges.clear();
      named->line = in_.line_number() - 1;
    }
    std::int32_t values[block_format::max_fields];
    // Some writers count the labels a component names rather than the
    // values written: the values end early, with as many labels named.
    std::int64_t members = 0;
    std::int32_t last = 0;
    for (std::int32_t read = 0; read < count;) {
      if (!in_.next(record) || ends_numeric_block(record)) {
        if (members == count) {
          return true;
        }
        return fault("the component " + name + " holds fewer than its " + std::to_string(count) +
                     " values");
      }
      const int present = element_fields(record, format, values);
      if (present <= 0) {
        return found_not(record, "a record of component values");
      }
      for (int k = 0; k < present && read < count; ++k, ++read) {
        const bool range = values[k] < 0 && read > 0;
        members += range ? std::max<std::int64_t>(std::int64_t{-values[k]} - last, 0) : 1;
        last = range ? -values[k] : values[k];
        if (named == nullptr) {
          continue;
        }
        if (range && !named->ranges.empty()) {
          named->ranges.back().second = -values[k];
        } else {
          named->ranges.emplace_back(values[k], values[k]);
        }
      }
    }
    return false;
  }

  // ETBLOCK: rows of type attribute, element type number, then options.
  bool read_type_block(std::string_view& record) {
    block_format format;
    if (!format_record(format, "ETBLOCK")) {
      return false;
    }
    while (in_.next(record)) {
      if (ends_numeric_block(record)) {
        return true;
      }
      std::int32_t itype = 0, number = 0, shape = 0;
      if (format.count < 2 || !parse_int_field(field_text(record, format.fields[0]), itype) ||
          !parse_int_field(field_text(record, format.fields[1]), number)) {
        return found_not(record, "a row of the element type table");
      }
      if (itype == -1) {
        return false;
      }
      if (format.count > 2 && !parse_int_field(field_text(record, format.fields[2]), shape)) {
        shape = 0;
      }
      set_type(itype, number, shape);
    }
    return false;
  }

  void read_potential(const command_fields& f) {
    if (!keep_rest_) {
      return;
    }
    any_potential p{in_.line_number(), 0, 0, value_form::number, 0.0};
    if (starts_with_keyword(f[1], "ALL") && f[1].size() == 3) {
      p.form = value_form::all_nodes;
    } else if (!plain_int(f[1], p.node)) {
      fault("found node \"" + std::string(f[1]) + "\" on a D record, expected a node label");
      return;
    }
    p.dof = use_label(c_.dofs, f[2], p.line);
    const std::string_view value = f[3];
    if (!value.empty() && value.front() == '%') {
      p.form = p.form == value_form::number ? value_form::table : p.form;
    } else if (!value.empty() && !parse_real(value, real_syntax::text_field, 0, p.value)) {
      p.form = p.form == value_form::number ? value_form::not_a_number : p.form;
    }
    c_.potentials.push_back(p);
  }

  // SFE: element, face, load label, value key, then the four values on the
  // record after a header ending in R5.0, or in the header's fields 6 to 9.
  // True when it read records after the header.
  bool read_flux(const command_fields& f) {
    const bool follows = starts_with_keyword(f[5], "R5.0");
    if (!keep_rest_) {
      if (follows) {
        pass_flux_values();
      }
      return follows;
    }
    any_flux q{in_.line_number(), 0, 0, 0, 0, 0.0};
    if (!plain_int(f[1], q.element) || !(f[2].empty() || plain_int(f[2], q.face)) ||
        !(f[4].empty() || plain_int(f[4], q.key))) {
      fault("found an SFE record of element \"" + std::string(f[1]) +
            "\", expected element, face, label and key");
      return false;
    }
    double v[4] = {0.0, 0.0, 0.0, 0.0};
    // The fields stand in the reader's buffer, which the next record may
    // overwrite.
    const std::string label(f[3]);
    if (follows) {
      read_free(in_, {into(v[0]), into(v[1]), into(v[2]), into(v[3])});
    } else {
      for (int k = 0; k < 4; ++k) {
        if (!f[5 + k].empty() && !parse_real(f[5 + k], real_syntax::text_field, 0, v[k])) {
          fault("found the flux value \"" + std::string(f[5 + k]) + "\", expected a number");
          return false;
        }
      }
    }
    q.mean = (((v[0] + v[1]) + v[2]) + v[3]) * 0.25;
    add_flux(q, label);
    return follows;
  }

  // The records the four values after an SFE header take, as the scan
  // that keeps the fluxes reads them (and finds their faults).  A record
  // of four or more blank-separated words without commas, repeats, slashes
  // or quotes holds them all; any other is read as values.
  void pass_flux_values() {
    std::string_view values;
    if (!in_.next(values)) {
      return;
    }
    int words = 0;
    bool plain = true;
    for (std::size_t k = 0; k < values.size() && plain; ++k) {
      const char c = values[k];
      plain = c != ',' && c != '*' && c != '/' && c != '\'' && c != '"';
      words += c != ' ' && (k == 0 || values[k - 1] == ' ');
    }
    if (!plain || words < 4) {
      in_.seek(in_.mark());
      double v[4];
      read_free(in_, {into(v[0]), into(v[1]), into(v[2]), into(v[3])});
    }
  }

  void add_flux(any_flux q, std::string_view label) {
    if (!keep_rest_) {
      return;
    }
    // A film coefficient is never a flux.
    if (starts_with_keyword(label, "CONV") && label.size() == 4) {
      return;
    }
    q.load = use_label(c_.loads, label, q.line);
    c_.fluxes.push_back(q);
  }

  // SFEBLOCK: rows of element, face, key and values, to "SFE,end" or -1.
  bool read_flux_block(const command_fields& header, std::string_view& record) {
    const std::string label(header[2]);
    block_format format;
    if (!format_record(format, "SFEBLOCK")) {
      return false;
    }
    const block_field* ints[3] = {format.nth(field_kind::integer, 0),
                                  format.nth(field_kind::integer, 1),
                                  format.nth(field_kind::integer, 2)};
    while (in_.next(record)) {
      if (ends_numeric_block(record)) {
        return !starts_with_keyword(trim_blanks(record), "SFE");
      }
      any_flux q{in_.line_number(), 0, 0, 0, 0, 0.0};
      double v[4] = {0.0, 0.0, 0.0, 0.0};
      bool ok = int_field(record, ints[0], q.element) && int_field(record, ints[1], q.face) &&
                int_field(record, ints[2], q.key);
      for (int k = 0; k < 4 && ok; ++k) {
        const block_field* field = format.nth(field_kind::real, k);
        ok = field == nullptr || parse_real(field_text(record, *field), real_syntax::fixed_field,
                                            field->decimals, v[k]);
      }
      if (!ok) {
        return found_not(record, "a row of element, face, key and values");
      }
      if (q.element == -1) {
        return false;
      }
      q.mean = (((v[0] + v[1]) + v[2]) + v[3]) * 0.25;
      add_flux(q, label);
    }
    return false;
  }

  record_reader& in_;
  archive_contents& c_;
  element_handover* handover_;
  element_handover* meeting_ = nullptr;  // the rest: the handover still to meet
  element_handover* ahead_ = nullptr;    // the reading ahead: its handover
  std::int32_t current_type_ = 0;
  bool keep_nodes_;
  bool keep_elements_;
  bool keep_rest_;
  bool met_element_block_ = false;
  // Where each node block before the first element block ended: the
  // record that ended it, at an offset of all ones for a fault.
  std::vector<record_mark> first_node_block_ends_;
  bool relative_ = false;  // lines are numbered from `relative_lines`
  bool stopped_ = false;
  bool after_finish_ = false;
  bool table_rows_ = false;  // the records after a table's header are its rows
  std::vector<std::pair<std::string, std::int32_t>> parameters_;
};

// Elements read ahead from which the join copies them in two halves.
constexpr std::size_t join_halves_from = 1 << 14;

// Puts the nodes the scan of the nodes kept before those of `rest`, and
// the elements read ahead where the scan of the rest took them; false
// when the node fields would be more than one reading holds, which only
// the one scan reports, where it stops.
bool join_scans(archive_contents& nodes, element_handover& h, archive_contents& rest) {
  archive_contents& ahead = h.ahead;
  const std::size_t total = rest.element_nodes.size() + ahead.element_nodes.size();
  if (total > std::numeric_limits<std::uint32_t>::max() - most_element_nodes) {
    return false;
  }
  nodes.node_labels.append(rest.node_labels.begin(), rest.node_labels.size());
  nodes.node_xyz.append(rest.node_xyz.begin(), rest.node_xyz.size());
  rest.node_labels.swap(nodes.node_labels);
  rest.node_xyz.swap(nodes.node_xyz);
  if (!h.taken()) {
    return true;
  }
  // The elements after the block, moved on past those read ahead.
  const std::vector<any_element> after(rest.elements.begin() + h.elements_before,
                                       rest.elements.end());
  const std::vector<std::int32_t> after_nodes(rest.element_nodes.begin() + h.nodes_before,
                                              rest.element_nodes.end());
  rest.elements.shrink_to(h.elements_before);
  rest.element_nodes.shrink_to(h.nodes_before);
  // The elements read ahead, their lines and node-field offsets moved on,
  // copied in two halves beside each other: their first touch of fresh
  // pages is most of the join's time.
  const std::size_t count = ahead.elements.size();
  const std::size_t fields = ahead.element_nodes.size();
  any_element* placed = rest.elements.grow_by(count);
  std::int32_t* placed_fields = rest.element_nodes.grow_by(fields);
  auto place = [&](std::size_t part) {
    const std::int64_t lines = h.first_line() - 1;
    const auto offset = static_cast<std::uint32_t>(h.nodes_before);
    for (std::size_t k = count * part / 2; k < count * (part + 1) / 2; ++k) {
      placed[k] = ahead.elements[k];
      placed[k].line += lines;
      placed[k].first_node += offset;
    }
    const std::size_t from = fields * part / 2;
    if (const std::size_t n = fields * (part + 1) / 2 - from; n > 0) {
      std::memcpy(placed_fields + from, ahead.element_nodes.data() + from,
                  n * sizeof(std::int32_t));
    }
  };
  early_task upper;
  upper.start(count >= join_halves_from, [&] { place(1); });
  place(0);
  upper.finish();
  const std::size_t moved_from = rest.elements.size();
  rest.elements.append(after.data(), after.size());
  for (std::size_t k = moved_from; k < rest.elements.size(); ++k) {
    rest.elements[k].first_node += static_cast<std::uint32_t>(ahead.element_nodes.size());
  }
  rest.element_nodes.append(after_nodes.data(), after_nodes.size());
  return true;
}

// Whether the two scans saw the node blocks end at the same records.
bool same_ends(const std::vector<record_mark>& a, const std::vector<record_mark>& b) {
  return std::equal(
      a.begin(), a.end(), b.begin(), b.end(),
      [](const record_mark& x, const record_mark& y) { return x.offset == y.offset; });
}

// What the lines the scan of the rest numbered from `relative_lines` are
// short of: at the first block end it saw so numbered, the line the scan
// of the nodes gave that record, less its own.  0 when it numbered none so.
std::int64_t line_shift(const std::vector<record_mark>& rest,
                        const std::vector<record_mark>& nodes) {
  for (std::size_t k = 0; k < rest.size() && k < nodes.size(); ++k) {
    if (rest[k].line >= relative_lines) {
      return nodes[k].line - rest[k].line;
    }
  }
  return 0;
}

// Numbers again every line of `c` numbered from `relative_lines`.
void renumber_lines(archive_contents& c, std::int64_t shift) {
  if (shift == 0) {
    return;
  }
  auto renumber = [shift](std::int64_t& line) { line += line >= relative_lines ? shift : 0; };
  const std::size_t count = c.elements.size();
  auto part = [&](std::size_t half) {
    for (std::size_t k = count * half / 2; k < count * (half + 1) / 2; ++k) {
      renumber(c.elements[k].line);
    }
  };
  early_task upper;
  upper.start(count >= join_halves_from, [&] { part(1); });
  part(0);
  upper.finish();
  for (any_potential& p : c.potentials) {
    renumber(p.line);
  }
  for (any_flux& q : c.fluxes) {
    renumber(q.line);
  }
  for (std::vector<label_use>* uses : {&c.dofs, &c.loads}) {
    for (label_use& u : *uses) {
      renumber(u.first_line);
    }
  }
  for (any_component* named : {&c.field_points, &c.field_cells}) {
    renumber(named->line);
    renumber(named->cm_line);
  }
  for (passed_records* passed : {&c.element_commands, &c.solution_conditions, &c.stray_records}) {
    renumber(passed->first_line);
  }
}

}  // namespace

void read_any_archive(record_reader& archive, archive_contents& contents, unsigned threads) {
  // With two threads, one scan keeps the nodes before the first element
  // block and reads part of that block ahead, while this one keeps the
  // rest.  Only a reading that both end without a fault is taken: a
  // fault is found again by one scan of everything, which stops where a
  // single reading stops.
  if (threads > 1) {
    archive_contents nodes;
    element_handover handover;
    std::vector<record_mark> node_block_ends;
    bool side_failed = false;
    bool failed = false;
    early_task side;
    side.start(true, [&] {
      try {
        record_reader second;
        second.open_like(archive);
        any_scan scan(second, nodes, any_scan::part::first_nodes, &handover);
        scan.run();
        node_block_ends = scan.first_node_block_ends();
      } catch (...) {
        side_failed = true;
        handover.finish(false, {});
      }
    });
    if (side.beside()) {
      std::vector<record_mark> passed_block_ends;
      try {
        any_scan scan(archive, contents, any_scan::part::rest, &handover);
        scan.run();
        passed_block_ends = scan.first_node_block_ends();
      } catch (...) {
        failed = true;
      }
      handover.decline();
      side.finish();
      if (!failed && !side_failed && contents.fault.line == 0 && nodes.fault.line == 0 &&
          same_ends(passed_block_ends, node_block_ends) && join_scans(nodes, handover, contents)) {
        renumber_lines(contents, line_shift(passed_block_ends, node_block_ends));
        return;
      }
      contents = archive_contents{};
      archive.reopen();
    }
  }
  any_scan(archive, contents).run();
}

}  // namespace cdbbem
