// The video background on the real renderer: what reaches the window on both texture paths, and
// what state the draw leaves behind.
#include "gl/background.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "camera/distortion.h"
#include "gl/background_internal.h"
#include "gl/gl_features_internal.h"
#include "tests/shipped_data.h"
#include "tests/support/gl_test_context.h"

namespace {

// No skew, focal length 500, principal point at the centre, no distortion.
CameraParam testCamera(int width, int height) {
  const double cx = (width - 1) / 2.0, cy = (height - 1) / 2.0;
  return {width, height, {{500, 0, cx, 0}, {0, 500, cy, 0}, {0, 0, 1, 0}}, {cx, cy, 0, 1}};
}

// A window of the camera's size and a background record; the GL strings are the context's own
// again afterwards.
struct BackgroundWindow {
  CameraParam camera;
  GlTestContext ctx{camera.xsize, camera.ysize};
  BackgroundSettings* settings = ctx.ok() ? arglCreateBackground() : nullptr;
  ~BackgroundWindow() { arglDestroyBackground(settings), arglOverrideGLStringsForTest(nullptr, nullptr); }
  // Draws frame into the window cleared to black and returns the window.
  std::vector<uint8_t> draw(const std::vector<uint8_t>& frame, double zoom = 1.0, const CameraParam* other = nullptr) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    arglDrawBackground(frame.data(), other ? other : &camera, zoom, settings);
    EXPECT_EQ(glErrorString("arglDrawBackground"), "");
    return ctx.readPixels();
  }
};

// Lighting, depth test, texture environment mode and both matrices.
std::vector<GLdouble> callerState() {
  std::vector<GLdouble> state(35);
  GLfloat mode = 0;
  glGetDoublev(GL_PROJECTION_MATRIX, &state[0]), glGetDoublev(GL_MODELVIEW_MATRIX, &state[16]);
  glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
  state[32] = glIsEnabled(GL_LIGHTING), state[33] = glIsEnabled(GL_DEPTH_TEST), state[34] = mode;
  return state;
}

