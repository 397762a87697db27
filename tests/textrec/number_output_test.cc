#include "textrec/number_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "platform/fp_env.h"
#include "run/channels.h"
#include "textrec/fixed_write.h"
#include "textrec/record_format.h"
#include "textrec_helpers.h"
#include "writers/model_file.h"
#include "writers/plot_file.h"

namespace cdbbem {
namespace {

using testing::bits;
using testing::failure_of;
using testing::written;

constexpr double inf = std::numeric_limits<double>::infinity();

std::string exponent_field(int width, int digits, char letter, double value, bool* fits) {
  std::string field(static_cast<std::size_t>(width), '?');
  *fits = format_exponent(field.data(), width, digits, letter, value);
  return field;
}

std::string integer_field(int width, std::int32_t value, bool* fits) {
  std::string field(static_cast<std::size_t>(width), '?');
  *fits = format_integer(field.data(), width, value);
  return field;
}

TEST(number_output_test, exponent_fields) {
  struct row {
    double value;
    int width, digits;
    char letter;
    const char* field;
  };
  const row rows[] = {
      {1.0, 15, 7, 'E', "  0.1000000E+01"},
      {-1.0, 15, 7, 'E', " -0.1000000E+01"},
      {0.0, 15, 7, 'E', "  0.0000000E+00"},
      {-0.0, 15, 7, 'E', "  0.0000000E+00"},
      {0x1p-11, 15, 7, 'E', "  0.4882812E-03"},  // a tie: to the even digit
      {12345678.0, 15, 7, 'E', "  0.1234568E+08"},
      {12345675.0, 15, 7, 'E', "  0.1234568E+08"},               // a tie rounding up to even
      {-0x1.38d352e5096afp+498, 15, 7, 'E', " -0.1000000+151"},  // -1.0e150
      {0x1.fffffffffffffp-1, 15, 7, 'E', "  0.1000000E+01"},     // carry into a new digit
      {0x1.d42aea209f2f2p+328, 15, 7, 'E', "  0.1000000+100"},   // 9.99999999e98
      {0x1.17f7d317d6d28p-329, 15, 7, 'E', "  0.9999999E-99"},   // 9.999999e-100
      {0x1.a36e2eb1c432dp-14, 15, 7, 'E', "  0.1000000E-03"},    // 1.0e-4
      {0x1.fffffffffffffp+1023, 15, 7, 'E', "  0.1797693+309"},
      {0x1p-1074, 15, 7, 'E', "  0.4940656-323"},
      {0x1.edd2f1a9fbe77p+6, 24, 9, 'D', "         0.123456000D+03"},  // 123.456
      {1234567895.0, 24, 9, 'D', "         0.123456790D+10"},
      {1234567885.0, 24, 9, 'D', "         0.123456788D+10"},
      {-2.5, 24, 15, 'D', "  -0.250000000000000D+01"},
      {0x1.999999999999ap-4, 24, 15, 'D', "   0.100000000000000D+00"},    // 0.1
      {0x1.665bf1d3e6a8dp-336, 24, 15, 'D', "   0.100000000000000-100"},  // 1.0e-101
      {-0.0, 24, 15, 'D', "   0.000000000000000D+00"},
      {1000000000000005.0, 24, 15, 'D', "   0.100000000000000D+16"},
      {1000000000000015.0, 24, 15, 'D', "   0.100000000000002D+16"},
      {0x0.fffffffffffffp-1022, 24, 15, 'D', "   0.222507385850720-307"},
      {0x0.0b8157268fdafp-1022, 24, 15, 'D', "   0.100000000000000-308"},  // 1.0e-309
      {inf, 15, 7, 'E', "       Infinity"},
      {-inf, 24, 15, 'D', "               -Infinity"},
      {std::nan(""), 15, 7, 'E', "            NaN"},
      // Narrower fields than the program's: the leading 0 goes first.
      {1.0, 12, 7, 'E', ".1000000E+01"},
      {-1.0, 13, 7, 'E', "-.1000000E+01"},
      {inf, 5, 1, 'E', "  Inf"},
  };
  for (const row& r : rows) {
    bool fits = false;
    EXPECT_EQ(exponent_field(r.width, r.digits, r.letter, r.value, &fits), r.field)
        << std::hexfloat << r.value;
    EXPECT_TRUE(fits) << r.field;
  }
  const row overflows[] = {{-1.0, 12, 7, 'E', "************"}, {-inf, 3, 1, 'E', "***"}};
  for (const row& r : overflows) {
    bool fits = true;
    EXPECT_EQ(exponent_field(r.width, r.digits, r.letter, r.value, &fits), r.field);
    EXPECT_FALSE(fits);
  }
}

TEST(number_output_test, integer_fields) {
  struct row {
    std::int32_t value;
    int width;
    const char* field;
    bool fits;
  };
  const row rows[] = {
      {0, 8, "       0", true},
      {17, 8, "      17", true},
      {-1, 8, "      -1", true},
      {99999999, 8, "99999999", true},
      {-9999999, 8, "-9999999", true},
      {100000000, 8, "********", false},
      {-10000000, 8, "********", false},
      {-2147483647 - 1, 15, "    -2147483648", true},
      {2147483647, 10, "2147483647", true},
      {-2147483647 - 1, 10, "**********", false},
  };
  for (const row& r : rows) {
    bool fits = !r.fits;
    EXPECT_EQ(integer_field(r.width, r.value, &fits), r.field);
    EXPECT_EQ(fits, r.fits) << r.field;
  }
}

// The records of the model and plot files, CR LF included.
TEST(number_output_test, program_records) {
  namespace f = formats;
  struct row {
    std::string text;
    std::string expected;
  };
  const row rows[] = {
      {written([](output_channel& o) {
         write_formatted(o, f::counts_line, {item(2), item(4), item(0), item(0)});
       }),
       "       2       4       0       0  ! No. of Boundary Elements, Nodes, Field Points "
       "and Cells\r\n"},
      {written([](output_channel& o) {
         write_formatted(o, f::counts_line, {item(12345678), item(1), item(-1), item(7)});
       }),
       "12345678       1      -1       7  ! No. of Boundary Elements, Nodes, Field Points "
       "and Cells\r\n"},
      {written([](output_channel& o) {
         write_formatted(o, f::title_line, {item(std::string_view("07-DEC-26"))});
       }),
       " A BEM Model for 3-D Potential Analysis," + std::string(16, ' ') + "07-DEC-26\r\n"},
      {written([](output_channel& o) { write_formatted(o, f::constants_line, {}); }),
       "   1.0D0    0.0D0                 ! alpha, beta (For dual BIE formulation)\r\n"},
      {written([](output_channel& o) {
         write_formatted(o, f::node_line, {item(1), item(1.5), item(-2.0), item(0.0)});
       }),
       "       1   0.150000000000000D+01  -0.200000000000000D+01   0.000000000000000D+00\r\n"},
      {written([](output_channel& o) {
         write_formatted(o, f::element_line,
                         {item(1), item(1), item(2), item(4), item(1), item(7.0 / 3.0)});
       }),
       "         1          1       2       4         1        0.233333333333333D+01\r\n"},
      {written([](output_channel& o) {
         write_formatted(o, f::field_point_line,
                         {item(1), item(0.25), item(-0x1.0624dd2f1a9fcp-10), item(12.0)});
       }),
       "         1         0.250000000D+00        -0.100000000D-02         "
       "0.120000000D+02\r\n"},
      {written([](output_channel& o) {
         write_formatted(o, f::e3_15_7, {item(1.5), item(-2.0), item(0.0)});
       }),
       "  0.1500000E+01 -0.2000000E+01  0.0000000E+00\r\n"},
      {written([](output_channel& o) {
         write_formatted(o, f::i3_15, {item(1), item(2), item(3)});
         write_formatted(o, f::i4_15, {item(1), item(2), item(3), item(-4)});
       }),
       std::string(14, ' ') + "1" + std::string(14, ' ') + "2" + std::string(14, ' ') + "3\r\n" +
           std::string(14, ' ') + "1" + std::string(14, ' ') + "2" + std::string(14, ' ') + "3" +
           std::string(13, ' ') + "-4\r\n"},
  };
  for (const row& r : rows) {
    EXPECT_EQ(r.text, r.expected);
  }
}

// A number too wide for its field: the record is written with asterisks,
// then the output conversion error is raised.
TEST(number_output_test, overflow_writes_the_record_then_fails) {
  std::string text = written([](output_channel& o) {
    run_failure failure = failure_of([&o] {
      write_formatted(o, formats::node_line, {item(100000000), item(1.0), item(2.0), item(3.0)});
    });
    EXPECT_EQ(failure.number, report::output_conversion);
    EXPECT_EQ(failure.unit, channels::model);
  });
  EXPECT_EQ(text,
            "********   0.100000000000000D+01   0.200000000000000D+01   "
            "0.300000000000000D+01\r\n");
}

// The field that the output rules give for the decimal digits and exponent
// of glibc's correctly rounded "%.*e".
std::string reference_field(int width, int digits, char letter, double value) {
  std::uint64_t b = bits(value);
  bool zero = (b << 1) == 0;
  bool negative = !zero && (b >> 63) != 0;
  std::string significand(static_cast<std::size_t>(digits), '0');
  int e = 0;
  if (!zero) {
    char buf[64];
    exact_denormals_scope exact;
    std::snprintf(buf, sizeof buf, "%.*e", digits - 1, std::bit_cast<double>(b << 1 >> 1));
    significand[0] = buf[0];
    if (digits > 1) {
      significand.replace(1, static_cast<std::size_t>(digits - 1), buf + 2,
                          static_cast<std::size_t>(digits - 1));
    }
    e = std::atoi(std::strchr(buf, 'e') + 1) + 1;
  }
  char exponent[16];
  if (e >= -99 && e <= 99) {
    std::snprintf(exponent, sizeof exponent, "%c%c%02d", letter, e < 0 ? '-' : '+', std::abs(e));
  } else {
    std::snprintf(exponent, sizeof exponent, "%c%03d", e < 0 ? '-' : '+', std::abs(e));
  }
  std::string text = negative ? "-0." : "0.";
  text += significand;
  text += exponent;
  text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
  return text;
}

// Every E15.7, D24.9 and D24.15 field is the correctly rounded one, also
// with denormals flushed as during a run.
TEST(number_output_test, fields_match_correctly_rounded_reference) {
  testing::flush_scope flushed;
  volatile double tiny = 0x1p-1070;
  EXPECT_TRUE(tiny * 1.0 == 0.0 || !denormals_flushed()) << "flush-to-zero is not in effect";

  struct descriptor {
    int width, digits;
    char letter;
  };
  static constexpr descriptor descriptors[] = {{15, 7, 'E'}, {24, 9, 'D'}, {24, 15, 'D'}};
  int mismatches = 0;
  auto check = [&mismatches](double v) {
    for (const descriptor& d : descriptors) {
      bool fits = false;
      std::string got = exponent_field(d.width, d.digits, d.letter, v, &fits);
      std::string want = reference_field(d.width, d.digits, d.letter, v);
      if ((got != want || !fits) && ++mismatches <= 10) {
        ADD_FAILURE() << std::hexfloat << v << ": [" << got << "] expected [" << want << "]";
      }
    }
  };
  // Powers of ten and their neighbours, from the smallest subnormal up.
  for (int k = -324; k <= 308; ++k) {
    char text[16];
    std::snprintf(text, sizeof text, "1e%d", k);
    double p;
    {
      exact_denormals_scope exact;
      p = std::strtod(text, nullptr);
    }
    double v = p;
    for (int step = 0; step < 3; ++step) {
      check(v);
      check(-v);
      v = std::bit_cast<double>(bits(v) + 1);
    }
    if (bits(p) > 1) {
      check(std::bit_cast<double>(bits(p) - 1));
      check(std::bit_cast<double>(bits(p) - 2));
    }
  }
  std::mt19937_64 rng(20240611);
  for (int n = 0; n < 1'000'000; ++n) {
    check(testing::random_double(rng));
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace cdbbem
