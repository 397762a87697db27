// The whole translation, in process, on an arbitrary archive.  Each input is
// written as ANSYS_Model.cdb into a directory of this process, beside output
// files holding stale text; the run must end with one of its exit statuses
// and leave each output file either as it was or ending after a record.
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

#include "run/run.h"

namespace {

// Longer than any short output, without a line end of its own.
constexpr std::string_view stale = "stale text of an earlier run, without a line end";

// The store a fuzzed archive may ask for: enough for every seed, far below
// the fuzzer's memory limit.
constexpr std::uint64_t store_cap = std::uint64_t{64} << 20;

std::string work_dir;
int devnull = -1;
cdbbem::run_buffers* buffers = nullptr;
bool outputs_stale = false;  // both output files hold `stale`

void expect(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void write_whole(const std::string& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  expect(fd >= 0);
  while (!bytes.empty()) {
    ssize_t put = ::write(fd, bytes.data(), bytes.size());
    expect(put > 0);
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  ::close(fd);
}

std::string read_whole(const std::string& path) {
  std::string text;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[65536];
    std::size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) {
      text.append(buf, got);
    }
    std::fclose(f);
  }
  return text;
}

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
  devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  expect(devnull >= 0);
  buffers = new cdbbem::run_buffers;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string outputs[] = {work_dir + "/input.dat", work_dir + "/input.plt"};
  write_whole(work_dir + "/ANSYS_Model.cdb",
              std::string_view(reinterpret_cast<const char*>(data), size));
  if (!outputs_stale) {
    for (const std::string& path : outputs) {
      write_whole(path, stale);
    }
  }
  // Each run closes its files: a lock left held would end the next with 108.
  cdbbem::run_options options;
  options.directory = work_dir;
  options.console = devnull;
  options.error_out = devnull;
  options.store_memory_cap = store_cap;
  int status = cdbbem::run_translation(options, *buffers);
  expect(allowed_status(status));
  outputs_stale = true;
  for (const std::string& path : outputs) {
    std::string text = read_whole(path);
    bool untouched = text == stale;
    outputs_stale = outputs_stale && untouched;
    bool ends_after_record = text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
    expect(untouched || ends_after_record);
    // A translation writes both files; only a failure while writing (38,
    // 63) may end a run that has written, every other end comes before.
    if (status == 0) {
      expect(!untouched);
    } else if (status != 38 && status != 63) {
      expect(untouched);
    }
  }
  return 0;
}
