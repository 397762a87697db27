// Counts the archive cannot back and files the system will not let grow:
// the run must end with its report quickly, without taking the memory its
// counts ask for, and leave the output files ending after a record.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "model/store.h"
#include "support/test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#define CDBBEM_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CDBBEM_SANITIZED 1
#endif
#endif

namespace cdbbem::testing {
namespace {

// The sanitizer's allocator marks every allocated byte in its shadow, so
// the untouched pages these tests count on are touched there.
bool sanitized() {
#ifdef CDBBEM_SANITIZED
  return true;
#else
  return false;
#endif
}

struct measured_run {
  int status = -1;
  long peak_rss_kib = 0;
  double seconds = 0;
  std::string err;
};

// Runs the executable in `dir` and measures it; `file_size_limit`, when not
// 0, is the largest file it may write (RLIMIT_FSIZE, the signal ignored).
measured_run run_measured(const std::string& dir, rlim_t file_size_limit = 0) {
  temp_dir capture;
  const std::string err_path = capture.file("stderr");
  auto start = std::chrono::steady_clock::now();
  pid_t pid = ::fork();
  if (pid == 0) {
    int out = ::open("/dev/null", O_WRONLY);
    int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::chdir(dir.c_str()) != 0) {
      ::_exit(127);
    }
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (file_size_limit != 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      struct rlimit limit = {file_size_limit, file_size_limit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    char* argv[] = {const_cast<char*>(CDBBEM_EXE), nullptr};
    ::execv(argv[0], argv);
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  measured_run r;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.peak_rss_kib = usage.ru_maxrss;
  r.err = read_file(err_path);
  return r;
}

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string count_record(const char* name, long long count) {
  char line[64];
  std::snprintf(line, sizeof line, "NUMOFF,%s,%9lld\n", name, count);
  return line;
}

// An archive whose counts are N and E, with the two components when `cells`
// is not 0, and one node record: everything else the counts promise is missing.
std::string promising_archive(long long nodes, long long elements, long long cells = 0,
                              long long points = 0) {
  std::string text = "*ELSE\n" + count_record("NODE", nodes) + count_record("ELEM", elements);
  if (cells != 0) {
    text += "CMBLOCK,FIELDCELLS,ELEM,       1\n(8i10)\n1 -" + std::to_string(cells) +
            "\nCMBLOCK,FIELDPOINTS,NODE,       1\n(8i10)\n1 -" + std::to_string(points) + "\n";
  }
  return text +
         "FINISH\n"
         "NBLOCK,6,SOLID\n"
         "(3i8,6e16.9)\n"
         "       1       0       0 0.000000000E+00 0.000000000E+00 0.000000000E+00\n";
}

const std::string too_large =
    "cdbbem: severe (179): Cannot allocate array - overflow on array size calculation.";
const std::string no_memory = "cdbbem: severe (41): insufficient virtual memory";
const std::string eof_prefix = "cdbbem: severe (24): end-of-file during read, unit 5";

// Counts whose arrays exceed 4,294,967,295 bytes end before anything is
// allocated, whatever the machine has.
TEST(limits_test, array_beyond_four_gib_is_report_179) {
  struct row {
    const char* what;
    std::string archive;
  };
  const row rows[] = {
      {"nodes", promising_archive(2'000'000'000, 1)},
      {"node coordinates just past 4 GiB", promising_archive(178'956'971, 1)},
      {"elements", promising_archive(1, 200'000'000)},
      {"field cells", promising_archive(20, 300'000'010, 300'000'000, 10)},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    temp_dir dir;
    write_file(dir.file("ANSYS_Model.cdb"), r.archive);
    write_file(dir.file("input.dat"), "stale");
    run_result result = run_in_process(dir.path());
    EXPECT_EQ(result.status, 179);
    EXPECT_EQ(first_line(result.err), too_large);
    EXPECT_EQ(read_file(dir.file("input.dat")), "stale");
  }
}

TEST(limits_test, store_beyond_the_memory_cap_is_report_41) {
  temp_dir dir;
  // 100,000 nodes take 3.2 MB of store.
  write_file(dir.file("ANSYS_Model.cdb"), promising_archive(100'000, 1));
  {
    EXPECT_EQ(store_budget(std::uint64_t{1} << 20), std::uint64_t{1} << 20);
    run_result r = run_in_process(dir.path(), std::uint64_t{1} << 20);
    EXPECT_EQ(r.status, 41);
    EXPECT_EQ(first_line(r.err), no_memory);
  }
  run_result r = run_in_process(dir.path());
  EXPECT_EQ(r.status, 24);
  EXPECT_EQ(first_line(r.err).rfind(eof_prefix, 0), 0u) << r.err;
}

// Every array at its largest size under 4 GiB: about 25.8 GB in all.
TEST(limits_test, store_beyond_the_machine_is_report_41_without_taking_memory) {
  if (sanitized()) {
    GTEST_SKIP() << "the sanitizer's allocator touches what it allocates";
  }
  const long long n = 178'956'970;  // 3 x 8 x n bytes < 4 GiB
  const long long c = 268'435'455;  // 4 x 4 x c bytes < 4 GiB
  const double total = 32.0 * n + 64.0 * n + 24.0 * n + 16.0 * c;
  if (static_cast<double>(store_budget(0)) >= total) {
    GTEST_SKIP() << "the machine has more than " << total << " bytes available";
  }
  temp_dir dir;
  write_file(dir.file("ANSYS_Model.cdb"), promising_archive(2 * n, n + c, c, n));
  measured_run r = run_measured(dir.path());
  EXPECT_EQ(r.status, 41) << r.err;
  EXPECT_EQ(first_line(r.err), no_memory);
  EXPECT_LT(r.peak_rss_kib, 100 * 1024);
  EXPECT_LT(r.seconds, 10.0);
}

// 100 million nodes promised, one given: the node block runs out at once,
// and the 3.2 GB store it was given is never touched.
TEST(limits_test, counts_the_archive_cannot_back_end_quickly) {
  if (sanitized()) {
    GTEST_SKIP() << "the sanitizer's allocator touches what it allocates";
  }
  const long long nodes = 100'000'000;
  temp_dir dir;
  write_file(dir.file("ANSYS_Model.cdb"), promising_archive(nodes, 0));
  measured_run r = run_measured(dir.path());
  if (static_cast<double>(store_budget(0)) > 32.0 * nodes) {
    EXPECT_EQ(r.status, 24) << r.err;
    EXPECT_EQ(first_line(r.err).rfind(eof_prefix, 0), 0u) << r.err;
  } else {
    EXPECT_EQ(r.status, 41) << r.err;
  }
  EXPECT_LT(r.peak_rss_kib, 100 * 1024);
  EXPECT_LT(r.seconds, 10.0);
}

// A model file that cannot grow past 60,000 bytes: the run ends with 38
// and the file ends after the last record that reached it whole, with
// nothing of its earlier, longer content left behind.
TEST(limits_test, file_that_cannot_grow_ends_after_a_whole_record) {
  std::string archive = "*ELSE\n" + count_record("NODE", 1000) + count_record("ELEM", 0) +
                        "FINISH\nNBLOCK\n(3i8,6e16.9)\n";
  for (int n = 1; n <= 1000; ++n) {
    char line[80];
    std::snprintf(line, sizeof line, "%8d       0       0 %15.9E %15.9E %15.9E\n", n, n * 0.5,
                  -n * 0.25, 1.0);
    archive += line;
  }
  archive += "EBLOCK\n(19i8)\n";
  temp_dir dir;
  write_file(dir.file("ANSYS_Model.cdb"), archive);
  const std::string stale(90'000, '#');
  write_file(dir.file("input.dat"), stale);
  measured_run r = run_measured(dir.path(), 60'000);
  EXPECT_EQ(r.status, 38) << r.err;
  EXPECT_EQ(first_line(r.err),
            "cdbbem: severe (38): error during write, unit 6, file " + dir.path() + "/input.dat");
  const std::string model = read_file(dir.file("input.dat"));
  EXPECT_LE(model.size(), 60'000u);
  EXPECT_EQ(model.find('#'), std::string::npos);
  if (!model.empty()) {
    EXPECT_EQ(model.substr(model.size() - 2), "\r\n");
  }
  // The plot file, 48 KB, fits under the limit and is written whole.
  const std::string plot = read_file(dir.file("input.plt"));
  EXPECT_EQ(plot.rfind(" TITLE = ", 0), 0u);
  EXPECT_EQ(plot.substr(plot.size() - 3), " \r\n");
}

}  // namespace
}  // namespace cdbbem::testing
