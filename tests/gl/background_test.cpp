// The video background on the real renderer: what reaches the window, and what state the draw
// leaves behind.
#include "gl/background.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <utility>

#include "gl/background_internal.h"
#include "tests/gl/gl_test_helpers.h"

namespace {

using Background = BackgroundTest;

// Lighting, depth test, stack depths, matrix mode, texture environment mode and both top matrices.
std::vector<GLdouble> callerState() {
  std::vector<GLdouble> state(38);
  glGetDoublev(GL_PROJECTION_MATRIX, &state[0]);
  glGetDoublev(GL_MODELVIEW_MATRIX, &state[16]);
  int i = 32;
  for (GLenum q : {GL_LIGHTING, GL_DEPTH_TEST, GL_PROJECTION_STACK_DEPTH, GL_MODELVIEW_STACK_DEPTH,
                   GL_MATRIX_MODE})
    glGetDoublev(q, &state[i++]);
  GLint envMode = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &envMode);
  state[37] = envMode;
  return state;
}

// Lighting and depth test on, a modulating texture environment, a pushed non-identity matrix on
// each stack and a moved texture matrix, which must not move the picture.
void setBusyCallerState() {
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glMatrixMode(GL_TEXTURE);
  glTranslated(0.5, 0.25, 0);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glFrustum(-1, 1, -1, 1, 1, 10);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glTranslated(1, 2, 3);
  glRotated(30, 0, 0, 1);
}

// Colours in their order, image row 0 at the top, the frame spanning the viewport; also at a size
// whose grid lines fall between pixels. A depth buffer that rejects everything neither hides the
// image nor is written.
TEST(BackgroundExact, ZeroDistortionShowsTheFrameExactly) {
  for (const auto& [width, height] : {std::pair{640, 480}, std::pair{333, 251}}) {
    SCOPED_TRACE(testing::Message() << width << " x " << height);
    GlTestContext ctx(width, height);
    AR_REQUIRE_GL(ctx);
    BackgroundSettings* settings = arglCreateBackground();
    const CameraParam camera = testCamera(width, height);
    const auto frame = patternFrame(width, height);
    glClearDepth(0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    arglDrawBackground(frame.data(), &camera, 1.0, settings);
    EXPECT_TRUE(settings->rectReady);  // this renderer takes the rectangle path
    EXPECT_EQ(maxFrameWindowDifference(frame, ctx.readPixels()), 0);
    std::vector<GLfloat> depth(static_cast<size_t>(width) * height, 1.0f);
    glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    EXPECT_EQ(*std::max_element(depth.begin(), depth.end()), 0.0f);
    arglDestroyBackground(settings);
  }
}

// Every call restores the caller's state, busy or default. With nothing to draw (a null frame,
// camera or record, or a camera without size) the window stays, nothing is built and even the
// matrix mode stays. Without BGRA pixels there is no record, and the viewer passes the null on.
TEST_F(Background, CallsKeepTheCallerStateAndNothingToDrawDrawsNothing) {
  AR_REQUIRE_GL(ctx_);
  arglOverrideGLStringsForTest("1.1 Mesa", "GL_EXT_abgr GL_EXT_bgra_extended");
  testing::internal::CaptureStdout();
  BackgroundSettings* const noRecord = arglCreateBackground();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unknown default pixel format defined in config.\n");
  EXPECT_EQ(noRecord, nullptr);
  arglOverrideGLStringsForTest(nullptr, nullptr);

  settings_ = arglCreateBackground();
  const auto frame = patternFrame(640, 480);
  const CameraParam camera = testCamera(640, 480);
  CameraParam sizeless = camera;
  sizeless.xsize = 0;
  const struct {
    const char* name; const uint8_t* frame; const CameraParam* camera; BackgroundSettings* record;
  } cases[] = {
      {"null frame", nullptr, &camera, settings_},
      {"null camera", frame.data(), nullptr, settings_},
      {"camera without size", frame.data(), &sizeless, settings_},
      {"null record", frame.data(), &camera, noRecord},
      {"frame", frame.data(), &camera, settings_}};
  for (bool busy : {false, true}) {
    if (busy) setBusyCallerState();
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << (busy ? ", busy caller" : ", default state"));
      const bool draws = c.frame && c.camera == &camera && c.record;
      glMatrixMode(draws ? GL_MODELVIEW : GL_PROJECTION);  // a draw leaves GL_MODELVIEW
      glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
      glClear(GL_COLOR_BUFFER_BIT);
      const auto before = callerState();
      const bool built = settings_->rectTried;
      arglDrawBackground(c.frame, c.camera, 1.0, c.record);
      EXPECT_EQ(callerState(), before);
      EXPECT_EQ(glErrorString(c.name), "");
      const auto window = ctx_.readPixels();
      EXPECT_TRUE(draws ? maxFrameWindowDifference(frame, window) == 0
                        : allPixelsAre(window, 0, 0, 255) && settings_->rectTried == built);
    }
  }
  // Models drawn next must not be textured with the frame.
  GLint bound = 0;
  glGetIntegerv(0x84F6 /* GL_TEXTURE_BINDING_RECTANGLE */, &bound);
  EXPECT_FALSE(bound || glIsEnabled(kTextureRectangle) || glIsEnabled(GL_TEXTURE_2D));
}

// Each frame goes into the texture built for the first; another size or zoom rebuilds texture
// and grid. The ortho range follows the camera, so 320 x 240 fills the window doubled; at zoom
// 0.5 the frame fills the lower-left quarter, image row 0 in the middle of the window.
TEST_F(Background, EachFrameIsUploadedAndANewSizeOrZoomRebuilds) {
  AR_REQUIRE_GL(ctx_);
  const CameraParam camera = testCamera(640, 480);
  const auto first = patternFrame(640, 480);
  auto second = first;
  for (size_t i = 0; i < second.size(); i += 4) std::swap(second[i], second[i + 2]);
  draw(camera, first);
  const GLuint firstTexture = settings_->rectTexture;
  EXPECT_EQ(maxFrameWindowDifference(second, draw(camera, second)), 0);
  EXPECT_EQ(settings_->rectTexture, firstTexture);

  const auto small = patternFrame(320, 240);
  const auto big = patternFrame(640, 480, 2);  // small doubled: half-size sampling has no ties
  std::vector<uint8_t> quarter(640 * 480 * 4, 0);
  for (int y = 0; y < 240; y++) std::copy_n(&small[y * 320 * 4], 320 * 4, &quarter[(y + 240) * 640 * 4]);
  EXPECT_EQ(maxFrameWindowDifference(quarter, draw(camera, big, 0.5)), 0);                  // new zoom
  EXPECT_EQ(maxFrameWindowDifference(quarter, draw(testCamera(320, 240), small, 0.5)), 0);  // new size
  EXPECT_EQ(maxFrameWindowDifference(big, draw(testCamera(320, 240), small)), 0);

  const GLuint texture = settings_->rectTexture, list = settings_->rectList;
  EXPECT_TRUE(glIsTexture(texture) && glIsList(list));
  arglDestroyBackground(settings_);
  settings_ = nullptr;
  EXPECT_FALSE(glIsTexture(texture) || glIsList(list));
}

}  // namespace
