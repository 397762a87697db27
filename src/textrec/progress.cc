#include "textrec/progress.h"

namespace cdbbem {

namespace {

// Each thread runs its own loops, as it keeps its own stages.
thread_local progress_meter* active_meter = nullptr;

}  // namespace

progress_meter* set_progress_meter(progress_meter* meter) noexcept {
  progress_meter* previous = active_meter;
  active_meter = meter;
  return previous;
}

progress_meter* current_progress_meter() noexcept { return active_meter; }

}  // namespace cdbbem
