// The scene: one model per marker-table row, the markers to draw this frame, and the user scale.
#pragma once

#include <vector>

#include "app/marker_table.h"
#include "app/tracker.h"

class C3DSMaxModel;

constexpr double kPoseTranslationScale = 0.025;  // pose units (marker-width units) to scene units
constexpr float kScaleStep = 0.1f;               // Up and Down change the user scale by this
constexpr float kLowestUserScale = 0.1f;

struct SceneState {
  C3DSMaxModel* models[kMarkerTableCapacity];  // slot i: model of table row i, owned; null when empty
  std::vector<VisibleMarker> visible;          // markers to draw this frame, in detection order
  float userScale;                             // global factor on every model, changed by the arrow keys
};

// The process-wide scene, created on first use with userScale 1.0 and no models.
SceneState& sceneState();

// Creates an empty model in slot index, then loads it. The model stays in its slot (empty or
// partly filled) when loading fails. Needs the window's GL context for the textures.
bool loadModel(SceneState& scene, int index, const char* modelPath, const char* texturePrefix);

// Draws the model of every visible marker at its pose; expects GL_MODELVIEW as the matrix mode and
// the camera projection loaded.
void drawScene(const SceneState& scene);

// Deletes every model and empties the visible list, releasing its storage.
void releaseModels(SceneState& scene);

// The arrow keys, applied on key release, in single precision.
void resetUserScale(SceneState& scene);
void raiseUserScale(SceneState& scene);
void lowerUserScale(SceneState& scene);
