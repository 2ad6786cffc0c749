// Face normals, vertex normals, and the pointer vector that holds groups and materials.
#include <gtest/gtest.h>

#include "model/chunk_reader.h"
#include "model/model_3ds.h"
#include "tests/model/model_files.h"

namespace {

CVertex at(float x, float y, float z) {
  CVertex v;
  v.x = x, v.y = y, v.z = z;
  return v;
}

void expectNormal(float nx, float ny, float nz, const float (&want)[3], const std::string& what) {
  EXPECT_EQ(nx, want[0]) << what;
  EXPECT_EQ(ny, want[1]) << what;
  EXPECT_EQ(nz, want[2]) << what;
}

// One group of the given vertices and faces, linked, with face normals set.
struct HandModel {
  C3DSMaxModel model;
  CGroup* group = new CGroup;
  HandModel(const std::vector<CVertex>& vertices, const std::vector<testfiles::Face>& faces) {
    model.m_groups.Add(group);
    model.m_nGroups = 1;
    group->m_nVertices = static_cast<uint32_t>(vertices.size());
    group->m_nFaces = static_cast<uint32_t>(faces.size());
    EXPECT_TRUE(group->Allocate());
    std::copy(vertices.begin(), vertices.end(), group->m_pVertices);
    for (size_t i = 0; i < faces.size(); i++) {
      CFace& f = group->m_pFaces[i];
      f.pA = &group->m_pVertices[faces[i].a];
      f.pB = &group->m_pVertices[faces[i].b];
      f.pC = &group->m_pVertices[faces[i].c];
      f.ComputeNormal();
    }
    ComputeVertexNormals(&model);
  }
  const CVertex& vertex(int i) const { return group->m_pVertices[i]; }
};

TEST(FaceNormal, WorkedExampleReversedAndDegenerateFaces) {
  const CVertex a = at(0, 0, 0), b = at(1, 0, 0), c = at(0, 0, 1), d = at(2, 0, 0);
  struct Case {
    const char* name;
    std::vector<CVertex> corners;
    float want[3];
  } cases[] = {{"worked example", {a, b, c}, {0, 1, 0}},
               {"reversed", {a, c, b}, {0, -1, 0}},
               {"two equal corners", {a, a, c}, {0, 0, 0}},
               {"corners in a line", {a, b, d}, {0, 0, 0}}};
  for (const Case& k : cases) {
    HandModel hand(k.corners, {{0, 1, 2}});
    const CFace& f = hand.group->m_pFaces[0];
    expectNormal(f.nx, f.ny, f.nz, k.want, k.name);
  }
}

TEST(VertexNormal, LaterFacesWeighMoreAndUnusedVerticesStayZero) {
  // Vertex 0 is shared by faces with normals N1 = (0, 0, -1), N2 = (-1, 0, 0), N3 = (0, -1, 0);
  // vertex 4 by none.
  HandModel hand({at(0, 0, 0), at(1, 0, 0), at(0, 1, 0), at(0, 0, 1), at(0, 0, -1), at(1, 0, 0)},
                 {{0, 1, 2}, {0, 2, 3}, {0, 3, 5}});
  const CVertex &v = hand.vertex(0), &w = hand.vertex(4);
  expectNormal(v.nx, v.ny, v.nz, {-0.25f, -0.5f, -0.25f}, "N1/4 + N2/4 + N3/2");
  expectNormal(w.nx, w.ny, w.nz, {0, 0, 0}, "unused");
}

TEST(VertexNormal, NormalWithZeroThirdComponentIsReplacedNotAveraged) {
  // Face 0 has normal (-1, 0, 0), face 1 (0, 0, -1): vertex 0 ends with face 1's normal.
  HandModel hand({at(0, 0, 0), at(0, 1, 0), at(0, 0, 1), at(1, 0, 0), at(0, 1, 0)}, {{0, 1, 2}, {0, 3, 4}});
  const CVertex& v = hand.vertex(0);
  expectNormal(v.nx, v.ny, v.nz, {0, 0, -1}, "replaced");
}

TEST(VertexNormal, DegenerateFaceHalvesASetNormalAndZeroesAnUnsetOne) {
  // Face 1 (corners 0, 0, 3) halves vertex 0's normal once per corner there.
  HandModel hand({at(0, 0, 0), at(1, 0, 0), at(0, 1, 0), at(5, 5, 5)}, {{0, 1, 2}, {0, 0, 3}});
  EXPECT_EQ(hand.vertex(0).nz, -0.25f);
  EXPECT_EQ(hand.vertex(3).nz, 0.0f);
}

TEST(VertexNormal, LoadedFaceCounterClockwiseInFileCoordinatesFacesUp) {
  TempDir dir;
  ChunkWriter w;
  testfiles::object(w, "o", testfiles::kTriangle, {}, {{0, 1, 2}});  // in the file's z = 0 plane
  C3DSMaxModel model;
  ASSERT_TRUE(testfiles::load(model, dir, testfiles::wrapped(w.bytes())).ok);
  EXPECT_EQ(model.m_groups[0]->m_pFaces[0].ny, 1.0f);  // the model's y points up
  EXPECT_EQ(model.m_groups[0]->m_pVertices[2].ny, 1.0f);
}

TEST(RefVector, FindsRemovesAndNeverDeletesWhatItPointsTo) {
  int a = 1, b = 2, c = 3;
  CRefVector<int*> v;
  v.Add(&a), v.Add(&b), v.Add(&c);
  EXPECT_EQ(v.Find(&b), 1);
  EXPECT_EQ(v.Find(nullptr), -1);
  v.RemoveAt(0);
  EXPECT_EQ(v.Find(&a), -1);
  EXPECT_EQ(v[0], &b);
  EXPECT_EQ(v.size(), 2u);
  EXPECT_EQ(a, 1);
}

}  // namespace
