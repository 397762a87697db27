#ifndef CDBBEM_WRITERS_CHECK_FIGURES_H_
#define CDBBEM_WRITERS_CHECK_FIGURES_H_

#include <cstdint>
#include <string_view>

#include "mesh/mesh_report.h"

namespace cdbbem {

/// One figure of a mesh check as both reports give it: its key, and where
/// it is in `mesh_figures` (a count, a yes/no, or a real).
struct figure_row {
  std::string_view key;
  std::int64_t mesh_figures::*count = nullptr;
  bool (mesh_figures::*flag)() const = nullptr;
  double mesh_figures::*real = nullptr;
};

/// The figures in the reports' order; these keys are what scripts read.
inline constexpr figure_row figure_rows[] = {
    {"nodes", &mesh_figures::nodes},
    {"elements", &mesh_figures::elements},
    {"triangles", &mesh_figures::triangles},
    {"field_points", &mesh_figures::field_points},
    {"field_cells", &mesh_figures::field_cells},
    {"node_number_warnings", &mesh_figures::node_number_warnings},
    {"potential_triangles", &mesh_figures::potential_triangles},
    {"flux_triangles", &mesh_figures::flux_triangles},
    {"default_flux_triangles", &mesh_figures::default_flux_triangles},
    {"partly_prescribed_triangles", &mesh_figures::partly_prescribed_triangles},
    {"unused_nodes", &mesh_figures::unused_nodes},
    {"coincident_nodes", &mesh_figures::coincident_nodes},
    {"degenerate_triangles", &mesh_figures::degenerate_triangles},
    {"duplicate_triangles", &mesh_figures::duplicate_triangles},
    {"open_edges", &mesh_figures::open_edges},
    {"nonmanifold_edges", &mesh_figures::nonmanifold_edges},
    {"misoriented_edges", &mesh_figures::misoriented_edges},
    {"surfaces", &mesh_figures::surfaces},
    {"closed", nullptr, &mesh_figures::closed},
    {"oriented", nullptr, &mesh_figures::oriented},
    {"area", nullptr, nullptr, &mesh_figures::area},
    {"volume", nullptr, nullptr, &mesh_figures::volume},
    {"warped_elements", &mesh_figures::warped_elements},
    {"degenerate_field_cells", &mesh_figures::degenerate_field_cells},
    {"unused_field_points", &mesh_figures::unused_field_points},
};

}  // namespace cdbbem

#endif  // CDBBEM_WRITERS_CHECK_FIGURES_H_
