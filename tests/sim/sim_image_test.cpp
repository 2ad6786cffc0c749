#include "sim/sim_image.h"

#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace {

SimImage rgbCheckerboard(int width, int height) {
  SimImage image;
  image.width = width;
  image.height = height;
  image.channels = 3;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) image.pixels.push_back(static_cast<uint8_t>(((x + y) % 2) * 200 + c));
  return image;
}

TEST(SimImage, PngWrittenWithPhysicalSizeReadsBackExactly) {
  TempDir dir;
  const SimImage image = rgbCheckerboard(7, 5);
  std::string error;
  ASSERT_TRUE(simWritePng(dir.file("a.png"), image, &error, 11811)) << error;
  SimImage back;
  ASSERT_TRUE(simLoadImage(dir.file("a.png"), &back, &error)) << error;
  EXPECT_EQ(back.width, 7);
  EXPECT_EQ(back.height, 5);
  EXPECT_EQ(back.channels, 3);
  EXPECT_EQ(back.pixels, image.pixels);
  // The pHYs chunk right after IHDR: 11811 pixels per metre (300 dpi) on both axes, unit metre.
  const std::vector<unsigned char> bytes = readBytes(dir.file("a.png"));
  ASSERT_GT(bytes.size(), 54u);
  EXPECT_EQ(std::string(bytes.begin() + 37, bytes.begin() + 41), "pHYs");
  EXPECT_EQ((bytes[41] << 24) | (bytes[42] << 16) | (bytes[43] << 8) | bytes[44], 11811);
  EXPECT_EQ(bytes[49], 1);
}

TEST(SimImage, UnreadableFilesFailWithTheFileName) {
  TempDir dir;
  writeText(dir.file("text.png"), "not an image at all");
  writeBytes(dir.file("cut.png"), {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0});
  for (const std::string name : {"text.png", "cut.png", "missing.png"}) {
    SimImage image;
    std::string error;
    EXPECT_FALSE(simLoadImage(dir.file(name), &image, &error)) << name;
    EXPECT_NE(error.find(dir.file(name)), std::string::npos) << error;
    EXPECT_EQ(image.width, 0);
    EXPECT_TRUE(image.pixels.empty());
  }
}

TEST(SimImage, WritingAnInconsistentImageOrToAMissingFolderFails) {
  TempDir dir;
  std::string error;
  SimImage broken = rgbCheckerboard(4, 4);
  broken.pixels.pop_back();
  EXPECT_FALSE(simWritePng(dir.file("b.png"), broken, &error));
  EXPECT_FALSE(simWritePng(dir.file("none/b.png"), rgbCheckerboard(4, 4), &error));
  EXPECT_NE(error.find("none/b.png"), std::string::npos);
}

}  // namespace
