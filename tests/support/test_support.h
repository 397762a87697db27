#ifndef CDBBEM_TESTS_SUPPORT_TEST_SUPPORT_H_
#define CDBBEM_TESTS_SUPPORT_TEST_SUPPORT_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace cdbbem::testing {

/// A fresh, empty directory under the system's temporary directory,
/// removed with everything in it when the object goes.
class temp_dir {
 public:
  temp_dir();
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
  const std::string& path() const { return path_; }
  /// Absolute path of `name` inside the directory.
  std::string file(std::string_view name) const;

 private:
  std::string path_;
};

/// Writes `content` to `path`, replacing it.
void write_file(const std::string& path, std::string_view content);

/// The whole content of `path`; empty when it does not exist.
std::string read_file(const std::string& path);

/// True when `path` exists.
bool file_exists(const std::string& path);

/// Lines joined with LF, with a final LF.
std::string lines(std::initializer_list<std::string_view> records);

/// What a run of the translator left behind.
struct run_result {
  int status = -1;
  std::string out;  ///< standard output
  std::string err;  ///< standard error
};

/// Runs the real cdbbem executable in `dir` with `args` (POSIX systems; the
/// Windows build runs it from tests/windows instead).
run_result run_executable(const std::string& dir, std::initializer_list<std::string> args = {});
run_result run_executable(const std::string& dir, const std::vector<std::string>& args);

/// Runs the translation in this process on `dir`, capturing its console
/// and error output; the store may take at most `store_cap` bytes (0: no
/// cap), and the run uses `threads` threads.
run_result run_in_process(const std::string& dir, std::uint64_t store_cap = 0,
                          unsigned threads = 1);

/// The tests' data directory (real archives under real-archives/).
std::string data_dir();

}  // namespace cdbbem::testing

#endif  // CDBBEM_TESTS_SUPPORT_TEST_SUPPORT_H_
