// The scene: one model per marker-table row, the markers to draw this frame, and the user scale.
#pragma once

#include <vector>

#include "app/marker_table.h"
#include "app/tracker.h"
#include "model/texture_cache.h"

class C3DSMaxModel;

constexpr double kPoseTranslationScale = 0.025;  // pose units (marker-width units) to scene units
constexpr float kScaleStep = 0.1f;               // Up and Down change the user scale by this
constexpr float kLowestUserScale = 0.1f;
constexpr double kModelProgressAfterSeconds = 1.0;  // loading models longer than this says how far it got

struct SceneState {
  C3DSMaxModel* models[kMarkerTableCapacity];  // slot i: model of table row i, owned; null when empty
  std::vector<VisibleMarker> visible;          // markers to draw this frame, in detection order
  float userScale;                             // global factor on every model, changed by the arrow keys
  CTextureCache textures;                      // every texture file of every model, loaded once
};

// The process-wide scene, created on first use with userScale 1.0 and no models.
SceneState& sceneState();

// Creates an empty model in slot index, then loads it (3DS, glTF, OBJ, ...; textures shared
// through the scene's cache). The model stays in its slot (empty or partly filled) when loading
// fails. Needs the window's GL context for the textures.
bool loadModel(SceneState& scene, int index, const char* modelPath, const char* texturePrefix);

// Loads the model of every table row in order. Once loading has taken more than
// progressAfterSeconds, each further model adds a progress line on standard error.
void loadModels(SceneState& scene, const MarkerTable& table, double progressAfterSeconds = kModelProgressAfterSeconds);

// Draws the model of every visible marker at its pose, lit by one white light at the camera;
// expects GL_MODELVIEW as the matrix mode and the camera projection loaded. Leaves lighting off.
void drawScene(const SceneState& scene);

// Deletes every model and every texture record and empties the visible list, releasing its
// storage.
void releaseModels(SceneState& scene);

// The arrow keys, applied on key release, in single precision.
void resetUserScale(SceneState& scene);
void raiseUserScale(SceneState& scene);
void lowerUserScale(SceneState& scene);
