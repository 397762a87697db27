#ifndef CDBBEM_TESTS_RUN_RUN_TRACE_H_
#define CDBBEM_TESTS_RUN_RUN_TRACE_H_

#include <cstdint>
#include <string>

namespace cdbbem::testing {

/// What one run leaves: status, console, error output (the run directory
/// written <DIR>) and both output files.
struct run_trace {
  int status;
  std::string out, err, model, plot;
  bool operator==(const run_trace&) const = default;
};

/// Runs the translation in process with `threads` threads on `archive`,
/// written as ANSYS_Model.cdb in a fresh directory beside output files
/// holding the stale texts of bad_archives.h; the store may take at most
/// `store_cap` bytes (0: no cap); `any` reads it as `--any` does.
run_trace trace_run(const std::string& archive, unsigned threads, std::uint64_t store_cap = 0,
                    bool any = false);

/// Where `two` first differs from `one`, in words: the status, or the
/// first of console, error output, input.dat and input.plt that differs,
/// with the byte offset and a few bytes of each side, each side named by
/// `one_name` and `two_name`.  Empty when equal.
std::string trace_difference(const run_trace& one, const run_trace& two,
                             const std::string& one_name = "one thread",
                             const std::string& two_name = "two threads");

}  // namespace cdbbem::testing

#endif  // CDBBEM_TESTS_RUN_RUN_TRACE_H_
