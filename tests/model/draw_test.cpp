// Drawing a group on the real renderer: the state calls it makes (recorded on their way to
// OpenGL) and the pixels it produces.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "model/model_3ds.h"
#include "model/model_file.h"
#include "tests/model/model_files.h"
#include "tests/support/gl_test_context.h"
#include "tools/model3ds/gltf_writer.h"
#include "tools/model3ds/image_writer.h"
#include "tools/model3ds/model_writer.h"

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

// Two squares side by side facing the viewer, covering the viewport: the left one brown, the
// right one textured, texture (0, 0) at its bottom left. File corners (x, 0, z) become model
// corners (x, z, 0).
ModelDesc twoSquares() {
  ModelDesc model;
  model.materials = {{"brown", {120, 70, 30}, {0, 0, 0}, ""}, {"picture", {255, 255, 255}, {0, 0, 0}, "skin.png"}};
  MeshDesc mesh;
  mesh.name = "squares";
  for (float x0 : {-1.0f, 0.0f}) {
    mesh.vertices.insert(mesh.vertices.end(), {{x0, 0, -1}, {x0 + 1, 0, -1}, {x0 + 1, 0, 1}, {x0, 0, 1}});
    mesh.texCoords.insert(mesh.texCoords.end(), {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  }
  mesh.faces = {{0, 2, 1}, {0, 3, 2}, {4, 6, 5}, {4, 7, 6}};
  mesh.faceMaterials = {{"brown", {0, 1}}, {"picture", {2, 3}}};
  model.meshes = {mesh};
  return model;
}

// The same model as a Wavefront OBJ file with its material file, axes and corners turned as the
// glTF writer turns them.
void writeObj(const ModelDesc& model, const std::string& dir) {
  std::string obj = "mtllib m.mtl\n", mtl;
  const MeshDesc& mesh = model.meshes[0];
  for (const Vec3& v : mesh.vertices)
    obj += "v " + std::to_string(v[0]) + " " + std::to_string(v[2]) + " " + std::to_string(v[1]) + "\n";
  for (const Vec2& t : mesh.texCoords) obj += "vt " + std::to_string(t[0]) + " " + std::to_string(t[1]) + "\n";
  for (const auto& [name, faces] : mesh.faceMaterials) {
    obj += "usemtl " + name + "\n";
    for (uint16_t f : faces) {
      obj += "f";
      for (uint16_t corner : {mesh.faces[f].a, mesh.faces[f].c, mesh.faces[f].b})
        obj += " " + std::to_string(corner + 1) + "/" + std::to_string(corner + 1);
      obj += "\n";
    }
  }
  for (const MaterialDesc& m : model.materials) {
    mtl += "newmtl " + m.name + "\nKs 0 0 0\nKd";
    for (uint8_t c : m.diffuse) mtl += " " + std::to_string(c / 255.0);
    mtl += "\n" + (m.textureFile.empty() ? "" : "map_Kd " + m.textureFile + "\n");
  }
  writeText(dir + "/m.obj", obj);
  writeText(dir + "/m.mtl", mtl);
}

// Draws into a width x height viewport, lit from the viewer by a white light without ambient
// or highlight, and returns pixel (x, y), y counted from the bottom.
struct Drawn {
  std::vector<uint8_t> px;
  int width, height;
  const uint8_t* at(int x, int y) const { return &px[((height - 1 - y) * width + x) * 4]; }
};
Drawn drawLit(C3DSMaxModel& model, const GlTestContext& ctx, int width, int height) {
  static const GLfloat none[4] = {0, 0, 0, 1};
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);  // white, from +z
  glLightfv(GL_LIGHT0, GL_SPECULAR, none);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
  for (uint32_t j = 0; j < model.m_nGroups; j++) model.m_groups[j]->Draw();
  glDisable(GL_LIGHTING);
  glFinish();
  EXPECT_EQ(glErrorString("draw"), "");
  return {ctx.readPixels(), ctx.width(), ctx.height()};
}

// The same two squares from a 3DS, a glTF and an OBJ file draw alike: the brown one brown, the
// picture upright with its bottom row at v = 0. A broken or missing file draws nothing, with
// one line.
TEST(GroupDraw, ModelsOfEveryFormatShowTheirColoursAndPictures) {
  GlTestContext ctx(32, 32);
  AR_REQUIRE_GL(ctx);
  TempDir dir;
  RgbaImage img(10, 4);
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 10; x++) img.set(x, y, static_cast<uint8_t>(20 * x), static_cast<uint8_t>(60 * y), 200);
  std::string error, gltf;
  ASSERT_TRUE(WritePng(dir.file("skin.png"), img, 3, &error)) << error;
  const ModelDesc model = twoSquares();
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(Write3ds(model, &bytes, &error) && WriteGltf(model, &gltf, &error)) << error;
  writeBytes(dir.file("m.3ds"), bytes);
  writeText(dir.file("m.gltf"), gltf);
  writeObj(model, dir.path());
  writeText(dir.file("broken.gltf"), "{\"asset\": {\"version\": \"2.0\"}, \"meshes\": [");
  for (const char* file : {"m.3ds", "m.gltf", "m.obj"}) {
    SCOPED_TRACE(file);
    C3DSMaxModel loaded;
    CTextureCache textures;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(arLoadModelFile(&loaded, dir.file(file).c_str(), (dir.path() + "/").c_str(), &textures));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    const Drawn drawn = drawLit(loaded, ctx, 20, 4);
    for (int y = 0; y < 4; y++)
      for (int x = 0; x < 10; x++)
        for (int k = 0; k < 3; k++) {
          EXPECT_NEAR(drawn.at(x, y)[k], model.materials[0].diffuse[k], 1) << x << "," << y;
          EXPECT_NEAR(drawn.at(10 + x, y)[k], img.at(x, 3 - y)[k], 1) << x << "," << y;
        }
  }
  for (const char* file : {"broken.gltf", "missing.gltf", "missing.3ds"}) {
    C3DSMaxModel loaded;
    CTextureCache textures;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(arLoadModelFile(&loaded, dir.file(file).c_str(), "", &textures));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("model: cannot read " + dir.file(file) + ": ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    logStart();
    drawLit(loaded, ctx, 20, 4);
    EXPECT_EQ(logStop().find("polygon"), std::string::npos);
  }
}

}  // namespace
