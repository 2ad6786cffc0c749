// Face normals and vertex normals.
#include <gtest/gtest.h>

#include "model/model_3ds.h"
#include "tests/model/model_files.h"

namespace {

CVertex at(float x, float y, float z) {
  CVertex v;
  v.x = x, v.y = y, v.z = z;
  return v;
}

// One group of the given vertices and faces, linked, with face and vertex normals set.
struct HandModel {
  CGroup group;
  HandModel(const std::vector<CVertex>& vertices, const std::vector<testfiles::Face>& faces) {
    group.m_nVertices = static_cast<uint32_t>(vertices.size());
    group.m_nFaces = static_cast<uint32_t>(faces.size());
    EXPECT_TRUE(group.Allocate());
    std::copy(vertices.begin(), vertices.end(), group.m_pVertices);
    for (size_t i = 0; i < faces.size(); i++) {
      CFace& f = group.m_pFaces[i];
      f.pA = &group.m_pVertices[faces[i].a];
      f.pB = &group.m_pVertices[faces[i].b];
      f.pC = &group.m_pVertices[faces[i].c];
      f.ComputeNormal();
    }
    ComputeVertexNormals({&group});
  }
};

TEST(Normals, FaceAndVertexNormalsOfSmallMeshes) {
  const CVertex o = at(0, 0, 0), x = at(1, 0, 0), y = at(0, 1, 0), z = at(0, 0, 1);
  struct Case {
    const char* name;
    std::vector<CVertex> vertices;
    std::vector<testfiles::Face> faces;
    bool ofFace;  // the normal of face `index`, else of vertex `index`
    int index;
    float want[3];
  } cases[] = {
      {"worked example", {o, x, z}, {{0, 1, 2}}, true, 0, {0, 1, 0}},
      {"reversed", {o, z, x}, {{0, 1, 2}}, true, 0, {0, -1, 0}},
      {"two equal corners", {o, o, z}, {{0, 1, 2}}, true, 0, {0, 0, 0}},
      {"corners in a line", {o, x, at(2, 0, 0)}, {{0, 1, 2}}, true, 0, {0, 0, 0}},
      // Vertex 0 shared by faces with normals N1 = (0, 0, -1), N2 = (-1, 0, 0), N3 = (0, -1, 0).
      {"later faces weigh more", {o, x, y, z, x}, {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}}, false, 0, {-0.25f, -0.5f, -0.25f}},
      {"unused vertex", {o, x, y, z}, {{0, 1, 2}}, false, 3, {0, 0, 0}},
      // Normal (-1, 0, 0) first: with nz = 0 it is replaced by (0, 0, -1), not averaged.
      {"first touch with nz 0 replaced", {o, y, z, x, y}, {{0, 1, 2}, {0, 3, 4}}, false, 0, {0, 0, -1}},
      // The degenerate face halves vertex 0's normal once per corner there.
      {"degenerate face halves", {o, x, y, z}, {{0, 1, 2}, {0, 0, 3}}, false, 0, {0, 0, -0.25f}},
  };
  for (const Case& c : cases) {
    HandModel hand(c.vertices, c.faces);
    const CFace& f = hand.group.m_pFaces[c.index];
    const CVertex& v = hand.group.m_pVertices[c.index];
    const float got[3] = {c.ofFace ? f.nx : v.nx, c.ofFace ? f.ny : v.ny, c.ofFace ? f.nz : v.nz};
    for (int k = 0; k < 3; k++) EXPECT_EQ(got[k], c.want[k]) << c.name << " component " << k;
  }
}

TEST(Normals, LoadedFaceCounterClockwiseInFileCoordinatesFacesUp) {
  TempDir dir;
  ChunkWriter w;
  testfiles::object(w, "o", testfiles::kTriangle, {}, {{0, 1, 2}});  // in the file's z = 0 plane
  C3DSMaxModel model;
  ASSERT_TRUE(testfiles::load(model, dir, testfiles::wrapped(w.bytes())).ok);
  EXPECT_EQ(model.m_groups[0]->m_pFaces[0].ny, 1.0f);  // the model's y points up
  EXPECT_EQ(model.m_groups[0]->m_pVertices[2].ny, 1.0f);
}

}  // namespace
