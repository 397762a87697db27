// Archives that are damaged, cut short, hand-edited or not archives at all:
// each run must end with a translation, the stop message or one failure
// report, and leave the output files as they were (a run that ends before
// writing) or ending after the last record written.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "archive/archive_builder.h"
#include "bad_archives.h"
#include "run_trace.h"
#include "support/test_support.h"

namespace cdbbem::testing {
namespace {

std::string first_line(const std::string& text, const std::string& dir) {
  std::string line = text.substr(0, text.find('\n'));
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  for (std::size_t at; (at = line.find(dir)) != std::string::npos;) {
    line.replace(at, dir.size(), "<DIR>");
  }
  return line;
}

bool ends_after_record(const std::string& text) {
  return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

TEST(bad_archive_test, each_ends_as_described) {
  for (const bad_archive& c : bad_archives()) {
    SCOPED_TRACE(c.name);
    temp_dir dir;
    write_file(dir.file("ANSYS_Model.cdb"), c.archive);
    write_file(dir.file("input.dat"), stale_model);
    write_file(dir.file("input.plt"), stale_plot);
    run_result r = run_in_process(dir.path());
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(first_line(r.err, dir.path()), c.first_line);
    const std::string model = read_file(dir.file("input.dat"));
    const std::string plot = read_file(dir.file("input.plt"));
    if (c.files == outputs::untouched) {
      EXPECT_EQ(model, stale_model);
      EXPECT_EQ(plot, stale_plot);
    } else {
      EXPECT_EQ(model.rfind(" A BEM Model for 3-D Potential Analysis,", 0), 0u);
      EXPECT_EQ(plot.rfind(" TITLE = ", 0), 0u);
      EXPECT_TRUE(ends_after_record(model));
      EXPECT_TRUE(ends_after_record(plot));
    }
  }
}

// Two threads must give what one gives, byte for byte, for every bad
// archive, every golden case and every real archive: a side pass that meets
// bad input must not win over the failure the one-thread order meets first.
TEST(bad_archive_test, one_and_two_threads_agree) {
  std::vector<std::pair<std::string, std::string>> archives;
  for (const bad_archive& c : bad_archives()) {
    archives.emplace_back(c.name, c.archive);
  }
  for (const char* name :
       {"TetBeam.cdb", "HexBeam.cdb", "ErnoRadiation.cdb", "sector.cdb", "mesh200.cdb"}) {
    archives.emplace_back(name, read_file(data_dir() + "/real-archives/" + name));
  }
  for (const char* name : {"closed-cube-crlf", "reference-finish-first", "reference-truncated",
                           "reference-comma-fields", "regression-slash-in-element"}) {
    archives.emplace_back(name, read_file(std::string(CDBBEM_SOURCE_DIR) + "/tests/golden/" + name +
                                          "/ANSYS_Model.cdb"));
  }
  for (const auto& [name, archive] : archives) {
    SCOPED_TRACE(name);
    run_trace one = trace_run(archive, 1);
    run_trace two = trace_run(archive, 2);
    EXPECT_EQ(two.status, one.status);
    EXPECT_EQ(two.out, one.out);
    EXPECT_EQ(two.err, one.err);
    EXPECT_TRUE(two.model == one.model) << "input.dat differs";
    EXPECT_TRUE(two.plot == one.plot) << "input.plt differs";
  }
}

// A plot file that cannot be written (38) comes after a whole model file,
// also when a second thread formats records of both files.
// A strip of quadrilaterals whose outputs outgrow the output buffers, so
// that both threads format while the other does.
const std::string& strip_archive() {
  static const std::string text = [] {
    archive_plan plan;
    for (std::int32_t c = 0; c < 15000; ++c) {
      plan.nodes.push_back({c * 0.5, 0.0, 0.0});
      plan.nodes.push_back({c * 0.5, 1.0, 0.0});
    }
    for (std::int32_t c = 1; c < 15000; ++c) {
      plan.elements.push_back({2 * c - 1, 2 * c + 1, 2 * c + 2, 2 * c});
    }
    return build_archive(plan);
  }();
  return text;
}

TEST(bad_archive_test, full_plot_device_leaves_the_model_file_whole) {
  const std::string& archive = strip_archive();
  const std::string whole = trace_run(archive, 1).model;
  for (unsigned threads : {1u, 2u}) {
    SCOPED_TRACE(threads);
    temp_dir dir;
    write_file(dir.file("ANSYS_Model.cdb"), archive);
    ASSERT_EQ(::symlink("/dev/full", dir.file("input.plt").c_str()), 0);
    run_result r = run_in_process(dir.path(), 0, threads);
    EXPECT_EQ(r.status, 38) << r.err;
    EXPECT_TRUE(read_file(dir.file("input.dat")) == whole) << "input.dat is not whole";
  }
}

// A model file that is a pipe takes the same bytes with two threads as
// with one: only a regular file is written at two places at once.
TEST(bad_archive_test, model_file_on_a_pipe) {
  const std::string whole = trace_run(strip_archive(), 1).model;
  for (unsigned threads : {1u, 2u}) {
    SCOPED_TRACE(threads);
    temp_dir dir;
    write_file(dir.file("ANSYS_Model.cdb"), strip_archive());
    ASSERT_EQ(::mkfifo(dir.file("input.dat").c_str(), 0644), 0);
    int pipe = ::open(dir.file("input.dat").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(pipe, 0);
    ::fcntl(pipe, F_SETFL, 0);
    std::string received;
    std::atomic<bool> ended{false};
    // Until the run opens the pipe, and after it closes it, a read finds
    // no writer and returns 0.
    std::thread drain([&] {
      char chunk[65536];
      for (;;) {
        const bool last = ended.load();
        const ssize_t got = ::read(pipe, chunk, sizeof chunk);
        if (got > 0) {
          received.append(chunk, static_cast<std::size_t>(got));
        } else if (last) {
          break;
        } else {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      }
    });
    run_result r = run_in_process(dir.path(), 0, threads);
    ended = true;
    drain.join();
    ::close(pipe);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(received == whole) << received.size() << " bytes of " << whole.size();
  }
}

// What a file holds after a run: nothing (absent), the earlier run's text,
// this run's records, or it is not a regular file and is left unchecked.
enum class file_state { absent, stale, written, not_regular };

void expect_state(const std::string& path, file_state state, std::string_view stale) {
  switch (state) {
  case file_state::absent:
    EXPECT_FALSE(file_exists(path)) << path;
    break;
  case file_state::stale:
    EXPECT_EQ(read_file(path), stale) << path;
    break;
  case file_state::written:
    EXPECT_TRUE(ends_after_record(read_file(path))) << path;
    break;
  case file_state::not_regular:
    break;
  }
}

// The archive or an output file is not what the run can use.  Run as the
// real program, in its own process.
TEST(bad_archive_test, file_system_cases) {
  struct row {
    std::string name;
    std::function<void(const temp_dir&)> setup;
    int status;
    std::string first_line;
    file_state model;
    file_state plot;
  };
  auto archive = [](const temp_dir& d) { write_file(d.file("ANSYS_Model.cdb"), base_archive); };
  auto stale_outputs = [](const temp_dir& d) {
    write_file(d.file("input.dat"), stale_model);
    write_file(d.file("input.plt"), stale_plot);
  };
  const std::vector<row> rows = {
      {"missing archive", [](const temp_dir&) {}, 29,
       "cdbbem: severe (29): file not found, unit 5, file <DIR>/ANSYS_Model.cdb",
       file_state::absent, file_state::absent},
      {"missing archive beside earlier outputs", stale_outputs, 29,
       "cdbbem: severe (29): file not found, unit 5, file <DIR>/ANSYS_Model.cdb", file_state::stale,
       file_state::stale},
      {"archive is a directory",
       [](const temp_dir& d) { ::mkdir(d.file("ANSYS_Model.cdb").c_str(), 0755); }, 30,
       "cdbbem: severe (30): open failure, unit 5, file <DIR>/ANSYS_Model.cdb", file_state::absent,
       file_state::absent},
      {"archive is a FIFO",
       [](const temp_dir& d) { ::mkfifo(d.file("ANSYS_Model.cdb").c_str(), 0644); }, 30,
       "cdbbem: severe (30): open failure, unit 5, file <DIR>/ANSYS_Model.cdb", file_state::absent,
       file_state::absent},
      {"archive is a device",
       [](const temp_dir& d) { ::symlink("/dev/zero", d.file("ANSYS_Model.cdb").c_str()); }, 30,
       "cdbbem: severe (30): open failure, unit 5, file <DIR>/ANSYS_Model.cdb", file_state::absent,
       file_state::absent},
      {"model file on a full device",
       [&](const temp_dir& d) {
         archive(d);
         ::symlink("/dev/full", d.file("input.dat").c_str());
       },
       38, "cdbbem: severe (38): error during write, unit 6, file <DIR>/input.dat",
       file_state::not_regular, file_state::written},
      {"plot file on a full device",
       [&](const temp_dir& d) {
         archive(d);
         ::symlink("/dev/full", d.file("input.plt").c_str());
       },
       38, "cdbbem: severe (38): error during write, unit 8, file <DIR>/input.plt",
       file_state::written, file_state::not_regular},
      {"model file is a directory",
       [&](const temp_dir& d) {
         archive(d);
         ::mkdir(d.file("input.dat").c_str(), 0755);
       },
       30, "cdbbem: severe (30): open failure, unit 6, file <DIR>/input.dat",
       file_state::not_regular, file_state::absent},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    temp_dir dir;
    r.setup(dir);
    run_result result = run_executable(dir.path());
    EXPECT_EQ(result.status, r.status) << result.err;
    EXPECT_EQ(first_line(result.err, dir.path()), r.first_line);
    expect_state(dir.file("input.dat"), r.model, stale_model);
    expect_state(dir.file("input.plt"), r.plot, stale_plot);
  }
}

// Runs the executable in `dir` as the unprivileged user "nobody" (65534), for
// a test that needs the file permissions root passes over.
run_result run_as_nobody(const std::string& dir) {
  temp_dir capture;
  const std::string err_path = capture.file("stderr");
  pid_t pid = ::fork();
  if (pid == 0) {
    int out = ::open("/dev/null", O_WRONLY);
    int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0 ||
        ::chdir(dir.c_str()) != 0) {
      ::_exit(127);
    }
    ::dup2(out, 1);
    ::dup2(err, 2);
    char* argv[] = {const_cast<char*>(CDBBEM_EXE), nullptr};
    ::execv(argv[0], argv);
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  run_result r;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.err = read_file(err_path);
  return r;
}

TEST(bad_archive_test, unreadable_archive_is_report_9) {
  temp_dir dir;
  write_file(dir.file("ANSYS_Model.cdb"), base_archive);
  ::chmod(dir.file("ANSYS_Model.cdb").c_str(), 0);
  run_result r;
  if (::geteuid() == 0) {
    // The directory must let "nobody" in and write beside the archive.
    ::chmod(dir.path().c_str(), 0777);
    r = run_as_nobody(dir.path());
    if (r.status == 127) {
      GTEST_SKIP() << "the program cannot be run as nobody from where it was built";
    }
  } else {
    r = run_executable(dir.path());
  }
  EXPECT_EQ(r.status, 9) << r.err;
  EXPECT_EQ(first_line(r.err, dir.path()),
            "cdbbem: severe (9): permission to access file denied, unit 5, file "
            "<DIR>/ANSYS_Model.cdb");
  EXPECT_FALSE(file_exists(dir.file("input.dat")));
}

}  // namespace
}  // namespace cdbbem::testing
