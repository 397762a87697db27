#ifndef CDBBEM_TEXTREC_PROGRESS_H_
#define CDBBEM_TEXTREC_PROGRESS_H_

#include <cstdint>

namespace cdbbem {

/// Shows how far the long loops of a run have got.  A run installs one for
/// its thread when someone is watching; the loops only tell it.
class progress_meter {
 public:
  virtual ~progress_meter() = default;
  /// The loop of `stage` (a string literal) has done `done` of `total`
  /// items; `total` 0 when the loop does not know its length.
  virtual void show(const char* stage, std::int64_t done, std::int64_t total) = 0;
};

/// Makes `meter` the meter of this thread (nullptr: none); returns the one
/// it replaces.
progress_meter* set_progress_meter(progress_meter* meter) noexcept;

/// The meter of this thread, or nullptr.
progress_meter* current_progress_meter() noexcept;

/// Called by a loop at each item: tells the meter once every 16,384 items,
/// so the cost in the loop is one test.
inline void progress_tick(const char* stage, std::int64_t done, std::int64_t total) {
  if ((done & 0x3fff) == 0) {
    if (progress_meter* meter = current_progress_meter()) {
      meter->show(stage, done, total);
    }
  }
}

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_PROGRESS_H_
