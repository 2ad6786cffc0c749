// Drawing a group on the real renderer: the state calls it makes (recorded on their way to
// OpenGL) and the pixels it produces.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdio>
#include <memory>

#include "model/model_3ds.h"
#include "tests/model/model_files.h"
#include "tests/support/gl_test_context.h"
#include "tools/model3ds/image_writer.h"

// The state calls drawing makes, as text: the test is linked with -Wl,--wrap=<function>, so
// every call, from the model library too, passes through here on its way to OpenGL.
namespace {
bool recording = false;
std::string callLog;
void record(const std::string& call) {
  if (recording) callLog += call + " ";
}
std::string target(GLenum e) { return e == GL_TEXTURE_2D ? "tex" : std::to_string(e); }
void logStart() { callLog.clear(), recording = true; }
std::string logStop() { return recording = false, callLog; }
}  // namespace

extern "C" {
void __real_glMaterialfv(GLenum face, GLenum pname, const GLfloat* params);
void __real_glBindTexture(GLenum target, GLuint texture);
void __real_glEnable(GLenum cap);
void __real_glDisable(GLenum cap);
void __real_glBegin(GLenum mode);
void __real_glEnd();

void __wrap_glMaterialfv(GLenum face, GLenum pname, const GLfloat* v) {
  char text[96];
  std::snprintf(text, sizeof text, "%s%s(%g %g %g %g)", face == GL_FRONT_AND_BACK ? "" : "one-side-",
                pname == GL_SPECULAR ? "specular" : pname == GL_DIFFUSE ? "diffuse" : "other", v[0], v[1], v[2], v[3]);
  record(text);
  __real_glMaterialfv(face, pname, v);
}
void __wrap_glBindTexture(GLenum t, GLuint id) {
  record("bind-" + target(t) + "(" + std::to_string(id) + ")"), __real_glBindTexture(t, id);
}
void __wrap_glEnable(GLenum cap) { record("enable-" + target(cap)), __real_glEnable(cap); }
void __wrap_glDisable(GLenum cap) { record("disable-" + target(cap)), __real_glDisable(cap); }
void __wrap_glBegin(GLenum mode) { record(mode == GL_POLYGON ? "polygon" : "begin"), __real_glBegin(mode); }
void __wrap_glEnd() { record("end"), __real_glEnd(); }
}  // extern "C"

namespace {

// A group of faces over one triangle, face i using materials[i] (null: no material).
struct FaceRun {
  CGroup group;
  explicit FaceRun(const std::vector<CMaterial*>& materials) {
    group.m_nVertices = 3;
    group.m_nFaces = static_cast<uint32_t>(materials.size());
    EXPECT_TRUE(group.Allocate());
    for (size_t i = 0; i < materials.size(); i++) {
      CFace& f = group.m_pFaces[i];
      f.pA = &group.m_pVertices[0], f.pB = &group.m_pVertices[1], f.pC = &group.m_pVertices[2];
      f.pMaterial = materials[i];
    }
  }
};

std::unique_ptr<CMaterial> colouredMaterial(float r, float g, float b) {
  auto m = std::make_unique<CMaterial>();
  m->m_diffuse[0] = r, m->m_diffuse[1] = g, m->m_diffuse[2] = b;
  m->m_specular[0] = 0.5f;
  return m;
}

TEST(GroupDraw, StateCallsOnlyWhereTheMaterialChanges) {
  GlTestContext ctx(16, 16);
  AR_REQUIRE_GL(ctx);
  auto plain = colouredMaterial(0.25f, 0.5f, 0.75f), textured = colouredMaterial(0.1f, 0.1f, 0.1f);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  textured->m_texture.m_id = texture;
  FaceRun run({plain.get(), plain.get(), plain.get(), textured.get(), textured.get()});
  logStart();
  run.group.Draw();
  // The textured material sends white, not its own diffuse colour.
  EXPECT_EQ(logStop(), "specular(0.5 1 1 1) diffuse(0.25 0.5 0.75 1) disable-tex polygon end polygon end polygon end "
                       "specular(0.5 1 1 1) diffuse(1 1 1 1) bind-tex(" + std::to_string(texture) +
                           ") enable-tex polygon end polygon end ");
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));  // left in force

  auto a = colouredMaterial(1, 0, 0), b = colouredMaterial(0, 1, 0);
  FaceRun alternating({a.get(), b.get(), a.get(), b.get()});
  logStart();
  alternating.group.Draw();
  const std::string setA = "specular(0.5 1 1 1) diffuse(1 0 0 1) disable-tex polygon end ";
  const std::string setB = "specular(0.5 1 1 1) diffuse(0 1 0 1) disable-tex polygon end ";
  EXPECT_EQ(logStop(), setA + setB + setA + setB);

  // A face without material keeps the state the previous group left; each Draw starts afresh.
  FaceRun keeping({nullptr, b.get()});
  logStart();
  keeping.group.Draw();
  EXPECT_EQ(logStop(), "polygon end " + setB);
  GLfloat diffuse[4];
  glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
  EXPECT_EQ(diffuse[1], 1.0f);

  CGroup empty;
  logStart();
  empty.Draw();
  EXPECT_EQ(logStop(), "");
}

