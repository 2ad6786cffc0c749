// A texture image: the OpenGL texture made from a picture file, with its decoded raster.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "model/dib_raster.h"

// Textures wider or taller than this, or than the OpenGL implementation's largest texture if that
// is smaller, are scaled down when they are loaded: a larger one costs start-up time and memory
// far beyond what a model on a marker shows.
constexpr int kTextureUploadSideLimit = 4096;

class CTexture {
 public:
  // Reads the image file at path (BMP, PNG, JPEG, GIF or TGA), builds m_image and uploads it
  // as an OpenGL 2D texture with linear filters and repeat wrapping; needs a current OpenGL
  // context. A path that does not exist is looked up in its folder ignoring letter case (with
  // one line on standard error naming the file used), and a picture larger than the upload
  // limit is scaled down (with one line). True on success, leaving the new texture bound and
  // GL_TEXTURE_2D enabled. False when the file cannot be read or decoded, with one line on
  // standard error naming the file and the cause; m_id then stays 0 (no texture). The texture
  // is never deleted: it lives as long as the context.
  bool Load(const char* path);

  // The same for picture bytes already in memory (a picture inside a model file); name names
  // them in messages.
  bool LoadPicture(const uint8_t* bytes, size_t size, const char* name);

  uint32_t m_id = 0;  // OpenGL texture name; 0 = no texture
  CJDIB m_image;      // the decoded raster, kept after the upload; empty in a shared record
  // The texture this record shares (m_id is then its name), loaded once for every material
  // that names the same file; null when the record loaded its own.
  std::shared_ptr<const CTexture> m_shared;
};
