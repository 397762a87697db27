#ifndef CDBBEM_RUN_PROGRESS_LINE_H_
#define CDBBEM_RUN_PROGRESS_LINE_H_

#include <cstdint>
#include <string>

#include "textrec/progress.h"

namespace cdbbem {

/// The progress line on a terminal: once the run has taken a second, one
/// line naming the stage and how far it has got, rewritten in place at
/// most ten times a second.  Installed as this thread's meter while alive.
class progress_line : public progress_meter {
 public:
  /// Shows the line on the platform's file `terminal`.
  explicit progress_line(std::intptr_t terminal);
  ~progress_line() override;
  progress_line(const progress_line&) = delete;
  progress_line& operator=(const progress_line&) = delete;

  void show(const char* stage, std::int64_t done, std::int64_t total) override;

  /// Clears the line, if one is shown, leaving the cursor where it began.
  void erase();

 private:
  void draw(const std::string& text);

  std::intptr_t terminal_;
  std::int64_t start_ms_;
  std::int64_t last_ms_ = 0;
  std::size_t shown_ = 0;  // characters on the line now
  progress_meter* previous_;
};

}  // namespace cdbbem

#endif  // CDBBEM_RUN_PROGRESS_LINE_H_
