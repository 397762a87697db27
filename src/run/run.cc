#include "run/run.h"

#include <new>
#include <optional>
#include <string_view>

#include "archive/archive_formats.h"
#include "archive/load.h"
#include "mesh/analysis.h"
#include "platform/files.h"
#include "platform/fp_env.h"
#include "run/channels.h"
#include "run/check.h"
#include "run/progress_line.h"
#include "run/reports.h"
#include "textrec/early_task.h"
#include "textrec/failure.h"
#include "textrec/free_form.h"
#include "textrec/output_channel.h"
#include "textrec/record_reader.h"
#include "writers/check_json.h"
#include "writers/outputs.h"

namespace cdbbem {

// Everything a run owns from its start to its end, and the paths its
// reports name (a check names the outputs it never opens).
struct run_state {
  void set_paths(const run_options& options) {
    archive_path =
        options.archive.empty() ? join_path(options.directory, archive_file_name) : options.archive;
    model_path = join_path(options.directory, model_file_name);
    plot_path = join_path(options.directory, plot_file_name);
    vtu_path = join_path(options.directory, vtu_file_name);
    vtu_temporary = join_path(options.directory, vtu_temporary_name);
  }

  record_reader archive;
  output_channel model_file;
  output_channel plot_file;
  output_channel formatting;  // records a second thread formats for the writers
  output_channel console;
  std::string archive_path, model_path, plot_path, vtu_path, vtu_temporary;
  std::optional<progress_line> progress;
  bool reading = false;  // load is reading the archive
};

namespace {

using namespace std::string_view_literals;

// What the reading passed over or decided, one console line each.
void write_notes(const load_notes& notes, output_channel& console) {
  for (const std::string& note : notes.any_notes) {
    console.write_record(" " + note);
  }
}

// The files are opened before the first pass, so that a run that cannot
// write its outputs says so before reading anything.  A check reads the
// archive by the same passes and opens no output until input.vtu.
int translate(run_state& s, const run_options& options) {
  s.archive.open_file(s.archive_path, channels::archive);
  if (!options.check) {
    s.model_file.open_file(s.model_path, channels::model);
    // Two runs in one directory would write the same files at once.  The
    // lock is taken before any file is written, and before the plot file
    // is opened, so that the run that finds it held leaves every file as
    // it was.
    if (!s.model_file.try_lock()) {
      fail(file_in_use, channels::model);
    }
    s.plot_file.open_file(s.plot_path, channels::plot);
  }

  load_options how;
  how.store_memory_cap = options.store_memory_cap;
  how.threads = options.threads;
  how.node_warnings_on_console = !options.check;
  how.any = options.any;
  how.dof = options.dof;
  how.flux = options.flux;
  how.solid_volumes = options.check;
  load_notes notes;
  s.reading = true;
  const model m = load(s.archive, s.console, how, &notes);
  s.reading = false;
  if (options.check) {
    // With --json the notes go into the object, which stays the only output.
    if (!options.json) {
      write_notes(notes, s.console);
    }
    return finish_check(m, notes, options, s.archive_path, s.vtu_temporary, s.vtu_path, s.console);
  }

  // The analysis for input.vtu reads the model while the writers do (or
  // after them, with one thread or when the system has no thread to give);
  // the file shows defects per cell, so coincident nodes are not sought.
  mesh_report analysis;
  early_task analysing;
  if (options.vtk) {
    analysing.start(options.threads > 1, [&] { analysis = analyse_mesh(m, {false}); });
  }
  write_outputs(m, s.model_file, s.plot_file, s.formatting, options.threads);
  s.model_file.finish();
  s.plot_file.finish();
  if (options.vtk) {
    analysing.finish();
    write_vtu_output(m, analysis, options.any, s.vtu_temporary, s.vtu_path);
  }
  write_notes(notes, s.console);
  write_free(s.console, {item(" Data Translation from ANSYS to BEM is done!"sv)});
  return 0;
}

// Flushes the console and cuts the output files after their last record.
// A failure while doing so (a full disk) replaces the one being reported.
void finish_outputs(run_state& s, run_failure* failure) {
  if (s.progress) {
    s.progress->erase();
  }
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
    return s.archive_path;
  }
  if (unit == channels::model) {
    return s.model_path;
  }
  if (unit == channels::plot) {
    return s.plot_path;
  }
  if (unit == channels::vtu) {
    return s.vtu_temporary;
  }
  return none;
}

void write_error(const run_options& options, const std::string& text) {
  write_all(options.error_out, text.data(), text.size());
}

// A check by the legacy reading that ends in a report of that reading says
// why the archive is not in the legacy layout, and what reading it in any
// layout gives (null when there is nothing to say).
const layout_explanation* explain_reading_failure(run_state& s, const run_options& options,
                                                  layout_explanation& x) {
  if (!options.check || options.any || !s.reading ||
      !explain_layout(s.archive, s.archive_path, options, s.console, x)) {
    return nullptr;
  }
  if (s.progress) {
    s.progress->erase();
  }
  return &x;
}

int run(run_state& s, const run_options& options) {
  flushed_denormals_scope arithmetic;
  s.set_paths(options);
  s.progress.reset();
  if (options.progress) {
    s.progress.emplace(options.error_out);
  }
  s.console.attach(options.console);
  s.reading = false;
  layout_explanation layout;
  try {
    int status = 0;
    try {
      status = translate(s, options);
    } catch (const std::bad_alloc&) {
      fail(report::no_memory, channel::none);
    }
    if (s.progress) {
      s.progress->erase();
    }
    s.console.flush();
    return status;
  } catch (run_failure& failure) {
    finish_outputs(s, &failure);
    const layout_explanation* explained = explain_reading_failure(s, options, layout);
    const std::string first = report_first_line(failure, channel_path(s, failure.unit));
    write_error(options, first + '\n' + stage_listing(failure.stages));
    report_failure_on_console(options, exit_status(failure.number), first, explained, s.console);
    return exit_status(failure.number);
  } catch (const run_stop&) {
    finish_outputs(s, nullptr);
    const layout_explanation* explained = explain_reading_failure(s, options, layout);
    const std::string stop = " ANSYS cdb file error!\r\n";
    write_error(options, stop);
    // A malformed archive is a failure: the status must not say success.
    report_failure_on_console(options, 1, stop, explained, s.console);
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
  s.formatting.close();
  s.model_file.close();
  s.plot_file.close();
  return status;
}

}  // namespace cdbbem
