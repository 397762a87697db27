#include "archive/model_checks.h"

#include <string>

#include "textrec/record_reader.h"

namespace cdbbem {

void out_of_range(report number, const char* what, std::int64_t value, std::int64_t last,
                  const record_reader& archive) {
  fail_check(number, archive.unit(),
             std::string(what) + " " + std::to_string(value) + " on archive line " +
                 std::to_string(archive.line_number()) + " is outside 1 to " +
                 std::to_string(last));
}

}  // namespace cdbbem
