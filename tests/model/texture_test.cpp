// Texture images: the raster built from each kind of picture file, and its upload.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <stb_image_write.h>

#include "model/texture.h"
#include "model/texture_image.h"
#include "tests/support/gl_test_context.h"
#include "tests/test_files.h"
#include "tools/model3ds/image_writer.h"

namespace {

// A picture whose every pixel differs: red 30 + x, green 20 + 10 y, blue 10 + x + y.
RgbaImage distinctPixels(int width, int height, uint8_t alpha = 255) {
  RgbaImage img(width, height);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      img.set(x, y, static_cast<uint8_t>(30 + x), static_cast<uint8_t>(20 + 10 * y), static_cast<uint8_t>(10 + x + y),
              alpha);
  return img;
}

struct Decoded {
  bool ok;
  std::string output;
};

Decoded decode(const std::vector<uint8_t>& bytes, CJDIB* raster) {
  testing::internal::CaptureStdout();
  const bool ok = DecodeTextureImage(bytes.data(), bytes.size(), "pic", raster);
  return {ok, testing::internal::GetCapturedStdout()};
}

// Raster row r (bottom first) holds picture row height - 1 - r, in the given channel count.
void expectRasterHoldsPicture(const CJDIB& raster, const RgbaImage& img, int channels, bool opaque) {
  ASSERT_EQ(raster.m_width, img.width);
  ASSERT_EQ(raster.m_height, img.height);
  ASSERT_EQ(raster.m_bitCount, channels * 8);
  for (int r = 0; r < img.height; r++)
    for (int x = 0; x < img.width; x++) {
      const uint8_t* got = raster.m_pBits + r * raster.Stride() + x * channels;
      const uint8_t* want = const_cast<RgbaImage&>(img).at(x, img.height - 1 - r);
      for (int k = 0; k < 3; k++) EXPECT_EQ(got[k], want[k]) << "row " << r << " x " << x << " byte " << k;
      if (channels == 4) {
        EXPECT_EQ(got[3], opaque ? 255 : want[3]);
      }
    }
}

TEST(TextureImage, Bitmap24OfWidth10TurnsEveryPixelOfThePaddedRowsIntoRgbBottomRowFirst) {
  const RgbaImage img = distinctPixels(10, 3);
  const auto bytes = EncodeBmp(img, 24);
  ASSERT_EQ(bytes[28], 24);
  CJDIB raster;
  const auto result = decode(bytes, &raster);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.output, "");
  EXPECT_EQ(raster.Stride(), 32u);  // 30 bytes of pixels padded to 32
  expectRasterHoldsPicture(raster, img, 3, true);
  EXPECT_EQ(raster.m_pBits[0], 30);  // bottom-left pixel: red 30, green 40, blue 12
  EXPECT_EQ(raster.m_pBits[1], 40);
  EXPECT_EQ(raster.m_pBits[2], 12);
}

TEST(TextureImage, Bitmap32BecomesRgbaWithAlpha255) {
  const RgbaImage img = distinctPixels(3, 2, 7);
  CJDIB raster;
  const auto result = decode(EncodeBmp(img, 32), &raster);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.output, "");
  EXPECT_EQ(raster.Stride(), 12u);
  expectRasterHoldsPicture(raster, img, 4, true);
}

TEST(TextureImage, ConversionExchangesRedAndBlueOfEveryPixelAndLeavesPadding) {
  CJDIB raster;
  ASSERT_TRUE(raster.Create(5, 2, 24));  // 15 bytes of pixels, stride 16
  for (size_t i = 0; i < raster.Stride() * 2; i++) raster.m_pBits[i] = static_cast<uint8_t>(i);
  ConvertBgrRasterToRgb(&raster);
  for (int r = 0; r < 2; r++) {
    const uint8_t* row = raster.m_pBits + r * 16;
    for (int x = 0; x < 5; x++) {
      EXPECT_EQ(row[3 * x], r * 16 + 3 * x + 2);
      EXPECT_EQ(row[3 * x + 1], r * 16 + 3 * x + 1);
      EXPECT_EQ(row[3 * x + 2], r * 16 + 3 * x);
    }
    EXPECT_EQ(row[15], r * 16 + 15);
  }
}

