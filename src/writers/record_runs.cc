#include "writers/record_runs.h"

#include "textrec/failure.h"

namespace cdbbem {

void write_records_of(const model& m, const output_records& file, output_channel& out) {
  stage_scope stage(file.routine, file.source);
  for (const record_run& run : file.runs) {
    if (run.count > 0) {
      run.write(m, out, 1, run.count);
    }
  }
}

}  // namespace cdbbem
