#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace cdbbem::testing {

run_result run_executable(const std::string& dir, std::initializer_list<std::string> args) {
  return run_executable(dir, std::vector<std::string>(args));
}

run_result run_executable(const std::string& dir, const std::vector<std::string>& args) {
  temp_dir capture;
  std::string out_path = capture.file("stdout");
  std::string err_path = capture.file("stderr");
  std::vector<std::string> argv_text = {CDBBEM_EXE};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  pid_t pid = ::fork();
  if (pid == 0) {
    int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int in = ::open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0 || ::chdir(dir.c_str()) != 0) {
      ::_exit(127);
    }
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> argv;
    for (std::string& a : argv_text) {
      argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  run_result r;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = read_file(out_path);
  r.err = read_file(err_path);
  return r;
}

}  // namespace cdbbem::testing
