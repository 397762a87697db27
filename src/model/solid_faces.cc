#include "model/solid_faces.h"

#include <algorithm>

#include "model/element_class.h"

namespace cdbbem {

namespace {

// The node fields (0-based) of each face's corners and of the midsides of
// its edges, edge k running from corner k to the next.
struct face_layout {
  const std::uint8_t* corners;
  std::uint8_t midsides[4];
  int corner_count;
};

constexpr face_layout brick_faces[6] = {
    {brick_face_corners[0], {8, 11, 10, 9}, 4},    // J I L K
    {brick_face_corners[1], {8, 17, 12, 16}, 4},   // I J N M
    {brick_face_corners[2], {9, 18, 13, 17}, 4},   // J K O N
    {brick_face_corners[3], {10, 19, 14, 18}, 4},  // K L P O
    {brick_face_corners[4], {11, 16, 15, 19}, 4},  // L I M P
    {brick_face_corners[5], {12, 13, 14, 15}, 4},  // M N O P
};

constexpr face_layout tet_faces[4] = {
    {tet_face_corners[0], {4, 6, 5}, 3},  // J I K
    {tet_face_corners[1], {4, 8, 7}, 3},  // I J L
    {tet_face_corners[2], {5, 9, 8}, 3},  // J K L
    {tet_face_corners[3], {6, 7, 9}, 3},  // K I L
};

bool is_brick(solid_shape s) { return s == solid_shape::brick8 || s == solid_shape::brick20; }

bool is_quadratic(solid_shape s) { return s == solid_shape::brick20 || s == solid_shape::tet10; }

// The layout of face `face`, null for a face the shape does not have.
const face_layout* layout_of(solid_shape s, int face) {
  if (face < 1 || face > solid_face_count(s)) {
    return nullptr;
  }
  return is_brick(s) ? &brick_faces[face - 1] : &tet_faces[face - 1];
}

std::int32_t field(const std::int32_t* fields, int field_count, int k) {
  return k < field_count ? fields[k] : 0;
}

// Sorts `corners[0]` to `corners[count - 1]` (3 or 4) ascending and drops
// repeats; returns how many are left.
int distinct_corners(std::int32_t* corners, int count) {
  std::sort(corners, corners + count);
  return static_cast<int>(std::unique(corners, corners + count) - corners);
}

}  // namespace

solid_shape solid_shape_of(element_class c, std::int32_t option) {
  switch (c) {
  case element_class::brick8:
    return solid_shape::brick8;
  case element_class::brick20:
    return solid_shape::brick20;
  case element_class::tet4:
    return solid_shape::tet4;
  case element_class::tet10:
    return solid_shape::tet10;
  case element_class::mesh_volume:
    switch (option) {
    case 8:
      return solid_shape::tet4;
    case 9:
      return solid_shape::tet10;
    case 10:
      return solid_shape::brick8;
    case 11:
      return solid_shape::brick20;
    default:
      return solid_shape::none;
    }
  default:
    return solid_shape::none;
  }
}

int solid_face_count(solid_shape s) { return is_brick(s) ? 6 : s == solid_shape::none ? 0 : 4; }

int solid_field_count(solid_shape s) {
  switch (s) {
  case solid_shape::brick8:
    return 8;
  case solid_shape::brick20:
    return 20;
  case solid_shape::tet4:
    return 4;
  case solid_shape::tet10:
    return 10;
  case solid_shape::none:
    return 0;
  }
  return 0;
}

element_face solid_face(const std::int32_t* fields, int field_count, solid_shape s, int face) {
  element_face f;
  const face_layout* layout = layout_of(s, face);
  if (layout == nullptr) {
    return f;
  }
  f.corner_count = layout->corner_count;
  for (int k = 0; k < f.corner_count; ++k) {
    f.corners[k] = field(fields, field_count, layout->corners[k]);
  }
  if (!is_quadratic(s)) {
    return f;
  }
  // The place of a collapsed edge's midside holds a corner or the apex of
  // a collapsed brick, which is no midside of this face.
  for (int k = 0; k < f.corner_count; ++k) {
    if (f.corners[k] != f.corners[(k + 1) % f.corner_count]) {
      f.midsides[k] = field(fields, field_count, layout->midsides[k]);
    }
  }
  return f;
}

int solid_face_corners(const std::int32_t* fields, int field_count, solid_shape s, int face,
                       std::int32_t out[4]) {
  const face_layout* layout = layout_of(s, face);
  if (layout == nullptr) {
    return 0;
  }
  for (int k = 0; k < layout->corner_count; ++k) {
    out[k] = field(fields, field_count, layout->corners[k]);
  }
  return distinct_corners(out, layout->corner_count);
}

int solid_face_corner_fields(solid_shape s, int face, int out[4]) {
  const face_layout* layout = layout_of(s, face);
  if (layout == nullptr) {
    return 0;
  }
  std::copy(layout->corners, layout->corners + layout->corner_count, out);
  return layout->corner_count;
}

}  // namespace cdbbem
