// The reading passes, both writers, the mesh check and its writers, in
// memory, on an arbitrary archive: cheaper per input than the whole
// translation through real files, so the fuzzer explores the readers'
// states faster.  Every end must be a report.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  cdbbem::record_reader archive;
  archive.open_memory(std::string_view(reinterpret_cast<const char*>(data), size),
                      cdbbem::channels::archive);
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
