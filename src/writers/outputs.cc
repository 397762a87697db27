#include "writers/outputs.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/model.h"
#include "textrec/early_task.h"
#include "textrec/failure.h"
#include "textrec/output_channel.h"
#include "textrec/record_handover.h"
#include "writers/model_file.h"
#include "writers/plot_file.h"
#include "writers/record_runs.h"

namespace cdbbem {

namespace {

// Records a thread formats at once.  Every record of the two files is at
// most 82 bytes, CR LF included, so that a piece always fits one buffer.
constexpr std::int64_t piece_records = 8192;
static_assert(piece_records * 82 <= static_cast<std::int64_t>(output_channel::buffer_size -
                                                              output_channel::max_record - 2));

// Buffers between the formatting thread and the writing thread, besides
// the one being filled: enough for the formatting thread to stay ahead.
// Each of the two outputs may hold blocks until its next flush, the model
// file's even while the plot file is written: with no more buffers than
// they can hold between them, the formatting thread could wait for a
// buffer while the writing thread waits for its piece.
constexpr std::size_t handover_buffers = 8;
static_assert(handover_buffers > 2 * output_channel::most_held_blocks);

// Records `first` to `last` of run `run` of file `file` (0 the model file,
// 1 the plot file).
struct piece {
  int file;
  std::size_t run;
  std::int64_t first;
  std::int64_t last;
};

// Both files cut into pieces, in the order they are written.
std::vector<piece> pieces_of(const output_records (&files)[2]) {
  std::vector<piece> pieces;
  for (int f = 0; f < 2; ++f) {
    for (std::size_t r = 0; r < files[f].runs.size(); ++r) {
      const std::int64_t count = files[f].runs[r].count;
      for (std::int64_t first = 1; first <= count; first += piece_records) {
        const std::int64_t last = count - first < piece_records ? count : first + piece_records - 1;
        pieces.push_back({f, r, first, last});
      }
    }
  }
  return pieces;
}

void write_piece(const model& m, const output_records (&files)[2], const piece& p,
                 output_channel& out) {
  files[p.file].runs[p.run].write(m, out, p.first, p.last);
}

// Three pieces of every five are meant for the second thread: the writing
// thread formats the others and also makes every write to the files, and
// with that share the two finish together.  Whichever thread claims a
// piece first formats it, so a second thread that falls behind leaves its
// pieces to the writing thread.
bool meant_beside(std::size_t k) {
  const std::size_t place = k % 5;
  return place == 1 || place == 3 || place == 4;
}

// How far ahead of the writing thread the second thread claims pieces.
constexpr std::size_t lead_pieces = 2;

// Which thread formats each piece: the first to claim it.
class piece_claims {
 public:
  explicit piece_claims(std::size_t count) : claimed_(count) {}
  bool claim(std::size_t k) { return !claimed_[k].exchange(true, std::memory_order_acq_rel); }

 private:
  std::vector<std::atomic<bool>> claimed_;
};

// The second thread's part: the pieces meant for it that it claims before
// the writing thread does, in order, each formatted into `spare`, which
// hands it over whole.  It stops early when the writing thread gives up.
void format_beside(const model& m, const output_records (&files)[2],
                   const std::vector<piece>& pieces, piece_claims& claims,
                   const std::atomic<std::size_t>& writing, output_channel& spare,
                   record_handover& handover) {
  struct end_on_exit {
    record_handover& handover;
    ~end_on_exit() { handover.end(); }
  } end{handover};
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    if (handover.abandoned()) {
      return;
    }
    // A piece the writing thread is about to reach is left to it: it
    // would only wait for this thread to end it.
    if (meant_beside(k) && k >= writing.load(std::memory_order_relaxed) + lead_pieces &&
        claims.claim(k)) {
      write_piece(m, files, pieces[k], spare);
      spare.end_piece();
    }
  }
}

// Writes the piece the second thread formatted, as it hands it over.
void write_handed_piece(record_handover& handover, output_channel& out) {
  for (bool piece_end = false; !piece_end;) {
    record_handover::block b;
    // The formatting thread gives every piece it owes: one missing would
    // leave the file short of records, and is reported instead.
    if (!handover.take(b)) {
      fail(report::write_error, out.unit());
    }
    piece_end = b.piece_end;
    out.append_block(b, handover);
  }
}

}  // namespace

void write_outputs(const model& m, output_channel& model_out, output_channel& plot_out,
                   output_channel& spare, unsigned threads) {
  const output_records files[2] = {model_file_records(m), plot_file_records(m)};
  output_channel* outs[2] = {&model_out, &plot_out};
  const std::vector<piece> pieces = pieces_of(files);
  // A second thread formats only a model whose numbers all fit their
  // fields, so that the 63 a record raises comes at its place in the one
  // thread's writing, and only when its buffers can be had.
  record_handover handover;
  piece_claims claims(pieces.size());
  std::atomic<std::size_t> writing{0};
  early_task formatting;
  if (threads > 1 && model_file_fits(m) &&
      handover.reserve(handover_buffers, output_channel::buffer_size)) {
    spare.open_handover(handover);
    formatting.start(true,
                     [&] { format_beside(m, files, pieces, claims, writing, spare, handover); });
  }
  // Declared after `formatting`, so that a failure here releases the
  // formatting thread before it is waited for; the outputs keep in their
  // own buffers the records of the blocks they still hold.
  struct release_on_exit {
    record_handover& handover;
    output_channel& model_out;
    output_channel& plot_out;
    ~release_on_exit() {
      model_out.keep_blocks();
      plot_out.keep_blocks();
      handover.abandon();
    }
  } release{handover, model_out, plot_out};
  // Without a thread of its own the formatting is not run at all: this
  // thread formats every piece.  Otherwise a piece the other thread claimed
  // comes from it, in the order of the pieces.
  const bool beside = formatting.beside();
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    writing.store(k, std::memory_order_relaxed);
    const piece& p = pieces[k];
    stage_scope stage(files[p.file].routine, files[p.file].source);
    if (beside && meant_beside(k) && !claims.claim(k)) {
      write_handed_piece(handover, *outs[p.file]);
    } else {
      write_piece(m, files, p, *outs[p.file]);
    }
  }
  if (beside) {
    formatting.finish();
  }
}

}  // namespace cdbbem
