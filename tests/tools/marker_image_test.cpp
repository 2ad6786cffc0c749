#include "tools/patterns/marker_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <stb_image_write.h>

#include "camera/camera_param.h"
#include "sim/pattern_picture.h"
#include "sim/sim_pose.h"
#include "sim/synthetic_frame.h"
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

// Largest difference of two pictures of the same size, in grey levels.
int largestDifference(const SimImage& a, const SimImage& b) {
  int worst = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) worst = std::max(worst, std::abs(a.pixels[i] - b.pixels[i]));
  return worst;
}

TEST(MarkerImage, WholeMarkerAndInteriorAloneGiveTheSamePicture) {
  SimImage interior;
  ASSERT_TRUE(drawPatternDesign("flag", 128, &interior));
  SimImage fromInterior, fromWhole, fromMargin, fallback;
  MarkerInterior found;
  std::string cause;
  ASSERT_TRUE(patternPictureFromImage(interior, MarkerImageKind::Interior, &fromInterior, &found, &cause)) << cause;
  EXPECT_FALSE(found.wholeMarker);
  ASSERT_TRUE(patternPictureFromImage(wholeMarker(interior, 0), MarkerImageKind::Auto, &fromWhole, &found, &cause));
  EXPECT_TRUE(found.wholeMarker);
  EXPECT_NEAR(found.corners[0][0], 64, 0.5);
  EXPECT_NEAR(found.corners[2][0], 192, 0.5);
  ASSERT_TRUE(patternPictureFromImage(wholeMarker(interior, 37), MarkerImageKind::WholeMarker, &fromMargin,
                                      &found, &cause));
  // Found by the detector, the interior is sampled through the fitted square: within a few grey
  // levels of the box average of the interior alone (cell edges here are sharp black and white).
  EXPECT_LE(largestDifference(fromWhole, fromInterior), 24);
  EXPECT_LE(largestDifference(fromMargin, fromInterior), 24);
  // Without a border the automatic mode reports the whole image as the interior; armkpatt then
  // refuses it, armarker uses it.
  ASSERT_TRUE(patternPictureFromImage(interior, MarkerImageKind::Auto, &fallback, &found, &cause));
  EXPECT_FALSE(found.wholeMarker);
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
  // A solid black square has a dark outer quarter, but no interior: not a marker.
  SimImage solid = wholeMarker(interior, 10);
  for (int y = 10; y < 138; ++y)
    for (int x = 10; x < 138; ++x) solid.pixels[y * solid.width + x] = 0;
  EXPECT_FALSE(patternPictureFromImage(solid, MarkerImageKind::WholeMarker, &picture, &found, &cause));
  EXPECT_NE(cause.find("no black square border"), std::string::npos);
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
    EXPECT_LE(largestDifference(picture, fromPng), name == "m.bmp" ? 0 : 12) << name;
  }
}

// Photos of a printed marker: rendered through a pinhole camera on white paper, turned in the
// picture and seen at a slant; the pattern read back must pass for the original.
TEST(MarkerImage, WholeMarkerModeRecoversThePatternOfTurnedAndSlantedPhotos) {
  CameraParam camera = {};
  camera.xsize = 640, camera.ysize = 480;
  camera.projection[0][0] = camera.projection[1][1] = 600;
  camera.projection[0][2] = camera.distortion[0] = 320;
  camera.projection[1][2] = camera.distortion[1] = 240;
  camera.projection[2][2] = camera.distortion[3] = 1;
  SimRenderer renderer(camera, 640, 480);
  SimBackground paper;
  paper.grey = 235;
  struct Case {
    const char* design;
    double tilt, spin;
  } cases[] = {{"hook", 0, 10}, {"flag", 0, 30}, {"moon", 0, 45}, {"rocket", 40, 20}, {"ring", 45, -35}};
  for (const Case& c : cases) {
    std::vector<int> original;
    std::string error;
    ASSERT_EQ(arReadPatternValues(std::string("Data/patterns/") + c.design + ".patt", &original, &error),
              ArPatternFileStatus::Ok);
    SimImage interior;
    simPictureFromPatternValues(original, &interior);
    SimMarker marker;
    marker.interior = &interior;
    simPoseLookAt(350, c.tilt, 30, c.spin, 0, 0, marker.pose);
    std::vector<uint8_t> bgra(640 * 480 * 4);
    renderer.render(paper, &marker, 1, SimEffects(), bgra.data(), nullptr);
    SimImage photo;
    photo.width = 640, photo.height = 480, photo.channels = 3;
    for (size_t p = 0; p < bgra.size(); p += 4)
      for (int ch = 2; ch >= 0; ch--) photo.pixels.push_back(bgra[p + ch]);

    SimImage picture;
    MarkerInterior found;
    ASSERT_TRUE(patternPictureFromImage(photo, MarkerImageKind::WholeMarker, &picture, &found, &error))
        << c.design << ": " << error;
    std::vector<int> back;
    ASSERT_TRUE(simPatternValuesFromPicture(picture, &back));
    EXPECT_GE(arPatternSimilarity(back, original, nullptr), 0.9) << c.design;
    if (c.tilt == 0 && std::fabs(c.spin) < 45) {
      EXPECT_NEAR(std::fabs(found.turnDegrees), std::fabs(c.spin), 2) << c.design;
    }
  }
}

}  // namespace
