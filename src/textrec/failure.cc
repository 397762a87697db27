#include "textrec/failure.h"

#include <array>
#include <utility>

namespace cdbbem {

namespace {

struct stage_entry {
  const char* routine;
  const char* source;
  const std::int64_t* line;
};

constexpr int max_stages = 16;

// Each thread runs its own stages, so each keeps its own stack.
thread_local std::array<stage_entry, max_stages> stages;
thread_local int stage_depth = 0;

}  // namespace

void fail(report number, channel unit) { throw run_failure{number, unit, {}, active_stages()}; }

void fail_check(report number, channel unit, std::string message) {
  throw run_failure{number, unit, std::move(message), active_stages()};
}

void stop_with_message() { throw run_stop{}; }

stage_scope::stage_scope(const char* routine, const char* source,
                         const std::int64_t* line) noexcept {
  if (stage_depth < max_stages) {
    stages[static_cast<std::size_t>(stage_depth)] = {routine, source, line};
  }
  ++stage_depth;
}

stage_scope::~stage_scope() { --stage_depth; }

std::vector<stage_frame> active_stages() {
  std::vector<stage_frame> frames;
  int depth = stage_depth < max_stages ? stage_depth : max_stages;
  for (int k = depth - 1; k >= 0; --k) {
    const stage_entry& s = stages[static_cast<std::size_t>(k)];
    frames.push_back({s.routine, s.source, s.line != nullptr ? *s.line : -1});
  }
  return frames;
}

}  // namespace cdbbem
