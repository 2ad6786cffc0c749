// The video background on the real renderer: what reaches the window, and what state the draw
// leaves behind.
#include "gl/background.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>

#include "gl/background_internal.h"
#include "gl/gl_features_internal.h"
#include "tests/gl/gl_pixels.h"
#include "tests/support/gl_test_context.h"

namespace {

// The state a draw promises to leave as it found it.
struct CallerState {
  bool lighting = false;
  bool depthTest = false;
  GLint envMode = 0;
  GLint projectionDepth = 0;
  GLint modelViewDepth = 0;
  std::array<GLdouble, 16> projection{};
  std::array<GLdouble, 16> modelView{};

  static CallerState read() {
    CallerState s;
    s.lighting = glIsEnabled(GL_LIGHTING);
    s.depthTest = glIsEnabled(GL_DEPTH_TEST);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &s.envMode);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &s.projectionDepth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &s.modelViewDepth);
    glGetDoublev(GL_PROJECTION_MATRIX, s.projection.data());
    glGetDoublev(GL_MODELVIEW_MATRIX, s.modelView.data());
    return s;
  }
  bool operator==(const CallerState& o) const {
    return lighting == o.lighting && depthTest == o.depthTest && envMode == o.envMode &&
           projectionDepth == o.projectionDepth && modelViewDepth == o.modelViewDepth &&
           projection == o.projection && modelView == o.modelView;
  }
};

// A caller with lighting and depth test on, a modulating texture environment and one pushed,
// non-identity matrix on each stack.
void setBusyCallerState() {
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glFrustum(-1, 1, -1, 1, 1, 10);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glTranslated(1, 2, 3);
  glRotated(30, 0, 0, 1);
}

class Background : public ::testing::Test {
 protected:
  void TearDown() override {
    arglDestroyBackground(settings_);
    arglOverrideGLStringsForTest(nullptr, nullptr);
  }
  // Draws frame through a fresh record, zoom 1, into a cleared window; returns the window.
  std::vector<uint8_t> drawOnce(const CameraParam& camera, const std::vector<uint8_t>& frame) {
    if (!settings_) settings_ = arglCreateBackground();
    clearWindow();
    arglDrawBackground(frame.data(), &camera, 1.0, settings_);
    EXPECT_EQ(glErrorString("arglDrawBackground"), "");
    return ctx_->readPixels();
  }
  std::unique_ptr<GlTestContext> ctx_ = openGlTestContext(640, 480);
  BackgroundSettings* settings_ = nullptr;
};

TEST_F(Background, CreateTakesBgraFramesAndBuildsNothingYet) {
  AR_REQUIRE_GL(*ctx_);
  settings_ = arglCreateBackground();
  ASSERT_NE(settings_, nullptr);
  EXPECT_EQ(settings_->internalFormat, static_cast<GLenum>(GL_RGBA));
  EXPECT_EQ(settings_->pixelFormat, static_cast<GLenum>(GL_BGRA));
  EXPECT_EQ(settings_->pixelType, static_cast<GLenum>(GL_UNSIGNED_BYTE));
  EXPECT_TRUE(settings_->rebuild);
  EXPECT_TRUE(settings_->rectAllowed);
  EXPECT_FALSE(settings_->rectTried || settings_->rectReady || settings_->pow2Tried || settings_->pow2Ready);
  EXPECT_EQ(settings_->rectTexture, 0u);
  EXPECT_EQ(settings_->rectList, 0u);
}

// Without BGRA pixels there is no record; the viewer passes the null on, and drawing and
// destroying it must then do nothing, leaving the cleared window for the models.
TEST_F(Background, NoRecordWithoutBgraAndNullRecordIsANoOp) {
  AR_REQUIRE_GL(*ctx_);
  arglOverrideGLStringsForTest("1.1 Mesa", "GL_EXT_abgr GL_EXT_bgra_extended");
  testing::internal::CaptureStdout();
  BackgroundSettings* settings = arglCreateBackground();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unknown default pixel format defined in config.\n");
  EXPECT_EQ(settings, nullptr);
  arglOverrideGLStringsForTest(nullptr, nullptr);

  const CameraParam camera = testCamera(640, 480);
  const auto frame = patternFrame(640, 480);
  glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  const CallerState before = CallerState::read();
  arglDrawBackground(frame.data(), &camera, 1.0, settings);
  EXPECT_TRUE(CallerState::read() == before);
  arglDestroyBackground(settings);
  EXPECT_EQ(glErrorString("null record"), "");
  const auto window = ctx_->readPixels();
  for (size_t i = 0; i < window.size(); i += 4) {
    ASSERT_EQ(window[i + 0], 0) << "pixel " << i / 4;
    ASSERT_EQ(window[i + 1], 255) << "pixel " << i / 4;
  }
}

