#ifndef CDBBEM_ARCHIVE_ANY_MODEL_H_
#define CDBBEM_ARCHIVE_ANY_MODEL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "textrec/failure.h"

namespace cdbbem {

struct archive_contents;
struct model;
struct solid_volume_figures;

/// Reports of the reading of an archive as the pre-processor writes it.
inline constexpr report any_reading_fault{109};  ///< a record not as its block or command requires
inline constexpr report any_no_boundary{110};    ///< no shell or surface element
inline constexpr report any_undefined_node{
    111};                                      ///< a boundary element names a node no block defines
inline constexpr report any_field_fault{112};  ///< a field point or cell that cannot be one
inline constexpr report any_label_choice{113};  ///< which DOF or load label is meant is not clear
inline constexpr report any_condition_value{114};  ///< a table, ALL, or a value that is no number

/// What the model building needs besides the contents.
struct any_choices {
  std::string dof;   ///< the DOF label of the potentials; empty: the only one
  std::string flux;  ///< the load label of the fluxes; empty: the only one
  std::uint64_t store_budget = 0;
  unsigned threads = 1;          ///< threads the skin of solids may take
  channel unit = channel::none;  ///< the archive's channel, for reports
  bool volumes = false;          ///< whether the solids' own volumes are summed
};

/// Builds the model of `contents`: the boundary shells and surface elements
/// outside FIELDCELLS as triangles, the nodes they use in ascending label
/// order, the field points and cells of the components, the potentials
/// and fluxes of the chosen labels; without shells, the skin of the solids
/// (with `volumes`, their own volumes summed in `solids`).  Adds to
/// `notes` a console line for each kind of data passed over or decided.
/// Raises the first fault in the order: reading, boundary, nodes, field
/// points and cells, labels, values.
void build_any_model(archive_contents& contents, const any_choices& choices, model& m,
                     std::vector<std::string>& notes, solid_volume_figures& solids);

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_ANY_MODEL_H_
