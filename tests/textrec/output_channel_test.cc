#include "textrec/output_channel.h"

#include <gtest/gtest.h>
#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <string>
#include <thread>

#include "platform/files.h"
#include "platform/interrupts.h"
#include "run/channels.h"
#include "run/reports.h"
#include "textrec/record_handover.h"
#include "textrec/record_reader.h"
#include "textrec_helpers.h"

namespace cdbbem {
namespace {

using testing::failure_of;
using testing::read_file;
using testing::write_file;

TEST(output_channel_test, records_end_with_cr_lf_across_flushes) {
  std::string expected;
  std::string text = testing::written([&expected](output_channel& out) {
    out.write_record("");
    expected = "\r\n";
    for (int n = 0; n < 30000; ++n) {
      std::string record(static_cast<std::size_t>(n % 97), static_cast<char>('a' + n % 26));
      out.write_record(record);
      expected += record + "\r\n";
    }
    EXPECT_EQ(out.bytes_written(), expected.size());
  });
  EXPECT_EQ(text.size(), expected.size());
  EXPECT_TRUE(text == expected);
}

// A run writes over the old content and cuts the file after its last
// record; a file that received nothing is left as it was.
TEST(output_channel_test, finish_cuts_only_written_files) {
  testing::temp_dir dir;
  std::string old = std::string(5000, 'x') + "\n";
  write_file(dir.file("written.dat"), old);
  write_file(dir.file("untouched.dat"), old);
  {
    output_channel written;
    written.open_file(dir.file("written.dat"), channels::model);
    written.write_record("new");
    written.finish();
    written.finish();
    output_channel untouched;
    untouched.open_file(dir.file("untouched.dat"), channels::plot);
    untouched.finish();
    output_channel created;
    created.open_file(dir.file("created.plt"), channels::plot);
    created.finish();
  }
  EXPECT_EQ(read_file(dir.file("written.dat")), "new\r\n");
  EXPECT_EQ(read_file(dir.file("untouched.dat")), old);
  EXPECT_TRUE(testing::file_exists(dir.file("created.plt")));
  EXPECT_EQ(read_file(dir.file("created.plt")), "");
}

// Records formatted on another thread come back whole, in the order of
// their pieces, between the writing thread's own records; a writing thread
// that gives up releases a formatting thread waiting for a buffer.
TEST(output_channel_test, handed_over_records_keep_their_order) {
  testing::temp_dir dir;
  write_file(dir.file("out.dat"), std::string(5000, 'x'));
  record_handover handover;
  ASSERT_TRUE(handover.reserve(output_channel::most_held_blocks + 1, output_channel::buffer_size));
  output_channel out;
  output_channel beside;
  out.open_file(dir.file("out.dat"), channels::model);
  beside.open_handover(handover);
  const char* const own[] = {"a0", "a1", "a2", "a3", "a4"};
  const char* const formatted[] = {"b0", "b1", "b2", "b3", "b4"};
  std::thread side([&] {
    for (int piece = 0; piece < 5; ++piece) {
      for (int k = 0; k < 30000; ++k) {
        beside.write_record(formatted[piece]);
      }
      beside.end_piece();
    }
    handover.end();
  });
  std::string want;
  for (int piece = 0; piece < 5; ++piece) {
    out.write_record(own[piece]);
    want.append(own[piece]).append("\r\n");
    for (bool end = false; !end;) {
      record_handover::block b;
      ASSERT_TRUE(handover.take(b));
      end = b.piece_end;
      out.append_block(b, handover);
    }
    for (int k = 0; k < 30000; ++k) {
      want.append(formatted[piece]).append("\r\n");
    }
  }
  side.join();
  record_handover::block none;
  EXPECT_FALSE(handover.take(none));
  // The records of the blocks still held move into the channel's buffer.
  out.keep_blocks();
  out.finish();
  out.close();
  EXPECT_EQ(read_file(dir.file("out.dat")), want);

  record_handover stalled;
  ASSERT_TRUE(stalled.reserve(1, output_channel::buffer_size));
  beside.open_handover(stalled);
  std::thread blocked([&] {
    for (int piece = 0; piece < 4; ++piece) {
      beside.write_record("never taken");
      beside.end_piece();
    }
  });
  stalled.abandon();
  blocked.join();
  EXPECT_TRUE(stalled.abandoned());
  beside.close();
}

TEST(output_channel_test, write_and_open_failures) {
  if (::access("/dev/full", W_OK) != 0) {
    GTEST_SKIP() << "no /dev/full on this system";
  }
  output_channel full;
  full.open_file("/dev/full", channels::plot);
  full.write_record("x");
  run_failure failure = failure_of([&full] { full.flush(); });
  EXPECT_EQ(failure.number, report::write_error);
  EXPECT_EQ(failure.unit, channels::plot);
  EXPECT_EQ(report_first_line(failure, full.path()),
            "cdbbem: severe (38): error during write, unit 8, file /dev/full");

  testing::temp_dir dir;
  output_channel nowhere;
  failure = failure_of([&] { nowhere.open_file(dir.file("no/such/dir"), channels::model); });
  EXPECT_EQ(failure.number, report::open_failure);
  EXPECT_EQ(failure.unit, channels::model);
}

#ifdef _WIN32
// A file another program holds open without sharing (a sharing violation on
// Windows) cannot be opened, as an archive or as an output: an open failure,
// not a permission problem.
TEST(output_channel_test, file_held_without_sharing_is_an_open_failure) {
  testing::temp_dir dir;
  const std::string path = dir.file("held.dat");
  write_file(path, "held\n");
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  output_channel out;
  run_failure failure = failure_of([&] { out.open_file(path, channels::model); });
  EXPECT_EQ(failure.number, report::open_failure);
  record_reader in;
  failure = failure_of([&] { in.open_file(path, channels::archive); });
  EXPECT_EQ(failure.number, report::open_failure);
  CloseHandle(held);
  in.open_file(path, channels::archive);
}
#endif

// An interrupt during a write keeps, of the bytes of that write that reached
// the file, those up to their last line feed; before them, what was kept.
TEST(output_channel_test, interrupt_keeps_the_lines_that_reached_the_file) {
  interrupt_guard guard;
  ASSERT_TRUE(guard.guard(99));  // the handler alone uses the file
  guard.kept(90);
  const std::string data = "aa\r\nbb\r\ncc";  // written from byte 100
  guard.writing(data.data(), data.size(), 100);
  const std::uint64_t rows[][2] = {{0, 90},    {100, 90},  {103, 90},  {104, 104},
                                   {107, 104}, {108, 108}, {110, 108}, {500, 108}};
  for (const auto& r : rows) {
    EXPECT_EQ(guard.keep_at(r[0]), r[1]) << r[0] << " bytes reached";
  }
  guard.kept(108);
  EXPECT_EQ(guard.keep_at(110), 108u);
}

}  // namespace
}  // namespace cdbbem
