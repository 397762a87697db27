#include "textrec/fixed_read.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>

#include "archive/archive_formats.h"
#include "run/channels.h"
#include "textrec/free_form.h"
#include "textrec/record_format.h"
#include "textrec/record_reader.h"
#include "textrec_helpers.h"

namespace cdbbem {
namespace {

using testing::bits;
using testing::failure_of;

struct node_values {
  std::int32_t n[3] = {-1, -1, -1};
  double x[3] = {-1, -1, -1};
};

node_values read_node(record_reader& in, record_format format) {
  node_values v;
  read_formatted(
      in, format,
      {into(v.n[0]), into(v.n[1]), into(v.n[2]), into(v.x[0]), into(v.x[1]), into(v.x[2])});
  return v;
}

TEST(fixed_read_test, node_records) {
  struct row {
    record_format format;
    const char* line;
    node_values want;
  };
  const row rows[] = {
      {formats::node_record_3i9_3e21,
       "        1        0        0  1.0000000000000E+00 -2.5000000000000E-01  "
       "3.0000000000000E+05",
       {{1, 0, 0}, {1.0, -0.25, 3.0e5}}},
      // A comma ends a numeric field early; the next field starts after it.
      {formats::node_record_3i9_3e21, "    12,34,56,1.5,2.5,3.5", {{12, 34, 56}, {1.5, 2.5, 3.5}}},
      // Without a decimal point the last 9 digits are the fraction.
      {formats::node_record_3i8_3e16,
       "       7       0       0               1           12345        1.0E+000",
       {{7, 0, 0}, {0x1.12e0be826d695p-30, 0x1.9e3abe16fc70dp-17, 1.0}}},
      // A short line reads as if padded with blanks.
      {formats::node_record_3i8_3e20, "       3       0", {{3, 0, 0}, {0.0, 0.0, 0.0}}},
      {formats::node_record_3i9_3e20,
       "        5        0        0 1.5-3",
       {{5, 0, 0}, {0x1.89374bc6a7efap-10, 0.0, 0.0}}},
  };
  for (const row& r : rows) {
    record_reader in;
    in.open_memory(r.line, channels::archive);
    node_values got = read_node(in, r.format);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(got.n[k], r.want.n[k]) << r.line;
      EXPECT_EQ(bits(got.x[k]), bits(r.want.x[k])) << r.line << " gave " << got.x[k];
    }
  }
}

// LF, CR LF and a last line without terminator give the same records; a
// line of SUB alone is the end of the file.
TEST(fixed_read_test, line_ends) {
  for (std::string text : {"ab\n\ncd\n", "ab\r\n\r\ncd\r\n", "ab\n\r\ncd", "ab\n\ncd\n\x1a\nef\n",
                           "ab\n\ncd\r\n\x1a\r\n"}) {
    record_reader in;
    in.open_memory(text, channels::archive);
    std::array<std::string, 3> got;
    for (std::string& record : got) {
      char line[80];
      read_formatted(in, formats::a5, {into(line, sizeof line)});
      record.assign(line, sizeof line);
    }
    EXPECT_EQ(got[0], "ab" + std::string(78, ' '));
    EXPECT_EQ(got[1], std::string(80, ' '));
    EXPECT_EQ(got[2], "cd" + std::string(78, ' '));
    run_failure eof = failure_of([&in] { read_formatted(in, formats::skip_two, {}); });
    EXPECT_EQ(eof.number, report::end_of_file);
    EXPECT_EQ(eof.unit, channels::archive);
  }
}

TEST(fixed_read_test, text_fields) {
  record_reader in;
  in.open_memory(
      "SFE,     12345678, PRES,1\n"
      "EBLOCK,19,SOLID\n"
      "\n"
      "count line  123\n"
      "SFE,123456789,X\n",
      channels::archive);
  char line[80];
  char a[8];
  char b[8];
  // A15 into 8 characters keeps columns 12-19.
  read_formatted(in, formats::command_scan, {into(line, 80), into(a, 8), into(b, 8)});
  EXPECT_EQ(std::string(line, 80), "SFE," + std::string(76, ' '));
  EXPECT_EQ(std::string(a, 8), "345678, ");
  EXPECT_EQ(std::string(b, 8), "PRES    ");
  read_formatted(in, formats::a6, {into(line, 80)});
  EXPECT_EQ(std::string(line, 80), "EBLOCK" + std::string(74, ' '));
  std::int32_t count = -1;
  read_formatted(in, formats::count_record, {into(line, 80), into(count)});
  EXPECT_EQ(std::string(line, 80), std::string(80, ' '));
  EXPECT_EQ(count, 0);
  read_formatted(in, formats::count_record, {into(line, 80), into(count)});
  EXPECT_EQ(count, 123);
  // A9 into 8 characters keeps the rightmost 8: columns 6-13.
  read_formatted(in, formats::flux_header_a9, {into(line, 80), into(a, 8)});
  EXPECT_EQ(std::string(a, 8), "23456789");
}

// "(/)" consumes the line it starts on and the next; items left over at the
// end of a format start the format again on a new record.
TEST(fixed_read_test, record_breaks) {
  record_reader in;
  in.open_memory("1\n2\n3\n4\n5\n", channels::archive);
  char first[5];
  char second[5];
  read_formatted(in, formats::a5, {into(first, 5)});
  read_formatted(in, formats::skip_two, {});
  read_formatted(in, formats::a5, {into(first, 5), into(second, 5)});
  EXPECT_EQ(std::string(first, 5), "4    ");
  EXPECT_EQ(std::string(second, 5), "5    ");
  EXPECT_EQ(in.line_number(), 5);
}

TEST(fixed_read_test, conversion_errors) {
  for (const char* line :
       {"      1.5", "        1        2        3 1.0Q5", "        1        2        3 nan(1)",
        "       1x", "        1        2        3 1.0E+"}) {
    record_reader in;
    in.open_memory(line, channels::archive);
    run_failure failure = failure_of([&in] { read_node(in, formats::node_record_3i9_3e21); });
    EXPECT_EQ(failure.number, report::input_conversion) << line;
    EXPECT_EQ(failure.unit, channels::archive) << line;
  }
}

// A line longer than the buffer comes back cut and the next record is the
// following line; a free-form read that needs more of a cut line fails.  A
// line of exactly the buffer's size is whole.
TEST(fixed_read_test, over_long_line_is_truncated) {
  testing::temp_dir dir;
  std::string path = dir.file("long.cdb");
  const std::size_t size = record_reader::buffer_size;
  const std::string exact = "5" + std::string(size - 2, ' ') + "6";
  testing::write_file(path, "1 2" + std::string(size, ' ') + "3\n4\n" + std::string(size + 5, '7') +
                                "\r\n" + exact + "\r\n" + std::string(size + 1, '8') + "\nnext\n");
  record_reader in;
  in.open_file(path, channels::archive);
  struct row {
    std::string record;
    bool truncated;
  };
  const row rows[] = {{"1 2" + std::string(size - 3, ' '), true},
                      {"4", false},
                      {std::string(size, '7'), true},
                      {exact, false},
                      {std::string(size, '8'), true},
                      {"next", false}};
  for (const row& r : rows) {
    std::string_view record;
    ASSERT_TRUE(in.next(record));
    EXPECT_TRUE(record == r.record) << "record " << in.line_number();
    EXPECT_EQ(in.truncated(), r.truncated) << "record " << in.line_number();
  }
  std::string_view record;
  EXPECT_FALSE(in.next(record));

  in.reopen();
  std::int32_t a = 0;
  std::int32_t b = 0;
  read_free(in, {into(a), into(b)});
  EXPECT_EQ(a * 10 + b, 12);
  read_free(in, {into(a)});
  EXPECT_EQ(a, 4);
  EXPECT_EQ(failure_of([&] { read_free(in, {into(a)}); }).number, report::read_error);
  read_free(in, {into(a), into(b)});
  EXPECT_EQ(a * 10 + b, 56);
  EXPECT_EQ(failure_of([&] { read_free(in, {into(a)}); }).number, report::read_error);
  in.reopen();
  run_failure failure = failure_of([&] { read_free(in, {into(a), into(b), into(b)}); });
  EXPECT_EQ(failure.number, report::read_error);
  EXPECT_EQ(failure.unit, channels::archive);
}

TEST(fixed_read_test, open_failures) {
  testing::temp_dir dir;
  testing::write_file(dir.file("plain"), "x\n");
  struct row {
    std::string path;
    report number;
  };
  const row rows[] = {{dir.file("missing"), report::file_not_found},
                      {dir.file("plain/below"), report::file_not_found},
                      {dir.path(), report::open_failure}};
  for (const row& r : rows) {
    record_reader in;
    run_failure failure = failure_of([&] { in.open_file(r.path, channels::archive); });
    EXPECT_EQ(failure.number, r.number) << r.path;
    EXPECT_EQ(failure.unit, channels::archive);
  }
}

// Records that straddle the buffer's refills, with CR LF split across them,
// come back whole, and reopening starts again at the first.
TEST(fixed_read_test, file_records_across_refills) {
  testing::temp_dir dir;
  std::string path = dir.file("many.cdb");
  std::string text;
  std::vector<std::string> want;
  for (std::size_t n = 0; text.size() < 3 * record_reader::buffer_size; ++n) {
    want.push_back(std::string(n * 7919 % 301, static_cast<char>('a' + n % 26)));
    text += want.back() + (n % 2 == 0 ? "\r\n" : "\n");
  }
  testing::write_file(path, text);
  record_reader in;
  in.open_file(path, channels::archive);
  for (int pass = 0; pass < 2; ++pass) {
    std::string_view record;
    std::size_t n = 0;
    while (in.next(record)) {
      ASSERT_LT(n, want.size());
      ASSERT_EQ(record, want[n]) << "record " << n;
      ++n;
    }
    EXPECT_EQ(n, want.size());
    in.reopen();
  }
}

// Records of many lengths over three buffers, one in three ending in CR LF,
// record `long_at` longer than the buffer; each record into `want`.
std::string records_of_three_buffers(std::size_t long_at, std::vector<std::string>& want) {
  std::string text;
  for (std::size_t n = 0; text.size() < 3 * record_reader::buffer_size; ++n) {
    want.push_back(n == long_at ? std::string(record_reader::buffer_size + 9, 'L')
                                : std::string(n * 7919 % 301, static_cast<char>('a' + n % 26)));
    text += want.back() + (n % 3 == 0 ? "\r\n" : "\n");
  }
  return text;
}

// A file read through the buffer, the same file viewed in place, or its text
// in memory.
enum class source { read, viewed, memory };

void open_source(record_reader& in, source from, const std::string& path, const std::string& text) {
  if (from == source::memory) {
    in.open_memory(text, channels::archive);
  } else {
    in.open_file(path, channels::archive,
                 from == source::viewed ? 0 : std::numeric_limits<std::uint64_t>::max());
  }
}

// A mark taken while reading, from a file across refills or from memory,
// brings a later pass back to that record with its number, and the records
// after it follow; an over-long line is cut again after a seek to it.
TEST(fixed_read_test, seek_to_marks) {
  testing::temp_dir dir;
  std::string path = dir.file("marks.cdb");
  std::vector<std::string> want;
  const std::string text = records_of_three_buffers(40, want);
  testing::write_file(path, text);
  for (source kind : {source::read, source::viewed, source::memory}) {
    SCOPED_TRACE(static_cast<int>(kind));
    const bool from_file = kind != source::memory;
    record_reader in;
    open_source(in, kind, path, text);
    std::vector<record_mark> marks;
    std::string_view record;
    while (in.next(record)) {
      marks.push_back(in.mark());
    }
    ASSERT_EQ(marks.size(), want.size());
    for (std::size_t k : {std::size_t{0}, std::size_t{1}, std::size_t{40}, marks.size() / 2,
                          marks.size() - 1, std::size_t{7}}) {
      in.reopen();
      in.seek(marks[k]);
      for (std::size_t n = k; n < std::min(k + 3, want.size()); ++n) {
        ASSERT_TRUE(in.next(record)) << k;
        std::string_view expected = want[n];
        if (from_file && expected.size() > record_reader::buffer_size) {
          expected = expected.substr(0, record_reader::buffer_size);
        }
        EXPECT_EQ(record, expected) << "seek to " << k << ", record " << n;
        EXPECT_EQ(in.line_number(), static_cast<std::int64_t>(n + 1));
      }
    }
    // A look from a record's first byte sees it, from its second the next
    // one, and leaves the reading where it was; a file read through the
    // buffer cannot be seen (nor a file where the system gives no view).
    if (kind != source::viewed) {
      ASSERT_EQ(in.can_look(), kind == source::memory);
    }
    in.reopen();
    ASSERT_TRUE(in.next(record));
    for (std::size_t k = 0; k + 1 < marks.size(); ++k) {
      std::uint64_t start = 0;
      std::string_view seen;
      const bool whole = want[k].size() < record_reader::buffer_size &&
                         want[k + 1].size() < record_reader::buffer_size;
      if (!in.can_look()) {
        EXPECT_FALSE(in.look(marks[k].offset, start, seen));
        break;
      }
      if (!whole) {
        continue;
      }
      ASSERT_TRUE(in.look(marks[k].offset, start, seen)) << k;
      EXPECT_EQ(start, marks[k].offset);
      EXPECT_EQ(seen, want[k]);
      ASSERT_TRUE(in.look(marks[k].offset + 1, start, seen)) << k;
      EXPECT_EQ(start, marks[k + 1].offset);
      EXPECT_EQ(seen, want[k + 1]);
    }
    EXPECT_EQ(record, want[0]);
    EXPECT_TRUE(in.next(record));
    EXPECT_EQ(in.line_number(), 2);
  }
}

// Records passed over without being read leave the reader where as many
// calls of next would: the record after them comes with its number, across
// refills, and a pass stops short only before a last record without a line
// end or, in a file, before a line longer than the buffer.
TEST(fixed_read_test, pass_over_lands_where_next_would) {
  testing::temp_dir dir;
  std::string path = dir.file("pass.cdb");
  std::vector<std::string> want;
  std::string text = records_of_three_buffers(9000, want);
  text += "last";  // a last record without a line end
  want.push_back("last");
  testing::write_file(path, text);
  const std::size_t n = want.size();
  for (source kind : {source::read, source::viewed, source::memory}) {
    SCOPED_TRACE(static_cast<int>(kind));
    const bool from_file = kind != source::memory;
    record_reader in;
    open_source(in, kind, path, text);
    for (const auto& [from, count] : {std::pair<std::size_t, std::size_t>{0, 1},
                                      {0, 5000},
                                      {3, 8996},
                                      {8990, 20},
                                      {9001, 4000},
                                      {100, n - 101},
                                      {100, n - 100},
                                      {n - 3, 10}}) {
      in.reopen();
      std::string_view record;
      for (std::size_t k = 0; k < from; ++k) {
        ASSERT_TRUE(in.next(record));
      }
      const std::int64_t passed = in.pass_over(static_cast<std::int64_t>(count));
      const bool long_line = from_file && from <= 9000 && from + count > 9000;
      // The last record, without a line end, is left to next.
      const std::size_t expected = long_line ? 9000 - from : std::min(count, n - 1 - from);
      ASSERT_EQ(static_cast<std::size_t>(passed), expected) << from << " " << count;
      const std::size_t at = from + expected;
      if (at == n) {
        EXPECT_FALSE(in.next(record));
        continue;
      }
      ASSERT_TRUE(in.next(record)) << from << " " << count;
      std::string_view w = want[at];
      if (from_file && w.size() > record_reader::buffer_size) {
        w = w.substr(0, record_reader::buffer_size);
      }
      EXPECT_EQ(record, w) << from << " " << count;
      EXPECT_EQ(in.line_number(), static_cast<std::int64_t>(at + 1));
    }
  }
}

#ifndef _WIN32
// A file read several times must stay as it was when first opened.  A change
// in place (bytes added or cut, a new time at the same size) is found at the
// next reopening, at the end of the file and when asked; another file put in
// its place is found at the next reopening.  Each is report 107, never 24.
TEST(fixed_read_test, changed_file_is_report_107) {
  struct row {
    const char* name;
    std::function<void(const std::string&)> change;
    bool in_place;
  };
  const row rows[] = {
      {"bytes added",
       [](const std::string& p) {
         int fd = ::open(p.c_str(), O_WRONLY | O_APPEND);
         ASSERT_EQ(::write(fd, "x\n", 2), 2);
         ::close(fd);
       },
       true},
      {"cut to half", [](const std::string& p) { ASSERT_EQ(::truncate(p.c_str(), 20000), 0); },
       true},
      {"same size, new time",
       [](const std::string& p) {
         const struct timespec times[2] = {{0, UTIME_OMIT}, {1'000'000'000, 123'456'789}};
         ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
       },
       true},
      {"another file in its place",
       [](const std::string& p) {
         testing::write_file(p + ".new", testing::read_file(p));
         ASSERT_EQ(std::rename((p + ".new").c_str(), p.c_str()), 0);
       },
       false},
      {"removed", [](const std::string& p) { ASSERT_EQ(::unlink(p.c_str()), 0); }, false},
  };
  std::string text;
  for (int n = 0; n < 5000; ++n) {
    text += "record " + std::to_string(n) + "\n";
  }
  enum class when { reopening, reading_to_the_end, asked };
  for (const row& r : rows) {
    for (when w : {when::reopening, when::reading_to_the_end, when::asked}) {
      for (source from : {source::read, source::viewed}) {
        SCOPED_TRACE(std::string(r.name) + ", found " + std::to_string(static_cast<int>(w)) +
                     (from == source::viewed ? ", viewed" : ""));
        testing::temp_dir dir;
        const std::string path = dir.file("archive.cdb");
        testing::write_file(path, text);
        record_reader in;
        open_source(in, from, path, text);
        std::string_view record;
        ASSERT_TRUE(in.next(record));
        r.change(path);
        auto find = [&] {
          if (w == when::reopening) {
            in.reopen();
          } else if (w == when::asked) {
            in.check_unchanged();
          } else {
            while (in.next(record)) {
            }
          }
        };
        if (w == when::reopening || r.in_place) {
          run_failure failure = failure_of(find);
          EXPECT_EQ(failure.number, report::file_changed);
          EXPECT_EQ(failure.unit, channels::archive);
        } else {
          find();
        }
      }
    }
  }
  // Unchanged, it reads again and again.
  testing::temp_dir dir;
  testing::write_file(dir.file("same.cdb"), text);
  record_reader in;
  in.open_file(dir.file("same.cdb"), channels::archive);
  for (int pass = 0; pass < 3; ++pass) {
    std::string_view record;
    while (in.next(record)) {
    }
    in.check_unchanged();
    in.reopen();
  }
}
#endif

}  // namespace
}  // namespace cdbbem
