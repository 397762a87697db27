#ifndef CDBBEM_MODEL_FACES_H_
#define CDBBEM_MODEL_FACES_H_

#include <cstdint>

namespace cdbbem {

class triangle_builder;

/// A face of an element: its 3 or 4 corners in order and the midside node
/// of each edge (edge k runs from corner k to the next, the last back to
/// the first), 0 where there is none.  Holds labels or positions alike.
struct element_face {
  std::int32_t corners[4] = {};
  std::int32_t midsides[4] = {};
  int corner_count = 0;
};

/// Adds the triangles of a face with `corner_count` corners (node positions,
/// checked by the caller) and the midside node of each edge in `midsides`
/// (0 for none; a null list has none), all of face `face` and oriented as
/// the corners run.  A collapsed edge goes with its midside; a midside that
/// is a corner is none; a face left with fewer than 3 corners, or whose
/// corners repeat a node, gives none.  Without midsides: the triangle, or
/// the quadrilateral split along its shorter diagonal.  With them: first
/// each corner with midsides on both its edges cut off, then the polygon
/// left, split along the shorter diagonal when it is the 4 midsides alone,
/// else as a fan from its first midside.
void triangulate_face(triangle_builder& triangles, const std::int32_t* corners, int corner_count,
                      const std::int32_t* midsides, std::uint8_t face);

/// The face of a shell or type 200 surface element from its `node_count`
/// node fields (3 or 4 corners; 6: I J K then the midsides of IJ, JK, KI;
/// 8: I J K L then the midsides of IJ, JK, KL, LI, absent ones 0).  A
/// triangle written with K = L, in four or eight fields, is a face with a
/// collapsed edge.  Any other count gives a face of no corners.
element_face shell_face(const std::int32_t* nodes, int node_count);

}  // namespace cdbbem

#endif  // CDBBEM_MODEL_FACES_H_
