#include "writers/outputs.h"

#include <algorithm>
#include <cstdint>
#include <exception>

#include "model/model.h"
#include "platform/files.h"
#include "textrec/failure.h"
#include "textrec/output_channel.h"
#include "textrec/two_tasks.h"
#include "writers/model_file.h"
#include "writers/plot_file.h"

namespace cdbbem {

namespace {

// An offset one thread hands to another, which waits for it.
class handed_offset {
 public:
  void give(std::uint64_t offset) {
    count_.publish(static_cast<std::int64_t>(offset) + 1);
    count_.end();
  }

  void give_up() { count_.end(); }

  bool take(std::uint64_t& offset) {
    bool ended = false;
    const std::int64_t count = count_.wait_beyond(0, ended);
    if (count == 0) {
      return false;
    }
    offset = static_cast<std::uint64_t>(count - 1);
    return true;
  }

 private:
  shared_count count_;
};

// Gives the offset up if the thread that owes it leaves without giving it.
struct give_up_on_exit {
  handed_offset& offset;
  ~give_up_on_exit() { offset.give_up(); }
};

bool model_file_fits(const model& m, channel unit) {
  try {
    check_model_file_fits(m, unit);
    return true;
  } catch (const run_failure&) {
    return false;
  }
}

// Of the T triangles, how many the model file's own thread writes, so that
// it ends about when the other thread ends the plot file and the rest of
// the model file.  The weights are each record's time relative to a
// triangle record of the model file, set so that the two threads end
// together on generated models of 1M nodes.
std::int32_t head_triangles(const model_counts& c) {
  constexpr double node = 1.6;          // node record
  constexpr double field_point = 1.35;  // field-point record
  constexpr double cell = 0.9;          // field-cell record (free-form)
  constexpr double plot_node = 1.05;    // node or field point in the plot file
  constexpr double plot_triangle = 0.45;
  constexpr double plot_cell = 0.55;
  const double n = std::max(c.node_count, 0);
  const double t = std::max(c.triangle_count, 0);
  const double p = std::max(c.field_point_count, 0);
  const double k = std::max(c.field_cell_count, 0);
  const double plot = (n + p) * plot_node + t * plot_triangle + k * plot_cell;
  // head = n * node + s;  other = plot + (t - s) + p * field_point + k * cell
  const double s = (plot + t + p * field_point + k * cell - n * node) / 2;
  return static_cast<std::int32_t>(std::clamp(s, 0.0, t));
}

}  // namespace

void write_outputs(const model& m, output_channel& model_out, output_channel& plot_out,
                   output_channel& spare, unsigned threads) {
  // A value too wide for its field ends the model file at its record (63),
  // before the one-thread order has written a byte of the plot file: such a
  // model is written by one thread, in that order, so the plot file is left
  // as it was.
  if (threads <= 1 || !model_file_fits(m, model_out.unit())) {
    write_model_file(m, model_out);
    write_plot_file(m, plot_out);
    return;
  }
  // Only a regular file can be written at two places.  When no thread can
  // be had the files are written in their order too, never the plot file
  // first.
  if (!writes_at_keep_position() || !model_out.regular_file()) {
    auto model_file = [&] { write_model_file(m, model_out); };
    auto plot_file = [&] { write_plot_file(m, plot_out); };
    if (!try_run_two(model_file, plot_file)) {
      model_file();
      plot_file();
    }
    return;
  }
  const std::int32_t head = head_triangles(m.counts);
  handed_offset tail_at;
  // The model file's tail comes before the plot file in the one-thread
  // order: it is written and joined even when the plot file fails, and a
  // failure of its own wins.
  std::exception_ptr plot_failure;
  const bool beside = try_run_two(
      [&] {
        give_up_on_exit owed{tail_at};
        write_model_file_nodes(m, model_out);
        // Every triangle record has the same length, so the tail's place is
        // known; it is given once this thread's first bytes have reached
        // the file, since an interrupt leaves a file that nothing reached
        // as it was.
        model_out.flush();
        tail_at.give(model_out.bytes_written() +
                     std::uint64_t{triangle_record_bytes} * static_cast<std::uint64_t>(head));
        write_model_file_triangles(m, model_out, 1, head);
      },
      [&] {
        try {
          write_plot_file(m, plot_out);
        } catch (...) {
          plot_failure = std::current_exception();
        }
        std::uint64_t offset = 0;
        if (tail_at.take(offset)) {
          spare.open_part(model_out, offset);
          write_model_file_triangles(m, spare, head + 1, m.counts.triangle_count);
          write_model_file_rest(m, spare);
          spare.flush();
        }
      });
  if (!beside) {
    write_model_file(m, model_out);
    write_plot_file(m, plot_out);
    return;
  }
  // The tail starts where the head ends, since every triangle record has
  // the length the format gives; a difference would be a defect here, and
  // is reported rather than left in the file.
  if (!model_out.join_part(spare)) {
    fail(report::write_error, model_out.unit());
  }
  if (plot_failure) {
    std::rethrow_exception(plot_failure);
  }
}

}  // namespace cdbbem
