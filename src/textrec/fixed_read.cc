#include "textrec/fixed_read.h"

#include <string_view>

#include "textrec/failure.h"
#include "textrec/numeric_input.h"
#include "textrec/record_reader.h"
#include "textrec/short_copy.h"

namespace cdbbem {

namespace {

// The w characters of a field from column `col` (0-based); characters past
// the end of the record are blanks and so simply absent from the view.
std::string_view field_at(std::string_view record, std::size_t col, std::size_t width) {
  if (col >= record.size()) {
    return {};
  }
  return record.substr(col, width);
}

// Aw into a target of length L: the rightmost L characters of the field when
// L <= w, otherwise the w characters followed by blanks.
void read_text(std::string_view record, std::size_t col, std::size_t width, char* target,
               std::size_t length) {
  std::size_t from = length <= width ? col + (width - length) : col;
  std::size_t take = length <= width ? length : width;
  std::string_view chars = field_at(record, from, take);
  // A field wholly past the end of the record is an empty view, whose data
  // may be null: nothing is copied then.
  copy_short(target, chars.data(), chars.size());
  fill_short(target + chars.size(), ' ', length - chars.size());
}

}  // namespace

void read_formatted(record_reader& in, record_format format, std::initializer_list<in_item> items) {
  std::string_view record = in.next_or_fail();
  std::size_t col = 0;
  const in_item* item = items.begin();
  for (;;) {
    for (const edit_descriptor& d : format) {
      for (int copy = 0; copy < d.repeat; ++copy) {
        auto width = static_cast<std::size_t>(d.width);
        switch (d.kind) {
        case descriptor_kind::skip:
          col += width;
          continue;
        case descriptor_kind::slash:
          record = in.next_or_fail();
          col = 0;
          continue;
        case descriptor_kind::literal:
          col += d.literal.size();
          continue;
        default:
          break;
        }
        if (item == items.end()) {
          return;
        }
        if (item->kind == in_item::type::text) {
          read_text(record, col, width, static_cast<char*>(item->target), item->length);
          col += width;
          ++item;
          continue;
        }
        std::string_view field = field_at(record, col, width);
        col += width;
        // In a numeric field a comma ends the field early; the next field
        // starts right after it.
        if (std::size_t comma = field.find(','); comma != std::string_view::npos) {
          col -= width - (comma + 1);
          field = field.substr(0, comma);
        }
        bool ok;
        if (item->kind == in_item::type::int32) {
          ok = parse_int_field(field, *static_cast<std::int32_t*>(item->target));
        } else {
          ok = parse_real(field, real_syntax::fixed_field, d.digits,
                          *static_cast<double*>(item->target));
        }
        if (!ok) {
          fail(report::input_conversion, in.unit());
        }
        ++item;
      }
    }
    if (item == items.end()) {
      return;
    }
    // Items remain at the end of the format: a new record, the format again.
    record = in.next_or_fail();
    col = 0;
  }
}

}  // namespace cdbbem
