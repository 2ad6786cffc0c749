#include "gl/background.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <new>

#include "gl/background_internal.h"
#include "gl/gl_features.h"

BackgroundSettings* arglCreateBackground() {
  BackgroundSettings* settings = new (std::nothrow) BackgroundSettings{};
  if (settings && arglHasGLFeature(0x120, "GL_EXT_bgra")) {
    settings->internalFormat = GL_RGBA;
    settings->pixelFormat = GL_BGRA;
    settings->pixelType = GL_UNSIGNED_BYTE;
    settings->rebuild = true;
    settings->rectAllowed = true;
    return settings;
  }
  delete settings;
  std::printf("Unknown default pixel format defined in config.\n");
  return nullptr;
}

void arglDestroyBackground(BackgroundSettings* settings) {
  if (!settings) return;
  if (settings->rectReady) {
    glDeleteTextures(1, &settings->rectTexture);
    glDeleteLists(settings->rectList, 1);
    settings->rectTried = false;
    settings->rectReady = false;
  }
  if (settings->pow2Ready) {
    glDeleteTextures(1, &settings->pow2Texture);
    glDeleteLists(settings->pow2List, 1);
    settings->pow2Tried = false;
    settings->pow2Ready = false;
  }
  delete settings;
}

void arglDrawBackground(const uint8_t* frame, const CameraParam* camera, double zoom,
                        BackgroundSettings* settings) {
  if (!frame || !camera || !settings || camera->xsize <= 0 || camera->ysize <= 0) return;

  // The image replaces whatever is there: no lighting, no texture modulation, and no depth test
  // or depth writes, so that the models drawn afterwards always lie in front of it.
  GLint savedEnvMode = GL_REPLACE;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &savedEnvMode);
  if (savedEnvMode != GL_REPLACE) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  const bool lightingWasOn = glIsEnabled(GL_LIGHTING);
  if (lightingWasOn) glDisable(GL_LIGHTING);
  const bool depthTestWasOn = glIsEnabled(GL_DEPTH_TEST);
  if (depthTestWasOn) glDisable(GL_DEPTH_TEST);

  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  gluOrtho2D(0.0, camera->xsize, 0.0, camera->ysize);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();

  arglDrawFrameTexture(frame, camera, zoom, settings);

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();

  if (depthTestWasOn) glEnable(GL_DEPTH_TEST);
  if (lightingWasOn) glEnable(GL_LIGHTING);
  if (savedEnvMode != GL_REPLACE) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, savedEnvMode);
}

void arglDrawFrameTexture(const uint8_t* frame, const CameraParam* camera, double zoom,
                          BackgroundSettings* settings) {
  const float zoomF = static_cast<float>(zoom);
  if (zoomF != settings->builtZoom || camera->xsize != settings->builtWidth ||
      camera->ysize != settings->builtHeight)
    settings->rebuild = true;
  if (settings->rectAllowed)
    arglDrawRectTexture(settings, camera, frame, zoom);
  else
    arglDrawPow2Texture(settings, camera, frame, zoom);
}
