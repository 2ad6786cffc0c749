#include "tools/patterns/marker_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <stb_image_write.h>

#include "tests/test_files.h"
#include "tools/patterns/pattern_designs.h"

namespace {

// The picture framed by a black border a quarter of the side wide, inside a white margin.
SimImage wholeMarker(const SimImage& interior, int margin) {
  const int side = interior.width * 2, border = interior.width / 2;
  SimImage out;
  out.width = out.height = side + 2 * margin;
  out.channels = 1;
  out.pixels.assign(static_cast<size_t>(out.width) * out.height, 255);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const bool inside = x >= border && x < side - border && y >= border && y < side - border;
      out.pixels[(y + margin) * out.width + x + margin] =
          inside ? interior.pixels[(y - border) * interior.width + x - border] : 0;
    }
  return out;
}

TEST(MarkerImage, WholeMarkerAndInteriorAloneGiveTheSamePicture) {
  SimImage interior;
  ASSERT_TRUE(drawPatternDesign("flag", 128, &interior));
  SimImage fromInterior, fromWhole, fromMargin, forced;
  MarkerInterior found;
  std::string cause;
  ASSERT_TRUE(patternPictureFromImage(interior, MarkerImageKind::Auto, &fromInterior, &found, &cause)) << cause;
  EXPECT_FALSE(found.wholeMarker);
  ASSERT_TRUE(patternPictureFromImage(wholeMarker(interior, 0), MarkerImageKind::Auto, &fromWhole, &found, &cause));
  EXPECT_TRUE(found.wholeMarker);
  EXPECT_DOUBLE_EQ(found.x0, 64);
  EXPECT_DOUBLE_EQ(found.x1, 192);
  ASSERT_TRUE(patternPictureFromImage(wholeMarker(interior, 37), MarkerImageKind::WholeMarker, &fromMargin,
                                      &found, &cause));
  ASSERT_TRUE(patternPictureFromImage(interior, MarkerImageKind::Interior, &forced, &found, &cause));
  EXPECT_EQ(fromWhole.pixels, fromInterior.pixels);
  EXPECT_EQ(fromMargin.pixels, fromInterior.pixels);
  EXPECT_EQ(forced.pixels, fromInterior.pixels);
  // Each cell is the mean of its 8 x 8 block of the 128-pixel picture.
  double sum = 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 16; x < 24; ++x) sum += interior.pixels[y * 128 + x];
  EXPECT_EQ(fromInterior.pixels[(0 * 16 + 2) * 3], std::lround(sum / 64));
}

TEST(MarkerImage, NoBorderOrNoContrastAreReported) {
  SimImage interior;
  drawPatternDesign("moon", 64, &interior);
  SimImage picture;
  MarkerInterior found;
  std::string cause;
  EXPECT_FALSE(patternPictureFromImage(interior, MarkerImageKind::WholeMarker, &picture, &found, &cause));
  EXPECT_NE(cause.find("no black square border"), std::string::npos);
  SimImage flat = interior;
  std::fill(flat.pixels.begin(), flat.pixels.end(), 90);
  EXPECT_FALSE(patternPictureFromImage(flat, MarkerImageKind::Auto, &picture, &found, &cause));
  EXPECT_NE(cause.find("uniform"), std::string::npos);
  SimImage empty;
  EXPECT_FALSE(patternPictureFromImage(empty, MarkerImageKind::Auto, &picture, &found, &cause));
  // A solid black square has a dark outer quarter, so it is found as a border, but its
  // interior is black all over.
  SimImage solid = wholeMarker(interior, 10);
  for (int y = 10; y < 138; ++y)
    for (int x = 10; x < 138; ++x) solid.pixels[y * solid.width + x] = 0;
  EXPECT_FALSE(patternPictureFromImage(solid, MarkerImageKind::Auto, &picture, &found, &cause));
  EXPECT_TRUE(found.wholeMarker);
  EXPECT_NE(cause.find("uniform"), std::string::npos);
}

TEST(MarkerImage, BoxAverageWeighsPartialPixelsByArea) {
  SimImage image;
  image.width = 2;
  image.height = 1;
  image.channels = 3;
  image.pixels = {0, 0, 0, 200, 100, 50};
  double rgb[3];
  averageRgb(image, 0.5, 0, 2, 1, rgb);  // half of the black pixel, all of the other
  EXPECT_NEAR(rgb[0], 200 * 2.0 / 3, 1e-9);
  EXPECT_NEAR(rgb[1], 100 * 2.0 / 3, 1e-9);
  averageRgb(image, 5, 5, 6, 6, rgb);  // outside: white paper
  EXPECT_EQ(rgb[2], 255);
  const SimImage up = resampleRegion(image, 0, 0, 2, 1, 4, 1);
  EXPECT_EQ(up.pixels[0], 0);
  EXPECT_EQ(up.pixels[9], 200);
}

}  // namespace

namespace {

TEST(MarkerImage, BmpAndJpegMarkersGiveThePatternOfThePng) {
  TempDir dir;
  SimImage interior, fromPng;
  drawPatternDesign("moon", 96, &interior);
  const SimImage marker = wholeMarker(interior, 20);
  MarkerInterior found;
  std::string cause;
  ASSERT_TRUE(patternPictureFromImage(marker, MarkerImageKind::Auto, &fromPng, &found, &cause));
  ASSERT_TRUE(stbi_write_bmp(dir.file("m.bmp").c_str(), marker.width, marker.height, 1, marker.pixels.data()));
  ASSERT_TRUE(stbi_write_jpg(dir.file("m.jpg").c_str(), marker.width, marker.height, 1, marker.pixels.data(), 95));
  for (const std::string name : {"m.bmp", "m.jpg"}) {
    SimImage loaded, picture;
    ASSERT_TRUE(simLoadImage(dir.file(name), &loaded, &cause)) << cause;
    ASSERT_TRUE(patternPictureFromImage(loaded, MarkerImageKind::Auto, &picture, &found, &cause)) << cause;
    EXPECT_TRUE(found.wholeMarker) << name;
    int worst = 0;
    for (size_t i = 0; i < picture.pixels.size(); ++i)
      worst = std::max(worst, std::abs(picture.pixels[i] - fromPng.pixels[i]));
    EXPECT_LE(worst, name == "m.bmp" ? 0 : 12) << name;
  }
}

}  // namespace
