// The grid that takes the lens distortion out of the background: texture coordinates at evenly
// spaced observed image positions, vertices at the ideal positions those pixels belong at. All
// conversions happen here, once, while the grid is compiled into a display list.
#include <GL/gl.h>

#include "camera/distortion.h"
#include "gl/background_internal.h"

namespace {

constexpr int kGridCells = 20;  // cells across and down; 21 x 21 grid points

// Observed position of grid line k along an image side of size pixels.
float gridPosition(int32_t size, int k) {
  return static_cast<float>(size * k / static_cast<double>(kGridCells));
}

// Emits the vertex of observed image point (x, y): its ideal position times zoom, with y flipped
// so that image row 0 comes out at the top of the gluOrtho2D(0, W, 0, H) range.
void emitIdealVertex(const CameraParam* camera, float zoom, float x, float y) {
  double idealX, idealY;
  arObservedToIdeal(camera->distortion, x, y, &idealX, &idealY);
  glVertex2f(zoom * static_cast<float>(idealX), zoom * static_cast<float>(camera->ysize - idealY));
}

}  // namespace

void arglDrawRectGrid(const CameraParam* camera, float zoom) {
  for (int i = 1; i <= kGridCells; i++) {
    const float yTop = gridPosition(camera->ysize, i - 1);
    const float yBottom = gridPosition(camera->ysize, i);
    glBegin(GL_QUAD_STRIP);
    for (int j = 0; j <= kGridCells; j++) {
      const float x = gridPosition(camera->xsize, j);
      glTexCoord2f(x, yTop);
      emitIdealVertex(camera, zoom, x, yTop);
      glTexCoord2f(x, yBottom);
      emitIdealVertex(camera, zoom, x, yBottom);
    }
    glEnd();
  }
}

void arglDrawPow2Grid(const CameraParam* camera, float zoom, int32_t textureWidth, int32_t textureHeight) {
  const float texWidth = static_cast<float>(textureWidth);
  const float texHeight = static_cast<float>(textureHeight);
  auto corner = [&](float x, float y) {
    glTexCoord2f(x / texWidth, y / texHeight);
    emitIdealVertex(camera, zoom, x, y);
  };
  for (int i = 1; i <= kGridCells; i++) {
    const float yTop = gridPosition(camera->ysize, i - 1);
    const float yBottom = gridPosition(camera->ysize, i);
    for (int j = 1; j <= kGridCells; j++) {
      const float xLeft = gridPosition(camera->xsize, j - 1);
      const float xRight = gridPosition(camera->xsize, j);
      glBegin(GL_QUADS);
      corner(xLeft, yTop);
      corner(xRight, yTop);
      corner(xRight, yBottom);
      corner(xLeft, yBottom);
      glEnd();
    }
  }
}
