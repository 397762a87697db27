#ifndef CDBBEM_WRITERS_CHECK_JSON_H_
#define CDBBEM_WRITERS_CHECK_JSON_H_

#include <string>
#include <string_view>

namespace cdbbem {

class output_channel;
struct mesh_figures;

/// Writes the figures of a mesh check and the run's exit status as one
/// JSON object, one key to a line, keys in the order of `figure_rows` and
/// "status" last.  Reals in their shortest round-trip form, `null` when
/// not finite.
void write_check_json(const mesh_figures& f, int status, output_channel& out);

/// Writes the object of a run that did not translate:
/// {"status": N, "report": "..."} with `report` escaped as JSON requires.
void write_failure_json(int status, std::string_view report, output_channel& out);

/// `value` in its shortest form that reads back as the same double;
/// "null" when it is not finite.
std::string json_number(double value);

/// `text` as a JSON string, quotes included.
std::string json_string(std::string_view text);

}  // namespace cdbbem

#endif  // CDBBEM_WRITERS_CHECK_JSON_H_
