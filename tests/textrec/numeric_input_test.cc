#include "textrec/numeric_input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "platform/fp_env.h"
#include "textrec/real_scan.h"
#include "textrec_helpers.h"

namespace cdbbem {
namespace {

using testing::bits;

TEST(numeric_input_test, integer_fields) {
  struct row {
    const char* field;
    bool ok;
    std::int32_t value;
  };
  const row rows[] = {
      {"", true, 0},
      {"         ", true, 0},
      {"   -   ", true, 0},
      {"+", true, 0},
      {"       17", true, 17},
      {"  1 2 ", true, 12},
      {"12   ", true, 12},
      {"- 5", true, -5},
      {"+000000000012", true, 12},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, -2147483647 - 1},
      {"2147483648", false, 0},
      {"-2147483649", false, 0},
      {"99999999999999999999", false, 0},
      {"1.5", false, 0},
      {"1a", false, 0},
      {"\t5", false, 0},
      {"+-1", false, 0},
      {"1 -2", false, 0},
      {"1e3", false, 0},
  };
  for (const row& r : rows) {
    std::int32_t value = -99;
    EXPECT_EQ(parse_int_field(r.field, value), r.ok) << '"' << r.field << '"';
    if (r.ok) {
      EXPECT_EQ(value, r.value) << '"' << r.field << '"';
    }
  }
}

// Random fields of every width read as their text says with the blanks
// taken out: nothing, a lone sign (0), or a signed number within 32 bits.
TEST(numeric_input_test, integer_fields_against_their_text_without_blanks) {
  std::mt19937_64 random(20261209);
  const std::string alphabet = "          0123456789012345678-+x\t.";
  for (int round = 0; round < 400000; ++round) {
    const auto width = static_cast<std::size_t>(random() % 17);
    const auto blanks = static_cast<std::size_t>(random() % (width + 1));
    std::string field(blanks, ' ');
    while (field.size() < width) {
      // Mostly digits after the blanks, sometimes a sign first or any character.
      const std::uint64_t pick = random() % 16;
      field += pick < 12   ? static_cast<char>('0' + random() % 10)
               : pick < 14 ? "-+"[random() % 2]
                           : alphabet[random() % alphabet.size()];
    }
    std::string text;
    for (char c : field) {
      if (c != ' ') {
        text += c;
      }
    }
    std::int64_t expected = 0;
    bool ok = true;
    if (text != "" && text != "-" && text != "+") {
      const char* first = text.data() + (text[0] == '+' ? 1 : 0);
      const auto [end, error] = std::from_chars(first, text.data() + text.size(), expected);
      ok = error == std::errc() && end == text.data() + text.size() &&
           (first == text.data() || text[1] != '-') && expected >= INT32_MIN &&
           expected <= INT32_MAX;
    }
    std::int32_t value = -99;
    ASSERT_EQ(parse_int_field(field, value), ok) << '"' << field << '"';
    if (ok) {
      ASSERT_EQ(value, expected) << '"' << field << '"';
    }
  }
}

// A record of fields of one width reads as its fields one by one: those
// that start within it, at most the count asked for, the last perhaps cut
// short; -1 as soon as one does not read.
TEST(numeric_input_test, records_of_integer_fields_of_one_width) {
  std::int32_t values[8] = {};
  EXPECT_EQ(parse_int_fields("       1     -22    3", 8, 8, values), 3);
  EXPECT_EQ(values[0], 1);
  EXPECT_EQ(values[1], -22);
  EXPECT_EQ(values[2], 3);
  EXPECT_EQ(parse_int_fields("       1     -22    3", 8, 2, values), 2);
  EXPECT_EQ(parse_int_fields("       1     2.2", 8, 8, values), -1);
  EXPECT_EQ(parse_int_fields("", 9, 8, values), 0);

  std::mt19937_64 random(20261210);
  const std::string alphabet = "      0123456789-+.x";
  for (int round = 0; round < 20000; ++round) {
    // Every fourth record of widths 8 to 10 and unsigned numbers only, as
    // element records mostly are, which are read as a whole.
    const bool unsigned_only = round % 4 == 0;
    const int width =
        unsigned_only ? 8 + static_cast<int>(random() % 3) : 1 + static_cast<int>(random() % 16);
    std::string record(random() % (21 * static_cast<std::size_t>(width) + 4), ' ');
    for (char& c : record) {
      c = random() % 4 == 0 ? alphabet[random() % alphabet.size()] : ' ';
    }
    for (std::size_t at = 0; at < record.size(); ++at) {
      if (random() % 3 == 0) {
        record[at] = static_cast<char>('0' + random() % 10);
      }
    }
    if (round % 2 == 0) {
      // Numbers as a writer puts them, right in their fields, near the
      // limits of 32 bits as often as not.
      static const char* const near_limits[] = {"2147483647",  "2147483648", "-2147483648",
                                                "-2147483649", "9999999999", "0000000012"};
      for (std::size_t at = 0; at + static_cast<std::size_t>(width) <= record.size();
           at += static_cast<std::size_t>(width)) {
        std::string number =
            random() % 2 == 0
                ? near_limits[random() % 6]
                : std::to_string(static_cast<std::int64_t>(random() % 2000000000) - 1000000000);
        if (unsigned_only && (number[0] == '-' || random() % 64 != 0)) {
          number = random() % 8 == 0 ? near_limits[random() % 2] : std::to_string(random() % 3000);
        }
        number = number.substr(0, 1 + random() % static_cast<std::size_t>(width));
        std::fill_n(record.begin() + static_cast<std::ptrdiff_t>(at), width, ' ');
        std::copy(number.begin(), number.end(),
                  record.begin() + static_cast<std::ptrdiff_t>(at) + width -
                      static_cast<std::ptrdiff_t>(number.size()));
      }
    }
    if (unsigned_only && !record.empty() && random() % 2 == 0) {
      // One character out of place: a blank inside a number, a sign, ...
      record[random() % record.size()] = alphabet[random() % alphabet.size()];
    }
    const int count = static_cast<int>(random() % 9) + (round % 2 == 0 ? 12 : 0);
    int expected = 0;
    std::int32_t want[24] = {};
    for (auto at = std::size_t{0}; expected < count && at < record.size();
         at += static_cast<std::size_t>(width)) {
      if (!parse_int_field(std::string_view(record).substr(at, static_cast<std::size_t>(width)),
                           want[expected])) {
        expected = -1;
        break;
      }
      ++expected;
    }
    std::int32_t got[24] = {};
    ASSERT_EQ(parse_int_fields(record, width, count, got), expected) << '"' << record << '"';
    for (int k = 0; k < expected; ++k) {
      ASSERT_EQ(got[k], want[k]) << '"' << record << "\" field " << k;
    }
  }
}

// A digit string of 55 digits past the point whose value lies exactly
// halfway between 1 and the next double.
constexpr const char* halfway_after_one = "1.00000000000000011102230246251565404236316680908203125";

TEST(numeric_input_test, real_fields) {
  using s = real_syntax;
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  constexpr double inf = std::numeric_limits<double>::infinity();
  struct row {
    std::string text;
    s syntax;
    int implied;
    bool ok;
    double value;
  };
  const row rows[] = {
      {"1", s::fixed_field, 9, true, 0x1.12e0be826d695p-30},      // 1.0e-9
      {"12345", s::fixed_field, 9, true, 0x1.9e3abe16fc70dp-17},  // 0.000012345
      {"1.", s::fixed_field, 9, true, 1.0},
      {"1.0E+000", s::fixed_field, 9, true, 1.0},
      {"  1.5-3", s::fixed_field, 13, true, 0x1.89374bc6a7efap-10},  // 1.5e-3
      {"1.5+3", s::fixed_field, 0, true, 1500.0},
      {" 1 . 2 5 E + 0 1 ", s::fixed_field, 13, true, 12.5},
      {"1.0E+0 5", s::fixed_field, 0, true, 1.0e5},
      {"1E5", s::fixed_field, 9, true, 0x1.a36e2eb1c432dp-14},  // 1.0e-4: digits still implied
      {"", s::fixed_field, 13, true, 0.0},
      {"      ", s::fixed_field, 13, true, 0.0},
      {"-0.0", s::fixed_field, 13, true, -0.0},
      {".5", s::fixed_field, 13, true, 0.5},
      {"-1.0D-05", s::fixed_field, 13, true, -0x1.4f8b588e368f1p-17},
      {"1.0d2", s::fixed_field, 13, true, 100.0},
      {"1e400", s::fixed_field, 0, true, inf},
      {"-1e-400", s::fixed_field, 0, true, -0.0},
      {"4.9406564584124654e-324", s::fixed_field, 0, true, 0x1p-1074},
      {"2.4703282292062328e-324", s::fixed_field, 0, true, 0x1p-1074},
      {"2.4703282292062327e-324", s::fixed_field, 0, true, 0.0},
      {"2.2250738585072011e-308", s::fixed_field, 0, true, 0x0.fffffffffffffp-1022},
      {halfway_after_one, s::fixed_field, 0, true, 1.0},
      {halfway_after_one + std::string(800, '0') + "1", s::fixed_field, 0, true,
       0x1.0000000000001p+0},
      {"Inf", s::fixed_field, 13, true, inf},
      {"-infinity", s::fixed_field, 13, true, -inf},
      {"  +INF ", s::fixed_field, 13, true, inf},
      {"NaN", s::fixed_field, 13, true, nan},
      {"nAn", s::fixed_field, 13, true, nan},
      {"1.0Q5", s::fixed_field, 0, false, 0},
      {"nan(1)", s::fixed_field, 0, false, 0},
      {"infinit", s::fixed_field, 0, false, 0},
      {"1.2.3", s::fixed_field, 0, false, 0},
      {"1.0E", s::fixed_field, 0, false, 0},
      {"1.0E+", s::fixed_field, 0, false, 0},
      {"E5", s::fixed_field, 0, false, 0},
      {".", s::fixed_field, 0, false, 0},
      {"--1", s::fixed_field, 0, false, 0},
      {"1.0E5.0", s::fixed_field, 0, false, 0},
      {"1,5", s::fixed_field, 0, false, 0},
      {"0x10", s::fixed_field, 0, false, 0},
      {"  0.12500000E+01", s::text_field, 0, true, 1.25},
      {"5", s::text_field, 0, true, 5.0},
      {" 1 5  ", s::text_field, 0, true, 105.0},
      {"1.5 E+01", s::text_field, 0, true, 15.0},
      {"1.5x", s::text_field, 0, false, 0},
      {"0.300000000-307", s::free_form, 0, true, 0x1.59283684dba77p-1022},  // 3.0e-308
      {"1.0Q2", s::free_form, 0, true, 100.0},
      {"3D0", s::free_form, 0, true, 3.0},
      {"1 5", s::free_form, 0, false, 0},
  };
  testing::flush_scope flushed;
  for (const row& r : rows) {
    double value = -99.0;
    EXPECT_EQ(parse_real(r.text, r.syntax, r.implied, value), r.ok) << '"' << r.text << '"';
    if (r.ok && std::isnan(r.value)) {
      EXPECT_TRUE(std::isnan(value)) << r.text;
    } else if (r.ok) {
      EXPECT_EQ(bits(value), bits(r.value))
          << '"' << r.text << "\" gave " << std::hexfloat << value;
    }
  }
}

// A random decimal number written as a field of the given syntax, and the
// same number as canonical text for strtod.
struct decimal_text {
  std::string field;
  std::string canonical;
  int implied = 0;
};

decimal_text random_decimal(std::mt19937_64& rng, real_syntax syntax) {
  auto pick = [&rng](int lo, int hi) {
    return lo + static_cast<int>(rng() % static_cast<std::uint64_t>(hi - lo + 1));
  };
  // The digits of a random double or of a point close to halfway between
  // two doubles, at a random precision.
  char printed[128];
  {
    exact_denormals_scope exact;
    double v = std::fabs(testing::random_double(rng));
    if (pick(0, 2) == 0) {
      long double next = std::nextafter(v, HUGE_VAL);
      std::snprintf(printed, sizeof printed, "%.*Le", pick(16, 40),
                    (static_cast<long double>(v) + next) / 2);
    } else {
      std::snprintf(printed, sizeof printed, "%.*e", pick(0, 20), v);
    }
  }
  std::string text = printed;
  std::size_t e_at = text.find('e');
  std::string digits = text.substr(0, 1) + (e_at > 1 ? text.substr(2, e_at - 2) : "");
  // value = digits x 10^scale
  int scale = std::stoi(text.substr(e_at + 1)) - static_cast<int>(digits.size() - 1);

  decimal_text out;
  bool negative = pick(0, 1) == 1;
  out.canonical = (negative ? "-" : "") + digits + "e" + std::to_string(scale);
  std::string field = negative ? "-" : (pick(0, 3) == 0 ? "+" : "");
  int written_exponent;
  if (pick(0, 2) == 0) {
    out.implied = syntax == real_syntax::free_form ? 0 : pick(0, 1) * 13;
    field += digits;
    written_exponent = scale + out.implied;
  } else {
    auto point = static_cast<std::size_t>(pick(0, static_cast<int>(digits.size())));
    field += digits.substr(0, point) + "." + digits.substr(point);
    written_exponent = scale + static_cast<int>(digits.size() - point);
  }
  std::string letters = syntax == real_syntax::free_form ? "EeDdQq" : "EeDd";
  std::string magnitude = std::to_string(std::abs(written_exponent));
  if (pick(0, 3) == 0) {
    magnitude = "0" + magnitude;
  }
  const char* sign = written_exponent < 0 ? "-" : "+";
  switch (written_exponent == 0 ? pick(0, 2) : pick(0, 1)) {
  case 0:
    field += letters[static_cast<std::size_t>(pick(0, static_cast<int>(letters.size()) - 1))];
    field += (written_exponent < 0 || pick(0, 1) == 0 ? sign : "") + magnitude;
    break;
  case 1:
    field += sign + magnitude;
    break;
  default:
    break;  // no exponent
  }
  if (syntax == real_syntax::fixed_field) {
    for (int k = pick(0, 3); k > 0; --k) {
      field.insert(static_cast<std::size_t>(pick(0, static_cast<int>(field.size()))), 1, ' ');
    }
  }
  if (syntax != real_syntax::free_form) {
    field = std::string(static_cast<std::size_t>(pick(0, 3)), ' ') + field +
            std::string(static_cast<std::size_t>(pick(0, 3)), ' ');
  }
  out.field = field;
  return out;
}

// Every syntax gives the nearest double for decimals of every magnitude,
// with denormals flushed as during a run.
TEST(numeric_input_test, reals_match_strtod) {
  testing::flush_scope flushed;
  std::mt19937_64 rng(7);
  int mismatches = 0;
  for (int n = 0; n < 300'000; ++n) {
    auto syntax = static_cast<real_syntax>(n % 3);
    decimal_text t = random_decimal(rng, syntax);
    double want;
    {
      exact_denormals_scope exact;
      want = std::strtod(t.canonical.c_str(), nullptr);
    }
    double got = -99.0;
    bool ok = parse_real(t.field, syntax, t.implied, got);
    if ((!ok || bits(got) != bits(want)) && ++mismatches <= 10) {
      ADD_FAILURE() << '"' << t.field << "\" (d=" << t.implied << ", syntax " << n % 3 << ") gave "
                    << std::hexfloat << got << ", " << t.canonical << " is " << want;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// The E fields an archive mostly holds ("-1.2345678901234E-005", of any
// decimals and two or three exponent digits), as written and with one
// character changed, read as the general scan reads them.
TEST(numeric_input_test, e_fields_as_the_general_scan_reads_them) {
  testing::flush_scope flushed;
  std::mt19937_64 rng(11);
  const std::string changes = " -+.eED09x";
  int mismatches = 0;
  int read = 0;
  for (int n = 0; n < 200'000; ++n) {
    const int fraction = 1 + static_cast<int>(rng() % 15);
    const int width = fraction + 8 + static_cast<int>(rng() % 4);
    const int exponent_digits = 2 + static_cast<int>(rng() % 2);
    const double v = rng() % 16 == 0 ? 0.0 : testing::random_double(rng);
    char printed[96];
    std::snprintf(printed, sizeof printed, "%*.*E", width, fraction, v);
    std::string field = printed;
    const std::size_t e_at = field.find('E');
    if (e_at == std::string::npos) {
      continue;  // infinity or NaN
    }
    while (field.size() - e_at - 2 > static_cast<std::size_t>(exponent_digits) &&
           field[e_at + 2] == '0') {
      field.erase(e_at + 2, 1);
      field.insert(0, 1, ' ');
    }
    if (rng() % 3 == 0) {
      field[rng() % field.size()] = changes[rng() % changes.size()];
    }
    const scanned_real scan = scan_real<real_syntax::fixed_field>(field, fraction);
    if (scan.shape != real_shape::number && scan.shape != real_shape::invalid) {
      continue;
    }
    double got = -99.0;
    const bool ok = parse_real(field, real_syntax::fixed_field, fraction, got);
    const bool want_ok = scan.shape == real_shape::number;
    const double want = want_ok ? real_value(scan, real_syntax::fixed_field) : -99.0;
    read += ok ? 1 : 0;
    if ((ok != want_ok || (ok && bits(got) != bits(want))) && ++mismatches <= 10) {
      ADD_FAILURE() << '"' << field << "\" (d=" << fraction << ") gave " << ok << ' '
                    << std::hexfloat << got << ", the scan " << want_ok << ' ' << want;
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(read, 100'000);
}

// Node coordinates as a writer puts them, E21.13 with three exponent
// digits or E20.13 with two, one to three side by side, as written and
// with one character changed: read together they give what each gives
// read alone, or are left to that reading.
TEST(numeric_input_test, e_fields_side_by_side_read_as_each_alone) {
  testing::flush_scope flushed;
  std::mt19937_64 rng(13);
  const std::string changes = " -+.eED09x";
  int intact = 0;
  for (int n = 0; n < 100'000; ++n) {
    const bool three_digits = n % 2 == 0;
    const int width = three_digits ? 21 : 20;
    const int count = 1 + static_cast<int>(rng() % 3);
    std::string fields;
    for (int f = 0; f < count; ++f) {
      const double v = rng() % 8 == 0 ? 0.0
                                      : static_cast<double>(static_cast<std::int64_t>(rng() >> 11) -
                                                            (std::int64_t{1} << 52)) *
                                            std::pow(10.0, static_cast<int>(rng() % 60) - 40);
      char printed[64];
      std::snprintf(printed, sizeof printed, "%.13E", v);
      std::string field = printed;
      const std::size_t e_at = field.find('E');
      if (three_digits && field.size() - e_at == 4) {
        field.insert(e_at + 2, 1, '0');
      }
      fields += std::string(static_cast<std::size_t>(width) - field.size(), ' ') + field;
    }
    const bool changed = rng() % 3 == 0;
    if (changed) {
      fields[rng() % fields.size()] = changes[rng() % changes.size()];
    }
    const e_fields_reader reader(width, 13, count);
    double got[3] = {-99.0, -99.0, -99.0};
    if (!reader.read(fields, got)) {
      continue;
    }
    for (int f = 0; f < count; ++f) {
      double want = -99.0;
      const std::string_view field = std::string_view(fields).substr(
          static_cast<std::size_t>(f * width), static_cast<std::size_t>(width));
      ASSERT_TRUE(parse_real(field, real_syntax::fixed_field, 13, want)) << '"' << field << '"';
      ASSERT_EQ(bits(got[f]), bits(want)) << '"' << field << '"';
    }
    intact += changed ? 0 : 1;
  }
  if (e_fields_reader(21, 13, 3).usable()) {
    EXPECT_GT(intact, 10'000);
  }
}

}  // namespace
}  // namespace cdbbem
