#include "run/reports.h"

#include <cstring>

namespace cdbbem {

namespace {

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

const char* report_template(report number) {
  if (number == file_in_use) {
    return "file in use by another run, unit %d, file %s";
  }
  switch (number) {
  case report::file_changed:
    return "file changed while being read, unit %d, file %s";
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

const char* interrupt_message() { return "cdbbem: interrupted by signal %d\n"; }

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

std::string stage_listing(const std::vector<stage_frame>& stages) {
  std::string listing = listing_row("Image", "PC", "Routine", "Line", "Source");
  for (const stage_frame& s : stages) {
    std::string line = s.line >= 0 ? std::to_string(s.line) : "-";
    listing += listing_row("cdbbem", "-", s.routine, line.c_str(), s.source);
  }
  return listing;
}

}  // namespace cdbbem
