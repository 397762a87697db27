#include "run_trace.h"

#include <algorithm>
#include <string_view>

#include "bad_archives.h"
#include "platform/files.h"
#include "run/run.h"
#include "support/test_support.h"

namespace cdbbem::testing {

namespace {

// The run of `options` in `dir`, its console and error output captured in
// files of their own.
run_result capture_run(const std::string& dir, run_options options) {
  temp_dir capture;
  open_error error;
  const file_handle out = open_for_writing(capture.file("stdout"), error);
  const file_handle err = open_for_writing(capture.file("stderr"), error);
  options.directory = dir;
  options.console = out;
  options.error_out = err;
  run_result r;
  r.status = run_translation(options);
  close_file(out);
  close_file(err);
  r.out = read_file(capture.file("stdout"));
  r.err = read_file(capture.file("stderr"));
  return r;
}

}  // namespace

run_trace trace_run(const std::string& archive, unsigned threads, std::uint64_t store_cap,
                    bool any) {
  temp_dir dir;
  write_file(dir.file("ANSYS_Model.cdb"), archive);
  write_file(dir.file("input.dat"), stale_model);
  write_file(dir.file("input.plt"), stale_plot);
  run_options options;
  options.store_memory_cap = store_cap;
  options.threads = threads;
  options.any = any;
  run_result r = capture_run(dir.path(), options);
  std::string err = r.err;
  for (std::size_t at; (at = err.find(dir.path())) != std::string::npos;) {
    err.replace(at, dir.path().size(), "<DIR>");
  }
  return {r.status, r.out, err, read_file(dir.file("input.dat")), read_file(dir.file("input.plt"))};
}

namespace {

// Up to 40 bytes of `text` from `at`, control bytes escaped.
std::string excerpt(const std::string& text, std::size_t at) {
  std::string shown;
  for (std::size_t k = at; k < std::min(text.size(), at + 40); ++k) {
    const auto c = static_cast<unsigned char>(text[k]);
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c < 32 || c > 126) {
      shown += "\\x" + std::string(1, "0123456789abcdef"[c >> 4]) + "0123456789abcdef"[c & 15];
    } else {
      shown += static_cast<char>(c);
    }
  }
  return '"' + shown + '"';
}

}  // namespace

std::string trace_difference(const run_trace& one, const run_trace& two,
                             const std::string& one_name, const std::string& two_name) {
  if (one.status != two.status) {
    return "status " + std::to_string(one.status) + " with " + one_name + ", " +
           std::to_string(two.status) + " with " + two_name;
  }
  const std::pair<const char*, std::string run_trace::*> parts[] = {
      {"standard output", &run_trace::out},
      {"standard error", &run_trace::err},
      {"input.dat", &run_trace::model},
      {"input.plt", &run_trace::plot}};
  for (const auto& [name, part] : parts) {
    const std::string& a = one.*part;
    const std::string& b = two.*part;
    if (a == b) {
      continue;
    }
    const std::size_t at = static_cast<std::size_t>(
        std::mismatch(a.begin(),
                      a.begin() + static_cast<std::ptrdiff_t>(std::min(a.size(), b.size())),
                      b.begin())
            .first -
        a.begin());
    return std::string(name) + " differs from byte " + std::to_string(at) + " (status " +
           std::to_string(one.status) + "): " + one_name + " " + std::to_string(a.size()) +
           " bytes " + excerpt(a, at) + ", " + two_name + " " + std::to_string(b.size()) +
           " bytes " + excerpt(b, at);
  }
  return "";
}

}  // namespace cdbbem::testing
