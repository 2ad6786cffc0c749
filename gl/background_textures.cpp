// The two texture paths of the video background: a rectangle texture of exactly the frame's size
// (texture coordinates in pixels), and the fallback, a power-of-two texture that holds the frame
// in its lower-left corner (normalised texture coordinates).
#include <GL/gl.h>

#include <cstdio>

#include "gl/background_internal.h"
#include "gl/gl_features.h"

namespace {

// Whether the implementation would accept a width x height level 0 of the record's formats.
bool proxyAccepts(const BackgroundSettings* settings, GLenum proxyTarget, GLsizei width, GLsizei height) {
  glTexImage2D(proxyTarget, 0, static_cast<GLint>(settings->internalFormat), width, height, 0,
               settings->pixelFormat, settings->pixelType, nullptr);
  GLint format = 0;
  glGetTexLevelParameteriv(proxyTarget, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  return format != 0;
}

// The smallest power of two >= size, or 0 when that exceeds maxSize.
GLint powerOfTwoAtLeast(int32_t size, GLint maxSize) {
  GLint result = 1;
  while (result < size) {
    result *= 2;
    if (result > maxSize) return 0;
  }
  return result;
}

void rememberBuiltFor(BackgroundSettings* settings, const CameraParam* camera, double zoom) {
  settings->builtZoom = static_cast<float>(zoom);
  settings->builtWidth = camera->xsize;
  settings->builtHeight = camera->ysize;
}

void uploadFrameAndCall(const BackgroundSettings* settings, GLenum target, GLuint texture, GLuint list,
                        const CameraParam* camera, const uint8_t* frame) {
  glBindTexture(target, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(target, 0, 0, 0, camera->xsize, camera->ysize, settings->pixelFormat, settings->pixelType,
                  frame);
  glCallList(list);
  glBindTexture(target, 0);
}

// Nearest texels: the grid maps frame pixels to window pixels almost one to one, so filtering
// would only blur. Frames are rows of 4-byte pixels without padding.
void setSamplingAndUnpacking(GLenum target, GLenum wrapMode) {
  glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(target, GL_TEXTURE_WRAP_S, static_cast<GLint>(wrapMode));
  glTexParameteri(target, GL_TEXTURE_WRAP_T, static_cast<GLint>(wrapMode));
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
}

// The texture matrix is reset inside the list, so that whatever the caller left there cannot
// move the texture coordinates.
void beginGridList(GLuint list, GLenum target) {
  glNewList(list, GL_COMPILE);
  glEnable(target);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
}

void endGridList(GLenum target) {
  glDisable(target);
  glEndList();
}

}  // namespace

void arglDrawRectTexture(BackgroundSettings* settings, const CameraParam* camera, const uint8_t* frame,
                         double zoom) {
  if (!settings->rectReady || settings->rebuild) {
    settings->rebuild = false;
    if (settings->rectReady) {
      glDeleteTextures(1, &settings->rectTexture);
      glDeleteLists(settings->rectList, 1);
      settings->rectTried = false;
      settings->rectReady = false;
    }
    if (settings->rectTried) return;
    settings->rectTried = true;
    if (!arglRectTextureSupported(settings, camera)) {
      std::printf("argl error: Your OpenGL implementation and/or hardware's texturing capabilities are "
                  "insufficient to support rectangle textures.\n");
      settings->rectAllowed = false;
      arglDrawPow2Texture(settings, camera, frame, zoom);
      return;
    }
    glGenTextures(1, &settings->rectTexture);
    glBindTexture(kTextureRectangle, settings->rectTexture);
    setSamplingAndUnpacking(kTextureRectangle, GL_CLAMP_TO_EDGE);
    glTexImage2D(kTextureRectangle, 0, static_cast<GLint>(settings->internalFormat), camera->xsize,
                 camera->ysize, 0, settings->pixelFormat, settings->pixelType, frame);

    settings->rectList = glGenLists(1);
    beginGridList(settings->rectList, kTextureRectangle);
    arglDrawRectGrid(camera, static_cast<float>(zoom));
    endGridList(kTextureRectangle);

    rememberBuiltFor(settings, camera, zoom);
    settings->rectReady = true;
  }
  uploadFrameAndCall(settings, kTextureRectangle, settings->rectTexture, settings->rectList, camera, frame);
}

void arglDrawPow2Texture(BackgroundSettings* settings, const CameraParam* camera, const uint8_t* frame,
                         double zoom) {
  if (!settings->pow2Ready || settings->rebuild) {
    settings->rebuild = false;
    if (settings->pow2Ready) {
      glDeleteTextures(1, &settings->pow2Texture);
      glDeleteLists(settings->pow2List, 1);
      settings->pow2Tried = false;
      settings->pow2Ready = false;
    }
    if (settings->pow2Tried) return;
    settings->pow2Tried = true;
    if (!arglPow2TextureSupported(settings, camera)) {
      std::printf("argl error: Your OpenGL implementation and/or hardware's texturing capabilities are "
                  "insufficient.\n");
      return;
    }
    glGenTextures(1, &settings->pow2Texture);
    glBindTexture(GL_TEXTURE_2D, settings->pow2Texture);
    setSamplingAndUnpacking(GL_TEXTURE_2D, settings->wrapMode);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(settings->internalFormat), settings->textureWidth,
                 settings->textureHeight, 0, settings->pixelFormat, settings->pixelType, nullptr);

    settings->pow2List = glGenLists(1);
    beginGridList(settings->pow2List, GL_TEXTURE_2D);
    arglDrawPow2Grid(camera, static_cast<float>(zoom), settings->textureWidth, settings->textureHeight);
    endGridList(GL_TEXTURE_2D);

    rememberBuiltFor(settings, camera, zoom);
    settings->pow2Ready = true;
  }
  uploadFrameAndCall(settings, GL_TEXTURE_2D, settings->pow2Texture, settings->pow2List, camera, frame);
}

bool arglRectTextureSupported(BackgroundSettings* settings, const CameraParam* camera) {
  if (!arglHasGLFeature(0, "GL_NV_texture_rectangle") && !arglHasGLFeature(0, "GL_EXT_texture_rectangle"))
    return false;
  GLint maxSize = 0;
  glGetIntegerv(kMaxRectangleTextureSize, &maxSize);
  if (camera->xsize > maxSize || camera->ysize > maxSize) return false;
  return proxyAccepts(settings, kProxyTextureRectangle, camera->xsize, camera->ysize);
}

bool arglPow2TextureSupported(BackgroundSettings* settings, const CameraParam* camera) {
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (camera->xsize > maxSize || camera->ysize > maxSize) return false;
  settings->textureWidth = powerOfTwoAtLeast(camera->xsize, maxSize);
  settings->textureHeight = powerOfTwoAtLeast(camera->ysize, maxSize);
  if (settings->textureWidth == 0 || settings->textureHeight == 0) return false;
  if (!proxyAccepts(settings, GL_PROXY_TEXTURE_2D, settings->textureWidth, settings->textureHeight))
    return false;
  settings->wrapMode = arglHasGLFeature(0x120, "GL_SGIS_texture_edge_clamp") ? GL_CLAMP_TO_EDGE : GL_REPEAT;
  return true;
}
