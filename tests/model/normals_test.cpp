// Face normals, vertex normals, and the pointer vector that holds groups and materials.
#include <gtest/gtest.h>

#include <cmath>

#include "model/chunk_reader.h"
#include "model/model_3ds.h"
#include "tests/model/model_files.h"

namespace {

CFace faceOver(CVertex* a, CVertex* b, CVertex* c) {
  CFace f;
  f.pA = a;
  f.pB = b;
  f.pC = c;
  return f;
}

CVertex at(float x, float y, float z) {
  CVertex v;
  v.x = x, v.y = y, v.z = z;
  return v;
}

TEST(FaceNormal, WorkedExamplePointsUpAndDegenerateFacesGetZero) {
  CVertex a = at(0, 0, 0), b = at(1, 0, 0), c = at(0, 0, 1);
  CFace f = faceOver(&a, &b, &c);
  f.ComputeNormal();
  EXPECT_EQ(f.nx, 0.0f);
  EXPECT_EQ(f.ny, 1.0f);
  EXPECT_EQ(f.nz, 0.0f);

  CFace reversed = faceOver(&a, &c, &b);
  reversed.ComputeNormal();
  EXPECT_EQ(reversed.ny, -1.0f);

  CVertex d = at(2, 0, 0);
  for (CFace g : {faceOver(&a, &a, &c), faceOver(&a, &b, &d)}) {  // two equal corners; three in a line
    g.ComputeNormal();
    EXPECT_EQ(g.nx, 0.0f);
    EXPECT_EQ(g.ny, 0.0f);
    EXPECT_EQ(g.nz, 0.0f);
  }
}

TEST(FaceNormal, IsTheUnitCrossProductInSinglePrecision) {
  CVertex a = at(0.1f, 0.7f, -2.3f), b = at(1.9f, -0.4f, 0.25f), c = at(-0.6f, 3.1f, 1.7f);
  CFace f = faceOver(&a, &b, &c);
  f.ComputeNormal();
  const float px = a.x - b.x, py = a.y - b.y, pz = a.z - b.z;
  const float qx = c.x - b.x, qy = c.y - b.y, qz = c.z - b.z;
  const float nx = py * qz - pz * qy, ny = pz * qx - px * qz, nz = px * qy - py * qx;
  const float length = std::sqrt(nx * nx + ny * ny + nz * nz);
  EXPECT_EQ(f.nx, nx / length);
  EXPECT_EQ(f.ny, ny / length);
  EXPECT_EQ(f.nz, nz / length);
  EXPECT_NEAR(f.nx * f.nx + f.ny * f.ny + f.nz * f.nz, 1.0, 1e-6);
}

// A model with one group of the given vertices and faces, linked, with face normals set.
struct HandModel {
  C3DSMaxModel model;
  CGroup* group = new CGroup;
  HandModel(std::vector<CVertex> vertices, const std::vector<testfiles::Face>& faces) {
    model.m_groups.Add(group);
    model.m_nGroups = 1;
    group->m_nVertices = static_cast<uint32_t>(vertices.size());
    group->m_nFaces = static_cast<uint32_t>(faces.size());
    EXPECT_TRUE(group->Allocate());
    for (size_t i = 0; i < vertices.size(); i++) group->m_pVertices[i] = vertices[i];
    for (size_t i = 0; i < faces.size(); i++) {
      CFace& f = group->m_pFaces[i];
      f = faceOver(&group->m_pVertices[faces[i].a], &group->m_pVertices[faces[i].b], &group->m_pVertices[faces[i].c]);
      f.ComputeNormal();
    }
  }
};

TEST(VertexNormal, LaterFacesWeighMoreThanEarlierOnes) {
  // Vertex 0 is shared by three faces with normals N1 = (0, 0, -1), N2 = (-1, 0, 0) and
  // N3 = (0, -1, 0); vertex 4 by none.
  HandModel hand({at(0, 0, 0), at(1, 0, 0), at(0, 1, 0), at(0, 0, 1), at(0, 0, -1), at(1, 0, 0)},
                 {{0, 1, 2}, {0, 2, 3}, {0, 3, 5}});
  const CFace* f = hand.group->m_pFaces;
  ASSERT_EQ(f[0].nz, -1.0f);
  ASSERT_EQ(f[1].nx, -1.0f);
  ASSERT_EQ(f[2].ny, -1.0f);
  ComputeVertexNormals(&hand.model);
  const CVertex& v = hand.group->m_pVertices[0];
  EXPECT_EQ(v.nx, -0.25f);  // N1 / 4 + N2 / 4 + N3 / 2
  EXPECT_EQ(v.ny, -0.5f);
  EXPECT_EQ(v.nz, -0.25f);
  EXPECT_EQ(hand.group->m_pVertices[1].nz, -1.0f);  // only face 0
  EXPECT_EQ(hand.group->m_pVertices[4].nx, 0.0f);
  EXPECT_EQ(hand.group->m_pVertices[4].ny, 0.0f);
  EXPECT_EQ(hand.group->m_pVertices[4].nz, 0.0f);
}

TEST(VertexNormal, NormalWithZeroThirdComponentIsReplacedNotAveraged) {
  // Face 0 has normal (-1, 0, 0), face 1 (0, 0, -1): vertex 0 ends with face 1's normal.
  HandModel hand({at(0, 0, 0), at(0, 1, 0), at(0, 0, 1), at(1, 0, 0), at(0, 1, 0)}, {{0, 1, 2}, {0, 3, 4}});
  ASSERT_EQ(hand.group->m_pFaces[0].nx, -1.0f);
  ASSERT_EQ(hand.group->m_pFaces[1].nz, -1.0f);
  ComputeVertexNormals(&hand.model);
  const CVertex& v = hand.group->m_pVertices[0];
  EXPECT_EQ(v.nx, 0.0f);
  EXPECT_EQ(v.ny, 0.0f);
  EXPECT_EQ(v.nz, -1.0f);
}

TEST(VertexNormal, DegenerateFaceHalvesASetNormalAndZeroesAnUnsetOne) {
  // Face 1 is degenerate (corners 0, 0, 3): it halves vertex 0's normal once for each of its
  // two corners there, and sets vertex 3's to (0, 0, 0).
  HandModel hand({at(0, 0, 0), at(1, 0, 0), at(0, 1, 0), at(5, 5, 5)}, {{0, 1, 2}, {0, 0, 3}});
  ASSERT_EQ(hand.group->m_pFaces[0].nz, -1.0f);
  ComputeVertexNormals(&hand.model);
  EXPECT_EQ(hand.group->m_pVertices[0].nz, -0.25f);
  EXPECT_EQ(hand.group->m_pVertices[3].nx, 0.0f);
  EXPECT_EQ(hand.group->m_pVertices[3].nz, 0.0f);
}

TEST(VertexNormal, LoadedFaceCounterClockwiseInFileCoordinatesFacesUp) {
  // The triangle lies in the file's ground plane (z = 0), counter-clockwise seen from above.
  TempDir dir;
  ChunkWriter w;
  testfiles::object(w, "o", {0, 0, 0, 1, 0, 0, 0, 1, 0}, {}, {{0, 1, 2}});
  C3DSMaxModel model;
  ASSERT_TRUE(testfiles::load(model, dir, testfiles::wrapped(w.bytes())).ok);
  const CFace& f = model.m_groups[0]->m_pFaces[0];
  EXPECT_EQ(f.ny, 1.0f);  // the model's y points up
  EXPECT_EQ(model.m_groups[0]->m_pVertices[2].ny, 1.0f);
}

TEST(RefVector, NeverDeletesWhatItPointsTo) {
  int a = 1, b = 2, c = 3;
  CRefVector<int*> v;
  v.Add(&a);
  v.Add(&b);
  v.Add(&c);
  EXPECT_EQ(v.Find(&b), 1);
  EXPECT_EQ(v.Find(nullptr), -1);
  v.RemoveAt(0);
  EXPECT_EQ(v.Find(&a), -1);
  EXPECT_EQ(v[0], &b);
  EXPECT_EQ(a, 1);
  CRefVector<int*> copy;
  copy.Add(&a);
  copy.Copy(v);
  ASSERT_EQ(copy.size(), 2u);
  EXPECT_EQ(copy[1], &c);
  copy.RemoveAll();
  EXPECT_TRUE(copy.empty());
  EXPECT_EQ(v.size(), 2u);
}

}  // namespace
