// The steps of drawing the video background, for the background's own files and for tests.
// Callers outside gl/ use gl/background.h only.
#pragma once

#include <GL/gl.h>

#include <cstdint>

#include "camera/camera_param.h"
#include "gl/background.h"

// GL enums of rectangle textures (the NV, EXT and ARB extensions share the values).
constexpr GLenum kTextureRectangle = 0x84F5;
constexpr GLenum kProxyTextureRectangle = 0x84F7;
constexpr GLenum kMaxRectangleTextureSize = 0x84F8;

// Decides whether the list must be rebuilt (zoom or frame size changed) and draws through the
// rectangle or the power-of-two path. Expects the state arglDrawBackground sets up.
void arglDrawFrameTexture(const uint8_t* frame, const CameraParam* camera, double zoom,
                          BackgroundSettings* settings);

// The rectangle path: builds texture and list when needed (falling back to the power-of-two path
// for good, with a message, when rectangle textures are unavailable), uploads the frame and calls
// the list.
void arglDrawRectTexture(BackgroundSettings* settings, const CameraParam* camera, const uint8_t* frame,
                         double zoom);

// The power-of-two path, the same way; without a fallback.
void arglDrawPow2Texture(BackgroundSettings* settings, const CameraParam* camera, const uint8_t* frame,
                         double zoom);

// Whether a rectangle texture of the camera's size can be made with the record's formats.
bool arglRectTextureSupported(BackgroundSettings* settings, const CameraParam* camera);

// Whether a power-of-two texture that holds the camera's size can be made; sets textureWidth,
// textureHeight and wrapMode.
bool arglPow2TextureSupported(BackgroundSettings* settings, const CameraParam* camera);

// The undistortion grid in immediate mode, for compiling into a display list. Observed positions
// x_j = W * j / 20, y_i = H * i / 20 (i, j = 0..20) are texture positions; their ideal positions,
// times zoom and with y flipped to H - y, are the vertices.
// Rectangle grid: one quad strip per band, texture coordinates in pixels.
void arglDrawRectGrid(const CameraParam* camera, float zoom);
// Power-of-two grid: one quad per cell, texture coordinates divided by the texture size.
void arglDrawPow2Grid(const CameraParam* camera, float zoom, int32_t textureWidth, int32_t textureHeight);
