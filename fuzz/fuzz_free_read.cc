// Free-form reading on arbitrary bytes, with the writers run on whatever
// reads.  The first byte picks how many items a statement reads, the next
// two which of the items are doubles; the rest is the archive, read statement after
// statement to its end.  Every double read is written as the model file
// writes it, and the written text must read back to a value written the same.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "run/channels.h"
#include "textrec/failure.h"
#include "textrec/fixed_read.h"
#include "textrec/fixed_write.h"
#include "textrec/free_form.h"
#include "textrec/number_output.h"
#include "textrec/numeric_input.h"
#include "textrec/output_channel.h"
#include "textrec/record_reader.h"
#include "writers/model_file.h"
#include "writers/plot_file.h"

namespace {

using namespace cdbbem;

void expect(bool condition) {
  if (!condition) {
    std::abort();
  }
}

// D24.15, then read back as the field it is: the same field again.
void check_round_trip(double value) {
  char field[24];
  bool fits = format_exponent(field, 24, 15, 'D', value);
  expect(fits);
  double again = 0.0;
  expect(parse_real(std::string_view(field, 24), real_syntax::fixed_field, 15, again));
  char field_again[24];
  expect(format_exponent(field_again, 24, 15, 'D', again));
  expect(std::memcmp(field, field_again, sizeof field) == 0);
}

output_channel& sink() {
  static output_channel out;
  static bool attached = false;
  if (!attached) {
    out.attach(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    attached = true;
  }
  return out;
}

// The item counts the archive readers use: a record passed over, a
// component range, flux values, an element record.  Returns the count.
unsigned read_statement(record_reader& in, unsigned shape, in_item (&v)[15]) {
  switch (shape % 4) {
  case 0:
    read_free(in, {});
    return 0;
  case 1:
    read_free(in, {v[0], v[1]});
    return 2;
  case 2:
    read_free(in, {v[0], v[1], v[2], v[3]});
    return 4;
  default:
    read_free(in, {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11], v[12],
                   v[13], v[14]});
    return 15;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) {
    return 0;
  }
  const unsigned doubles = static_cast<unsigned>(data[1]) | (static_cast<unsigned>(data[2]) << 8);
  std::string_view text(reinterpret_cast<const char*>(data) + 3, size - 3);
  record_reader in;
  in.open_memory(text, channels::archive);
  for (;;) {
    std::int32_t ints[15] = {};
    double reals[15] = {};
    in_item items[15];
    for (unsigned k = 0; k < 15; ++k) {
      items[k] = (doubles >> k) & 1u ? into(reals[k]) : into(ints[k]);
    }
    unsigned count = 0;
    try {
      count = read_statement(in, data[0], items);
    } catch (const run_failure& f) {
      expect(f.number == report::end_of_file || f.number == report::list_syntax ||
             f.number == report::input_conversion);
      if (f.number == report::end_of_file) {
        return 0;
      }
      continue;
    }
    // The writers take whatever was read, as the model file does: doubles
    // in exponent fields, which no double overflows, integers free-form;
    // numbers in I fields are positions, as in the model file.  Items the
    // statement did not read are left out.
    for (unsigned k = 0; k < count; ++k) {
      if ((doubles >> k) & 1u) {
        check_round_trip(reals[k]);
        write_formatted(sink(), formats::e3_15_7, {item(reals[k]), item(reals[k]), item(0.0)});
        write_formatted(
            sink(), formats::field_point_line,
            {item(static_cast<std::int32_t>(k)), item(reals[k]), item(-reals[k]), item(reals[k])});
      } else {
        write_free(sink(), {item(ints[k]), item(std::string_view(", E=")), item(ints[k])});
      }
    }
  }
}
