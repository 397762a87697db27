// Runs stopped part-way, archives that change under a run, and two runs in
// one directory, with the real program in its own process.  An interrupted
// run leaves each output either as it was or a prefix of the complete output
// ending after a record; a changed archive is report 107; a second run while
// the first writes is report 108 and touches no file.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "archive/archive_builder.h"
#include "support/test_support.h"

namespace cdbbem::testing {
namespace {

using namespace std::chrono_literals;

// A strip of quadrilaterals, 60,000 nodes long: outputs of about 10 MiB, so
// that a run is still writing when the test signals it.
const std::string& big_archive() {
  static const std::string text = [] {
    archive_plan plan;
    constexpr std::int32_t columns = 30000;
    for (std::int32_t c = 0; c < columns; ++c) {
      plan.nodes.push_back({c * 0.5, 0.0, 0.25 * (c % 7)});
      plan.nodes.push_back({c * 0.5, 1.0, 0.25 * (c % 5)});
    }
    for (std::int32_t c = 1; c < columns; ++c) {
      plan.elements.push_back({2 * c - 1, 2 * c + 1, 2 * c + 2, 2 * c});
      plan.potentials.push_back({2 * c, 1.0 / c});
    }
    return build_archive(plan);
  }();
  return text;
}

// Starts the program in `dir` with standard output and error on `out` and
// `err`, its signals at their default actions and none blocked.
pid_t start(const std::string& dir, int out, int err) {
  pid_t pid = ::fork();
  if (pid == 0) {
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
      ::signal(s, SIG_DFL);
    }
    if (::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::chdir(dir.c_str()) != 0) {
      ::_exit(127);
    }
    ::execl(CDBBEM_EXE, CDBBEM_EXE, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

int wait_for(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

// Stops the run at the first moment, looked at every 100 microseconds or
// so while it is stopped, when `ready` holds; false when it ended first.
bool stop_when(pid_t pid, const std::function<bool()>& ready) {
  const auto give_up = std::chrono::steady_clock::now() + 60s;
  for (;;) {
    int status = 0;
    ::kill(pid, SIGSTOP);
    ::waitpid(pid, &status, WUNTRACED);
    if (!WIFSTOPPED(status)) {
      return false;
    }
    if (ready() || std::chrono::steady_clock::now() > give_up) {
      return true;
    }
    ::kill(pid, SIGCONT);
    std::this_thread::sleep_for(100us);
  }
}

// The bytes a process has read so far, by the system's count; -1 when the
// system does not tell.
long long bytes_read(pid_t pid) {
  long long count = -1;
  const std::string io = "/proc/" + std::to_string(pid) + "/io";
  if (std::FILE* f = std::fopen(io.c_str(), "r")) {
    if (std::fscanf(f, "rchar: %lld", &count) != 1) {
      count = -1;
    }
    std::fclose(f);
  }
  return count;
}

std::string tiny_archive() {
  archive_plan plan;
  plan.nodes = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
  plan.elements = {{1, 2, 3, 3}};
  return build_archive(plan);
}

// Old outputs: records of another model, longer than the new ones.
std::string old_output(std::size_t size) {
  std::string text;
  for (int n = 0; text.size() < size; ++n) {
    text += "record " + std::to_string(n) + " of the model of an earlier run\r\n";
  }
  return text;
}

// The complete outputs of the big archive.
struct complete_outputs {
  std::string model;
  std::string plot;
};

const complete_outputs& complete() {
  static const complete_outputs outputs = [] {
    temp_dir dir;
    write_file(dir.file("ANSYS_Model.cdb"), big_archive());
    run_result r = run_executable(dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    return complete_outputs{read_file(dir.file("input.dat")), read_file(dir.file("input.plt"))};
  }();
  return outputs;
}

// Each signal, sent once the run has written the start of input.dat (or of
// input.plt, or three quarters into input.dat) over older and longer
// outputs, ends the run by that signal with one line, and leaves each
// output as it was or cut after a record of the new model.
TEST(interrupt_test, each_signal_leaves_whole_records_of_this_run) {
  const complete_outputs& whole = complete();
  ASSERT_GT(whole.model.size(), 8u << 20);
  struct row {
    int signal_number;
    const char* watched;
    bool end;  // 4096 bytes near the watched file's end rather than its first
  };
  const row rows[] = {{SIGINT, "input.dat", false},
                      {SIGTERM, "input.plt", false},
                      {SIGHUP, "input.dat", false},
                      {SIGINT, "input.dat", true}};
  for (auto [signal_number, watched, end] : rows) {
    SCOPED_TRACE("signal " + std::to_string(signal_number) + " once " + watched +
                 (end ? "'s end" : "'s start") + " is new");
    // Three quarters into input.dat is reached a few milliseconds before
    // the run ends: a run that ends before the test sees it is tried again.
    const std::size_t at = end ? whole.model.size() / 4 * 3 : 0;
    bool signalled = false;
    for (int attempt = 0; attempt < 10 && !signalled; ++attempt) {
      temp_dir dir;
      write_file(dir.file("ANSYS_Model.cdb"), big_archive());
      const std::string old_model = old_output(whole.model.size() + 4096);
      const std::string old_plot = old_output(whole.plot.size() + 4096);
      write_file(dir.file("input.dat"), old_model);
      write_file(dir.file("input.plt"), old_plot);
      int out = ::open(dir.file("stdout").c_str(), O_WRONLY | O_CREAT, 0644);
      int err = ::open(dir.file("stderr").c_str(), O_WRONLY | O_CREAT, 0644);
      int watch = ::open(dir.file(watched).c_str(), O_RDONLY);
      pid_t pid = start(dir.path(), out, err);
      // Stopped once the watched bytes are new, the run takes the signal
      // as it goes on.  Both old files begin alike.
      signalled = stop_when(pid, [&] {
        char head[4096];
        return ::pread(watch, head, sizeof head, static_cast<off_t>(at)) != sizeof head ||
               old_model.compare(at, sizeof head, head, sizeof head) != 0;
      });
      // A run that ended first has been waited for by `stop_when`.
      int status = 0;
      if (signalled) {
        ::kill(pid, signal_number);
        ::kill(pid, SIGCONT);
        status = wait_for(pid);
      }
      for (int fd : {out, err, watch}) {
        ::close(fd);
      }
      if (!signalled) {
        continue;
      }
      ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
      EXPECT_EQ(WTERMSIG(status), signal_number);
      EXPECT_EQ(read_file(dir.file("stderr")),
                "cdbbem: interrupted by signal " + std::to_string(signal_number) + "\n");
      const std::string model = read_file(dir.file("input.dat"));
      const std::string plot = read_file(dir.file("input.plt"));
      // With two threads input.plt may be begun before input.dat is: then
      // input.dat is still as it was.
      EXPECT_TRUE((model == old_model && std::string_view(watched) == "input.plt") ||
                  (whole.model.starts_with(model) && model.ends_with("\r\n")))
          << model.size() << " bytes";
      EXPECT_TRUE(plot == old_plot || (whole.plot.starts_with(plot) && plot.ends_with("\r\n")))
          << plot.size() << " bytes";
    }
    EXPECT_TRUE(signalled) << "every run ended before the test saw the watched bytes new";
  }
}

// The archive changes while the run reads it: the run is stopped once it has
// read 2 MiB (inside its reading passes), the archive is changed, and the
// run goes on.  Bytes added or the archive cut short are report 107, not 24.
TEST(interrupt_test, archive_changed_while_read_is_report_107) {
  struct row {
    const char* name;
    std::function<void(const std::string&)> change;
  };
  const row rows[] = {
      {"bytes added",
       [](const std::string& path) {
         int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
         ASSERT_EQ(::write(fd, "/COM\n", 5), 5);
         ::close(fd);
       }},
      {"cut short",
       [](const std::string& path) {
         ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(big_archive().size() / 2)), 0);
       }},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    temp_dir dir;
    const std::string archive = dir.file("ANSYS_Model.cdb");
    write_file(archive, big_archive());
    write_file(dir.file("input.dat"), "stale");
    int err = ::open(dir.file("stderr").c_str(), O_WRONLY | O_CREAT, 0644);
    int out = ::open("/dev/null", O_WRONLY);
    pid_t pid = start(dir.path(), out, err);
    long long got = 0;
    EXPECT_TRUE(stop_when(pid, [&] { return (got = bytes_read(pid)) < 0 || got >= (2 << 20); }));
    if (got < 0) {
      ::kill(pid, SIGKILL);
      wait_for(pid);
      GTEST_SKIP() << "the system does not count the bytes a process reads";
    }
    r.change(archive);
    ::kill(pid, SIGCONT);
    int status = wait_for(pid);
    ::close(err);
    ::close(out);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 107) << status;
    const std::string text = read_file(dir.file("stderr"));
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "cdbbem: severe (107): file changed while being read, unit 5, file " + archive);
    EXPECT_EQ(read_file(dir.file("input.dat")), "stale");
  }
}

// While one run holds input.dat, a second ends at once with 108 and touches
// no file: input.dat keeps its text and time, input.plt is not created.
TEST(interrupt_test, second_run_while_the_first_writes_is_report_108) {
  temp_dir dir;
  write_file(dir.file("ANSYS_Model.cdb"), tiny_archive());
  write_file(dir.file("input.dat"), "stale");
  const struct timespec old_time[2] = {{0, UTIME_OMIT}, {1'000'000'000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, dir.file("input.dat").c_str(), old_time, 0), 0);
  int first = ::open(dir.file("input.dat").c_str(), O_WRONLY);
  ASSERT_EQ(::flock(first, LOCK_EX | LOCK_NB), 0);

  run_result second = run_executable(dir.path());
  EXPECT_EQ(second.status, 108);
  EXPECT_EQ(
      second.err.substr(0, second.err.find('\n')),
      "cdbbem: severe (108): file in use by another run, unit 6, file " + dir.file("input.dat"));
  struct stat info;
  ASSERT_EQ(::stat(dir.file("input.dat").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtim.tv_sec, 1'000'000'000);
  EXPECT_EQ(read_file(dir.file("input.dat")), "stale");
  EXPECT_FALSE(file_exists(dir.file("input.plt")));

  ::close(first);
  EXPECT_EQ(run_executable(dir.path()).status, 0);
}

// A standard output that is a closed pipe does not end the run: the outputs
// are finished and the status is success.
TEST(interrupt_test, closed_pipe_on_standard_output) {
  temp_dir dir;
  write_file(dir.file("ANSYS_Model.cdb"), tiny_archive());
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  ::close(pipe_ends[0]);
  int err = ::open(dir.file("stderr").c_str(), O_WRONLY | O_CREAT, 0644);
  int status = wait_for(start(dir.path(), pipe_ends[1], err));
  ::close(pipe_ends[1]);
  ::close(err);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(read_file(dir.file("stderr")), "");
  EXPECT_TRUE(read_file(dir.file("input.plt")).ends_with("\r\n"));
}

}  // namespace
}  // namespace cdbbem::testing
