// Fixed-column reading and the text-to-number conversions on arbitrary
// bytes.  The first byte picks one of the archive's record formats; the rest
// is the archive, read with that format record after record to its end.
// Conversions are checked against the C library where both must agree.

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "archive/archive_formats.h"
#include "run/channels.h"
#include "textrec/failure.h"
#include "textrec/fixed_read.h"
#include "textrec/number_output.h"
#include "textrec/numeric_input.h"
#include "textrec/record_reader.h"
#include "textrec/text.h"

namespace {

using namespace cdbbem;

void expect(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void expect_report(const run_failure& f, report a, report b = report::end_of_file) {
  expect(f.number == a || f.number == b);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A plain decimal number: sign, digits with at most one point, "e" exponent.
bool plain_decimal(std::string_view t) {
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    ++i;
  }
  std::size_t digits = 0;
  bool point = false;
  for (; i < t.size() && (is_digit(t[i]) || (t[i] == '.' && !point)); ++i) {
    point = point || t[i] == '.';
    digits += is_digit(t[i]) ? 1 : 0;
  }
  if (digits == 0) {
    return false;
  }
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
      ++i;
    }
    std::size_t exp_digits = 0;
    for (; i < t.size() && is_digit(t[i]); ++i) {
      ++exp_digits;
    }
    if (exp_digits == 0) {
      return false;
    }
  }
  return i == t.size();
}

// A plain integer of at most 18 digits, which strtoll reads exactly.
bool plain_integer(std::string_view t) {
  std::size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
  return t.size() > i && t.size() - i <= 18 &&
         t.find_first_not_of("0123456789", i) == std::string_view::npos;
}

void check_conversions(std::string_view text) {
  if (text.size() > 400) {
    return;
  }
  std::string s(text);
  double value = 0.0;
  bool ok = parse_real(text, real_syntax::free_form, 0, value);
  if (plain_decimal(text)) {
    double expected = std::strtod(s.c_str(), nullptr);
    expect(ok && std::memcmp(&value, &expected, sizeof value) == 0);
    double fixed = 0.0;
    expect(parse_real(text, real_syntax::fixed_field, 0, fixed) &&
           std::memcmp(&fixed, &expected, sizeof fixed) == 0);
  }
  for (real_syntax syntax : {real_syntax::fixed_field, real_syntax::text_field}) {
    (void)parse_real(text, syntax, 9, value);
  }

  std::int32_t number = 0;
  ok = parse_int_field(text, number);
  if (plain_integer(text)) {
    long long expected = std::strtoll(s.c_str(), nullptr, 10);
    bool fits = expected >= INT32_MIN && expected <= INT32_MAX;
    expect(ok == fits && (!fits || number == expected));
  }
  if (ok) {
    // Written back as an I11 field, the number reads the same.
    char field[11];
    expect(format_integer(field, 11, number));
    std::int32_t again = 0;
    expect(parse_int_field(std::string_view(field, 11), again) && again == number);
  }
  (void)parse_plain_int(text, number);

  try {
    (void)text_to_int(text.data(), text.size());
  } catch (const run_failure& f) {
    expect_report(f, report::invalid_integer, report::invalid_integer);
  }
  try {
    (void)text_to_double(text.data(), text.size());
  } catch (const run_failure& f) {
    expect_report(f, report::invalid_real, report::invalid_real);
  }
}

constexpr std::size_t line_length = 80;

// One read statement of the archive's readers with format number `pick`.
void read_one(record_reader& in, unsigned pick) {
  static constexpr record_format node_formats[] = {
      formats::node_record_3i8_3e16, formats::node_record_3i8_3e20, formats::node_record_3i9_3e20,
      formats::node_record_3i9_3e21};
  static constexpr record_format scans[] = {formats::a5,  formats::a6,  formats::a7,
                                            formats::a13, formats::a18, formats::a19};
  char line[line_length];
  char a[8];
  char b[8];
  char c[16];
  std::int32_t n[3] = {};
  double x[3] = {};
  switch (pick % 12) {
  case 0:
  case 1:
  case 2:
  case 3:
    read_formatted(in, node_formats[pick % 12],
                   {into(n[0]), into(n[1]), into(n[2]), into(x[0]), into(x[1]), into(x[2])});
    break;
  case 4:
    // More items than the format holds: the format starts again on a new record.
    read_formatted(in, formats::count_record,
                   {into(line, line_length), into(n[0]), into(line, line_length), into(n[1])});
    break;
  case 5:
    read_formatted(in, scans[(pick / 12) % 6], {into(line, line_length)});
    break;
  case 6:
    read_formatted(in, formats::command_scan,
                   {into(line, line_length), into(a, sizeof a), into(a, sizeof a)});
    break;
  case 7:
    read_formatted(
        in, formats::potential_record,
        {into(line, line_length), into(a, sizeof a), into(b, sizeof b), into(c, sizeof c)});
    try {
      (void)text_to_int(a, sizeof a);
      (void)text_to_double(c, sizeof c);
    } catch (const run_failure& f) {
      expect_report(f, report::invalid_integer, report::invalid_real);
    }
    break;
  case 8:
  case 9:
    read_formatted(in,
                   pick % 12 == 8 ? record_format(formats::flux_header_a8)
                                  : record_format(formats::flux_header_a9),
                   {into(line, line_length), into(a, sizeof a)});
    try {
      (void)text_to_int(a, sizeof a);
    } catch (const run_failure& f) {
      expect_report(f, report::invalid_integer, report::invalid_integer);
    }
    break;
  case 10:
    read_formatted(in, formats::skip_two, {});
    break;
  default:
    read_formatted(in, formats::count_record, {into(line, line_length), into(n[0])});
    break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  check_conversions(text);
  record_reader in;
  in.open_memory(text, channels::archive);
  for (;;) {
    try {
      read_one(in, data[0]);
    } catch (const run_failure& f) {
      expect_report(f, report::input_conversion);
      if (f.number == report::end_of_file) {
        return 0;
      }
    }
  }
}
