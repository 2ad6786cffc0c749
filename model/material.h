// A surface material of a model: colours and an optional texture image.
#pragma once

#include <cstring>
#include <vector>

#include "model/texture.h"

class CMaterial {
 public:
  float m_diffuse[4] = {1, 1, 1, 1};   // red, green, blue in 0..1 (byte / 255); alpha stays 1
  float m_specular[4] = {1, 1, 1, 1};  // as m_diffuse
  char m_name[256] = {};               // NUL-terminated, compared byte for byte (case-sensitive)
  CTexture m_texture;                  // m_texture.m_id == 0: drawn with m_diffuse, untextured
};

// The first of materials, in order, whose name equals name byte for byte; null if none.
inline CMaterial* FindMaterialNamed(const std::vector<CMaterial*>& materials, const char* name) {
  for (CMaterial* material : materials)
    if (material != nullptr && std::strcmp(material->m_name, name) == 0) return material;
  return nullptr;
}
