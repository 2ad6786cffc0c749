// Face normals and vertex normals of small meshes.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "model/mesh_group.h"

namespace {

TEST(Normals, FaceAndVertexNormalsOfSmallMeshes) {
  const CVertex o{}, x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1}, tilted{1, 1, 1}, far{1, 2, 3};
  const float third = 1 / std::sqrt(6.0f);
  const struct {  // the normal of face `face`, or of vertex `vertex` when face is -1
    const char* name; std::vector<CVertex> vertices; std::vector<std::array<uint16_t, 3>> faces;
    int face, vertex; float want[3];
  } cases[] = {
      {"counter-clockwise", {o, x, z}, {{0, 1, 2}}, 0, 0, {0, 1, 0}},
      {"clockwise", {o, z, x}, {{0, 1, 2}}, 0, 0, {0, -1, 0}},
      {"tilted", {tilted, o, far}, {{0, 1, 2}}, 0, 0, {third, -2 * third, third}},
      {"corners in a line", {o, x, {2, 0, 0}}, {{0, 1, 2}}, 0, 0, {0, 0, 0}},
      // Vertex 0 shared by faces with normals (0, 0, -1), (-1, 0, 0), (0, -1, 0): later faces weigh more.
      {"running mean", {o, x, y, z, x}, {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}}, -1, 0, {-0.25f, -0.5f, -0.25f}},
      {"unused vertex", {o, x, y, z}, {{0, 1, 2}}, -1, 3, {0, 0, 0}},
      // (-1, 0, 0) first: with nz = 0 it counts as unset and is replaced by (0, 0, -1).
      {"nz 0 counts as unset", {o, y, z, x, y}, {{0, 1, 2}, {0, 3, 4}}, -1, 0, {0, 0, -1}},
      // The degenerate face halves vertex 0's normal once per corner there.
      {"degenerate face halves", {o, x, y, z}, {{0, 1, 2}, {0, 0, 3}}, -1, 0, {0, 0, -0.25f}},
  };
  for (const auto& c : cases) {
    CGroup group;
    group.m_nVertices = uint32_t(c.vertices.size()), group.m_nFaces = uint32_t(c.faces.size());
    ASSERT_TRUE(group.Allocate());
    std::copy(c.vertices.begin(), c.vertices.end(), group.m_pVertices);
    for (size_t i = 0; i < c.faces.size(); i++) {
      CFace& f = group.m_pFaces[i];
      f.pA = &group.m_pVertices[c.faces[i][0]], f.pB = &group.m_pVertices[c.faces[i][1]];
      f.pC = &group.m_pVertices[c.faces[i][2]], f.ComputeNormal();
    }
    ComputeVertexNormals({&group});
    const CFace& f = group.m_pFaces[c.face < 0 ? 0 : c.face];
    const CVertex& v = group.m_pVertices[c.vertex];
    const float got[3] = {c.face < 0 ? v.nx : f.nx, c.face < 0 ? v.ny : f.ny, c.face < 0 ? v.nz : f.nz};
    for (int k = 0; k < 3; k++) EXPECT_NEAR(got[k], c.want[k], 1e-7) << c.name << ", component " << k;
  }
}

}  // namespace
