// The camera frame drawn behind the scene, with the lens distortion taken out.
//
// Each frame is uploaded into a texture and drawn through a 20 x 20 grid whose texture
// coordinates sit at evenly spaced observed (distorted) image positions and whose vertices sit
// at the matching ideal positions. The grid is compiled once into a display list; per frame only
// the pixels are uploaded and the list is called. A rectangle texture of the frame's size is
// tried first; an implementation without one makes the record fall back, for good, to a
// power-of-two texture.
#pragma once

#include <GL/gl.h>

#include <cstdint>

#include "camera/camera_param.h"

// State of the video background; made by arglCreateBackground, freed by arglDestroyBackground.
// All GL names belong to the context that was current at creation.
struct BackgroundSettings {
  bool pow2Tried = false;      // the power-of-two path has started building; no retry after a failure
  GLuint pow2Texture = 0;      // texture of the power-of-two path
  GLuint pow2List = 0;         // grid display list of the power-of-two path
  bool pow2Ready = false;      // pow2Texture and pow2List exist
  bool rectTried = false;      // the same four for the rectangle path
  GLuint rectTexture = 0;
  GLuint rectList = 0;
  bool rectReady = false;
  bool rebuild = false;        // texture and list must be built again; true at creation
  float builtZoom = 0.0f;      // zoom the current list was built for
  int32_t builtWidth = 0;      // frame width in pixels the current list was built for
  int32_t builtHeight = 0;     // frame height in pixels the current list was built for
  int32_t textureWidth = 0;    // power-of-two texture size in texels, >= the frame size
  int32_t textureHeight = 0;
  GLenum wrapMode = 0;         // power-of-two texture wrap: GL_CLAMP_TO_EDGE or GL_REPEAT
  GLenum internalFormat = 0;   // GL_RGBA
  GLenum pixelFormat = 0;      // GL_BGRA: frames are blue, green, red, alpha
  GLenum pixelType = 0;        // GL_UNSIGNED_BYTE
  bool rectAllowed = false;    // use the rectangle path; false for good once it proved unavailable
};

// A new record for the current GL context. Null, after printing "Unknown default pixel format
// defined in config.\n", when the context cannot take blue-green-red-alpha pixels (GL older than
// 1.2 without GL_EXT_bgra) or memory runs out. Nothing is built until the first frame is drawn.
BackgroundSettings* arglCreateBackground();

// Deletes the textures and lists the record holds and frees it. Null does nothing.
void arglDestroyBackground(BackgroundSettings* settings);

// Draws frame (4 bytes per pixel, B G R A, rows top to bottom, camera->xsize x camera->ysize
// pixels, not kept) over the whole gluOrtho2D(0, xsize, 0, ysize) range of the viewport, image row
// 0 at the top, with the camera's lens distortion removed and every vertex scaled by zoom. Neither
// tests nor writes depth. Does nothing when frame, camera or settings is null or the camera's size
// is not positive. Restores the texture environment mode, lighting, depth test and both matrix
// stacks; leaves matrix mode GL_MODELVIEW, GL_UNPACK_ALIGNMENT 1, an identity texture matrix and
// texture 0 bound to (and disabled on) the texture target it used.
void arglDrawBackground(const uint8_t* frame, const CameraParam* camera, double zoom,
                        BackgroundSettings* settings);
