#include "app/scene.h"

#include <GL/gl.h>

#include <chrono>
#include <cstdio>

#include "gl/projection.h"
#include "model/model_3ds.h"
#include "model/model_file.h"

namespace {

// One white light at the camera, shining along the view: it is placed with the identity
// model-view, so it follows the camera. Drawing sets only diffuse and specular colours; the
// shininess set here keeps the specular colour to a highlight instead of whitening every face.
void lightScene() {
  static const GLfloat kAlongTheView[4] = {0.0f, 0.0f, 1.0f, 0.0f};  // directional, from behind the eye
  static const GLfloat kWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  static const GLfloat kHighlight[4] = {0.3f, 0.3f, 0.3f, 1.0f};
  constexpr GLfloat kShininess = 32.0f;
  glLoadIdentity();
  glLightfv(GL_LIGHT0, GL_POSITION, kAlongTheView);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, kWhite);
  glLightfv(GL_LIGHT0, GL_SPECULAR, kHighlight);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, kShininess);
  glEnable(GL_LIGHT0);
  glEnable(GL_NORMALIZE);  // the models are scaled, and their vertex normals are averages
  glEnable(GL_LIGHTING);
}

}  // namespace

SceneState& sceneState() {
  static SceneState scene = [] {
    SceneState s{};
    s.userScale = 1.0f;
    return s;
  }();
  return scene;
}

bool loadModel(SceneState& scene, int index, const char* modelPath, const char* texturePrefix) {
  scene.models[index] = new C3DSMaxModel();
  return arLoadModelFile(scene.models[index], modelPath, texturePrefix, &scene.textures);
}

void loadModels(SceneState& scene, const MarkerTable& table, double progressAfterSeconds) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < table.count; i++) {
    loadModel(scene, i, table.entries[i].modelPath, table.entries[i].texturePrefix);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seconds > progressAfterSeconds)
      std::fprintf(stderr, "arviewer: loading models: %d of %d done after %.1f s\n", i + 1, table.count, seconds);
  }
}

void drawScene(const SceneState& scene) {
  lightScene();
  for (const VisibleMarker& v : scene.visible) {
    double m[16];
    arglPoseToModelView(v.transform, m, kPoseTranslationScale);
    glLoadMatrixd(m);
    // Models are built with y up; the marker's z axis points away from its plane.
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    const float s = v.scale * scene.userScale;
    glScalef(s, s, s);
    C3DSMaxModel* model = scene.models[v.entryIndex];
    if (!model) continue;
    for (uint32_t g = 0; g < model->m_nGroups; g++) model->m_groups[g]->Draw();
  }
  glDisable(GL_LIGHTING);
}

void releaseModels(SceneState& scene) {
  for (C3DSMaxModel*& model : scene.models) {
    delete model;
    model = nullptr;
  }
  scene.textures = CTextureCache();
  std::vector<VisibleMarker>().swap(scene.visible);
}

void resetUserScale(SceneState& scene) { scene.userScale = 1.0f; }

void raiseUserScale(SceneState& scene) { scene.userScale = scene.userScale + kScaleStep; }

void lowerUserScale(SceneState& scene) {
  scene.userScale = scene.userScale - kScaleStep;
  if (scene.userScale < kLowestUserScale) scene.userScale = kLowestUserScale;
}
