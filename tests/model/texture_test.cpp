// Texture images: the raster built from each kind of picture file, and pictures refused (the
// upload, and one texture per file shared by every material: draw_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>

#include "model/dib_raster.h"
#include "model/texture_image.h"
#include "tests/test_files.h"
#include "tools/model3ds/image_writer.h"

namespace {

// Rasters hold rows bottom row first, padded to 4 bytes. Bitmaps of 24 and 32 bits turn from
// blue-green-red to red-green-blue (alpha 255); other pictures go by their channels: grey (here the
// picture's red) to RGB, grey with alpha (here the picture's green) to RGBA. Refused with one line:
// a picture that cannot be decoded, is larger than 8192 on a side (also where the decoder itself
// would refuse it without saying why) or ends before its pixels, and a JPEG Huffman table claiming
// 16 x 17 = 272 codes, which the decoder would write past its table to build, also behind fill
// bytes before the start of image.
TEST(TextureImage, RasterHoldsThePictureBottomRowFirstAndBadPicturesAreRefused) {
  TempDir dir;
  RgbaImage img(10, 3);
  for (int x = 0; x < 10; x++)
    for (int y = 0; y < 3; y++) img.set(x, y, uint8_t(30 + x), uint8_t(20 + 10 * y), uint8_t(10 + x + y), 90);
  const auto png = [&](int channels) {
    std::string error;
    return WritePng(dir.file("p.png"), img, channels, &error) ? readBytes(dir.file("p.png")) : std::vector<uint8_t>();
  };
  auto huge = EncodeBmp(RgbaImage(2, 2), 24), cut = EncodeBmp(RgbaImage(8, 8), 24);
  huge[18] = 0x40, huge[19] = 0x9C;  // width 40000
  cut.resize(70);                    // 54 bytes of headers, 16 of the 8 x 24 = 192 bytes of pixels
  const std::vector<uint8_t> header = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                       0,    0,   0x4E, 0x20, 0, 0, 0x4E, 0x20, 8, 2, 0, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xC4, 0x01, 0x23, 0x00}, fill = {0xFF, 0xFF, 0xFF};
  jpeg.insert(jpeg.end(), 16, 17), jpeg.insert(jpeg.end(), 272, 1), fill.insert(fill.end(), jpeg.begin(), jpeg.end());
  const std::string tooLarge = " pixels, larger than 8192 on a side; not loaded\n",
                    huffman = "a Huffman table of the JPEG picture holds more than 256 codes; not loaded\n";
  const struct { std::vector<uint8_t> bytes; int channels, alpha, grey; std::string line; } cases[] = {
      {EncodeBmp(img, 24), 3, 0, 0, ""}, {EncodeBmp(img, 32), 4, 255, 0, ""}, {png(1), 3, 0, 1, ""},
      {png(2), 4, -1, 1, ""}, {png(3), 3, 0, 0, ""}, {png(4), 4, 90, 0, ""},  // alpha -1: the picture's green
      {{'n', 'o', 't'}, 0, 0, 0, "cannot decode the picture ("}, {huge, 0, 0, 0, "40000 x 2" + tooLarge},
      {header, 0, 0, 0, "20000 x 20000" + tooLarge}, {jpeg, 0, 0, 0, huffman}, {fill, 0, 0, 0, huffman},
      {cut, 0, 0, 0, "the bitmap ends 176 bytes before the end of its pixels\n"}};
  for (const auto& c : cases) {
    CJDIB raster;
    testing::internal::CaptureStderr();
    EXPECT_EQ(DecodeTextureImage(c.bytes.data(), c.bytes.size(), "pic", &raster, 0), c.channels != 0);
    const std::string line = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(c.line.empty() ? line.empty() : line.rfind("texture: pic: " + c.line, 0) == 0 && line.back() == '\n' &&
                                                    std::count(line.begin(), line.end(), '\n') == 1) << line;
    if (c.channels == 0) continue;
    ASSERT_TRUE(raster.m_width == 10 && raster.m_height == 3 && raster.m_bitCount == c.channels * 8);
    ASSERT_EQ(raster.Stride(), c.channels == 3 ? 32u : 40u);  // 30 bytes of pixels padded to 32
    for (int r = 0; r < 3; r++)
      for (int x = 0; x < 10; x++) {
        const uint8_t* got = raster.m_pBits + r * raster.Stride() + x * c.channels;
        const uint8_t* want = img.at(x, 2 - r);
        for (int k = 0; k < 3; k++) EXPECT_EQ(got[k], want[c.grey ? 0 : k]) << (&c - cases) << ", " << x << ", " << r;
        EXPECT_TRUE(c.channels == 3 || got[3] == (c.alpha < 0 ? want[1] : c.alpha)) << (&c - cases);
      }
  }
}

}  // namespace