TEST_F(Background, NullFrameDrawsNothingAndChangesNoState) {
  AR_REQUIRE_GL(*ctx_);
  settings_ = arglCreateBackground();
  ASSERT_NE(settings_, nullptr);
  const CameraParam camera = testCamera(640, 480);
  setBusyCallerState();
  glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);  // even the matrix mode stays
  const CallerState before = CallerState::read();
  arglDrawBackground(nullptr, &camera, 1.0, settings_);
  EXPECT_TRUE(CallerState::read() == before);
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_PROJECTION);
  EXPECT_FALSE(settings_->rectTried || settings_->pow2Tried);  // nothing built for a null frame
  EXPECT_EQ(glErrorString("null frame"), "");
  const auto window = ctx_->readPixels();
  for (size_t i = 0; i < window.size(); i += 4) ASSERT_EQ(window[i + 2], 255) << "pixel " << i / 4;
}

TEST_F(Background, DrawRestoresCallerStateAndLeavesTheDocumentedRest) {
  AR_REQUIRE_GL(*ctx_);
  settings_ = arglCreateBackground();
  const CameraParam camera = testCamera(640, 480);
  const auto frame = patternFrame(640, 480);
  for (bool busy : {true, false}) {
    SCOPED_TRACE(busy ? "lighting, depth test, modulate, pushed matrices" : "default state");
    if (busy) setBusyCallerState();
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslated(0.5, 0.25, 0);  // the grid must not be moved by a caller's texture matrix
    glMatrixMode(GL_MODELVIEW);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    const CallerState before = CallerState::read();
    arglDrawBackground(frame.data(), &camera, 1.0, settings_);
    EXPECT_EQ(glErrorString("arglDrawBackground"), "");
    EXPECT_TRUE(CallerState::read() == before);

    GLint value = 0;
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
    EXPECT_EQ(value, 1);
    glGetIntegerv(0x84F6 /* GL_TEXTURE_BINDING_RECTANGLE */, &value);
    EXPECT_EQ(value, 0);
    EXPECT_FALSE(glIsEnabled(kTextureRectangle));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    std::array<GLdouble, 16> texture{};
    glGetDoublev(GL_TEXTURE_MATRIX, texture.data());
    const std::array<GLdouble, 16> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(texture, identity);
    if (busy) {
      glMatrixMode(GL_PROJECTION);
      glPopMatrix();
      glMatrixMode(GL_MODELVIEW);
      glPopMatrix();
      glDisable(GL_LIGHTING);
      glDisable(GL_DEPTH_TEST);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    }
  }
}

