// Drawing models on the real renderer: the same two squares from a 3DS and a glTF file show their
// colours and their picture upright; a file that cannot be read draws nothing.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "model/model_3ds.h"
#include "model/model_file.h"
#include "tests/support/gl_test_context.h"
#include "tests/test_files.h"
#include "tools/model3ds/gltf_writer.h"
#include "tools/model3ds/image_writer.h"
#include "tools/model3ds/model_writer.h"

namespace {

// Draws every group lit from the viewer by a white light without ambient or highlight.
std::vector<uint8_t> drawLit(C3DSMaxModel& model, const GlTestContext& ctx) {
  static const GLfloat none[4] = {0, 0, 0, 1};
  glClearColor(0, 0, 0, 1), glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_LIGHTING), glEnable(GL_LIGHT0), glLightfv(GL_LIGHT0, GL_SPECULAR, none);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
  for (uint32_t j = 0; j < model.m_nGroups; j++) model.m_groups[j]->Draw();
  glDisable(GL_LIGHTING);
  EXPECT_EQ(glErrorString("draw"), "");
  return ctx.readPixels();
}

// Two squares side by side facing the viewer and filling the window: brown on the left; on the
// right the picture, texture (0, 0) at its bottom left, under a yellow diffuse colour that a
// textured face does not use. File corners (x, 0, z) become model corners (x, z, 0); the lit
// colours also show that the normals face the viewer. The models name the picture in another
// letter case and a picture that is not there: with one cache for both, each is read once and
// said once; a picture wider than the largest texture side allowed (4096) is scaled down with one
// line. The texture filters linearly and repeats, and the caller's unpack alignment stays.
// A file that cannot be read, or an empty one, loads and draws nothing and says why on one line.
TEST(GroupDraw, ModelsOfEachFormatShowTheirColoursAndPictures) {
  GlTestContext ctx(20, 4);
  AR_REQUIRE_GL(ctx);
  TempDir dir;
  RgbaImage img(10, 4);
  for (int i = 0; i < 40; i++) img.set(i % 10, i / 10, uint8_t(20 * (i % 10)), uint8_t(60 * (i / 10)), 200);
  ModelDesc model;
  model.materials = {{"brown", {120, 70, 30}, {0, 0, 0}, ""}, {"picture", {255, 255, 0}, {0, 0, 0}, "SKIN.PNG"},
                     {"gone", {0, 0, 0}, {0, 0, 0}, "gone.png"}, {"wide", {0, 0, 0}, {0, 0, 0}, "wide.png"}};
  MeshDesc mesh{"squares", {}, {}, {{0, 2, 1}, {0, 3, 2}, {4, 6, 5}, {4, 7, 6}},
                {{"brown", {0, 1}}, {"picture", {2, 3}}}};
  for (float x0 : {-1.0f, 0.0f}) {
    mesh.vertices.insert(mesh.vertices.end(), {{x0, 0, -1}, {x0 + 1, 0, -1}, {x0 + 1, 0, 1}, {x0, 0, 1}});
    mesh.texCoords.insert(mesh.texCoords.end(), {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  }
  model.meshes = {mesh};
  std::vector<uint8_t> bytes;
  std::string error, gltf;
  ASSERT_TRUE(WritePng(dir.file("skin.png"), img, 3, &error)) << error;
  ASSERT_TRUE(WritePng(dir.file("wide.png"), RgbaImage(8192, 2), 3, &error)) << error;
  ASSERT_TRUE(Write3ds(model, &bytes, &error) && WriteGltf(model, &gltf, &error)) << error;
  writeBytes(dir.file("m.3ds"), bytes), writeText(dir.file("m.gltf"), gltf), writeText(dir.file("empty.3ds"), "");
  writeText(dir.file("broken.gltf"), "{\"asset\": {\"version\": \"2.0\"}, \"meshes\": [");
  const std::string cannot = "model: cannot read " + dir.path() + "/";
  const struct { std::string file, said; bool ok; } cases[] = {  // a model to draw: "m.*"
      {"m.3ds", "texture: " + dir.file("SKIN.PNG") + " is not there; using " + dir.file("skin.png") +
                    ", whose name differs only in letter case\ntexture: cannot read " + dir.file("gone.png") +
                    ": No such file or directory\ntexture: " + dir.file("wide.png") +
                    ": 8192 x 2 pixels, more than 4096 on a side; scaled down to 4096 x 1\n", true},
      {"m.gltf", "", true}, {"broken.gltf", cannot + "broken.gltf: ", false},
      {"none.3ds", cannot + "none.3ds: No such file or directory\n", false}, {"", cannot + ": Is a directory\n", false},
      {"empty.3ds", "model: " + dir.file("empty.3ds") + ": the file is empty; there is nothing to draw\n", true}};
  CTextureCache textures;
  GLuint picture = 0, wide = 0;  // the textures of the first model, shared by the second
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (const auto& c : cases) {
    C3DSMaxModel loaded;
    testing::internal::CaptureStderr();
    EXPECT_EQ(arLoadModelFile(&loaded, dir.file(c.file).c_str(), (dir.path() + "/").c_str(), &textures), c.ok);
    const std::string err = testing::internal::GetCapturedStderr();
    const auto window = drawLit(loaded, ctx);
    if (c.file.rfind("m.", 0) != 0) {
      EXPECT_TRUE(err.rfind(c.said, 0) == 0 && std::count(err.begin(), err.end(), '\n') == 1) << err;
      EXPECT_TRUE(loaded.m_groups.empty() && std::count(window.begin(), window.end(), 0) == 20 * 4 * 3) << c.file;
      continue;
    }
    EXPECT_EQ(err, c.said);
    const GLuint id = loaded.FindMaterial("picture")->m_texture.m_id;
    EXPECT_TRUE(id != 0 && (picture == 0 || id == picture)) << c.file;
    picture = id;
    if (wide == 0) wide = loaded.FindMaterial("wide")->m_texture.m_id;  // from the 3DS file
    for (int i = 0; i < 40; i++)  // pixel (x, y), y from the top
      for (int x = i % 10, y = i / 10, k = 0; k < 3; k++) {
        EXPECT_NEAR(window[(y * 20 + x) * 4 + k], model.materials[0].diffuse[k], 1) << c.file << ", " << x << ", " << y;
        EXPECT_NEAR(window[(y * 20 + 10 + x) * 4 + k], img.at(x, y)[k], 1) << c.file << ", " << x << ", " << y;
      }
  }
  EXPECT_EQ(textures.FileCount(), 3u);
  GLint value = 0;
  glBindTexture(GL_TEXTURE_2D, wide);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &value);
  EXPECT_EQ(value, 4096);
  glBindTexture(GL_TEXTURE_2D, picture);
  for (auto [name, want] : {std::pair{GL_TEXTURE_MIN_FILTER, GL_LINEAR}, {GL_TEXTURE_MAG_FILTER, GL_LINEAR},
                            {GL_TEXTURE_WRAP_S, GL_REPEAT}, {GL_TEXTURE_WRAP_T, GL_REPEAT}, {GL_UNPACK_ALIGNMENT, 1}}) {
    name == GL_UNPACK_ALIGNMENT ? glGetIntegerv(name, &value) : glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    EXPECT_EQ(value, want) << name;
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

}  // namespace
