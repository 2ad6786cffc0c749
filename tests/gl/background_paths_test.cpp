// The two texture paths of the background: the one-time fallback from rectangle to power-of-two
// textures, the limits of each, and that both draw the same picture.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>

#include "gl/background.h"
#include "gl/background_internal.h"
#include "tests/gl/gl_test_helpers.h"

namespace {

using BackgroundPaths = BackgroundTest;

const char* const kRectMessage =
    "argl error: Your OpenGL implementation and/or hardware's texturing capabilities are insufficient to "
    "support rectangle textures.\n";
const char* const kPow2Message =
    "argl error: Your OpenGL implementation and/or hardware's texturing capabilities are insufficient.\n";

// GL 1.2 gives BGRA pixels and edge clamping, but none of these is a rectangle extension.
const char* const kNoRectangleExtensions = "GL_ARB_multitexture GL_EXT_texture_rectangle_extra";

TEST_F(BackgroundPaths, MissingRectangleTexturesFallBackOnceToPowerOfTwo) {
  AR_REQUIRE_GL(ctx_);
  arglOverrideGLStringsForTest("1.2", kNoRectangleExtensions);
  const CameraParam camera = testCamera(640, 480);
  const auto frame = patternFrame(640, 480);
  for (int round = 0; round < 3; round++) {
    testing::internal::CaptureStdout();
    const auto window = draw(camera, frame);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), round == 0 ? kRectMessage : "") << "round " << round;
    EXPECT_EQ(maxFrameWindowDifference(frame, window), 0) << "round " << round;
  }
  EXPECT_TRUE(settings_->pow2Ready && !settings_->rectAllowed && !settings_->rectReady);
  EXPECT_EQ(settings_->wrapMode, static_cast<GLenum>(GL_CLAMP_TO_EDGE));
}

// Without distortion both paths agree exactly. With the shipped camera's distortion the rectangle
// grid's quad strips and the power-of-two grid's quads are cut into triangles along different
// diagonals, so the nearest texel can flip to a neighbour where a sample lies close to a texel edge.
TEST_F(BackgroundPaths, PowerOfTwoDrawsWhatTheRectangleDraws) {
  AR_REQUIRE_GL(ctx_);
  std::vector<uint8_t> smooth(640 * 480 * 4, 255);  // as a camera picture mostly is
  for (int i = 0; i < 640 * 480; i++) {
    const int x = i % 640, y = i / 640;
    smooth[i * 4] = static_cast<uint8_t>(x * 255 / 639);
    smooth[i * 4 + 1] = static_cast<uint8_t>(y * 255 / 479);
    smooth[i * 4 + 2] = static_cast<uint8_t>((x + y) * 255 / 1117);
  }
  const struct {
    const char* name; CameraParam camera; std::vector<uint8_t> frame; int maxPixels, maxChannel;
  } cases[] = {
      {"no distortion", testCamera(640, 480), patternFrame(640, 480), 0, 0},
      {"shipped camera", shippedCamera(), patternFrame(640, 480), 640 * 480 / 50, 255},
      {"shipped camera, smooth frame", shippedCamera(), smooth, 640 * 480 / 50, 2}};
  for (const auto& c : cases) {
    const auto rect = draw(c.camera, c.frame);
    EXPECT_TRUE(settings_->rectReady) << c.name;
    arglDestroyBackground(settings_);
    settings_ = arglCreateBackground();
    settings_->rectAllowed = false;  // straight to the power-of-two path, as after a fallback
    const auto pow2 = draw(c.camera, c.frame);
    EXPECT_TRUE(settings_->pow2Ready && !settings_->rectTried) << c.name;
    arglDestroyBackground(settings_);
    settings_ = nullptr;
    int pixels = 0, maxChannel = 0;
    for (size_t i = 0; i < rect.size(); i += 4) {
      const int d = std::max({std::abs(rect[i] - pow2[i]), std::abs(rect[i + 1] - pow2[i + 1]),
                              std::abs(rect[i + 2] - pow2[i + 2])});
      pixels += d > 0;
      maxChannel = std::max(maxChannel, d);
    }
    EXPECT_LE(pixels, c.maxPixels) << c.name;
    EXPECT_LE(maxChannel, c.maxChannel) << c.name;
  }
}

// A frame wider than any texture: both messages once, then silence and no background.
TEST_F(BackgroundPaths, FrameTooLargeForAnyTextureDrawsNothing) {
  AR_REQUIRE_GL(ctx_);
  GLint maxSize = 0, maxRect = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  glGetIntegerv(kMaxRectangleTextureSize, &maxRect);
  const int width = std::max(maxSize, maxRect) + 1;
  const std::vector<uint8_t> frame(static_cast<size_t>(width) * 2 * 4, 255);
  for (int round = 0; round < 2; round++) {
    testing::internal::CaptureStdout();
    const auto window = draw(testCamera(width, 2), frame);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), 
              round == 0 ? std::string(kRectMessage) + kPow2Message : "");
    EXPECT_TRUE(allPixelsAre(window, 0, 0, 0));
  }
  EXPECT_TRUE(settings_->pow2Tried && !settings_->pow2Ready);
}

TEST_F(BackgroundPaths, TextureSupportFollowsSizesAndExtensions) {
  AR_REQUIRE_GL(ctx_);
  settings_ = arglCreateBackground();
  GLint maxSize = 0, maxRect = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  glGetIntegerv(kMaxRectangleTextureSize, &maxRect);
  const struct { int width, height, textureWidth, textureHeight; } pow2Cases[] = {
      {640, 480, 1024, 512}, {1, 1, 1, 1}, {1024, 512, 1024, 512},
      {1025, 3, 2048, 4}, {2, 1, 2, 1}, {maxSize, 1, maxSize, 1}};
  for (const auto& c : pow2Cases) {
    const CameraParam camera = testCamera(c.width, c.height);
    EXPECT_TRUE(arglPow2TextureSupported(settings_, &camera) && settings_->textureWidth == c.textureWidth &&
                settings_->textureHeight == c.textureHeight)
        << c.width << " x " << c.height << " -> " << settings_->textureWidth << " x "
        << settings_->textureHeight;
  }
  const CameraParam tooWide = testCamera(maxSize + 1, 1), tooTall = testCamera(4, maxRect + 1);
  EXPECT_FALSE(arglPow2TextureSupported(settings_, &tooWide));
  EXPECT_FALSE(arglRectTextureSupported(settings_, &tooTall));
  const CameraParam camera = testCamera(640, 480);
  for (const char* names : {"GL_EXT_texture_rectangle", "GL_NV_texture_rectangle", kNoRectangleExtensions}) {
    arglOverrideGLStringsForTest(nullptr, names);
    EXPECT_EQ(arglRectTextureSupported(settings_, &camera), names != kNoRectangleExtensions) << names;
  }
  EXPECT_EQ(glErrorString("proxy tests"), "");
}

}  // namespace
