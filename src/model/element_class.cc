#include "model/element_class.h"

#include <algorithm>
#include <span>

namespace cdbbem {

namespace {

constexpr std::int32_t shells[] = {28,  41,  43,  57,  63,  91,  93,  99,
                                   131, 132, 143, 150, 157, 163, 181, 281};
// Shells with a midside node on each edge.
constexpr std::int32_t eight_node_shells[] = {91, 93, 99, 132, 150, 281};
constexpr std::int32_t surface_effects[] = {151, 152, 153, 154, 156, 252};
constexpr std::int32_t planars[] = {13, 25, 35, 42,  53,  55,  67,  75,  77,
                                    78, 82, 83, 121, 162, 182, 183, 223, 230};
constexpr std::int32_t bricks8[] = {5, 45, 46, 62, 64, 65, 69, 70, 96, 97, 164, 185, 190, 278};
constexpr std::int32_t bricks20[] = {90, 95, 117, 122, 186, 191, 226, 231, 236, 279};
constexpr std::int32_t tets10[] = {87, 92, 98, 123, 168, 187, 227, 232, 237};
constexpr std::int32_t tets4[] = {285};

struct class_numbers {
  element_class kind;
  std::span<const std::int32_t> numbers;
};

constexpr class_numbers classes[] = {
    {element_class::shell, shells},     {element_class::surface_effect, surface_effects},
    {element_class::planar, planars},   {element_class::brick8, bricks8},
    {element_class::brick20, bricks20}, {element_class::tet10, tets10},
    {element_class::tet4, tets4},
};

bool listed(std::span<const std::int32_t> numbers, std::int32_t type) {
  return std::find(numbers.begin(), numbers.end(), type) != numbers.end();
}

// Type 200 nodes by option 1: lines in the plane and in space (2 and 3
// nodes), triangles, quadrilaterals, tets, bricks.
constexpr int mesh_only_nodes[] = {2, 3, 2, 3, 3, 6, 4, 8, 4, 10, 8, 20};
constexpr std::int32_t mesh_only_shapes = 12;

}  // namespace

element_class classify_element_type(std::int32_t type, std::int32_t shape) {
  if (type == mesh_only_type) {
    if (shape >= 4 && shape <= 7) {
      return element_class::mesh_surface;
    }
    if (shape >= 8 && shape <= 11) {
      return element_class::mesh_volume;
    }
    return element_class::other;
  }
  for (const class_numbers& c : classes) {
    if (listed(c.numbers, type)) {
      return c.kind;
    }
  }
  return element_class::other;
}

int element_node_count(std::int32_t type, std::int32_t shape) {
  if (type == mesh_only_type) {
    return shape >= 0 && shape < mesh_only_shapes ? mesh_only_nodes[shape] : 0;
  }
  switch (classify_element_type(type, shape)) {
  case element_class::shell:
    return listed(eight_node_shells, type) ? 8 : 4;
  case element_class::brick8:
    return 8;
  case element_class::brick20:
    return 20;
  case element_class::tet10:
    return 10;
  case element_class::tet4:
    return 4;
  case element_class::mesh_surface:
  case element_class::mesh_volume:
  case element_class::surface_effect:
  case element_class::planar:
  case element_class::other:
    return 0;
  }
  return 0;
}

}  // namespace cdbbem
