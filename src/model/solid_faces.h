#ifndef CDBBEM_MODEL_SOLID_FACES_H_
#define CDBBEM_MODEL_SOLID_FACES_H_

#include <cstdint>

#include "model/faces.h"

namespace cdbbem {

enum class element_class;

/// The node layout of a solid element.  Bricks are I J K L (bottom), M N
/// O P (top, M above I), then for 20 nodes the midsides of IJ JK KL LI,
/// MN NO OP PM, IM JN KO LP; their wedge, pyramid and tet forms repeat
/// corners.  Tets are I J K L, then for 10 nodes the midsides of IJ JK KI
/// IL JL KL.
enum class solid_shape : std::uint8_t {
  none,     ///< not a solid: no faces
  brick8,   ///< eight-node brick
  brick20,  ///< twenty-node brick
  tet4,     ///< four-node tet
  tet10,    ///< ten-node tet
};

/// The shape of an element of class `c`; `option` is option 1 of its type
/// and counts for type 200 volumes only (8 tet4, 9 tet10, 10 brick8, 11
/// brick20).  Any class that is not a solid is `none`.
solid_shape solid_shape_of(element_class c, std::int32_t option);

/// The faces of a solid of shape `s`: 6 for bricks, 4 for tets, 0 for none.
int solid_face_count(solid_shape s);

/// The node fields of a solid of shape `s`: 8, 20, 4 or 10 (0 for none).
int solid_field_count(solid_shape s);

/// Face `face` (1 to `solid_face_count`) of a solid of shape `s` whose node
/// fields are `fields[0]` to `fields[field_count - 1]` (labels or positions;
/// fields not written and fields of 0 are absent).  Corners as the face
/// table lists them, outward for an element of positive volume:
///   brick  1 J I L K, 2 I J N M, 3 J K O N, 4 K L P O, 5 L I M P, 6 M N O P
///   tet    1 J I K,   2 I J L,   3 J K L,   4 K I L
/// with the midside of each face edge for the quadratic shapes.  An edge
/// whose two corners are one node has no midside, whatever node stands in
/// its place.
element_face solid_face(const std::int32_t* fields, int field_count, solid_shape s, int face);

/// The distinct corners of face `face` of the same solid, ascending, in
/// the first places of `out`; returns how many.  Faces of a solid with
/// fewer than 3 have no area; two faces are the same when their sets are.
int solid_face_corners(const std::int32_t* fields, int field_count, solid_shape s, int face,
                       std::int32_t out[4]);

/// The node fields (0-based) of the corners of face `face` of a solid of
/// shape `s`, in the order of the face table, in `out`; returns how many
/// (3 or 4; 0 for a face the shape does not have).
int solid_face_corner_fields(solid_shape s, int face, int out[4]);

/// The same fields of each face of every brick shape and of every tet
/// shape, as constants for the code that reads every face of a mesh.
inline constexpr std::uint8_t brick_face_corners[6][4] = {{1, 0, 3, 2}, {0, 1, 5, 4}, {1, 2, 6, 5},
                                                          {2, 3, 7, 6}, {3, 0, 4, 7}, {4, 5, 6, 7}};
inline constexpr std::uint8_t tet_face_corners[4][3] = {{1, 0, 2}, {0, 1, 3}, {1, 2, 3}, {2, 0, 3}};

}  // namespace cdbbem

#endif  // CDBBEM_MODEL_SOLID_FACES_H_
