// A texture image: the OpenGL texture made from a picture file, with its decoded raster.
#pragma once

#include <cstdint>

#include "model/dib_raster.h"

class CTexture {
 public:
  // Reads the image file at path (BMP, PNG, JPEG, GIF or TGA), builds m_image and uploads it
  // as an OpenGL 2D texture with linear filters and repeat wrapping; needs a current OpenGL
  // context. True on success, leaving the new texture bound and GL_TEXTURE_2D enabled. False
  // when the file cannot be read or decoded, with one line on standard output naming the file
  // and the cause; m_id then stays 0 (no texture). The texture is never deleted: it lives as
  // long as the context.
  bool Load(const char* path);

  uint32_t m_id = 0;  // OpenGL texture name; 0 = no texture
  CJDIB m_image;      // the decoded raster, kept after the upload
};
