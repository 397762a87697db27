// Whole runs with --any, in process, on an arbitrary archive: a translation
// with one thread and one with two, which must end alike (status, console,
// error output and both files, byte for byte), then --any --check, which
// must end as the translation did and leave both files as they were.  Each
// input is written as ANSYS_Model.cdb into a directory of this process.
// Inputs of odd length name the labels TEMP and HFLUX, as --dof and --flux
// do; the others leave the choice to the archive.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_files.h"
#include "run/run.h"

namespace {

// Far below the fuzzer's memory limit, enough for every seed.
constexpr std::uint64_t store_cap = std::uint64_t{64} << 20;

constexpr std::string_view completion = "  Data Translation from ANSYS to BEM is done!\r\n";

std::string work_dir;
int console = -1;  // capture files, unlinked: each run's console and error output
int errors = -1;
cdbbem::run_buffers* buffers = nullptr;

using cdbbem_fuzz::expect;
using cdbbem_fuzz::read_whole;
using cdbbem_fuzz::take;
using cdbbem_fuzz::write_whole;

int capture_file(const char* name) { return cdbbem_fuzz::capture_file(work_dir, name); }

// The statuses a run of a fuzzed archive may end with: success, the
// free-form reads' and the writers' reports, memory, and the reports of
// the reading of any layout (109-114).
bool allowed_status(int status) {
  switch (status) {
  case 0:
  case 24:
  case 39:
  case 41:
  case 59:
  case 63:
  case 64:
  case 179:
    return true;
  default:
    return status >= 109 && status <= 114;
  }
}

void remove_work_dir() {
  for (const char* name : {"ANSYS_Model.cdb", "input.dat", "input.plt"}) {
    ::unlink((work_dir + "/" + name).c_str());
  }
  ::rmdir(work_dir.c_str());
}

struct outcome {
  int status;
  std::string console, errors, model, plot;
  bool operator==(const outcome&) const = default;
};

outcome run(unsigned threads, bool check, bool labels) {
  cdbbem::run_options options;
  options.directory = work_dir;
  options.console = console;
  options.error_out = errors;
  options.store_memory_cap = store_cap;
  options.threads = threads;
  options.any = true;
  options.check = check;
  if (labels) {
    options.dof = "TEMP";
    options.flux = "HFLUX";
  }
  return {cdbbem::run_translation(options, *buffers), take(console), take(errors),
          read_whole(work_dir + "/input.dat"), read_whole(work_dir + "/input.plt")};
}

std::string_view first_line(std::string_view text) { return text.substr(0, text.find('\n')); }

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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  write_whole(work_dir + "/ANSYS_Model.cdb",
              std::string_view(reinterpret_cast<const char*>(data), size));
  // Each translation starts from empty outputs, so that one that fails
  // before writing is seen to leave them so.
  const bool labels = size % 2 == 1;
  write_whole(work_dir + "/input.dat", "");
  write_whole(work_dir + "/input.plt", "");
  const outcome one = run(1, false, labels);
  write_whole(work_dir + "/input.dat", "");
  write_whole(work_dir + "/input.plt", "");
  const outcome two = run(2, false, labels);
  if (!(one == two)) {
    std::fprintf(stderr, "one thread and two differ: status %d and %d\n", one.status, two.status);
    std::abort();
  }
  expect(allowed_status(one.status));
  // Only a success, or a failure while writing, writes, and a file
  // written ends after a record.
  const bool wrote = !one.model.empty() || !one.plot.empty();
  expect(wrote == (one.status == 0 || one.status == 63));
  expect(one.status != 0 || one.errors.empty());
  for (const std::string* text : {&one.model, &one.plot}) {
    expect(text->empty() || text->ends_with("\r\n"));
  }

  // A check reads as the translation did: the same report, or a verdict;
  // after a success the same notes, then its report.  It writes nothing.
  const outcome checked = run(2, true, labels);
  expect(checked.model == one.model && checked.plot == one.plot);
  if (one.status == 0) {
    expect(checked.status == 0 || checked.status == 3);
    expect(one.console.ends_with(completion));
    const std::string_view notes =
        std::string_view(one.console).substr(0, one.console.size() - completion.size());
    expect(checked.console.starts_with(notes));
  } else {
    expect(checked.status == one.status);
    expect(first_line(checked.errors) == first_line(one.errors));
  }
  return 0;
}
