// One triangle mesh of a model: its vertices, its faces, their normals, and its drawing.
#pragma once

#include <cstdint>
#include <vector>

class CMaterial;

struct CVertex {
  // Position in model units: the file's (x, y, z) with y and z exchanged, so y points up.
  float x = 0, y = 0, z = 0;
  // Vertex normal: the running average of the normals of the faces that use the vertex, later
  // faces weighing more; (0, 0, 0) when no face uses it. Not normalised.
  float nx = 0, ny = 0, nz = 0;
  // Texture coordinate as stored in the file; v = 0 is the bottom edge of the image.
  float u = 0, v = 0;
};

struct CFace {
  // Sets the unit normal of the plane through pA, pB, pC (corners counter-clockwise seen from
  // the front give a normal to the front), in single precision; (0, 0, 0) when the corners do
  // not span a plane. The corner pointers must be set.
  void ComputeNormal();

  uint16_t a = 0, b = 0, c = 0;  // corner indices into the group's vertex array, file order
  CVertex* pA = nullptr;         // corners: elements a, b, c of the group's vertex array,
  CVertex* pB = nullptr;         //   set when the model links its faces; always in range
  CVertex* pC = nullptr;
  float nx = 0, ny = 0, nz = 0;       // unit face normal, (0, 0, 0) for a degenerate face
  CMaterial* pMaterial = nullptr;     // owned by the model; null keeps the current GL material
};

class CGroup {
 public:
  CGroup() = default;
  ~CGroup();
  CGroup(const CGroup&) = delete;
  CGroup& operator=(const CGroup&) = delete;

  // Creates the vertex and face arrays from m_nVertices and m_nFaces (zeroed entries),
  // releasing any earlier arrays. False when memory cannot be obtained; the failed array
  // stays null.
  bool Allocate();

  // Draws every face as one GL_POLYGON of three corners, each preceded by its normal and
  // texture coordinate, switching material and texture only where the face's material differs
  // from the previous face's. Needs a current OpenGL context, the faces linked (the model's
  // Load does it) and the materials' textures made in that context. Touches no matrix and
  // restores nothing: the last material and texture state stay in force. A group without
  // faces makes no OpenGL call.
  void Draw();

  uint32_t m_nVertices = 0;         // entries of m_pVertices
  uint32_t m_nFaces = 0;            // entries of m_pFaces
  CVertex* m_pVertices = nullptr;   // owned array; null until Allocate
  CFace* m_pFaces = nullptr;        // owned array; null until Allocate
};

// Sets every vertex normal from the face normals, visiting groups, faces and corners (pA, pB,
// pC) in order: a vertex whose normal has nz == 0 takes the face normal, any other becomes the
// mean of its normal and the face normal, so later faces weigh more. Faces must be linked and
// their normals computed.
void ComputeVertexNormals(const std::vector<CGroup*>& groups);
