#include "textrec/fixed_write.h"

#include "textrec/failure.h"
#include "textrec/number_output.h"
#include "textrec/output_channel.h"
#include "textrec/short_copy.h"

namespace cdbbem {

namespace {

// Aw: a shorter text is right-justified, a longer one cut to its first w.
void write_text(char* dst, std::size_t width, std::string_view text) {
  if (text.size() < width) {
    fill_short(dst, ' ', width - text.size());
    copy_short(dst + (width - text.size()), text.data(), text.size());
  } else {
    copy_short(dst, text.data(), width);
  }
}

// Writes one value into its field; false when it does not fit.
bool write_field(char* dst, const edit_descriptor& d, const out_item& value) {
  switch (d.kind) {
  case descriptor_kind::integer:
    return format_integer(dst, d.width, value.int_value);
  case descriptor_kind::real_e:
    return format_exponent(dst, d.width, d.digits, 'E', value.real_value);
  case descriptor_kind::real_d:
    return format_exponent(dst, d.width, d.digits, 'D', value.real_value);
  default:
    write_text(dst, static_cast<std::size_t>(d.width), value.text);
    return true;
  }
}

}  // namespace

void write_formatted(output_channel& out, record_format format,
                     std::initializer_list<out_item> items) {
  const out_item* item = items.begin();
  bool overflow = false;
  for (;;) {
    char* record = out.begin_record();
    std::size_t col = 0;   // where the next field goes
    std::size_t high = 0;  // the record's length so far
    bool stop = false;
    for (const edit_descriptor& d : format) {
      for (int copy = 0; copy < d.repeat && !stop; ++copy) {
        std::size_t width = d.kind == descriptor_kind::literal ? d.literal.size()
                                                               : static_cast<std::size_t>(d.width);
        if (d.kind == descriptor_kind::skip) {
          col += width;
          continue;
        }
        if (d.kind == descriptor_kind::slash) {
          out.end_record(high);
          record = out.begin_record();
          col = high = 0;
          continue;
        }
        if (d.kind != descriptor_kind::literal && item == items.end()) {
          stop = true;
          break;
        }
        if (col > high) {
          fill_short(record + high, ' ', col - high);
        }
        if (d.kind == descriptor_kind::literal) {
          copy_short(record + col, d.literal.data(), width);
        } else {
          overflow = !write_field(record + col, d, *item++) || overflow;
        }
        col += width;
        high = col > high ? col : high;
      }
      if (stop) {
        break;
      }
    }
    out.end_record(high);
    if (item == items.end()) {
      break;
    }
  }
  if (overflow) {
    fail(report::output_conversion, out.unit());
  }
}

}  // namespace cdbbem
