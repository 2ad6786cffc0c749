// Texture images: the raster built from each kind of picture file, its upload, the lookup of
// names in another letter case, and one texture per file shared by every material.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>

#include "model/model_3ds.h"
#include "model/texture.h"
#include "model/texture_cache.h"
#include "model/texture_image.h"
#include "tests/model/model_files.h"
#include "tests/support/gl_test_context.h"
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

std::string decode(const std::vector<uint8_t>& bytes, CJDIB* raster, bool wantOk = true, int maxSide = 0) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(DecodeTextureImage(bytes.data(), bytes.size(), "pic", raster, maxSide), wantOk);
  return testing::internal::GetCapturedStderr();
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

TEST(TextureImage, OtherPicturesAreDecodedByTheirChannelsWithoutAWord) {
  TempDir dir;
  RgbaImage img = distinctPixels(6, 5, 90);
  std::string error;
  // channels, raster channels, alpha; grey + alpha: the picture's green became alpha
  const int cases[][3] = {{1, 3, 0}, {2, 4, -1}, {3, 3, 0}, {4, 4, 90}};
  for (const auto& c : cases) {
    const std::string path = dir.file("p" + std::to_string(c[0]) + ".png");
    ASSERT_TRUE(WritePng(path, img, c[0], &error)) << error;
    CJDIB raster;
    EXPECT_EQ(decode(readBytes(path), &raster), "");
    expectRasterHoldsPicture(raster, img, c[1], c[2], c[0] <= 2);
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
  EXPECT_EQ(decode(huge, &raster, false), "texture: pic: 40000 x 2 pixels, larger than 8192 on a side; not loaded\n");
  // A PNG header claiming 20000 x 20000, which the decoder itself refuses without saying why.
  const uint8_t png[] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                         0,    0,   0x4E, 0x20, 0, 0, 0x4E, 0x20, 8, 2, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(decode({png, png + sizeof png}, &raster, false),
            "texture: pic: 20000 x 20000 pixels, larger than 8192 on a side; not loaded\n");
  auto cut = EncodeBmp(distinctPixels(8, 8), 24);
  cut.resize(70);  // 54 bytes of headers, 16 of the 8 x 24 = 192 bytes of pixels
  EXPECT_EQ(decode(cut, &raster, false), "texture: pic: the bitmap ends 176 bytes before the end of its pixels\n");
  // A JPEG Huffman table claiming 16 x 17 = 272 codes, which the decoder would write past its
  // table to build; also behind fill bytes, which the decoder skips before the start of image.
  std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xC4, 0x01, 0x23, 0x00};
  jpeg.insert(jpeg.end(), 16, 17);
  jpeg.insert(jpeg.end(), 272, 1);
  for (int fill : {0, 3}) {
    jpeg.insert(jpeg.begin(), fill, 0xFF);
    EXPECT_EQ(decode(jpeg, &raster, false),
              "texture: pic: a Huffman table of the JPEG picture holds more than 256 codes; not loaded\n");
  }
}

TEST(TextureImage, PicturesBeyondTheSideLimitAreScaledDownWithOneLine) {
  RgbaImage img(64, 8);
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 64; x++) img.set(x, y, x < 32 ? 200 : 10, 100, y < 4 ? 50 : 150);
  CJDIB raster;
  EXPECT_EQ(decode(EncodeBmp(img, 24), &raster, true, 16),
            "texture: pic: 64 x 8 pixels, more than 16 on a side; scaled down to 16 x 2\n");
  ASSERT_EQ(raster.m_width, 16);
  ASSERT_EQ(raster.m_height, 2);
  // Scaled, not cut or turned: the bottom left keeps its colours, the top right its own.
  const uint8_t* bottomLeft = raster.m_pBits;
  const uint8_t* topRight = raster.m_pBits + raster.Stride() + 15 * 3;
  EXPECT_NEAR(bottomLeft[0], 200, 2);
  EXPECT_GT(bottomLeft[2], 130);
  EXPECT_NEAR(topRight[0], 10, 2);
  EXPECT_LT(topRight[2], 70);
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

  // A picture 8192 wide is uploaded 4096 wide.
  ASSERT_TRUE(WritePng(dir.file("wide.png"), RgbaImage(8192, 4), 3, &error)) << error;
  CTexture wide;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(wide.Load(dir.file("wide.png").c_str()));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("scaled down to 4096 x 2"), std::string::npos);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &value);
  EXPECT_EQ(value, 4096);
}

// Three models of materials that all name one picture, in the letter case of another system:
// with one cache the picture is read, decoded and uploaded once, and said once to be found
// under another name; a missing picture is reported once.
TEST(TextureCache, MaterialsOfManyModelsShareOneTexturePerFile) {
  GlTestContext ctx(16, 16);
  AR_REQUIRE_GL(ctx);
  TempDir dir;
  std::string error;
  ASSERT_TRUE(WritePng(dir.file("tex.png"), distinctPixels(8, 8), 3, &error)) << error;
  ChunkWriter w;
  for (int i = 0; i < 20; i++)
    testfiles::material(w, "m" + std::to_string(i), nullptr, nullptr, i % 2 ? "TEX.PNG" : "tex.png");
  for (int i = 0; i < 3; i++) testfiles::material(w, "gone" + std::to_string(i), nullptr, nullptr, "gone.png");
  writeBytes(dir.file("m.3ds"), testfiles::wrapped(w.bytes()));
  CTextureCache cache;
  C3DSMaxModel models[3];
  testing::internal::CaptureStderr();
  for (C3DSMaxModel& model : models)
    EXPECT_TRUE(model.Load(dir.file("m.3ds").c_str(), (dir.path() + "/").c_str(), &cache));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(cache.FileCount(), 2u);
  const CTexture& first = models[0].m_materials[0]->m_texture;
  ASSERT_NE(first.m_id, 0u);
  for (const C3DSMaxModel& model : models)
    for (int i = 0; i < 20; i++) {
      EXPECT_EQ(model.m_materials[i]->m_texture.m_id, first.m_id);
      EXPECT_EQ(model.m_materials[i]->m_texture.m_shared, first.m_shared);
    }
  EXPECT_EQ(models[2].m_materials[22]->m_texture.m_id, 0u);
  EXPECT_EQ(err, "texture: " + dir.path() + "/TEX.PNG is not there; using " + dir.path() +
                     "/tex.png, whose name differs only in letter case\n"
                     "texture: cannot read " + dir.path() + "/gone.png: No such file or directory\n")
      << err;

  // Without a cache each material loads on its own, and a differently spelt name is found and said.
  C3DSMaxModel alone;
  testing::internal::CaptureStderr();
  alone.Load(dir.file("m.3ds").c_str(), (dir.path() + "/").c_str());
  const std::string aloneErr = testing::internal::GetCapturedStderr();
  EXPECT_NE(alone.m_materials[1]->m_texture.m_id, alone.m_materials[0]->m_texture.m_id);
  EXPECT_NE(alone.m_materials[1]->m_texture.m_id, 0u);
  EXPECT_NE(aloneErr.find("texture: " + dir.path() + "/TEX.PNG is not there; using " + dir.path() + "/tex.png"),
            std::string::npos) << aloneErr;
}

}  // namespace
