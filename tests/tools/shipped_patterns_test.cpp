// The shipped patterns and printable markers: made as the README says, and distinct.
#include <gtest/gtest.h>

#include <fstream>

#include "sim/pattern_picture.h"
#include "sim/sim_image.h"
#include "tests/test_files.h"
#include "tests/tools/tool_run.h"
#include "tools/patterns/marker_image.h"
#include "tools/patterns/pattern_designs.h"

namespace {

std::vector<int> shippedPattern(const std::string& name) {
  std::vector<int> values;
  std::string error;
  EXPECT_TRUE(arReadPatternValues("Data/patterns/" + name + ".patt", &values, &error) == ArPatternFileStatus::Ok) << error;
  return values;
}

TEST(ShippedPatterns, AtLeastFourArePresentAndRemadeExactlyFromTheirPictures) {
  ASSERT_GE(patternDesignNames().size(), 4u);
  for (const std::string& name : patternDesignNames()) {
    SimImage shipped, drawn, picture;
    std::string error;
    ASSERT_TRUE(simLoadImage("Data/patterns/" + name + ".png", &shipped, &error)) << error;
    ASSERT_TRUE(drawPatternDesign(name, shipped.width, &drawn));
    EXPECT_EQ(shipped.pixels, drawn.pixels) << name;
    ASSERT_TRUE(patternPictureFromImage(shipped, MarkerImageKind::Interior, &picture, nullptr, &error)) << error;
    std::vector<int> expected;
    ASSERT_TRUE(simPatternValuesFromPicture(picture, &expected));
    EXPECT_EQ(shippedPattern(name), expected) << name;
  }
}

// A marker not in the marker table must not pass for a loaded one (the matcher accepts 0.5 and
// more), and a turned marker must not pass for another turn of itself.
TEST(ShippedPatterns, OrientationsOfOnePatternAreClearlyDifferent) {
  for (const std::string& name : patternDesignNames()) {
    const std::vector<int> p = shippedPattern(name);
    ASSERT_EQ(p.size(), 3072u);
    for (int a = 0; a < 4; ++a)
      for (int b = a + 1; b < 4; ++b) EXPECT_LT(arPatternCorrelation(p, a, p, b), 0.36) << name << " " << a << "/" << b;
  }
}

TEST(ShippedPatterns, DifferentPatternsAreClearlyDifferentInEveryOrientation) {
  const auto& names = patternDesignNames();
  for (size_t i = 0; i < names.size(); ++i)
    for (size_t j = i + 1; j < names.size(); ++j) {
      const std::vector<int> p = shippedPattern(names[i]), q = shippedPattern(names[j]);
      for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b)
          EXPECT_LT(arPatternCorrelation(p, a, q, b), 0.3) << names[i] << " " << a << "/" << names[j] << " " << b;
    }
}

TEST(ShippedPatterns, PrintableMarkersAreEightyMillimetresAndReadBackAsTheirPattern) {
  for (const std::string& name : patternDesignNames()) {
    const std::string path = "Data/markers/" + name + ".png";
    SimImage marker, picture;
    std::string error;
    ASSERT_TRUE(simLoadImage(path, &marker, &error)) << error;
    EXPECT_EQ(marker.width, 945 + 2 * 118);  // 80 mm and two 10 mm margins at 300 dpi
    EXPECT_EQ(marker.height, marker.width);
    const std::vector<unsigned char> bytes = readBytes(path);
    ASSERT_GT(bytes.size(), 50u);
    EXPECT_EQ(std::string(bytes.begin() + 37, bytes.begin() + 41), "pHYs");
    EXPECT_EQ((bytes[41] << 24) | (bytes[42] << 16) | (bytes[43] << 8) | bytes[44], 11811);
    MarkerInterior found;
    ASSERT_TRUE(patternPictureFromImage(marker, MarkerImageKind::Auto, &picture, &found, &error)) << error;
    EXPECT_TRUE(found.wholeMarker);
    std::vector<int> back;
    simPatternValuesFromPicture(picture, &back);
    EXPECT_GT(arPatternCorrelation(shippedPattern(name), 0, back, 0), 0.95) << name;
  }
}

}  // namespace
