// The shipped patterns and printable markers: made from their pictures, and distinct.
#include <gtest/gtest.h>

#include "sim/pattern_picture.h"
#include "sim/sim_image.h"
#include "tests/test_files.h"
#include "tools/patterns/marker_image.h"
#include "tools/patterns/pattern_designs.h"

namespace {

std::vector<int> shippedPattern(const std::string& name) {
  std::vector<int> values;
  std::string error;
  EXPECT_EQ(arReadPatternValues("Data/patterns/" + name + ".patt", &values, &error), ArPatternFileStatus::Ok) << error;
  return values;
}

// At least four designs, each picture drawn again exactly, and its pattern made from it exactly.
// The printable markers are 80 mm at 300 dpi (945 pixels and two 10 mm margins, with the
// resolution stored) and read back as their pattern.
TEST(ShippedPatterns, PicturesPatternsAndPrintableMarkersAreMadeFromTheDesigns) {
  ASSERT_GE(patternDesignNames().size(), 4u);
  for (const std::string& name : patternDesignNames()) {
    SimImage shipped, drawn, picture, marker;
    std::string error;
    ASSERT_TRUE(simLoadImage("Data/patterns/" + name + ".png", &shipped, &error)) << error;
    ASSERT_TRUE(drawPatternDesign(name, shipped.width, &drawn));
    EXPECT_EQ(shipped.pixels, drawn.pixels) << name;
    std::vector<int> values;
    ASSERT_TRUE(patternPictureFromImage(shipped, MarkerImageKind::Interior, &picture, nullptr, &error)) << error;
    ASSERT_TRUE(simPatternValuesFromPicture(picture, &values));
    EXPECT_EQ(shippedPattern(name), values) << name;

    const std::string path = "Data/markers/" + name + ".png";
    ASSERT_TRUE(simLoadImage(path, &marker, &error)) << error;
    EXPECT_TRUE(marker.width == 945 + 2 * 118 && marker.height == marker.width) << path;
    const std::vector<unsigned char> bytes = readBytes(path);
    ASSERT_GT(bytes.size(), 50u);
    EXPECT_EQ(std::string(bytes.begin() + 37, bytes.begin() + 41), "pHYs");
    EXPECT_EQ((bytes[41] << 24) | (bytes[42] << 16) | (bytes[43] << 8) | bytes[44], 11811) << "pixels per metre";
    MarkerInterior found;
    ASSERT_TRUE(patternPictureFromImage(marker, MarkerImageKind::Auto, &picture, &found, &error)) << error;
    ASSERT_TRUE(found.wholeMarker && simPatternValuesFromPicture(picture, &values));
    EXPECT_GT(arPatternCorrelation(shippedPattern(name), 0, values, 0), 0.95) << name;
  }
}

}  // namespace