// File corners (-1, 0, -1) .. (1, 0, 1) become model corners (-1, -1, 0) .. (1, 1, 0) facing
// the viewer, covering the viewport, texture (0, 0) at the bottom left.
std::vector<uint8_t> squareFile(const uint8_t diffuse[3], const std::string& mapFile) {
  ChunkWriter w;
  testfiles::material(w, "skin", diffuse, nullptr, mapFile);
  testfiles::object(w, "square", {-1, 0, -1, 1, 0, -1, 1, 0, 1, -1, 0, 1}, {0, 0, 1, 0, 1, 1, 0, 1},
                    {{0, 2, 1}, {0, 3, 2}}, {{"skin", {0, 1}}});
  return testfiles::wrapped(w.bytes());
}

// Draws into a width x height viewport and returns pixel (x, y), y counted from the bottom.
struct Drawn {
  std::vector<uint8_t> px;
  int width, height;
  const uint8_t* at(int x, int y) const { return &px[((height - 1 - y) * width + x) * 4]; }
};
Drawn drawModel(C3DSMaxModel& model, const GlTestContext& ctx, int width, int height) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  for (uint32_t j = 0; j < model.m_nGroups; j++) model.m_groups[j]->Draw();
  glFinish();
  EXPECT_EQ(glErrorString("draw"), "");
  return {ctx.readPixels(), ctx.width(), ctx.height()};
}

// Textured: the picture upright, its bottom row at v = 0. Lit and untextured: the diffuse colour
// along the normal. A model whose file is missing draws nothing.
TEST(GroupDraw, LoadedModelsShowTheirPicturesAndColours) {
  GlTestContext ctx(32, 32);
  AR_REQUIRE_GL(ctx);
  TempDir dir;
  RgbaImage img(10, 4);
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 10; x++) img.set(x, y, static_cast<uint8_t>(20 * x), static_cast<uint8_t>(60 * y), 200);
  std::string error;
  ASSERT_TRUE(WriteBmp(dir.file("skin.bmp"), img, 24, &error)) << error;
  const uint8_t grey[3] = {50, 50, 50}, colour[3] = {255, 0, 128};
  C3DSMaxModel textured, lit, missing;
  ASSERT_TRUE(testfiles::load(textured, dir, squareFile(grey, "skin.bmp"), dir.path() + "/").ok);
  ASSERT_NE(textured.m_materials[0]->m_texture.m_id, 0u);
  Drawn drawn = drawModel(textured, ctx, 10, 4);
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 10; x++)
      for (int k = 0; k < 3; k++) EXPECT_NEAR(drawn.at(x, y)[k], img.at(x, 3 - y)[k], 1) << x << "," << y;

  ASSERT_TRUE(testfiles::load(lit, dir, squareFile(colour, "")).ok);
  const GLfloat none[4] = {0, 0, 0, 1};
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);  // white, from +z
  glLightfv(GL_LIGHT0, GL_SPECULAR, none);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
  drawn = drawModel(lit, ctx, 16, 16);
  for (int k = 0; k < 3; k++) EXPECT_NEAR(drawn.at(8, 8)[k], colour[k], 1) << k;
  glDisable(GL_LIGHTING);

  testing::internal::CaptureStdout();
  EXPECT_FALSE(missing.Load("no/such/model.3ds", ""));
  testing::internal::GetCapturedStdout();
  logStart();
  drawModel(missing, ctx, 16, 16);
  EXPECT_EQ(logStop(), "");
}

}  // namespace
