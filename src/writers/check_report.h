#ifndef CDBBEM_WRITERS_CHECK_REPORT_H_
#define CDBBEM_WRITERS_CHECK_REPORT_H_

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace cdbbem {

class output_channel;
struct mesh_report;

/// The check of a boundary that is the skin of solids: the volume the skin
/// encloses against the sum of the solids' own volumes (a difference
/// beyond 1e-9 of it is a defect), and solids of negative volume.
struct solid_check {
  double skin_volume = 0.0;
  double elements_volume = 0.0;
  bool volume_differs = false;
  std::int64_t negative = 0;
  std::vector<std::pair<std::int32_t, double>> negative_examples;  ///< label, volume

  bool has_defects() const { return volume_differs || negative > 0; }
};

/// Writes the mesh check for a person: a heading naming `archive`, the
/// figures in an aligned list, under each defect up to five examples in the
/// archive's element and node numbers ("?" for a triangle whose element
/// number a later element record took), and the verdict as the last line.
/// With `solids`, their figures follow the others.
void write_check_report(const mesh_report& r, std::string_view archive, output_channel& out,
                        const solid_check* solids = nullptr);

}  // namespace cdbbem

#endif  // CDBBEM_WRITERS_CHECK_REPORT_H_
