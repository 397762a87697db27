#ifndef CDBBEM_WRITERS_CHECK_REPORT_H_
#define CDBBEM_WRITERS_CHECK_REPORT_H_

#include <string_view>

namespace cdbbem {

class output_channel;
struct mesh_report;

/// Writes the mesh check for a person: a heading naming `archive`, the
/// figures in an aligned list, under each defect up to five examples in the
/// archive's element and node numbers ("?" for a triangle whose element
/// number a later element record took), and the verdict as the last line.
void write_check_report(const mesh_report& r, std::string_view archive, output_channel& out);

}  // namespace cdbbem

#endif  // CDBBEM_WRITERS_CHECK_REPORT_H_