TEST(TextureImage, OtherPicturesAreDecodedByTheirChannelsWithOneLine) {
  TempDir dir;
  const RgbaImage img = distinctPixels(6, 5, 90);
  std::string error;
  struct Case {
    int channels;
    int rasterChannels;
  };
  for (Case c : {Case{1, 3}, Case{2, 4}, Case{3, 3}, Case{4, 4}}) {
    const std::string path = dir.file("p" + std::to_string(c.channels) + ".png");
    ASSERT_TRUE(WritePng(path, img, c.channels, &error)) << error;
    CJDIB raster;
    const auto result = decode(readBytes(path), &raster);
    ASSERT_TRUE(result.ok) << c.channels;
    EXPECT_EQ(result.output, "texture: pic: a PNG picture, not a 24- or 32-bit bitmap; decoded from its " +
                                 std::to_string(c.channels) + (c.channels == 1 ? " channel" : " channels") + " as " +
                                 (c.rasterChannels == 3 ? "RGB" : "RGBA") + "\n");
    ASSERT_EQ(raster.m_bitCount, c.rasterChannels * 8);
    // Bottom-left of the raster is the picture's bottom-left: grey (red byte) or colour.
    const uint8_t* p = raster.m_pBits;
    const uint8_t* want = const_cast<RgbaImage&>(img).at(0, 4);
    if (c.channels <= 2) {
      EXPECT_EQ(p[0], want[0]);
      EXPECT_EQ(p[1], want[0]);
      EXPECT_EQ(p[2], want[0]);
      if (c.channels == 2) {
        EXPECT_EQ(p[3], want[1]);  // grey + alpha: the second byte was alpha
      }
    } else {
      EXPECT_EQ(p[0], want[0]);
      EXPECT_EQ(p[2], want[2]);
      if (c.channels == 4) {
        EXPECT_EQ(p[3], 90);
      }
    }
  }
  const std::string jpeg = dir.file("p.jpg");
  std::vector<uint8_t> grey(16 * 8, 128);
  ASSERT_TRUE(stbi_write_jpg(jpeg.c_str(), 16, 8, 1, grey.data(), 95));
  CJDIB raster;
  const auto result = decode(readBytes(jpeg), &raster);
  ASSERT_TRUE(result.ok);
  EXPECT_NE(result.output.find("a JPEG picture"), std::string::npos) << result.output;
  EXPECT_EQ(raster.m_bitCount, 24);
  EXPECT_NEAR(raster.m_pBits[0], 128, 2);
}

TEST(TextureImage, UndecodableAndOversizedPicturesAreRefusedWithOneLine) {
  CJDIB raster;
  auto result = decode({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}, &raster);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.output.rfind("texture: pic: cannot decode the picture", 0), 0u) << result.output;
  EXPECT_EQ(raster.m_state, -1);

  auto huge = EncodeBmp(distinctPixels(2, 2), 24);
  huge[18] = 0x40, huge[19] = 0x9C;  // width 40000
  result = decode(huge, &raster);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.output.find("larger than 8192 on a side"), std::string::npos) << result.output;

  auto cut = EncodeBmp(distinctPixels(8, 8), 24);
  cut.resize(70);  // 54 bytes of headers, 16 of the 8 x 24 = 192 bytes of pixels
  result = decode(cut, &raster);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.output, "texture: pic: the bitmap ends 176 bytes before the end of its pixels\n");
}

TEST(TextureLoad, MissingFileLeavesNoTexture) {
  GlTestContext ctx(16, 16);
  AR_REQUIRE_GL(ctx);
  CTexture texture;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(texture.Load("no/such/picture.bmp"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "texture: cannot read no/such/picture.bmp: No such file or directory\n");
  EXPECT_EQ(texture.m_id, 0u);
}

// Uploaded level 0 read back from OpenGL: row 0 (t = 0) is the picture's bottom row, no shear
// from the padded rows, red and blue in their places, the stated filters and wrapping.
TEST(TextureLoad, UploadKeepsColoursAndRowsAndSetsFiltersAndWrapping) {
  GlTestContext ctx(16, 16);
  AR_REQUIRE_GL(ctx);
  TempDir dir;
  RgbaImage img = distinctPixels(10, 4);
  img.set(3, 1, 30, 20, 10);  // stored in the bitmap as blue 10, green 20, red 30
  std::string error;
  ASSERT_TRUE(WriteBmp(dir.file("t.bmp"), img, 24, &error)) << error;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // someone else's setting must not shear the rows
  CTexture texture;
  ASSERT_TRUE(texture.Load(dir.file("t.bmp").c_str()));
  ASSERT_NE(texture.m_id, 0u);
  GLint value = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
  EXPECT_EQ(static_cast<GLuint>(value), texture.m_id);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
  EXPECT_EQ(value, 1);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
  EXPECT_EQ(value, GL_REPEAT);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
  EXPECT_EQ(value, GL_REPEAT);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &value);
  EXPECT_EQ(value, 10);

  std::vector<uint8_t> texels(10 * 4 * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  EXPECT_EQ(glErrorString("glGetTexImage"), "");
  for (int t = 0; t < 4; t++)
    for (int x = 0; x < 10; x++)
      for (int k = 0; k < 3; k++)
        EXPECT_EQ(texels[(t * 10 + x) * 3 + k], img.at(x, 3 - t)[k]) << "t " << t << " x " << x;
  // The pixel stored as blue 10, green 20, red 30 (picture row 1 = texture row 2).
  EXPECT_EQ(texels[(2 * 10 + 3) * 3 + 0], 30);
  EXPECT_EQ(texels[(2 * 10 + 3) * 3 + 2], 10);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

}  // namespace
