// The reading passes, both writers, the mesh check and its writers, in
// memory, on an arbitrary archive: cheaper per input than the whole
// translation through real files, so the fuzzer explores the readers'
// states faster.  Every end must be a report, and the reading passes must
// end alike with one thread and with two: the same model, or the same
// failure with the same stages.  The layout survey that explains a failed
// check must end on any text with a finding on a line of the archive.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "archive/layout_survey.h"
#include "archive/load.h"
#include "mesh/analysis.h"
#include "run/channels.h"
#include "textrec/failure.h"
#include "textrec/output_channel.h"
#include "textrec/record_reader.h"
#include "writers/check_json.h"
#include "writers/check_report.h"
#include "writers/model_file.h"
#include "writers/plot_file.h"
#include "writers/vtu_file.h"

namespace {

// The store a fuzzed archive may ask for, far below the fuzzer's limit.
constexpr std::uint64_t store_cap = std::uint64_t{64} << 20;

cdbbem::output_channel* sink = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (devnull < 0) {
    std::abort();
  }
  sink = new cdbbem::output_channel;
  sink->attach(devnull);
  return 0;
}

namespace {

// How a load ended: the model's bytes, or the failure's report, unit, text
// and stages.
std::string outcome(std::string_view text, unsigned threads) {
  cdbbem::record_reader archive;
  archive.open_memory(text, cdbbem::channels::archive);
  cdbbem::load_options options;
  options.store_memory_cap = store_cap;
  options.threads = threads;
  options.node_warnings_on_console = false;
  std::string seen;
  auto add = [&seen](const void* p, std::size_t n) { seen.append(static_cast<const char*>(p), n); };
  try {
    cdbbem::load_notes notes;
    const cdbbem::model m = cdbbem::load(archive, *sink, options, &notes);
    add(&m.counts, sizeof m.counts);
    add(&notes.node_number_warnings, sizeof notes.node_number_warnings);
    const cdbbem::model_store& s = m.store;
    const auto t = static_cast<std::size_t>(m.counts.triangle_count);
    const auto e = static_cast<std::size_t>(s.element_position.dense.extent);
    add(s.node_xyz.data.get(), static_cast<std::size_t>(s.node_xyz.extent) * 8);
    add(s.node_label.data.get(), static_cast<std::size_t>(s.node_label.extent) * 4);
    add(s.triangle_nodes.data.get(), 3 * t * 4);
    add(s.triangle_element.data.get(), t * 4);
    add(s.triangle_flux_set.data.get(), t);
    add(s.element_first_triangle.data.get(), (e + 1) * 4);
    add(s.element_position.dense.data.get(), e * 4);
    add(s.triangle_bc_value.data.get(), t * 8);
    add(s.triangle_bc_kind.data.get(), t * 4);
    add(s.node_potential.data.get(), static_cast<std::size_t>(s.node_potential.extent) * 8);
    add(s.field_point_xyz.data.get(), static_cast<std::size_t>(s.field_point_xyz.extent) * 8);
    add(s.field_cell_nodes.data.get(), static_cast<std::size_t>(s.field_cell_nodes.extent) * 4);
    add(s.field_cell_element.data.get(), static_cast<std::size_t>(s.field_cell_element.extent) * 4);
  } catch (const cdbbem::run_failure& f) {
    seen = "failure " + std::to_string(static_cast<int>(f.number)) + " " +
           std::to_string(static_cast<int>(f.unit)) + " " + f.message;
    for (const cdbbem::stage_frame& frame : f.stages) {
      seen += std::string(" ") + frame.routine + ":" + std::to_string(frame.line);
    }
  } catch (const cdbbem::run_stop&) {
    seen = "stop";
  }
  return seen;
}

// The survey as a failed check runs it, over the archive from its first
// record.
void survey(std::string_view text) {
  cdbbem::record_reader archive;
  archive.open_memory(text, cdbbem::channels::archive);
  try {
    const cdbbem::layout_finding f = cdbbem::survey_layout(archive);
    const auto lines = std::count(text.begin(), text.end(), '\n') + 1;
    if (f.line < 0 || f.line > lines ||
        f.text.empty() != (f.reason == cdbbem::layout_reason::none)) {
      std::abort();
    }
  } catch (const cdbbem::run_failure&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // Two threads must end every load as one does.
  if (outcome(text, 1) != outcome(text, 2)) {
    std::abort();
  }
  survey(text);
  cdbbem::record_reader archive;
  archive.open_memory(text, cdbbem::channels::archive);
  try {
    const cdbbem::model m = cdbbem::load(archive, *sink, {store_cap});
    cdbbem::write_model_file(m, *sink);
    cdbbem::write_plot_file(m, *sink);
    const cdbbem::mesh_report r = cdbbem::analyse_mesh(m);
    cdbbem::write_check_report(r, "fuzz", *sink);
    cdbbem::write_check_json(r.figures, 0, *sink);
    cdbbem::write_vtu_file(m, r, "/dev/null", cdbbem::channels::vtu);
  } catch (const cdbbem::run_failure&) {
  } catch (const cdbbem::run_stop&) {
  }
  return 0;
}
