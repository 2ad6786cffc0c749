#include "detect/bgra_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Convert = int (*)(const uint8_t*, int, int, int, std::vector<uint8_t>*);

// 2 x 2 pictures with one byte of padding after each row; pixel i has colour 10 * i + channel.
TEST(BgraFrame, EachLayoutGivesBlueGreenRedAndAlphaRowByRow) {
  const struct {
    Convert convert;
    std::vector<uint8_t> picture, bgra;
  } cases[] = {
      {arBgraFrameFromGrey, {10, 20, 99, 30, 40, 99}, {10, 10, 10, 255, 20, 20, 20, 255, 30, 30, 30, 255, 40, 40, 40, 255}},
      {arBgraFrameFromRgb, {10, 11, 12, 20, 21, 22, 99, 30, 31, 32, 40, 41, 42, 99},
       {12, 11, 10, 255, 22, 21, 20, 255, 32, 31, 30, 255, 42, 41, 40, 255}},
      {arBgraFrameFromRgba, {10, 11, 12, 13, 20, 21, 22, 23, 99, 30, 31, 32, 33, 40, 41, 42, 43, 99},
       {12, 11, 10, 13, 22, 21, 20, 23, 32, 31, 30, 33, 42, 41, 40, 43}},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> frame(3, 7);
    const int rowBytes = static_cast<int>(c.picture.size()) / 2;
    ASSERT_EQ(c.convert(c.picture.data(), 2, 2, rowBytes, &frame), 0);
    EXPECT_EQ(frame, c.bgra);
    const uint8_t* storage = frame.data();  // the next frame of the same size goes into the same storage
    ASSERT_EQ(c.convert(c.picture.data(), 2, 2, rowBytes, &frame), 0);
    EXPECT_EQ(frame.data(), storage);
  }
}

TEST(BgraFrame, RefusedPicturesLeaveTheFrameUntouched) {
  const uint8_t rgb[12] = {};
  std::vector<uint8_t> frame(5, 7);
  const struct {
    const uint8_t* picture;
    int width, height, rowBytes;
    std::vector<uint8_t>* frame;
  } cases[] = {{nullptr, 2, 2, 6, &frame}, {rgb, 2, 2, 6, nullptr}, {rgb, 0, 2, 6, &frame},
               {rgb, 2, -1, 6, &frame},    {rgb, 2, 2, 5, &frame},  {rgb, 1 << 30, 1, 1 << 30, &frame}};  // rows overlap; width overflows
  for (const auto& c : cases) {
    EXPECT_EQ(arBgraFrameFromRgb(c.picture, c.width, c.height, c.rowBytes, c.frame), -1) << c.width << " " << c.rowBytes;
    EXPECT_EQ(frame, std::vector<uint8_t>(5, 7));
  }
}

}  // namespace
