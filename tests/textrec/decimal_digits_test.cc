#include "textrec/decimal_digits.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/fp_env.h"
#include "textrec/number_output.h"
#include "textrec_helpers.h"

namespace cdbbem {
namespace {

// The digits and exponent of 0.d1..dn x 10^e as one text, "4882812e-3".
std::string digits_of(double v, int digits) {
  char out[32] = {};
  int e = significant_digits(v, digits, out);
  return std::string(out, static_cast<std::size_t>(digits)) + "e" + std::to_string(e);
}

// The same from the C library's exact conversion, which rounds ties to even.
std::string reference_digits(double v, int digits) {
  char buf[64];
  {
    exact_denormals_scope exact;
    std::snprintf(buf, sizeof buf, "%.*e", digits - 1, v);
  }
  std::string text(1, buf[0]);
  if (digits > 1) {
    text.append(buf + 2, static_cast<std::size_t>(digits - 1));
  }
  return text + "e" + std::to_string(std::atoi(std::strchr(buf, 'e') + 1) + 1);
}

// How many random values the sweep checks: CDBBEM_DIGITS_CHECKS when set
// (for long runs), otherwise a number that keeps the suite quick.
long sweep_count() {
  const char* env = std::getenv("CDBBEM_DIGITS_CHECKS");
  return env != nullptr ? std::atol(env) : 200'000;
}

TEST(decimal_digits_test, exact_cases) {
  testing::flush_scope flushed;
  struct row {
    double value;
    int digits;
    const char* text;
  };
  static const row rows[] = {
      {0x1p-11, 7, "4882812e-3"},        // 0.00048828125: tie, even kept
      {0x1.2d6878p+20, 7, "1234568e7"},  // 1234567.5: tie, rounds up to even
      {0x1.2d6888p+20, 7, "1234568e7"},  // 1234568.5: tie, even kept
      {0x1.ffffffp-1, 7, "1000000e1"},   // 0.99999997: carry into the exponent
      {0x1.fffffffffffffp-1, 15, "100000000000000e1"},
      {0x1.999999999999ap-4, 15, "100000000000000e0"},  // 0.1
      {0x1.999999999999ap-4, 17, "10000000000000001e0"},
      {0x1.0000000000001p+0, 17, "10000000000000002e1"},
      {1e15, 15, "100000000000000e16"},  // beyond the integer range
      {0x1p-1074, 9, "494065646e-323"},  // smallest subnormal
      {0x1.fffffffffffffp+1023, 15, "179769313486232e309"},
      {-0x1.8p+0, 1, "2e1"},  // sign ignored; 1.5 tie to even
  };
  for (const row& r : rows) {
    EXPECT_EQ(digits_of(std::fabs(r.value), r.digits), r.text) << std::hexfloat << r.value;
  }
}

// Dyadic values a / 2^j with few significant bits are exact decimals that
// often end in a 5 just past the last kept digit: every rounding tie the
// integer path can meet, with its neighbouring doubles.
TEST(decimal_digits_test, ties_and_neighbours_match_reference) {
  testing::flush_scope flushed;
  std::mt19937_64 rng(61);
  int mismatches = 0;
  for (int j = 1; j <= 80; ++j) {
    for (int width = 1; width <= 40; ++width) {
      std::uint64_t a = (rng() >> (64 - width)) | 1 | (std::uint64_t{1} << (width - 1));
      double tie = std::ldexp(static_cast<double>(a), -j);
      for (double v : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, HUGE_VAL)}) {
        for (int digits : {7, 9, 15, 17}) {
          std::string got = digits_of(v, digits);
          std::string want = reference_digits(v, digits);
          if (got != want && ++mismatches <= 10) {
            ADD_FAILURE() << std::hexfloat << v << " d=" << digits << ": " << got << " not "
                          << want;
          }
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// Random doubles, most of them in the range where the digits come from
// integer arithmetic, the rest of any magnitude.
TEST(decimal_digits_test, random_values_match_reference) {
  testing::flush_scope flushed;
  std::mt19937_64 rng(1061);
  std::uniform_int_distribution<int> binary_exponent(-60, 60);
  int mismatches = 0;
  for (long n = sweep_count(); n > 0; --n) {
    double v = n % 4 == 0 ? std::fabs(testing::random_double(rng))
                          : std::ldexp(static_cast<double>(rng() >> 11) + 0x1p53,
                                       binary_exponent(rng) - 53);
    if (v == 0.0) {
      continue;
    }
    int digits = static_cast<int>(rng() % 17) + 1;
    std::string got = digits_of(v, digits);
    std::string want = reference_digits(v, digits);
    if (got != want && ++mismatches <= 10) {
      ADD_FAILURE() << std::hexfloat << v << " d=" << digits << ": " << got << " not " << want;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// Digit words against plain division: every value next to a power of ten
// and a spread of others.
TEST(decimal_digits_test, eight_digit_words) {
  auto plain = [](std::uint32_t n) {
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, n /= 10) {
      text[static_cast<std::size_t>(i)] = static_cast<char>('0' + n % 10);
    }
    return text;
  };
  std::mt19937 rng(8);
  for (int k = 0; k < 400'000; ++k) {
    std::uint32_t power = 1;
    for (int z = k % 9; z > 0; --z) {
      power *= 10;
    }
    auto offset = static_cast<std::uint32_t>(k / 9 % 3);  // power - 1, power, power + 1
    std::uint32_t n = k % 2 == 0 ? static_cast<std::uint32_t>(rng() % 100'000'000)
                                 : (power + offset + 99'999'999) % 100'000'000;
    char out[8];
    store_word(eight_digits(n), out);
    ASSERT_EQ(std::string(out, 8), plain(n)) << n;
  }
}

// Integer fields against the C library for every width and digit count.
TEST(number_output_test, integers_match_printf) {
  std::mt19937 rng(9);
  std::vector<std::int32_t> values = {0, -1, 2147483647, -2147483647 - 1};
  for (std::int64_t p = 1; p <= 1'000'000'000; p *= 10) {
    for (std::int64_t v : {p - 1, p, p + 1, -p + 1, -p, -p - 1}) {
      values.push_back(static_cast<std::int32_t>(v));
    }
  }
  for (int k = 0; k < 40'000; ++k) {
    values.push_back(static_cast<std::int32_t>(rng() >> (rng() % 32)));
  }
  for (std::int32_t v : values) {
    for (int width = 1; width <= 15; ++width) {
      char want[32];
      int len = std::snprintf(want, sizeof want, "%*d", width, v);
      char got[16];
      bool fits = format_integer(got, width, v);
      auto w = static_cast<std::size_t>(width);
      std::string expected = len <= width ? std::string(want) : std::string(w, '*');
      ASSERT_EQ(std::string(got, w), expected) << v << " I" << width;
      ASSERT_EQ(fits, len <= width) << v << " I" << width;
    }
  }
}

}  // namespace
}  // namespace cdbbem
