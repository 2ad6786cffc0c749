// Texture images: the raster built from each kind of picture file, and its upload.
#include <gtest/gtest.h>

#include <GL/gl.h>

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

std::string decode(const std::vector<uint8_t>& bytes, CJDIB* raster, bool wantOk = true) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(DecodeTextureImage(bytes.data(), bytes.size(), "pic", raster), wantOk);
  return testing::internal::GetCapturedStdout();
}

// Raster row r (bottom first) holds picture row height - 1 - r; grey pictures (the picture's
// red) fill R, G and B; alpha -1 stands for the picture's green.
void expectRasterHoldsPicture(const CJDIB& raster, RgbaImage& img, int channels, int alpha, bool grey = false) {
  ASSERT_EQ(raster.m_width, img.width);
  ASSERT_EQ(raster.m_height, img.height);
  ASSERT_EQ(raster.m_bitCount, channels * 8);
  for (int r = 0; r < img.height; r++)
    for (int x = 0; x < img.width; x++) {
      const uint8_t* got = raster.m_pBits + r * raster.Stride() + x * channels;
      const uint8_t* want = img.at(x, img.height - 1 - r);
      for (int k = 0; k < 3; k++) EXPECT_EQ(got[k], want[grey ? 0 : k]) << "row " << r << " x " << x << " byte " << k;
      if (channels == 4) {
        EXPECT_EQ(got[3], alpha < 0 ? want[1] : alpha) << "row " << r << " x " << x;
      }
    }
}

TEST(TextureImage, Bitmaps24And32BecomeRgbAndRgbaBottomRowFirst) {
  RgbaImage img24 = distinctPixels(10, 3), img32 = distinctPixels(3, 2, 7);
  CJDIB raster;
  EXPECT_EQ(decode(EncodeBmp(img24, 24), &raster), "");
  EXPECT_EQ(raster.Stride(), 32u);  // 30 bytes of pixels padded to 32
  expectRasterHoldsPicture(raster, img24, 3, 0);
  CJDIB raster32;
  EXPECT_EQ(decode(EncodeBmp(img32, 32), &raster32), "");
  expectRasterHoldsPicture(raster32, img32, 4, 255);
}

TEST(TextureImage, OtherPicturesAreDecodedByTheirChannelsWithOneLine) {
  TempDir dir;
  RgbaImage img = distinctPixels(6, 5, 90);
  std::string error;
  struct Case {
    int channels, rasterChannels, alpha;
    const char* line;
  } cases[] = {{1, 3, 0, "1 channel as RGB"},
               {2, 4, -1, "2 channels as RGBA"},  // grey + alpha: the picture's green became alpha
               {3, 3, 0, "3 channels as RGB"},
               {4, 4, 90, "4 channels as RGBA"}};
  for (const Case& c : cases) {
    const std::string path = dir.file("p" + std::to_string(c.channels) + ".png");
    ASSERT_TRUE(WritePng(path, img, c.channels, &error)) << error;
    CJDIB raster;
    EXPECT_EQ(decode(readBytes(path), &raster),
              std::string("texture: pic: a PNG picture, not a 24- or 32-bit bitmap; decoded from its ") + c.line +
                  "\n");
    expectRasterHoldsPicture(raster, img, c.rasterChannels, c.alpha, c.channels <= 2);
  }
}

TEST(TextureImage, UndecodableAndOversizedPicturesAreRefusedWithOneLine) {
  CJDIB raster;
  const std::string text = "not an image";
  auto out = decode({text.begin(), text.end()}, &raster, false);
  EXPECT_EQ(out.rfind("texture: pic: cannot decode the picture", 0), 0u) << out;
  EXPECT_EQ(raster.m_state, -1);
  auto huge = EncodeBmp(distinctPixels(2, 2), 24);
  huge[18] = 0x40, huge[19] = 0x9C;  // width 40000
  out = decode(huge, &raster, false);
  EXPECT_NE(out.find("larger than 8192 on a side"), std::string::npos) << out;
  auto cut = EncodeBmp(distinctPixels(8, 8), 24);
  cut.resize(70);  // 54 bytes of headers, 16 of the 8 x 24 = 192 bytes of pixels
  EXPECT_EQ(decode(cut, &raster, false), "texture: pic: the bitmap ends 176 bytes before the end of its pixels\n");
}

// Level 0 read back: row 0 (t = 0) is the picture's bottom row, no shear from the padded rows
// even under someone else's unpack alignment, red and blue in their places.
TEST(TextureLoad, UploadKeepsColoursAndRowsAndSetsFiltersAndWrapping) {
  GlTestContext ctx(16, 16);
  AR_REQUIRE_GL(ctx);
  TempDir dir;
  RgbaImage img = distinctPixels(10, 4);
  std::string error;
  ASSERT_TRUE(WriteBmp(dir.file("t.bmp"), img, 24, &error)) << error;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  CTexture texture;
  ASSERT_TRUE(texture.Load(dir.file("t.bmp").c_str()));
  ASSERT_NE(texture.m_id, 0u);
  GLint value = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
  EXPECT_EQ(static_cast<GLuint>(value), texture.m_id);
  for (auto [name, want] : {std::pair{GL_TEXTURE_MIN_FILTER, GL_LINEAR}, std::pair{GL_TEXTURE_MAG_FILTER, GL_LINEAR},
                            std::pair{GL_TEXTURE_WRAP_S, GL_REPEAT}, std::pair{GL_TEXTURE_WRAP_T, GL_REPEAT}}) {
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    EXPECT_EQ(value, want) << name;
  }
  std::vector<uint8_t> texels(10 * 4 * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  EXPECT_EQ(glErrorString("glGetTexImage"), "");
  for (int t = 0; t < 4; t++)
    for (int x = 0; x < 10; x++)
      for (int k = 0; k < 3; k++) EXPECT_EQ(texels[(t * 10 + x) * 3 + k], img.at(x, 3 - t)[k]) << t << "," << x;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

}  // namespace
