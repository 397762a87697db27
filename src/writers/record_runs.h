#ifndef CDBBEM_WRITERS_RECORD_RUNS_H_
#define CDBBEM_WRITERS_RECORD_RUNS_H_

#include <cstdint>
#include <vector>

namespace cdbbem {

class output_channel;
struct model;

/// Records `first` to `last` (1-based) of a run of an output file.
using write_records = void (*)(const model& m, output_channel& out, std::int64_t first,
                               std::int64_t last);

/// A run of `count` records of one output file, each a pure function of
/// the model and its number, so that any thread may format any of them.
/// A file's runs, written one after another, make the file.
struct record_run {
  std::int64_t count;
  write_records write;
};

/// The number of records of a run of `count` records, a negative count
/// being none.
inline std::int64_t run_length(std::int32_t count) { return count > 0 ? count : 0; }

/// An output file as its runs of records, in order, and the stage its
/// failures are listed under (string literals).
struct output_records {
  std::vector<record_run> runs;
  const char* routine;
  const char* source;
};

/// Writes every record of `file` on `out`, in order, in its stage.
void write_records_of(const model& m, const output_records& file, output_channel& out);

}  // namespace cdbbem

#endif  // CDBBEM_WRITERS_RECORD_RUNS_H_