// Random pixels, so that a swapped channel, a flipped row or a pixel off by one shows: colours in
// their order, image row 0 at the top, the frame spanning the viewport at a size whose grid lines
// fall between pixels, on the rectangle path and on the power-of-two fallback. The caller's state
// stays: lighting, a modulating texture environment, pushed matrices, a moved texture matrix
// (which must not move the picture) and a depth test against a depth buffer that rejects
// everything, which neither hides the picture nor is written. A new zoom rebuilds the grid: at
// zoom 0.5 the frame fills the lower-left quarter.
TEST(Background, BothTexturePathsShowTheFrameExactlyAndKeepTheCallerState) {
  BackgroundWindow w{testCamera(333, 251)};
  AR_REQUIRE_GL(w.ctx);
  std::vector<uint8_t> frame(333 * 251 * 4), shown(frame.size()), white(frame.size(), 255);
  std::mt19937 rng(1);
  for (size_t i = 0; i < frame.size(); i++) shown[i % 2 ? i : i ^ 2] = frame[i] = i % 4 == 3 ? 255 : rng() & 255;
  glEnable(GL_LIGHTING), glEnable(GL_DEPTH_TEST), glClearDepth(0.0);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glMatrixMode(GL_TEXTURE), glTranslated(0.5, 0.25, 0);
  glMatrixMode(GL_PROJECTION), glPushMatrix(), glFrustum(-1, 1, -1, 1, 1, 10);
  glMatrixMode(GL_MODELVIEW), glPushMatrix(), glRotated(30, 0, 0, 1);
  const auto before = callerState();
  for (bool rectangle : {true, false}) {
    w.settings->rectAllowed = rectangle, w.settings->rebuild = true;  // false: as after a fallback
    EXPECT_TRUE(w.draw(frame) == shown) << rectangle;
    EXPECT_TRUE(rectangle ? w.settings->rectReady : w.settings->pow2Ready);
    EXPECT_EQ(callerState(), before);
    std::vector<GLfloat> depth(333 * 251, 1.0f);
    glReadPixels(0, 0, 333, 251, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    EXPECT_EQ(*std::max_element(depth.begin(), depth.end()), 0.0f);
    EXPECT_FALSE(glIsEnabled(kTextureRectangle) || glIsEnabled(GL_TEXTURE_2D));
    const auto quarter = w.draw(white, 0.5);
    EXPECT_TRUE(quarter[(333 * 2 + 2) * 4] == 0 && quarter[(333 * 249 + 2) * 4] == 255);
  }
}

// Each frame pixel holds its own position (x in blue and red, y in green and red): the window
// must show, at each ideal position, the pixel the lens puts there, on both texture paths.
TEST(Background, ShippedLensIsTakenOut) {
  BackgroundWindow w{shippedCamera()};
  AR_REQUIRE_GL(w.ctx);
  std::vector<uint8_t> frame(640 * 480 * 4, 255);
  for (int i = 0, x = 0, y = 0; i < 640 * 480; i++, x = i % 640, y = i / 640)
    frame[i * 4] = x & 255, frame[i * 4 + 1] = y & 255, frame[i * 4 + 2] = x >> 8 | (y >> 8) << 2;
  for (bool rectangle : {true, false}) {
    w.settings->rectAllowed = rectangle, w.settings->rebuild = true;
    const auto window = w.draw(frame);
    for (int y = 4; y < 480; y += 8)
      for (int x = 4; x < 640; x += 8) {
        const uint8_t* p = &window[(y * 640 + x) * 4];
        double ox, oy;
        arIdealToObserved(w.camera.distortion, x + 0.5, y + 0.5, &ox, &oy);
        if (ox < 1 || oy < 1 || ox > 639 || oy > 479) continue;  // outside the frame
        EXPECT_NEAR(p[2] + (p[0] & 3) * 256, ox - 0.5, 0.75) << x << ", " << y << (rectangle ? "" : ", power of two");
        EXPECT_NEAR(p[1] + (p[0] >> 2) * 256, oy - 0.5, 0.75) << x << ", " << y << (rectangle ? "" : ", power of two");
      }
  }
}

// Without BGRA pixels there is no record. Without rectangle textures the record falls back once,
// with a message, to a power-of-two texture; one too large for any texture says so once more and
// draws nothing. Nothing to draw leaves the window as it is.
TEST(Background, FallsBackOnceWithAMessageAndDrawsNothingWithoutAFrame) {
  BackgroundWindow w{testCamera(64, 48)};
  AR_REQUIRE_GL(w.ctx);
  arglOverrideGLStringsForTest("1.1 Mesa", "GL_EXT_abgr GL_EXT_bgra_extended");
  testing::internal::CaptureStdout();
  EXPECT_EQ(arglCreateBackground(), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unknown default pixel format defined in config.\n");
  arglOverrideGLStringsForTest("1.2", "GL_EXT_texture_rectangle_extra");
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  const CameraParam tooWide = testCamera(maxSize + 1, 2), widest = testCamera(maxSize, 3), sizeless = testCamera(0, 48);
  const std::string insufficient =
      "argl error: Your OpenGL implementation and/or hardware's texturing capabilities are insufficient";
  const struct { const CameraParam& camera; std::string output; } rounds[] = {
      {w.camera, insufficient + " to support rectangle textures.\n"}, {w.camera, ""}, {tooWide, insufficient + ".\n"},
      {tooWide, ""}};
  for (const auto& r : rounds) {
    const std::vector<uint8_t> in(static_cast<size_t>(r.camera.xsize) * r.camera.ysize * 4, 255);  // white
    testing::internal::CaptureStdout();
    const auto window = w.draw(in, 1.0, &r.camera);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), r.output) << (&r - rounds);
    EXPECT_EQ(window[4], &r.camera == &w.camera ? 255 : 0) << (&r - rounds);
    if (&r != rounds + 1) continue;
    arglDrawBackground(nullptr, &w.camera, 1, w.settings), arglDrawBackground(in.data(), nullptr, 1, w.settings);
    arglDrawBackground(in.data(), &sizeless, 1, w.settings), arglDrawBackground(in.data(), &w.camera, 1, nullptr);
    EXPECT_TRUE(w.ctx.readPixels() == window && w.settings->pow2Ready && !w.settings->rectAllowed);
  }
  EXPECT_TRUE(arglPow2TextureSupported(w.settings, &widest) && w.settings->textureWidth == maxSize &&
              w.settings->textureHeight == 4 && w.settings->wrapMode == GL_CLAMP_TO_EDGE);
}

}  // namespace