// The image ignores the depth buffer both ways: a depth buffer that rejects everything does not
// hide it, and it leaves the depth values as they were.
TEST_F(Background, NeitherTestsNorWritesDepth) {
  AR_REQUIRE_GL(*ctx_);
  settings_ = arglCreateBackground();
  const CameraParam camera = testCamera(640, 480);
  const auto frame = patternFrame(640, 480);
  glClearColor(0, 0, 0, 1);
  glClearDepth(0.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  arglDrawBackground(frame.data(), &camera, 1.0, settings_);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  glDisable(GL_DEPTH_TEST);
  EXPECT_EQ(maxFrameWindowDifference(frame, ctx_->readPixels(), 640, 480), 0);
  std::vector<GLfloat> depth(640 * 480, 1.0f);
  glReadPixels(0, 0, 640, 480, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  for (size_t i = 0; i < depth.size(); i++) ASSERT_EQ(depth[i], 0.0f) << "pixel " << i;
}

// Without distortion the frame is copied pixel for pixel: red, green and blue in their places,
// image row 0 at the top, the frame spanning the viewport.
TEST_F(Background, ZeroDistortionShowsTheFrameExactly) {
  AR_REQUIRE_GL(*ctx_);
  const CameraParam camera = testCamera(640, 480);
  const auto frame = patternFrame(640, 480);
  const auto window = drawOnce(camera, frame);
  EXPECT_TRUE(settings_->rectReady);
  EXPECT_EQ(maxFrameWindowDifference(frame, window, 640, 480), 0);
  // Spot checks that name the convention: top-left window pixel is frame pixel (0, 0), in RGB.
  EXPECT_EQ(window[0], frame[2]);
  EXPECT_EQ(window[1], frame[1]);
  EXPECT_EQ(window[2], frame[0]);
  const size_t bottomRight = (479 * 640 + 639) * 4;
  EXPECT_EQ(window[bottomRight + 0], frame[bottomRight + 2]);
  EXPECT_EQ(window[bottomRight + 2], frame[bottomRight + 0]);
}

// A size whose grid lines fall between pixels (333 / 20, 251 / 20) is still copied exactly.
TEST(BackgroundOddSize, ZeroDistortionShowsTheFrameExactly) {
  const auto ctx = openGlTestContext(333, 251);
  AR_REQUIRE_GL(*ctx);
  BackgroundSettings* settings = arglCreateBackground();
  const CameraParam camera = testCamera(333, 251);
  const auto frame = patternFrame(333, 251);
  clearWindow();
  arglDrawBackground(frame.data(), &camera, 1.0, settings);
  EXPECT_EQ(maxFrameWindowDifference(frame, ctx->readPixels(), 333, 251), 0);
  arglDestroyBackground(settings);
}

// Each frame is uploaded anew into the texture built for the first one.
TEST_F(Background, EveryFrameIsUploaded) {
  AR_REQUIRE_GL(*ctx_);
  const CameraParam camera = testCamera(640, 480);
  const auto first = patternFrame(640, 480);
  auto second = first;
  for (size_t i = 0; i < second.size(); i += 4) std::swap(second[i], second[i + 2]);
  drawOnce(camera, first);
  const GLuint texture = settings_->rectTexture;
  const auto window = drawOnce(camera, second);
  EXPECT_EQ(settings_->rectTexture, texture);  // not rebuilt
  EXPECT_EQ(maxFrameWindowDifference(second, window, 640, 480), 0);
}

// A frame of another size makes a new texture and grid; the ortho range follows the camera, so a
// 320 x 240 frame fills the 640 x 480 window, each pixel doubled.
TEST_F(Background, NewFrameSizeRebuildsTextureAndGrid) {
  AR_REQUIRE_GL(*ctx_);
  drawOnce(testCamera(640, 480), patternFrame(640, 480));
  const auto small = patternFrame(320, 240);
  const auto window = drawOnce(testCamera(320, 240), small);
  EXPECT_EQ(settings_->builtWidth, 320);
  EXPECT_EQ(settings_->builtHeight, 240);
  EXPECT_TRUE(settings_->rectReady);
  int worst = 0;
  for (int y = 0; y < 480; y++)
    for (int x = 0; x < 640; x++) {
      const uint8_t* f = &small[((y / 2) * 320 + x / 2) * 4];
      const uint8_t* w = &window[(y * 640 + x) * 4];
      worst = std::max({worst, std::abs(f[2] - w[0]), std::abs(f[1] - w[1]), std::abs(f[0] - w[2])});
    }
  EXPECT_EQ(worst, 0);
  const auto full = patternFrame(640, 480);
  EXPECT_EQ(maxFrameWindowDifference(full, drawOnce(testCamera(640, 480), full), 640, 480), 0);
}

// Zoom scales the grid's vertices: at 0.5 the frame fills the lower-left quarter of the range,
// image row 0 in the middle of the window, and the rest stays as it was.
TEST_F(Background, ZoomHalfDrawsTheFrameInTheLowerLeftQuarter) {
  AR_REQUIRE_GL(*ctx_);
  const CameraParam camera = testCamera(640, 480);
  // 2 x 2 blocks of one colour, so that half-size sampling has no ties to break.
  auto frame = patternFrame(320, 240);
  std::vector<uint8_t> blocky(640 * 480 * 4);
  for (int y = 0; y < 480; y++)
    for (int x = 0; x < 640; x++)
      for (int c = 0; c < 4; c++) blocky[(y * 640 + x) * 4 + c] = frame[((y / 2) * 320 + x / 2) * 4 + c];
  settings_ = arglCreateBackground();
  clearWindow();
  arglDrawBackground(blocky.data(), &camera, 0.5, settings_);
  EXPECT_EQ(settings_->builtZoom, 0.5f);
  const auto window = ctx_->readPixels();
  int worst = 0;
  for (int y = 0; y < 480; y++)
    for (int x = 0; x < 640; x++) {
      const uint8_t* w = &window[(y * 640 + x) * 4];
      if (x < 320 && y >= 240) {
        const uint8_t* f = &frame[((y - 240) * 320 + x) * 4];
        worst = std::max({worst, std::abs(f[2] - w[0]), std::abs(f[1] - w[1]), std::abs(f[0] - w[2])});
      } else {
        worst = std::max({worst, int(w[0]), int(w[1]), int(w[2])});
      }
    }
  EXPECT_EQ(worst, 0);
}

TEST_F(Background, DestroyDeletesTexturesAndLists) {
  AR_REQUIRE_GL(*ctx_);
  drawOnce(testCamera(640, 480), patternFrame(640, 480));
  const GLuint texture = settings_->rectTexture, list = settings_->rectList;
  EXPECT_TRUE(glIsTexture(texture));
  EXPECT_TRUE(glIsList(list));
  arglDestroyBackground(settings_);
  settings_ = nullptr;
  EXPECT_FALSE(glIsTexture(texture));
  EXPECT_FALSE(glIsList(list));
}

// A camera record without a size (for instance never filled in) draws nothing.
TEST_F(Background, CameraWithoutSizeDrawsNothing) {
  AR_REQUIRE_GL(*ctx_);
  const auto frame = patternFrame(640, 480);
  CameraParam camera = testCamera(640, 480);
  camera.xsize = 0;
  const auto window = drawOnce(camera, frame);
  for (size_t i = 0; i < window.size(); i += 4) ASSERT_EQ(window[i] | window[i + 1] | window[i + 2], 0);
  EXPECT_FALSE(settings_->rectTried);
  arglDrawBackground(frame.data(), nullptr, 1.0, settings_);
  EXPECT_EQ(glErrorString("null camera"), "");
}

}  // namespace
