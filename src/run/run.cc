#include "run/run.h"

#include <new>
#include <string_view>

#include "archive/archive_formats.h"
#include "archive/load.h"
#include "platform/files.h"
#include "platform/fp_env.h"
#include "run/channels.h"
#include "run/reports.h"
#include "textrec/failure.h"
#include "textrec/free_form.h"
#include "textrec/output_channel.h"
#include "textrec/record_reader.h"
#include "textrec/two_tasks.h"
#include "writers/model_file.h"
#include "writers/plot_file.h"

namespace cdbbem {

// Everything a run owns from its start to its end.
struct run_state {
  record_reader archive;
  output_channel model_file;
  output_channel plot_file;
  output_channel console;
};

namespace {

using namespace std::string_view_literals;

// The files are opened before the first pass, so that a run that cannot
// write its outputs says so before reading anything.
void translate(run_state& s, const run_options& options) {
  const std::string& dir = options.directory;
  s.archive.open_file(join_path(dir, archive_file_name), channels::archive);
  s.model_file.open_file(join_path(dir, model_file_name), channels::model);
  // Two runs in one directory would write the same files at once.  The
  // lock is taken before any file is written, and before the plot file is
  // opened, so that the run that finds it held leaves every file as it was.
  if (!s.model_file.try_lock()) {
    fail(file_in_use, channels::model);
  }
  s.plot_file.open_file(join_path(dir, plot_file_name), channels::plot);

  const model m = load(s.archive, s.console, {options.store_memory_cap, options.threads});

  // The two files depend only on the finished model: written side by side,
  // a failure of the model file still wins over one of the plot file.
  run_two(
      options.threads > 1, [&] { write_model_file(m, s.model_file); },
      [&] { write_plot_file(m, s.plot_file); });
  s.model_file.finish();
  s.plot_file.finish();
  write_free(s.console, {item(" Data Translation from ANSYS to BEM is done!"sv)});
}

// Flushes the console and cuts the output files after their last record.
// A failure while doing so (a full disk) replaces the one being reported.
void finish_outputs(run_state& s, run_failure* failure) {
  output_channel* outputs[] = {&s.model_file, &s.plot_file};
  for (output_channel* c : outputs) {
    try {
      c->finish();
    } catch (const run_failure& f) {
      if (failure != nullptr) {
        *failure = f;
      }
    }
  }
  s.console.flush();
}

const std::string& channel_path(const run_state& s, channel unit) {
  static const std::string none;
  if (unit == channels::archive) {
    return s.archive.path();
  }
  if (unit == channels::model) {
    return s.model_file.path();
  }
  if (unit == channels::plot) {
    return s.plot_file.path();
  }
  return none;
}

void write_error(const run_options& options, const std::string& text) {
  write_all(options.error_out, text.data(), text.size());
}

int run(run_state& s, const run_options& options) {
  flushed_denormals_scope arithmetic;
  s.console.attach(options.console);
  try {
    try {
      translate(s, options);
    } catch (const std::bad_alloc&) {
      fail(report::no_memory, channel::none);
    }
    s.console.flush();
    return 0;
  } catch (run_failure& failure) {
    finish_outputs(s, &failure);
    write_error(options, report_first_line(failure, channel_path(s, failure.unit)) + '\n' +
                             stage_listing(failure.stages));
    return exit_status(failure.number);
  } catch (const run_stop&) {
    finish_outputs(s, nullptr);
    write_error(options, " ANSYS cdb file error!\r\n");
    // A malformed archive is a failure: the status must not say success.
    return 1;
  }
}

}  // namespace

run_buffers::run_buffers() : state_(std::make_unique<run_state>()) {}

run_buffers::~run_buffers() = default;

int run_translation(const run_options& options) {
  run_buffers buffers;
  return run_translation(options, buffers);
}

int run_translation(const run_options& options, run_buffers& buffers) {
  run_state& s = *buffers.state_;
  int status = run(s, options);
  // The lock on the model file ends with it.
  s.archive.close();
  s.model_file.close();
  s.plot_file.close();
  return status;
}

}  // namespace cdbbem
