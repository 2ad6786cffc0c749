// The two texture paths of the background: which one this renderer takes, the one-time fallback
// from rectangle to power-of-two textures, and that both draw the same picture.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "gl/background.h"
#include "gl/background_internal.h"
#include "gl/gl_features_internal.h"
#include "tests/gl/gl_pixels.h"
#include "tests/support/gl_test_context.h"

namespace {

const char* const kRectMessage =
    "argl error: Your OpenGL implementation and/or hardware's texturing capabilities are insufficient to "
    "support rectangle textures.\n";
const char* const kPow2Message =
    "argl error: Your OpenGL implementation and/or hardware's texturing capabilities are insufficient.\n";

// What the feature tests see when the rectangle extensions are missing: GL 1.2 gives BGRA pixels
// and edge clamping.
const char* const kNoRectangleExtensions = "GL_ARB_multitexture GL_EXT_texture_rectangle_extra";

class BackgroundPaths : public ::testing::Test {
 protected:
  void TearDown() override {
    arglDestroyBackground(settings_);
    arglOverrideGLStringsForTest(nullptr, nullptr);
  }
  // Draws frame count times through one record (made on first use) and returns the window and
  // everything printed meanwhile.
  std::vector<uint8_t> draw(const CameraParam& camera, const std::vector<uint8_t>& frame, int count,
                            std::string* printed) {
    if (!settings_) settings_ = arglCreateBackground();
    testing::internal::CaptureStdout();
    for (int i = 0; i < count; i++) {
      clearWindow();
      arglDrawBackground(frame.data(), &camera, 1.0, settings_);
    }
    std::fflush(stdout);
    *printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(glErrorString("arglDrawBackground"), "");
    return ctx_->readPixels();
  }
  std::unique_ptr<GlTestContext> ctx_ = openGlTestContext(640, 480);
  BackgroundSettings* settings_ = nullptr;
};

TEST_F(BackgroundPaths, ThisRendererTakesTheRectanglePath) {
  AR_REQUIRE_GL(*ctx_);
  const CameraParam camera = testCamera(640, 480);
  std::string printed;
  draw(camera, patternFrame(640, 480), 2, &printed);
  EXPECT_EQ(printed, "");
  EXPECT_TRUE(settings_->rectAllowed);
  EXPECT_TRUE(settings_->rectReady);
  EXPECT_FALSE(settings_->pow2Tried);
  std::printf("renderer: %s, GL %s: rectangle path\n", glGetString(GL_RENDERER), glGetString(GL_VERSION));
}

// Without rectangle textures: the message once, the very same frame through the power-of-two
// texture (1024 x 512 for 640 x 480), and that path for good.
TEST_F(BackgroundPaths, MissingRectangleTexturesFallBackOnceToPowerOfTwo) {
  AR_REQUIRE_GL(*ctx_);
  arglOverrideGLStringsForTest("1.2", kNoRectangleExtensions);
  const CameraParam camera = testCamera(640, 480);
  const auto frame = patternFrame(640, 480);
  std::string printed;
  auto window = draw(camera, frame, 1, &printed);
  EXPECT_EQ(printed, kRectMessage);
  EXPECT_EQ(maxFrameWindowDifference(frame, window, 640, 480), 0);
  EXPECT_FALSE(settings_->rectAllowed);
  EXPECT_FALSE(settings_->rectReady);
  EXPECT_TRUE(settings_->pow2Ready);
  EXPECT_EQ(settings_->textureWidth, 1024);
  EXPECT_EQ(settings_->textureHeight, 512);
  EXPECT_EQ(settings_->wrapMode, static_cast<GLenum>(GL_CLAMP_TO_EDGE));

  // Later frames, a new size and a new zoom stay on the power-of-two path without a word.
  window = draw(camera, frame, 3, &printed);
  EXPECT_EQ(printed, "");
  EXPECT_EQ(maxFrameWindowDifference(frame, window, 640, 480), 0);
  const auto small = patternFrame(333, 251);
  clearWindow();
  testing::internal::CaptureStdout();
  const CameraParam smallCamera = testCamera(333, 251);
  arglDrawBackground(small.data(), &smallCamera, 1.0, settings_);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(settings_->textureWidth, 512);
  EXPECT_EQ(settings_->textureHeight, 256);
  EXPECT_FALSE(settings_->rectAllowed);
  EXPECT_FALSE(settings_->rectReady);
}

// Every pixel of b inside the border has its colour at the same place or one pixel away in a.
bool eachPixelFoundNearby(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int width,
                          int height) {
  for (int y = 1; y + 1 < height; y++)
    for (int x = 1; x + 1 < width; x++) {
      const uint8_t* pb = &b[(static_cast<size_t>(y) * width + x) * 4];
      bool found = false;
      for (int dy = -1; dy <= 1 && !found; dy++)
        for (int dx = -1; dx <= 1 && !found; dx++) {
          const uint8_t* pa = &a[(static_cast<size_t>(y + dy) * width + x + dx) * 4];
          found = pa[0] == pb[0] && pa[1] == pb[1] && pa[2] == pb[2];
        }
      if (!found) {
        std::printf("first pixel without a match: (%d, %d)\n", x, y);
        return false;
      }
    }
  return true;
}

// A smooth frame, as a camera picture mostly is: channels change by at most 2 per pixel.
std::vector<uint8_t> gradientFrame(int width, int height) {
  std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      uint8_t* p = &frame[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = static_cast<uint8_t>(x * 255 / (width - 1));
      p[1] = static_cast<uint8_t>(y * 255 / (height - 1));
      p[2] = static_cast<uint8_t>((x + y) * 255 / (width + height - 2));
      p[3] = 255;
    }
  return frame;
}

// Both paths draw the same picture. Without distortion they agree exactly. With the shipped
// camera's distortion the rectangle grid's quad strips and the power-of-two grid's quads are cut
// into triangles along different diagonals, so texture positions differ by hundredths of a texel
// and the nearest texel can flip to a neighbour where a sample lies that close to a texel edge.
TEST_F(BackgroundPaths, PowerOfTwoDrawsWhatTheRectangleDraws) {
  AR_REQUIRE_GL(*ctx_);
  CameraParam shipped;
  ASSERT_EQ(arCameraParamRead("Data/camera_para.dat", 1, &shipped), 0);
  const std::vector<uint8_t> frames[2] = {patternFrame(640, 480), gradientFrame(640, 480)};
  for (const CameraParam& camera : {testCamera(640, 480), shipped}) {
    for (int f = 0; f < 2; f++) {
      const bool distorted = camera.distortion[2] != 0.0;
      const char* name = f == 0 ? "pattern frame" : "smooth frame";
      SCOPED_TRACE(std::string(distorted ? "shipped camera, " : "no distortion, ") + name);
      std::string printed;
      const auto rect = draw(camera, frames[f], 1, &printed);
      EXPECT_TRUE(settings_->rectReady);
      arglDestroyBackground(settings_);
      settings_ = arglCreateBackground();
      settings_->rectAllowed = false;  // straight to the power-of-two path, as after a fallback
      const auto pow2 = draw(camera, frames[f], 1, &printed);
      EXPECT_TRUE(settings_->pow2Ready);
      EXPECT_FALSE(settings_->rectTried);
      arglDestroyBackground(settings_);
      settings_ = nullptr;
      const ImageDifference d = compareImages(rect, pow2);
      std::printf("%s, %s: power-of-two vs rectangle: %d of %d pixels differ, max channel difference %d\n",
                  distorted ? "shipped camera" : "no distortion", name, d.pixels, 640 * 480, d.maxChannel);
      if (!distorted) {
        EXPECT_EQ(d.pixels, 0);
        continue;
      }
      EXPECT_LE(d.pixels, 640 * 480 / 50);
      EXPECT_TRUE(eachPixelFoundNearby(rect, pow2, 640, 480));
      if (f == 1) {
        EXPECT_LE(d.maxChannel, 2);
      }
    }
  }
}

// A frame wider than any texture: both messages once, then silence and no background.
TEST_F(BackgroundPaths, FrameTooLargeForAnyTextureDrawsNothing) {
  AR_REQUIRE_GL(*ctx_);
  GLint maxSize = 0, maxRect = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  glGetIntegerv(kMaxRectangleTextureSize, &maxRect);
  const int width = std::max(maxSize, maxRect) + 1;
  const CameraParam camera = testCamera(width, 2);
  const std::vector<uint8_t> frame(static_cast<size_t>(width) * 2 * 4, 255);
  std::string printed;
  auto window = draw(camera, frame, 1, &printed);
  EXPECT_EQ(printed, std::string(kRectMessage) + kPow2Message);
  EXPECT_TRUE(settings_->pow2Tried);
  EXPECT_FALSE(settings_->pow2Ready);
  window = draw(camera, frame, 2, &printed);
  EXPECT_EQ(printed, "");
  for (size_t i = 0; i < window.size(); i += 4) ASSERT_EQ(window[i] | window[i + 1] | window[i + 2], 0);
}

TEST_F(BackgroundPaths, PowerOfTwoSizes) {
  AR_REQUIRE_GL(*ctx_);
  settings_ = arglCreateBackground();
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  const struct {
    int width, height, textureWidth, textureHeight;
  } cases[] = {{640, 480, 1024, 512}, {1, 1, 1, 1}, {1024, 512, 1024, 512}, {1025, 3, 2048, 4},
               {2, 1, 2, 1},          {maxSize, 1, maxSize, 1}};
  for (const auto& c : cases) {
    const CameraParam camera = testCamera(c.width, c.height);
    EXPECT_TRUE(arglPow2TextureSupported(settings_, &camera)) << c.width << " x " << c.height;
    EXPECT_EQ(settings_->textureWidth, c.textureWidth);
    EXPECT_EQ(settings_->textureHeight, c.textureHeight);
  }
  const CameraParam tooWide = testCamera(maxSize + 1, 1);
  EXPECT_FALSE(arglPow2TextureSupported(settings_, &tooWide));
  EXPECT_EQ(glErrorString("proxy tests"), "");
}

TEST_F(BackgroundPaths, RectangleSupportFollowsExtensionsAndSize) {
  AR_REQUIRE_GL(*ctx_);
  settings_ = arglCreateBackground();
  GLint maxRect = 0;
  glGetIntegerv(kMaxRectangleTextureSize, &maxRect);
  const CameraParam camera = testCamera(640, 480);
  EXPECT_TRUE(arglRectTextureSupported(settings_, &camera));
  const CameraParam tooTall = testCamera(4, maxRect + 1);
  EXPECT_FALSE(arglRectTextureSupported(settings_, &tooTall));
  arglOverrideGLStringsForTest(nullptr, "GL_EXT_texture_rectangle");
  EXPECT_TRUE(arglRectTextureSupported(settings_, &camera));
  arglOverrideGLStringsForTest(nullptr, "GL_NV_texture_rectangle");
  EXPECT_TRUE(arglRectTextureSupported(settings_, &camera));
  arglOverrideGLStringsForTest(nullptr, kNoRectangleExtensions);
  EXPECT_FALSE(arglRectTextureSupported(settings_, &camera));
}

}  // namespace
