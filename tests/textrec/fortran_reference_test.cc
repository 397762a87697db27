// Field output and input checked against a second, independent
// implementation of the same edit descriptors: a small program built with
// gfortran when the build found one.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "archive/archive_formats.h"
#include "run/channels.h"
#include "textrec/fixed_read.h"
#include "textrec/number_output.h"
#include "textrec/record_format.h"
#include "textrec/record_reader.h"
#include "textrec_helpers.h"

namespace cdbbem {
namespace {

using testing::bits;

#ifdef CDBBEM_GFORTRAN
constexpr const char* gfortran = CDBBEM_GFORTRAN;
#else
constexpr const char* gfortran = nullptr;
#endif

// Builds the reference program in `dir`; its path, or empty on failure.
std::string build_reference(const testing::temp_dir& dir) {
  std::string exe = dir.file("fortran_ref");
  // Without -fno-sign-zero gfortran writes -0.0 with its minus sign.
  std::string command =
      std::string(gfortran) + " -fno-sign-zero -o " + exe + " " + CDBBEM_FORTRAN_REF + " 2>&1";
  return std::system(command.c_str()) == 0 ? exe : std::string();
}

std::vector<std::string> run_reference(const testing::temp_dir& dir, const std::string& exe,
                                       const char* mode, const std::string& input) {
  testing::write_file(dir.file("in.txt"), input);
  std::string command = exe + " " + mode + " " + dir.file("in.txt") + " " + dir.file("out.txt");
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::istringstream out(testing::read_file(dir.file("out.txt")));
  std::vector<std::string> lines;
  for (std::string line; std::getline(out, line);) {
    lines.push_back(line);
  }
  return lines;
}

TEST(fortran_reference_test, exponent_fields) {
  if (gfortran == nullptr) {
    GTEST_SKIP() << "gfortran not found: no second reference for field output";
  }
  testing::temp_dir dir;
  std::string exe = build_reference(dir);
  ASSERT_FALSE(exe.empty()) << "gfortran could not build the reference program";

  std::mt19937_64 rng(11);
  std::vector<double> values = {0.0, -0.0, 1.0, 0x1p-11, HUGE_VAL, -HUGE_VAL};
  while (values.size() < 4000) {
    values.push_back(testing::random_double(rng));
  }
  std::string input;
  for (double v : values) {
    char hex[24];
    std::snprintf(hex, sizeof hex, "%016" PRIX64 "\n", bits(v));
    input += hex;
  }
  std::vector<std::string> want = run_reference(dir, exe, "write", input);
  ASSERT_EQ(want.size(), values.size());

  testing::flush_scope flushed;
  int mismatches = 0;
  for (std::size_t n = 0; n < values.size(); ++n) {
    char got[64];
    format_exponent(got, 15, 7, 'E', values[n]);
    format_exponent(got + 15, 24, 9, 'D', values[n]);
    format_exponent(got + 39, 24, 15, 'D', values[n]);
    if (std::string(got, 63) != want[n] && ++mismatches <= 10) {
      ADD_FAILURE() << std::hexfloat << values[n] << ": [" << std::string(got, 63)
                    << "], gfortran [" << want[n] << "]";
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// One E21.13 field for `v` in one of the forms an archive may hold.
std::string real_field(std::mt19937_64& rng, double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.13E", v);
  std::string s = text;  // [-]d.dddddddddddddE(+|-)xx[x]
  std::size_t e_at = s.find('E');
  int exponent = std::atoi(s.c_str() + e_at + 1);
  std::string mantissa = s.substr(0, e_at);
  std::string digits = mantissa;
  digits.erase(digits.find('.'), 1);
  switch (rng() % 6) {
  case 0:  // sign directly after the digits
    s = mantissa + (exponent < 0 ? "-" : "+") + std::to_string(std::abs(exponent));
    break;
  case 1:  // no decimal point: the last 13 digits are the fraction
    s = digits + "E" + std::to_string(exponent);
    break;
  case 2:
    s = mantissa + "d" + std::to_string(exponent);
    break;
  case 3:  // blanks inside the number are ignored
    s = mantissa.substr(0, 4) + " " + mantissa.substr(4) + "E " + std::to_string(exponent);
    break;
  case 4:  // a comma ends the field early: the next one starts after it
    s = mantissa.substr(0, 4) + ",";
    s.insert(0, 1, ' ');
    return s;
  default:
    break;
  }
  if (s.size() > 21) {
    s = text;
  }
  s.insert(0, 21 - s.size(), ' ');
  return s;
}

TEST(fortran_reference_test, node_records) {
  if (gfortran == nullptr) {
    GTEST_SKIP() << "gfortran not found: no second reference for field input";
  }
  testing::temp_dir dir;
  std::string exe = build_reference(dir);
  ASSERT_FALSE(exe.empty()) << "gfortran could not build the reference program";

  std::mt19937_64 rng(13);
  std::string input;
  for (int n = 0; n < 3000; ++n) {
    char ints[32];
    std::snprintf(ints, sizeof ints, "%9d%9d%9d", static_cast<int>(rng() % 1000000000),
                  -static_cast<int>(rng() % 100000000), static_cast<int>(rng() % 100));
    input += ints;
    for (int k = 0; k < 3; ++k) {
      input += real_field(rng, testing::random_double(rng));
    }
    input += n % 7 == 0 ? "\r\n" : "\n";
  }
  std::vector<std::string> want = run_reference(dir, exe, "read", input);
  ASSERT_EQ(want.size(), 3000u);

  testing::flush_scope flushed;
  record_reader in;
  in.open_memory(input, channels::archive);
  int mismatches = 0;
  for (const std::string& line : want) {
    std::int32_t n[3];
    double x[3];
    read_formatted(in, formats::node_record_3i9_3e21,
                   {into(n[0]), into(n[1]), into(n[2]), into(x[0]), into(x[1]), into(x[2])});
    char got[128];
    std::snprintf(got, sizeof got, "%12d%12d%12d %016" PRIX64 " %016" PRIX64 " %016" PRIX64, n[0],
                  n[1], n[2], bits(x[0]), bits(x[1]), bits(x[2]));
    if (got != line && ++mismatches <= 10) {
      ADD_FAILURE() << "record " << in.line_number() << ": [" << got << "], gfortran [" << line
                    << "]";
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace cdbbem
