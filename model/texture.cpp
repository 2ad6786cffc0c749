#include "model/texture.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "model/file_bytes.h"
#include "model/texture_image.h"
#include "model/texture_path_internal.h"

namespace {

// Reads the file at path or, when there is none, the file in its folder whose name differs only
// in letter case.
bool readTextureFile(const char* path, std::vector<uint8_t>* bytes, std::string* used) {
  std::string error;
  *used = path;
  if (ReadFileBytes(path, bytes, &error)) return true;
  std::error_code ec;
  const bool missing = !std::filesystem::exists(path, ec) && !ec;
  const std::string other = missing ? FindFileIgnoringCase(path) : "";
  if (other.empty()) {
    std::fprintf(stderr, "texture: cannot read %s: %s\n", path, error.c_str());
    return false;
  }
  SayFoundIgnoringCase(path, other);
  *used = other;
  if (ReadFileBytes(other.c_str(), bytes, &error)) return true;
  std::fprintf(stderr, "texture: cannot read %s: %s\n", other.c_str(), error.c_str());
  return false;
}

int uploadSideLimit() {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  return largest > 0 && largest < kTextureUploadSideLimit ? largest : kTextureUploadSideLimit;
}

}  // namespace

bool CTexture::Load(const char* path) {
  std::vector<uint8_t> bytes;
  std::string used;
  return readTextureFile(path, &bytes, &used) && LoadPicture(bytes.data(), bytes.size(), used.c_str());
}

bool CTexture::LoadPicture(const uint8_t* bytes, size_t size, const char* name) {
  if (!DecodeTextureImage(bytes, size, name, &m_image, uploadSideLimit())) return false;

  const GLenum format = m_image.m_bitCount == 24 ? GL_RGB : GL_RGBA;
  glEnable(GL_TEXTURE_2D);
  GLuint id = 0;
  glGenTextures(1, &id);
  if (id == 0) {
    std::fprintf(stderr, "texture: %s: no OpenGL texture could be made (no current context?)\n", name);
    return false;
  }
  m_id = id;
  glBindTexture(GL_TEXTURE_2D, m_id);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLfloat>(GL_REPEAT));
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLfloat>(GL_REPEAT));
  // The raster's rows are padded to 4 bytes; whoever changed the unpack alignment gets it back.
  GLint previousAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  // The mipmaps are made (scaled to power-of-two sizes) but only level 0 is sampled, because
  // the minification filter is GL_LINEAR; level 0 is then replaced at the raster's own size.
  gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, m_image.m_width, m_image.m_height, format, GL_UNSIGNED_BYTE,
                    m_image.m_pBits);
  glTexImage2D(GL_TEXTURE_2D, 0, 3, m_image.m_width, m_image.m_height, 0, format, GL_UNSIGNED_BYTE,
               m_image.m_pBits);
  glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
  return true;
}
