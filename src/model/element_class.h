#ifndef CDBBEM_MODEL_ELEMENT_CLASS_H_
#define CDBBEM_MODEL_ELEMENT_CLASS_H_

#include <cstdint>

namespace cdbbem {

/// What an element type is, as far as the boundary is concerned.
enum class element_class {
  shell,           ///< 3-D shell or surface mesh: its own surface is a face
  mesh_surface,    ///< type 200 with a triangle or quadrilateral shape
  surface_effect,  ///< loads laid on the faces of other elements
  planar,          ///< 2-D planar element, not a surface in space
  brick8,          ///< eight-node brick and its degenerate forms
  brick20,         ///< twenty-node brick and its degenerate forms
  tet10,           ///< ten-node tetrahedron
  tet4,            ///< four-node tetrahedron
  mesh_volume,     ///< type 200 with a tet or brick shape
  other,           ///< lines, points, contact, constraints and the rest
};

/// The number type 200 takes to be a mesh-only element whose shape comes
/// from its option 1.
inline constexpr std::int32_t mesh_only_type = 200;

/// The class of element type number `type`; `shape` is option 1 of the
/// type and counts only for type 200 (0-3 lines, 4-7 surfaces, 8-11
/// volumes, any other value `other`).
element_class classify_element_type(std::int32_t type, std::int32_t shape);

/// The nodes an element of type number `type` (option 1 `shape`) has: 4 or
/// 8 for shells, 8 or 20 for bricks, 10 or 4 for tets, by shape for type
/// 200 (2 or 3 for lines); 0 for surface-effect, planar and other types.
int element_node_count(std::int32_t type, std::int32_t shape);

}  // namespace cdbbem

#endif  // CDBBEM_MODEL_ELEMENT_CLASS_H_
