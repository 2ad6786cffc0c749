// A surface material of a model: colours and an optional texture image.
#pragma once

#include "model/texture.h"

class CMaterial {
 public:
  float m_diffuse[4] = {1, 1, 1, 1};   // red, green, blue in 0..1 (byte / 255); alpha stays 1
  float m_specular[4] = {1, 1, 1, 1};  // as m_diffuse
  char m_name[256] = {};               // NUL-terminated, compared byte for byte (case-sensitive)
  CTexture m_texture;                  // m_texture.m_id == 0: drawn with m_diffuse, untextured
};
