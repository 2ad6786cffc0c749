#include "model/mesh_group.h"

#include <GL/gl.h>

#include <cmath>
#include <new>

#include "model/material.h"

void CFace::ComputeNormal() {
  const float px = pA->x - pB->x, py = pA->y - pB->y, pz = pA->z - pB->z;
  const float qx = pC->x - pB->x, qy = pC->y - pB->y, qz = pC->z - pB->z;
  nx = py * qz - pz * qy;
  ny = pz * qx - px * qz;
  nz = px * qy - py * qx;
  const float length = std::sqrt(nx * nx + ny * ny + nz * nz);
  if (length != 0.0f) {
    nx /= length;
    ny /= length;
    nz /= length;
  }
}

CGroup::~CGroup() {
  delete[] m_pVertices;
  delete[] m_pFaces;
}

bool CGroup::Allocate() {
  delete[] m_pVertices;
  delete[] m_pFaces;
  m_pFaces = nullptr;
  m_pVertices = new (std::nothrow) CVertex[m_nVertices];
  if (m_pVertices == nullptr) return false;
  m_pFaces = new (std::nothrow) CFace[m_nFaces];
  return m_pFaces != nullptr;
}

void ComputeVertexNormals(const std::vector<CGroup*>& groups) {
  for (const CGroup* group : groups) {
    for (uint32_t i = 0; i < group->m_nFaces; i++) {
      const CFace& face = group->m_pFaces[i];
      for (CVertex* v : {face.pA, face.pB, face.pC}) {
        if (v->nz == 0.0f) {  // not yet set
          v->nx = face.nx;
          v->ny = face.ny;
          v->nz = face.nz;
        } else {
          v->nx = (face.nx + v->nx) * 0.5f;
          v->ny = (face.ny + v->ny) * 0.5f;
          v->nz = (face.nz + v->nz) * 0.5f;
        }
      }
    }
  }
}

namespace {

void sendCorner(const CVertex& v) {
  glNormal3f(v.nx, v.ny, v.nz);
  glTexCoord2f(v.u, v.v);
  glVertex3f(v.x, v.y, v.z);
}

}  // namespace

void CGroup::Draw() {
  if (m_nFaces == 0 || m_pFaces == nullptr) return;
  static const GLfloat kWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  // Per call, so the first face with a material always sets the material state.
  const CMaterial* current = nullptr;
  for (uint32_t i = 0; i < m_nFaces; i++) {
    const CFace& face = m_pFaces[i];
    if (face.pA == nullptr) continue;  // never linked: the model's load did not finish
    const CMaterial* material = face.pMaterial;
    if (material != nullptr && material != current) {
      current = material;
      glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material->m_specular);
      if (material->m_texture.m_id != 0) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, kWhite);
        glBindTexture(GL_TEXTURE_2D, material->m_texture.m_id);
        glEnable(GL_TEXTURE_2D);
      } else {
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material->m_diffuse);
        glDisable(GL_TEXTURE_2D);
      }
    }
    glBegin(GL_POLYGON);
    sendCorner(*face.pA);
    sendCorner(*face.pB);
    sendCorner(*face.pC);
    glEnd();
  }
}
