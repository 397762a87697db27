#ifndef CDBBEM_ARCHIVE_LAYOUT_SURVEY_H_
#define CDBBEM_ARCHIVE_LAYOUT_SURVEY_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cdbbem {

class record_reader;

/// Why an archive is not in the legacy layout, most telling first: when
/// several show, the explanation gives the first of this order.
enum class layout_reason {
  none,               ///< none shows: the archive looks legacy
  no_offset_section,  ///< no "*ELSE" with the node and element counts after it
  node_labels,        ///< node labels are not 1..N+P in order
  element_labels,     ///< element labels are not 1..E+C (in any order)
  second_block,       ///< a second node or element block
  element_kind,       ///< an element of more than 4 nodes or of a non-surface type
  components,         ///< FIELDCELLS/FIELDPOINTS do not name the trailing records
  block_layout,       ///< a block missing, in a layout or form the reader does not know
};

/// What `survey_layout` found.
struct layout_finding {
  layout_reason reason = layout_reason::none;
  /// The reason in words, e.g. "node label 7 on archive line 12 follows 9";
  /// empty for `none`.
  std::string text;
  /// The archive line where it shows; 0 when it shows on none (the archive
  /// lacks something) or for `none`.
  std::int64_t line = 0;
};

/// The first finding of each `layout_reason`, its words built only then.
class layout_notes {
 public:
  /// Stands where a finding's words give its archive line: " on archive
  /// line N".
  struct line_mark {};
  static constexpr line_mark on_line{};

  /// Keeps a finding of `r` at archive line `at` (0 for none) unless `r`
  /// has one: the words `parts` (texts, numbers, `on_line`) join.
  template <typename... Parts>
  void note(layout_reason r, std::int64_t at, const Parts&... parts) {
    if (open(r)) {
      layout_finding& f = found_[static_cast<std::size_t>(r)];
      f = {r, {}, at};
      (append(f.text, parts, at), ...);
    }
  }

  /// Whether `r` has no finding yet.
  bool open(layout_reason r) const {
    return found_[static_cast<std::size_t>(r)].reason == layout_reason::none;
  }

  /// The finding of the first reason that has one; `none` when none has.
  layout_finding first();

 private:
  static void append(std::string& text, std::string_view part, std::int64_t) { text += part; }
  static void append(std::string& text, std::int64_t number, std::int64_t);
  static void append(std::string& text, line_mark, std::int64_t line);

  std::array<layout_finding, static_cast<std::size_t>(layout_reason::block_layout) + 1> found_;
};

/// One pass over `archive`, from its next record to its end (to "FINISH"
/// when that comes before the offset section), that finds why the archive
/// is not in the legacy layout.  Components after "FINISH" are not looked
/// at, as the legacy reader does not look for them there.  Blocks are read by
/// the widths of their format records (SOLID, blank and COMPACT element
/// forms), element types from `ET`, `KEYOPT` and `ETBLOCK`.  Memory stays
/// fixed whatever the archive holds, and the pass ends on any text; only the
/// reader's own failures (a read error, a file that changed) are raised.
layout_finding survey_layout(record_reader& archive);

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_LAYOUT_SURVEY_H_
