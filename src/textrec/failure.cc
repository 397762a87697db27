#include "textrec/failure.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <utility>

namespace cdbbem {

namespace {

struct stage_entry {
  const char* routine;
  const char* source;
  const std::int64_t* archive_line;
};

constexpr int max_stages = 16;
std::array<stage_entry, max_stages> stages;
int stage_depth = 0;

// One line of the listing: left-justified columns of 19, 10, 19, 12 and 19
// characters; a text that fills its column is still followed by a blank.
std::string listing_row(const char* image, const char* pc, const char* routine, const char* line,
                        const char* source) {
  const char* texts[] = {image, pc, routine, line, source};
  const std::size_t widths[] = {19, 10, 19, 12, 19};
  std::string row;
  for (std::size_t k = 0; k < 5; ++k) {
    std::size_t len = std::strlen(texts[k]);
    row += texts[k];
    row.append(len < widths[k] ? widths[k] - len : (k < 4 ? 1 : 0), ' ');
  }
  return row + "\n";
}

}  // namespace

void fail(report number, channel unit) { throw run_failure{number, unit, {}, stage_listing()}; }

void fail_check(report number, std::string message) {
  throw run_failure{number, channel::archive, std::move(message), stage_listing()};
}

void stop_with_message() { throw run_stop{}; }

const char* report_template(report number) {
  switch (number) {
  case report::access_denied:
    return "permission to access file denied, unit %d, file %s";
  case report::end_of_file:
    return "end-of-file during read, unit %d, file %s";
  case report::file_not_found:
    return "file not found, unit %d, file %s";
  case report::open_failure:
    return "open failure, unit %d, file %s";
  case report::write_error:
    return "error during write, unit %d, file %s";
  case report::read_error:
    return "error during read, unit %d, file %s";
  case report::no_memory:
    return "insufficient virtual memory";
  case report::list_syntax:
    return "list-directed I/O syntax error, unit %d, file %s";
  case report::output_conversion:
    return "output conversion error, unit %d, file %s";
  case report::input_conversion:
    return "input conversion error, unit %d, file %s";
  case report::array_size_overflow:
    return "Cannot allocate array - overflow on array size calculation.";
  case report::invalid_integer:
    return "invalid INTEGER";
  case report::invalid_real:
    return "invalid REAL";
  default:
    return "";
  }
}

const char* report_severity(report number) {
  return number == report::output_conversion ? "error" : "severe";
}

int exit_status(report number) { return static_cast<int>(number) & 0xff; }

std::string report_first_line(const run_failure& failure, const std::string& path) {
  std::string line = "cdbbem: ";
  line += report_severity(failure.number);
  line += " (";
  line += std::to_string(static_cast<int>(failure.number));
  line += "): ";
  if (!failure.message.empty()) {
    return line + failure.message;
  }
  for (const char* p = report_template(failure.number); *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 'd') {
      line += std::to_string(static_cast<int>(failure.unit));
      ++p;
    } else if (p[0] == '%' && p[1] == 's') {
      line += path;
      ++p;
    } else {
      line += *p;
    }
  }
  return line;
}

stage_scope::stage_scope(const char* routine, const char* source,
                         const std::int64_t* archive_line) noexcept {
  if (stage_depth < max_stages) {
    stages[static_cast<std::size_t>(stage_depth)] = {routine, source, archive_line};
  }
  ++stage_depth;
}

stage_scope::~stage_scope() { --stage_depth; }

std::string stage_listing() {
  std::string listing = listing_row("Image", "PC", "Routine", "Line", "Source");
  int depth = stage_depth < max_stages ? stage_depth : max_stages;
  for (int k = depth - 1; k >= 0; --k) {
    const stage_entry& s = stages[static_cast<std::size_t>(k)];
    // A stage reading the archive points at the archive line it was on.
    if (s.archive_line != nullptr) {
      listing += listing_row("cdbbem", "-", s.routine, std::to_string(*s.archive_line).c_str(),
                             "ANSYS_Model.cdb");
    } else {
      listing += listing_row("cdbbem", "-", s.routine, "-", s.source);
    }
  }
  return listing;
}

}  // namespace cdbbem
