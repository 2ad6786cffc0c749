#include "tools/patterns/marker_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

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
  SimImage out{side + 2 * margin, side + 2 * margin, 1, {}};
  out.pixels.assign(static_cast<size_t>(out.width) * out.height, 255);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const bool inside = x >= border && x < side - border && y >= border && y < side - border;
      out.pixels[(y + margin) * out.width + x + margin] = inside ? interior.pixels[(y - border) * interior.width + x - border] : 0;
    }
  return out;
}

int largestDifference(const SimImage& a, const SimImage& b) {
  int worst = a.pixels.size() == b.pixels.size() ? 0 : 255;
  for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i) worst = std::max(worst, std::abs(a.pixels[i] - b.pixels[i]));
  return worst;
}

// Found by the detector, the interior is sampled through the fitted square: within a few grey
// levels of the box average of the interior alone (cell edges here are sharp black and white),
// also from BMP and JPEG files. Without a border the automatic mode takes the whole image.
TEST(MarkerImage, WholeMarkersInAnyFileGiveThePictureOfTheInteriorAlone) {
  TempDir dir;
  SimImage interior, fromInterior, picture, loaded;
  ASSERT_TRUE(drawPatternDesign("flag", 128, &interior));
  MarkerInterior found;
  std::string cause;
  ASSERT_TRUE(patternPictureFromImage(interior, MarkerImageKind::Interior, &fromInterior, &found, &cause)) << cause;
  double sum = 0;  // each cell the mean of its 8 x 8 block
  for (int i = 0; i < 64; ++i) sum += interior.pixels[i / 8 * 128 + 16 + i % 8];
  EXPECT_EQ(fromInterior.pixels[2 * 3], std::lround(sum / 64));
  ASSERT_TRUE(patternPictureFromImage(interior, MarkerImageKind::Auto, &picture, &found, &cause));
  EXPECT_TRUE(!found.wholeMarker && largestDifference(picture, fromInterior) == 0);
  const SimImage framed = wholeMarker(interior, 37);
  ASSERT_TRUE(stbi_write_bmp(dir.file("m.bmp").c_str(), framed.width, framed.height, 1, framed.pixels.data()));
  ASSERT_TRUE(stbi_write_jpg(dir.file("m.jpg").c_str(), framed.width, framed.height, 1, framed.pixels.data(), 95));
  for (const std::string source : {"unframed", "framed", "m.bmp", "m.jpg"}) {
    SimImage image = source == "unframed" ? wholeMarker(interior, 0) : framed;
    ASSERT_TRUE(source[0] != 'm' || simLoadImage(dir.file(source), &image, &cause)) << cause;
    const MarkerImageKind kind = source == "framed" ? MarkerImageKind::WholeMarker : MarkerImageKind::Auto;
    ASSERT_TRUE(patternPictureFromImage(image, kind, &picture, &found, &cause)) << source << ": " << cause;
    EXPECT_TRUE(found.wholeMarker) << source;
    EXPECT_LE(largestDifference(picture, fromInterior), source == "m.jpg" ? 30 : 24) << source;
  }
  EXPECT_NEAR(found.corners[0][0], 37 + 64, 0.5);
  EXPECT_NEAR(found.corners[2][0], 37 + 192, 0.5);
}

TEST(MarkerImage, NoBorderOrNoContrastAreReported) {
  SimImage interior, picture;
  drawPatternDesign("moon", 64, &interior);
  SimImage flat = interior, solid = wholeMarker(interior, 10);
  std::fill(flat.pixels.begin(), flat.pixels.end(), 90);
  for (int y = 10; y < 138; ++y) std::fill_n(&solid.pixels[y * solid.width + 10], 128, 0);  // no interior
  const struct {
    SimImage image;
    MarkerImageKind kind;
    const char* cause;
  } cases[] = {{interior, MarkerImageKind::WholeMarker, "no black square border"},
               {solid, MarkerImageKind::WholeMarker, "no black square border"},
               {flat, MarkerImageKind::Auto, "uniform"},
               {SimImage(), MarkerImageKind::Auto, ""}};
  for (const auto& c : cases) {
    MarkerInterior found;
    std::string cause;
    EXPECT_FALSE(patternPictureFromImage(c.image, c.kind, &picture, &found, &cause)) << c.cause;
    EXPECT_NE(cause.find(c.cause), std::string::npos) << cause;
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
  for (auto [design, tilt, spin] : {std::tuple{"hook", 0, 10}, {"flag", 0, 30}, {"moon", 0, 45}, {"rocket", 40, 20}, {"ring", 45, -35}}) {
    std::vector<int> original, back;
    std::string error;
    ASSERT_EQ(arReadPatternValues(std::string("Data/patterns/") + design + ".patt", &original, &error), ArPatternFileStatus::Ok);
    SimImage interior, photo{640, 480, 3, {}}, picture;
    simPictureFromPatternValues(original, &interior);
    SimMarker marker;
    marker.interior = &interior;
    simPoseLookAt(350, tilt, 30, spin, 0, 0, marker.pose);
    std::vector<uint8_t> bgra(640 * 480 * 4);
    renderer.render(paper, &marker, 1, SimEffects(), bgra.data(), nullptr);
    for (size_t p = 0; p < bgra.size(); p += 4) photo.pixels.insert(photo.pixels.end(), {bgra[p + 2], bgra[p + 1], bgra[p]});
    MarkerInterior found;
    ASSERT_TRUE(patternPictureFromImage(photo, MarkerImageKind::WholeMarker, &picture, &found, &error)) << design << ": " << error;
    ASSERT_TRUE(simPatternValuesFromPicture(picture, &back));
    EXPECT_GE(arPatternSimilarity(back, original, nullptr), 0.9) << design;
    EXPECT_TRUE(tilt != 0 || spin == 45 || std::fabs(std::fabs(found.turnDegrees) - spin) < 2) << design << " " << found.turnDegrees;
  }
}

}  // namespace
