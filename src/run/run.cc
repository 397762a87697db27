#include "run/run.h"

#include <unistd.h>

#include <new>
#include <string_view>

#include "archive/boundary_conditions.h"
#include "archive/element_block.h"
#include "archive/node_block.h"
#include "run/model.h"
#include "run/store.h"
#include "run/survey.h"
#include "textrec/failure.h"
#include "textrec/fp_env.h"
#include "textrec/free_form.h"
#include "textrec/output_channel.h"
#include "textrec/record_reader.h"
#include "writers/model_file.h"
#include "writers/plot_file.h"

namespace cdbbem {

namespace {

using namespace std::string_view_literals;

// Everything a run owns from its start to its end.
struct run_state {
  record_reader archive;
  output_channel model_file;
  output_channel plot_file;
  output_channel console;
  model_counts counts;
  model_store store;
};

std::string join(const std::string& directory, const char* name) {
  if (directory.empty() || directory.back() == '/') {
    return directory + name;
  }
  return directory + "/" + name;
}

// The fixed sequence of passes over the archive.
void translate(run_state& s, const std::string& directory) {
  s.archive.open_file(join(directory, "ANSYS_Model.cdb"), channel::archive);
  s.model_file.open_file(join(directory, "input.dat"), channel::model);
  s.plot_file.open_file(join(directory, "input.plt"), channel::plot);

  survey_counts(s.archive, s.counts);
  s.archive.reopen();
  survey_conditions(s.archive, s.counts);
  allocate_store(s.counts, s.store);

  s.archive.reopen();
  read_node_block(s.archive, s.console, s.counts, s.store);
  read_element_block(s.archive, s.counts, s.store);
  set_default_conditions(s.store);
  if (s.counts.has_potential_conditions) {
    read_potential_conditions(s.archive, s.counts, s.store);
  }
  classify_triangles(s.counts, s.store);
  if (s.counts.has_flux_conditions) {
    s.archive.reopen();
    read_flux_conditions(s.archive, s.counts, s.store);
  }

  write_model_file(s.counts, s.store, s.model_file);
  write_plot_file(s.counts, s.store, s.plot_file);
  s.model_file.finish();
  s.plot_file.finish();
  write_free(s.console, {item(" Data Translation from ANSYS to BEM is done!"sv)});
}

void write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t put = ::write(fd, text.data(), text.size());
    if (put <= 0) {
      return;
    }
    text.remove_prefix(static_cast<std::size_t>(put));
  }
}

// Flushes the console and cuts the output files after their last record.
// A failure while doing so (a full disk) replaces the one being reported.
void finish_outputs(run_state& s, run_failure* failure) {
  output_channel* channels[] = {&s.model_file, &s.plot_file};
  for (output_channel* c : channels) {
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
  switch (unit) {
  case channel::archive:
    return s.archive.path();
  case channel::model:
    return s.model_file.path();
  case channel::plot:
    return s.plot_file.path();
  default:
    return none;
  }
}

}  // namespace

int run_translation(const run_options& options) {
  flushed_denormals_scope arithmetic;
  run_state s;
  s.console.attach(options.console_fd);
  try {
    try {
      translate(s, options.directory);
    } catch (const std::bad_alloc&) {
      fail(report::no_memory, channel::none);
    }
    s.console.flush();
    return 0;
  } catch (run_failure& failure) {
    finish_outputs(s, &failure);
    std::string text = report_first_line(failure, channel_path(s, failure.unit));
    text += '\n';
    text += failure.listing;
    write_all(options.error_fd, text);
    return exit_status(failure.number);
  } catch (const run_stop&) {
    finish_outputs(s, nullptr);
    write_all(options.error_fd, " ANSYS cdb file error!\r\n");
    // A malformed archive is a failure: the status must not say success.
    return 1;
  }
}

}  // namespace cdbbem
