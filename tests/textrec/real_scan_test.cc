#include "textrec/real_scan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

namespace cdbbem {
namespace {

TEST(real_scan_test, parts_of_numbers) {
  using s = real_syntax;
  using k = real_shape;
  struct row {
    std::string_view text;
    s syntax;
    int implied;
    k shape;
    bool negative;
    std::uint64_t mantissa;
    std::int64_t count;
    std::int64_t scale;
    std::int64_t exponent;
  };
  const row rows[] = {
      {"  -1.2345678901234E+02", s::fixed_field, 13, k::number, true, 12345678901234, 14, -13, 2},
      {"12345", s::fixed_field, 3, k::number, false, 12345, 5, -3, 0},
      {" 1 . 2 5 E + 0 1 ", s::fixed_field, 13, k::number, false, 125, 3, -2, 1},
      {"0.00120", s::free_form, 0, k::number, false, 120, 3, -5, 0},
      {"1.5-3", s::free_form, 0, k::number, false, 15, 2, -1, -3},
      {"1.0Q5", s::free_form, 0, k::number, false, 10, 2, -1, 5},
      {" 1 5 ", s::text_field, 0, k::number, false, 105, 3, 0, 0},
      {"1.5 E+01", s::text_field, 0, k::number, false, 150, 3, -2, 1},
      {"12345678901234567890123", s::free_form, 0, k::number, false, 1234567890123456789, 23, 0, 0},
      {"1e99999999", s::free_form, 0, k::number, false, 1, 1, 0, exponent_bound},
      {"-0e-99999999", s::free_form, 0, k::number, true, 0, 0, 0, -exponent_bound},
      {"   ", s::fixed_field, 0, k::empty, false, 0, 0, 0, 0},
      {" - ", s::fixed_field, 0, k::lone_sign, true, 0, 0, 0, 0},
      {" - I n F ", s::fixed_field, 0, k::infinity, true, 0, 0, 0, 0},
      {"nAn", s::free_form, 0, k::nan, false, 0, 0, 0, 0},
      {"1.0Q5", s::fixed_field, 0, k::invalid, false, 0, 0, 0, 0},
      {"1 5", s::free_form, 0, k::invalid, false, 0, 0, 0, 0},
      {"1.2.3", s::fixed_field, 0, k::invalid, false, 0, 0, 0, 0},
      {"1.0E+", s::fixed_field, 0, k::invalid, false, 0, 0, 0, 0},
      {"In f", s::text_field, 0, k::invalid, false, 0, 0, 0, 0},
  };
  for (const row& r : rows) {
    scanned_real got = scan_real(r.text, r.syntax, r.implied);
    EXPECT_EQ(got.shape, r.shape) << '"' << r.text << '"';
    EXPECT_EQ(got.negative, r.negative) << '"' << r.text << '"';
    if (r.shape == k::number) {
      EXPECT_EQ(got.mantissa, r.mantissa) << '"' << r.text << '"';
      EXPECT_EQ(got.count, r.count) << '"' << r.text << '"';
      EXPECT_EQ(got.scale, r.scale) << '"' << r.text << '"';
      EXPECT_EQ(got.exponent, r.exponent) << '"' << r.text << '"';
    }
  }
}

}  // namespace
}  // namespace cdbbem
