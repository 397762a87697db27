#include "model/faces.h"

#include <algorithm>

#include "model/triangulation.h"

namespace cdbbem {

namespace {

// The corners of a face once its collapsed edges have gone, each with the
// midside of the edge that follows it (0 for none).
struct outline {
  std::int32_t corners[4] = {};
  std::int32_t midsides[4] = {};
  int count = 0;
};

// Drops each corner equal to the next, with the edge between them: the
// corner kept of a run is its last, which holds the same node.  A midside
// that is one of the corners lies on no edge.
outline collapse(const std::int32_t* corners, int corner_count, const std::int32_t* midsides) {
  outline o;
  for (int k = 0; k < corner_count; ++k) {
    if (corners[k] == corners[(k + 1) % corner_count]) {
      continue;
    }
    o.corners[o.count] = corners[k];
    o.midsides[o.count] = midsides != nullptr ? midsides[k] : 0;
    ++o.count;
  }
  const std::int32_t* end = corners + corner_count;
  for (int k = 0; k < o.count; ++k) {
    if (std::find(corners, end, o.midsides[k]) != end) {
      o.midsides[k] = 0;
    }
  }
  return o;
}

bool repeats_a_node(const outline& o) {
  for (int a = 0; a < o.count; ++a) {
    for (int b = a + 1; b < o.count; ++b) {
      if (o.corners[a] == o.corners[b]) {
        return true;
      }
    }
  }
  return false;
}

// Cuts off each corner with midsides on both its edges, then splits what
// is left.  The fan starts at a midside so that none of its triangles has
// the two corners of that midside's edge, which would lie along the edge.
void split_with_midsides(triangle_builder& triangles, const outline& o, std::uint8_t face) {
  std::int32_t polygon[8];
  int size = 0;
  int corners_left = 0;
  int fan_from = -1;
  for (int k = 0; k < o.count; ++k) {
    const std::int32_t before = o.midsides[(k + o.count - 1) % o.count];
    const std::int32_t after = o.midsides[k];
    if (before != 0 && after != 0) {
      triangles.add(o.corners[k], after, before, face);
    } else {
      polygon[size++] = o.corners[k];
      ++corners_left;
    }
    if (after != 0) {
      if (fan_from < 0) {
        fan_from = size;
      }
      polygon[size++] = after;
    }
  }
  if (size == 4 && corners_left == 0) {
    split_quadrilateral(triangles, polygon, face);
    return;
  }
  for (int i = 1; i + 1 < size; ++i) {
    triangles.add(polygon[fan_from], polygon[(fan_from + i) % size],
                  polygon[(fan_from + i + 1) % size], face);
  }
}

}  // namespace

void triangulate_face(triangle_builder& triangles, const std::int32_t* corners, int corner_count,
                      const std::int32_t* midsides, std::uint8_t face) {
  if (corner_count < 3 || corner_count > 4) {
    return;
  }
  const outline o = collapse(corners, corner_count, midsides);
  if (o.count < 3 || repeats_a_node(o)) {
    return;
  }
  if (std::any_of(o.midsides, o.midsides + o.count, [](std::int32_t m) { return m != 0; })) {
    split_with_midsides(triangles, o, face);
  } else if (o.count == 3) {
    triangles.add(o.corners[0], o.corners[1], o.corners[2], face);
  } else {
    split_quadrilateral(triangles, o.corners, face);
  }
}

element_face shell_face(const std::int32_t* nodes, int node_count) {
  element_face f;
  const int corners = node_count == 6 ? 3 : node_count == 8 ? 4 : node_count;
  if (corners < 3 || corners > 4) {
    return f;
  }
  f.corner_count = corners;
  std::copy(nodes, nodes + corners, f.corners);
  std::copy(nodes + corners, nodes + node_count, f.midsides);
  return f;
}

}  // namespace cdbbem
