// The whole translation, in process, on an arbitrary archive, once with one
// thread and once with two.  Each input is written as ANSYS_Model.cdb into a
// directory of this process, beside output files holding stale text; each
// run must end with one of its exit statuses and leave each output file
// either as it was or ending after a record, and the two runs must end
// alike: the same status, console, error output and files, byte for byte.
// The runs share one set of buffers, and output files a run left as they
// were are not written again: most inputs end before writing, and the
// buffers and files would otherwise cost more than the run.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_files.h"
#include "run/run.h"

namespace {

// Longer than any short output, without a line end of its own.
constexpr std::string_view stale = "stale text of an earlier run, without a line end";

// The store a fuzzed archive may ask for: enough for every seed, far below
// the fuzzer's memory limit.
constexpr std::uint64_t store_cap = std::uint64_t{64} << 20;

std::string work_dir;
int console = -1;  // capture files, unlinked: each run's console and error output
int errors = -1;
cdbbem::run_buffers* buffers = nullptr;
bool outputs_stale = false;  // both output files hold `stale`

using cdbbem_fuzz::expect;
using cdbbem_fuzz::read_whole;
using cdbbem_fuzz::take;
using cdbbem_fuzz::write_whole;

int capture_file(const char* name) { return cdbbem_fuzz::capture_file(work_dir, name); }

bool allowed_status(int status) {
  switch (status) {
  case 0:
  case 1:
  case 9:
  case 24:
  case 29:
  case 30:
  case 33:
  case 35:
  case 38:
  case 39:
  case 41:
  case 59:
  case 63:
  case 64:
  case 179:
    return true;
  default:
    return status >= 101 && status <= 106;
  }
}

void remove_work_dir() {
  for (const char* name : {"ANSYS_Model.cdb", "input.dat", "input.plt"}) {
    ::unlink((work_dir + "/" + name).c_str());
  }
  ::rmdir(work_dir.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/cdbbem-fuzz-XXXXXX";
  expect(::mkdtemp(pattern.data()) != nullptr);
  work_dir = pattern;
  std::atexit(remove_work_dir);
  console = capture_file("console");
  errors = capture_file("errors");
  buffers = new cdbbem::run_buffers;
  return 0;
}

namespace {

// What one run left: status, console, error output and both files.
struct outcome {
  int status;
  std::string console, errors, model, plot;
  bool operator==(const outcome&) const = default;
};

outcome run(unsigned threads) {
  const std::string outputs[] = {work_dir + "/input.dat", work_dir + "/input.plt"};
  if (!outputs_stale) {
    for (const std::string& path : outputs) {
      write_whole(path, stale);
    }
  }
  // Each run closes its files: a lock left held would end the next with 108.
  cdbbem::run_options options;
  options.directory = work_dir;
  options.console = console;
  options.error_out = errors;
  options.store_memory_cap = store_cap;
  options.threads = threads;
  outcome o{cdbbem::run_translation(options, *buffers), take(console), take(errors),
            read_whole(outputs[0]), read_whole(outputs[1])};
  expect(allowed_status(o.status));
  outputs_stale = true;
  for (const std::string* text : {&o.model, &o.plot}) {
    bool untouched = *text == stale;
    outputs_stale = outputs_stale && untouched;
    bool ends_after_record = text->size() >= 2 && text->compare(text->size() - 2, 2, "\r\n") == 0;
    expect(untouched || ends_after_record);
    // A translation writes both files; only a failure while writing (38,
    // 63) may end a run that has written, every other end comes before.
    if (o.status == 0) {
      expect(!untouched);
    } else if (o.status != 38 && o.status != 63) {
      expect(untouched);
    }
  }
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  write_whole(work_dir + "/ANSYS_Model.cdb",
              std::string_view(reinterpret_cast<const char*>(data), size));
  const outcome one = run(1);
  const outcome two = run(2);
  if (!(one == two)) {
    std::fprintf(stderr, "one thread and two differ: status %d and %d, in %s\n", one.status,
                 two.status,
                 one.console != two.console ? "the console"
                 : one.errors != two.errors ? "the error output"
                 : one.model != two.model   ? "input.dat"
                 : one.plot != two.plot     ? "input.plt"
                                            : "the status");
    std::abort();
  }
  return 0;
}
