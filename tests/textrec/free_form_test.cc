#include "textrec/free_form.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "run/channels.h"
#include "textrec/record_reader.h"
#include "textrec_helpers.h"

namespace cdbbem {
namespace {

using testing::bits;
using testing::failure_of;
using testing::written;

constexpr std::int32_t unset = -99;

// Reads `count` integers free-form from `text`; items not given keep -99.
std::vector<std::int32_t> read_ints(record_reader& in, std::size_t count) {
  std::vector<std::int32_t> v(count, unset);
  switch (count) {
  case 0:
    read_free(in, {});
    break;
  case 1:
    read_free(in, {into(v[0])});
    break;
  case 2:
    read_free(in, {into(v[0]), into(v[1])});
    break;
  case 3:
    read_free(in, {into(v[0]), into(v[1]), into(v[2])});
    break;
  default:
    read_free(in, {into(v[0]), into(v[1]), into(v[2]), into(v[3]), into(v[4])});
    v.resize(5);
  }
  return v;
}

TEST(free_form_test, integer_reads) {
  struct row {
    const char* text;
    std::size_t count;
    std::vector<std::int32_t> want;
  };
  const std::vector<row> rows = {
      {"         1       -30", 2, {1, -30}},
      {"1\n-30\n", 2, {1, -30}},
      {"1\n\n  \t \n-30", 2, {1, -30}},  // blank records are passed over
      {"1, 2,3\t4 ,5", 5, {1, 2, 3, 4, 5}},
      {"1,\n2", 2, {1, 2}},
      {"1,,3", 3, {1, unset, 3}},  // null value
      {",2", 2, {unset, 2}},
      {"1 , , 3", 3, {1, unset, 3}},
      {"2*7 2* 5", 5, {7, 7, unset, unset, 5}},
      {"7/", 1, {7}},
      {"7/", 2, {7, unset}},  // a slash ends the read
      {"1 / 2", 3, {1, unset, unset}},
      {"1.9 -2.7 1e3 2.5D0 -0.5", 5, {1, -2, 1000, 2, 0}},
      {"+5 -0 2147483647 -2147483648 /", 5, {5, 0, 2147483647, -2147483647 - 1, unset}},
      {"-2147483648.9", 1, {-2147483647 - 1}},
  };
  for (const row& r : rows) {
    record_reader in;
    in.open_memory(r.text, channels::archive);
    EXPECT_EQ(read_ints(in, r.count), r.want) << r.text;
  }
}

// Random records of five integers as archives write them: any width of
// blanks, commas, tabs, signs, leading zeros, nulls, a fraction, a value
// at the record's end or its next record, each read as written.
TEST(free_form_test, random_integer_records) {
  std::mt19937_64 random(1209);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    std::vector<std::int32_t> want(5, unset);
    bool after_null = false;
    for (std::size_t k = 0; k < 5; ++k) {
      const std::uint64_t pick = random();
      const bool null = k > 0 && pick % 11 == 0;
      if (k > 0) {
        // A null stands between two commas.
        const char* separators[] = {" ", "    ", ",", " , ", "\t", "\n", ",\n  "};
        text += null || after_null ? std::string(pick % 3 == 0 ? " , " : ",")
                                   : std::string(separators[(pick >> 8) % 7]);
      }
      after_null = null;
      if (null) {
        continue;
      }
      text.append((pick >> 16) % 12, ' ');
      const int digits = 1 + static_cast<int>((pick >> 24) % 10);
      std::int64_t magnitude = static_cast<std::int64_t>((pick >> 32) % 2147483647);
      for (int d = 10; d > digits; --d) {
        magnitude /= 10;
      }
      const bool negative = (pick >> 40) % 3 == 0;
      text += negative ? "-" : (pick >> 42) % 5 == 0 ? "+" : "";
      text += (pick >> 44) % 7 == 0 ? "00" : "";
      text += std::to_string(magnitude);
      if ((pick >> 48) % 13 == 0) {
        text += ".75";  // a fraction read into an integer is cut off
      }
      want[k] = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    }
    text += after_null ? "," : "";  // a null last needs its closing comma
    text.append(random() % 4, ' ');
    record_reader in;
    in.open_memory(text, channels::archive);
    ASSERT_EQ(read_ints(in, 5), want) << text;
  }
}

// Values after runs of blanks of every length, with a tab, CR or comma at
// every place in the run, in the fixed-width layout the archive uses.
TEST(free_form_test, values_after_blank_runs) {
  for (std::size_t run = 0; run <= 20; ++run) {
    for (std::size_t at = 0; at <= run; ++at) {
      for (const char* odd : {"", "\t", "\r", ","}) {
        std::string gap(run, ' ');
        gap.insert(at, odd);
        std::string text = "7" + gap + " -12 " + std::string(run, ' ') + "345";
        record_reader in;
        in.open_memory(text, channels::archive);
        std::vector<std::int32_t> want = {7, -12, 345};
        EXPECT_EQ(read_ints(in, 3), want) << '"' << text << '"';
      }
    }
  }
}

// Each read starts on a new record: a read with no items passes over one
// record, and what follows the last value needed is never looked at.
TEST(free_form_test, reads_start_on_new_records) {
  record_reader in;
  in.open_memory(
      "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19\n"
      "x y z\n"
      "21, 22 junk\n"
      "\n"
      "31\n",
      channels::archive);
  std::vector<std::int32_t> v(15, unset);
  read_free(in, {into(v[0]), into(v[1]), into(v[2]), into(v[3]), into(v[4]), into(v[5]), into(v[6]),
                 into(v[7]), into(v[8]), into(v[9]), into(v[10]), into(v[11]), into(v[12]),
                 into(v[13]), into(v[14])});
  EXPECT_EQ(v.back(), 15);
  read_ints(in, 0);
  EXPECT_EQ(read_ints(in, 2), (std::vector<std::int32_t>{21, 22}));
  EXPECT_EQ(read_ints(in, 1), (std::vector<std::int32_t>{31}));
  EXPECT_EQ(failure_of([&] { read_ints(in, 0); }).number, report::end_of_file);
}

TEST(free_form_test, real_reads) {
  testing::flush_scope flushed;
  record_reader in;
  in.open_memory("1.0 2.0E0 3D0 4\n0.300000000-307,2*4.9406564584124654e-324 1.5q1\n",
                 channels::archive);
  double v[4] = {};
  read_free(in, {into(v[0]), into(v[1]), into(v[2]), into(v[3])});
  EXPECT_EQ(v[0] + v[1] + v[2] + v[3], 10.0);
  EXPECT_EQ(v[3], 4.0);
  read_free(in, {into(v[0]), into(v[1]), into(v[2]), into(v[3])});
  EXPECT_EQ(bits(v[0]), bits(0x1.59283684dba77p-1022));  // 3.0e-308, subnormal
  EXPECT_EQ(bits(v[1]), bits(0x1p-1074));
  EXPECT_EQ(bits(v[2]), bits(0x1p-1074));
  EXPECT_EQ(v[3], 15.0);
}

TEST(free_form_test, read_failures) {
  struct row {
    const char* text;
    bool real;
    report number;
  };
  const row rows[] = {
      {"1a", false, report::list_syntax},
      {"abc", true, report::list_syntax},
      {"1.2.3", true, report::list_syntax},
      {"+-1", false, report::list_syntax},
      {"1-", true, report::list_syntax},
      {"e5", true, report::list_syntax},
      {"-e5", true, report::list_syntax},
      {"1-e5", true, report::list_syntax},
      {"1e5e6", true, report::list_syntax},
      {"1*", false, report::end_of_file},
      {"*5", false, report::list_syntax},
      {"T", false, report::input_conversion},
      {"f", false, report::input_conversion},
      {".T.", false, report::input_conversion},
      {"2147483648", false, report::input_conversion},
      {"-2147483649", false, report::input_conversion},
      {"1e10", false, report::input_conversion},
      {"1-2-3", true, report::input_conversion},
      {"", false, report::end_of_file},
      {"1\n  \n", false, report::end_of_file},
  };
  for (const row& r : rows) {
    record_reader in;
    in.open_memory(r.text, channels::archive);
    std::int32_t i = 0;
    double x = 0;
    run_failure failure = failure_of([&] {
      if (r.real) {
        read_free(in, {into(x), into(x)});
      } else {
        read_free(in, {into(i), into(i)});
      }
    });
    EXPECT_EQ(failure.number, r.number) << r.text;
    EXPECT_EQ(failure.unit, channels::archive) << r.text;
  }
}

TEST(free_form_test, writes) {
  struct row {
    std::string text;
    std::string expected;
  };
  const std::string_view zone_model = "ZONE T=\"Model\", N=";
  const std::string_view zone_field = "ZONE T=\"Field Points\", N=";
  const std::string_view comma_e = ", E=";
  const row rows[] = {
      {written([](output_channel& o) {
         write_free(o, {item(std::string_view(" Node number error ni, i =")), item(4), item(3)});
       }),
       "  Node number error ni, i =           4           3\r\n"},
      {written([](output_channel& o) {
         write_free(o, {item(std::string_view(" Data Translation from ANSYS to BEM is done!"))});
       }),
       "  Data Translation from ANSYS to BEM is done!\r\n"},
      {written([](output_channel& o) { write_free(o, {item(std::string_view("$ Nodes:"))}); }),
       " $ Nodes:\r\n"},
      {written([](output_channel& o) {
         write_free(o, {item(1), item(10), item(11), item(12), item(13)});
       }),
       "           1          10          11          12          13\r\n"},
      {written([&](output_channel& o) {
         write_free(o, {item(zone_model), item(4), item(comma_e), item(2),
                        item(std::string_view("DATAPACKING=POINT, ZONETYPE=FETRIANGLE"))});
       }),
       " ZONE T=\"Model\", N=           4 , E=           2 \r\n"
       " DATAPACKING=POINT, ZONETYPE=FETRIANGLE\r\n"},
      {written([&](output_channel& o) {
         write_free(o, {item(zone_field), item(-2147483647 - 1), item(comma_e), item(0),
                        item(std::string_view("DATAPACKING=POINT, ZONETYPE=FEQUADRILATERAL"))});
       }),
       " ZONE T=\"Field Points\", N= -2147483648 , E=           0 \r\n"
       " DATAPACKING=POINT, ZONETYPE=FEQUADRILATERAL\r\n"},
      {written([](output_channel& o) { write_free(o, {}); }), " \r\n"},
      // Six integer fields fill 72 positions; a seventh starts a new record.
      {written([](output_channel& o) {
         write_free(o, {item(1), item(2), item(3), item(4), item(5), item(6), item(7)});
       }),
       "           1           2           3           4           5           6\r\n"
       "           7\r\n"},
      // An integer field fits exactly in the last 12 positions.
      {written([](output_channel& o) {
         write_free(o, {item(std::string_view("ABCDEFG")), item(1), item(2), item(3), item(4),
                        item(5), item(6)});
       }),
       " ABCDEFG           1           2           3           4           5           6\r\n"},
      {written([](output_channel& o) {
         write_free(o, {item(std::string_view("AB")), item(std::string_view("CD ")), item(5)});
       }),
       " ABCD " + std::string(11, ' ') + "5\r\n"},
  };
  for (const row& r : rows) {
    EXPECT_EQ(r.text, r.expected);
  }
}

}  // namespace
}  // namespace cdbbem
