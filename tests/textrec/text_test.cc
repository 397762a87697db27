#include "textrec/text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ctime>
#include <string>

#include "run/reports.h"
#include "textrec_helpers.h"

namespace cdbbem {
namespace {

using testing::failure_of;

TEST(text_test, blank_padded_equality) {
  std::string sfe = "SFE," + std::string(76, ' ');
  std::string other = sfe;
  other[79] = 'x';
  std::string finish = "FINISH" + std::string(74, ' ');
  EXPECT_TRUE(text_equal(sfe, "SFE,"));
  EXPECT_TRUE(text_equal("SFE,", sfe));
  EXPECT_FALSE(text_equal(other, "SFE,"));
  EXPECT_FALSE(text_equal(finish, "FIN"));
  EXPECT_FALSE(text_equal("SFE", "SFE,"));
  EXPECT_TRUE(text_equal("", "    "));
  EXPECT_FALSE(text_equal(std::string_view("A\0", 2), "A "));
}

// The padding is checked in full whatever its length and wherever the one
// character that is not a blank stands.
TEST(text_test, padding_checked_at_every_position) {
  for (std::size_t len = 4; len <= 80; ++len) {
    std::string line = "FINI" + std::string(len - 4, ' ');
    EXPECT_TRUE(text_equal(line, "FINI")) << len;
    for (std::size_t at = 4; at < len; ++at) {
      std::string marked = line;
      marked[at] = 'x';
      EXPECT_FALSE(text_equal(marked, "FINI")) << len << " " << at;
      EXPECT_FALSE(text_equal("FINI", marked)) << len << " " << at;
    }
  }
}

TEST(text_test, text_to_int) {
  struct row {
    std::string text;
    std::int32_t value;
  };
  const row rows[] = {{"        ", 0},  {"      17", 17}, {"", 0},
                      {"-5      ", -5}, {" 1 2    ", 12}, {"  -2147483648", -2147483647 - 1}};
  for (const row& r : rows) {
    EXPECT_EQ(text_to_int(r.text.data(), r.text.size()), r.value) << r.text;
  }
  for (std::string bad : {"1.5", "      1,5", "abc", "2147483648", "1e3"}) {
    run_failure failure = failure_of([&] { text_to_int(bad.data(), bad.size()); });
    EXPECT_EQ(failure.number, report::invalid_integer) << bad;
    EXPECT_EQ(exit_status(failure.number), 33);
  }
}

TEST(text_test, text_to_double) {
  struct row {
    std::string text;
    double value;
  };
  const row rows[] = {{"  0.12500000E+01", 1.25}, {"5", 5.0},         {"        ", 0.0},
                      {" 1 5  ", 105.0},          {"1.5 E+01", 15.0}, {"-7.5D-1", -0.75},
                      {"12345", 12345.0},         {"2.5-1", 0.25},    {"  -3.  ", -3.0}};
  for (const row& r : rows) {
    EXPECT_EQ(text_to_double(r.text.data(), r.text.size()), r.value) << r.text;
  }
  for (std::string bad : {"1.5x", "nan(1)", "1.0Q5", "1.2.3", "0,5", "1.0E"}) {
    run_failure failure = failure_of([&] { text_to_double(bad.data(), bad.size()); });
    EXPECT_EQ(failure.number, report::invalid_real) << bad;
    EXPECT_EQ(exit_status(failure.number), 35);
  }
}

// DD-MON-YY of the local date, as strftime gives it in upper case.
std::string local_date() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[16];
  std::strftime(text, sizeof text, "%d-%b-%y", &local);
  std::string date = text;
  for (char& c : date) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return date;
}

TEST(text_test, date_stamp) {
  std::string before = local_date();
  char dest[12];
  date_stamp(dest, 12);
  std::string stamp(dest, 12);
  std::string after = local_date();
  ASSERT_EQ(before.size(), 9u);
  EXPECT_TRUE(stamp == before + "   " || stamp == after + "   ") << stamp;
  char shorter[5] = {'x', 'x', 'x', 'x', 'x'};
  date_stamp(shorter, 4);
  EXPECT_EQ(std::string(shorter, 5), stamp.substr(0, 4) + "x");
}

}  // namespace
}  // namespace cdbbem
