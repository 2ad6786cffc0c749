#include "model/texture.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <string>
#include <vector>

#include "model/file_bytes.h"
#include "model/texture_image.h"

bool CTexture::Load(const char* path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadFileBytes(path, &bytes, &error)) {
    std::printf("texture: cannot read %s: %s\n", path, error.c_str());
    return false;
  }
  if (!DecodeTextureImage(bytes.data(), bytes.size(), path, &m_image)) return false;

  const GLenum format = m_image.m_bitCount == 24 ? GL_RGB : GL_RGBA;
  glEnable(GL_TEXTURE_2D);
  GLuint id = 0;
  glGenTextures(1, &id);
  if (id == 0) {
    std::printf("texture: %s: no OpenGL texture could be made (no current context?)\n", path);
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
