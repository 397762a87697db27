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

#include "textrec/fp_env.h"
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
      {0x1p-11, 7, "4882812e-3"},                  // 0.00048828125: tie, even kept
      {0x1.2d6878p+20, 7, "1234568e7"},            // 1234567.5: tie, rounds up to even
      {0x1.2d6888p+20, 7, "1234568e7"},            // 1234568.5: tie, even kept
      {0x1.ffffffp-1, 7, "1000000e1"},             // 0.99999997: carry into the exponent
      {0x1.fffffffffffffp-1, 15, "100000000000000e1"},
      {0x1.999999999999ap-4, 15, "100000000000000e0"},  // 0.1
      {0x1.999999999999ap-4, 17, "10000000000000001e0"},
      {0x1.0000000000001p+0, 17, "10000000000000002e1"},
      {1e15, 15, "100000000000000e16"},            // beyond the integer range
      {0x1p-1074, 9, "494065646e-323"},            // smallest subnormal
      {0x1.fffffffffffffp+1023, 15, "179769313486232e309"},
      {-0x1.8p+0, 1, "2e1"},                       // sign ignored; 1.5 tie to even
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
      ADD_FAILURE() << std::hexfloat << v << " d=" << digits << ": " << got << " not "
                    << want;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace cdbbem
