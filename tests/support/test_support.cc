#include "support/test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "run/run.h"

namespace cdbbem::testing {

temp_dir::temp_dir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/cdbbem-test-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (::mkdtemp(buf.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path_ = buf.data();
}

temp_dir::~temp_dir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string temp_dir::file(std::string_view name) const { return path_ + "/" + std::string(name); }

void write_file(const std::string& path, std::string_view content) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!f) {
    throw std::runtime_error("cannot write " + path);
  }
}

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool file_exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

std::string lines(std::initializer_list<std::string_view> records) {
  std::string text;
  for (std::string_view r : records) {
    text += r;
    text += '\n';
  }
  return text;
}

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

run_result run_in_process(const std::string& dir, std::uint64_t store_cap) {
  temp_dir capture;
  std::string out_path = capture.file("stdout");
  std::string err_path = capture.file("stderr");
  int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  run_result r;
  r.status = run_translation({dir, out, err, store_cap});
  ::close(out);
  ::close(err);
  r.out = read_file(out_path);
  r.err = read_file(err_path);
  return r;
}

std::string data_dir() { return CDBBEM_DATA_DIR; }

}  // namespace cdbbem::testing
