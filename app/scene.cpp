#include "app/scene.h"

#include <GL/gl.h>

#include "gl/projection.h"
#include "model/model_3ds.h"

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
  return scene.models[index]->Load(modelPath, texturePrefix);
}

void drawScene(const SceneState& scene) {
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
}

void releaseModels(SceneState& scene) {
  for (C3DSMaxModel*& model : scene.models) {
    delete model;
    model = nullptr;
  }
  std::vector<VisibleMarker>().swap(scene.visible);
}

void resetUserScale(SceneState& scene) { scene.userScale = 1.0f; }

void raiseUserScale(SceneState& scene) { scene.userScale = scene.userScale + kScaleStep; }

void lowerUserScale(SceneState& scene) {
  scene.userScale = scene.userScale - kScaleStep;
  if (scene.userScale < kLowestUserScale) scene.userScale = kLowestUserScale;
}
