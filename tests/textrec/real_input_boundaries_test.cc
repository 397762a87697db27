#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/fp_env.h"
#include "textrec/numeric_input.h"
#include "textrec_helpers.h"

namespace cdbbem {
namespace {

// Fields on either side of the limits of the one-pass reading (19
// significant digits, a significand of 2^53, powers of ten up to 10^22,
// four exponent digits), each against the nearest double of its plain
// decimal form.
TEST(numeric_input_test, reals_around_the_quick_reading_limits) {
  testing::flush_scope flushed;
  struct row {
    const char* field;
    real_syntax syntax;
    int implied;
    const char* decimal;
  };
  constexpr auto fixed = real_syntax::fixed_field;
  constexpr auto free = real_syntax::free_form;
  static const row rows[] = {
      {"9007199254740992", fixed, 0, "9007199254740992"},
      {"9007199254740993", fixed, 0, "9007199254740993"},
      {"9007199254740993E-5", fixed, 0, "9007199254740993e-5"},
      {"9007199254740995E+3", fixed, 0, "9007199254740995e3"},
      {"1234567890123456789", fixed, 0, "1234567890123456789"},
      {"12345678901234567891", fixed, 0, "12345678901234567891"},
      {".1234567890123456789E-3", fixed, 0, "1234567890123456789e-22"},
      {"0.00000000000000000000012345", free, 0, "12345e-26"},
      {"1E-22", free, 0, "1e-22"},
      {"1E-23", free, 0, "1e-23"},
      {"3E22", free, 0, "3e22"},
      {"3E23", free, 0, "3e23"},
      {"1.7976931348623157E+308", free, 0, "1.7976931348623157e308"},
      {"4.9406564584124654E-324", free, 0, "4.9406564584124654e-324"},
      {"2.5E00001", fixed, 0, "25"},
      {"2.5E+0001", fixed, 0, "25"},
      {"  - 1 . 2 5 E - 0 0 3 ", fixed, 0, "-1.25e-3"},
      {"-9.5215609200000E-001", fixed, 0, "-0.952156092"},
      {"1.23456789012345678", fixed, 0, "1.23456789012345678"},
      {"9.99999999999999999", fixed, 0, "9.99999999999999999"},
      {"1.2345678 90123 4", fixed, 0, "1.2345678901234"},
      {"0.00000000123456789123", free, 0, "1.23456789123e-9"},
      {"1234567812345678.5", free, 0, "1234567812345678.5"},
      {"12345", fixed, 2, "123.45"},
      {"123.45", fixed, 7, "123.45"},
      {"0.300000000-307", free, 0, "3e-308"},
      {"0.0E+000", fixed, 0, "0"},
      {"1.5Q2", free, 0, "150"},
  };
  for (const row& r : rows) {
    double want;
    {
      exact_denormals_scope exact;
      want = std::strtod(r.decimal, nullptr);
    }
    double got = -99.0;
    EXPECT_TRUE(parse_real(r.field, r.syntax, r.implied, got)) << r.field;
    EXPECT_EQ(testing::bits(got), testing::bits(want))
        << '"' << r.field << "\" gave " << std::hexfloat << got << ", expected " << want;
  }
  double zero = 1.0;
  EXPECT_TRUE(parse_real("-0.0", fixed, 0, zero));
  EXPECT_EQ(testing::bits(zero), testing::bits(-0.0));
}

// Texts that stop partway through the usual shape are still refused.
TEST(numeric_input_test, malformed_reals_are_refused) {
  static const char* const fixed_fields[] = {"1.5E", "1.5E+",           "1..5",  "1.5-", "1.5E1.",
                                             "1.5x", "1.5E 1 2 3 4 5x", "1.5Q2", "--1",  "."};
  for (const char* field : fixed_fields) {
    double v = 0.0;
    EXPECT_FALSE(parse_real(field, real_syntax::fixed_field, 0, v)) << field;
  }
  static const char* const free_values[] = {" 1.5", "1 .5", "1.5E+0000 1"};
  for (const char* value : free_values) {
    double v = 0.0;
    EXPECT_FALSE(parse_real(value, real_syntax::free_form, 0, v)) << value;
  }
}

}  // namespace
}  // namespace cdbbem
