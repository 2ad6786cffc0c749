#include "app/viewer_shell.h"

#include <GL/freeglut.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/frame_stats.h"
#include "app/marker_table.h"
#include "app/scene.h"
#include "app/tracker.h"
#include "gl/background.h"
#include "gl/exit_leak_check.h"
#include "gl/projection.h"
#include "video/video.h"

namespace {

int32_t gLastTickMs = 0;

constexpr unsigned char kKeyEscape = 27;

void releaseModelsAtExit() { releaseModels(sceneState()); }

}  // namespace

int32_t lastTickMs() { return gLastTickMs; }

bool idleTickDue(int32_t nowMs, int32_t lastMs) {
  // Both sides in single precision: 20 ms gives exactly the period, so such a tick goes on.
  const float elapsedSeconds = static_cast<float>((nowMs - lastMs) * 0.001);
  return !(elapsedSeconds < kIdlePeriodSeconds);
}

bool idleTick(int32_t nowMs) {
  if (!idleTickDue(nowMs, gLastTickMs)) return false;
  gLastTickMs = nowMs;
  TrackerState& state = trackerState();
  const auto start = std::chrono::steady_clock::now();
  if (!grabFrame(state)) return false;
  updateVisibleMarkers(state, markerTable(), &sceneState().visible);
  FrameStats& stats = frameStats();
  stats.trackedFrames++;
  stats.trackingSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return true;
}

void onIdle() {
  if (idleTick(glutGet(GLUT_ELAPSED_TIME))) glutPostRedisplay();
}

void onDisplay() {
  TrackerState& state = trackerState();
  const auto start = std::chrono::steady_clock::now();
  const bool hasFrame = state.frame != nullptr;
  glDrawBuffer(GL_BACK);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  arglDrawBackground(state.frame, &state.camera, kBackgroundZoom, state.background);
  arVideoCapNext();
  state.frame = nullptr;

  double projection[16];
  arglCameraFrustum(&state.camera, kNearPlane, kFarPlane, projection);
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixd(projection);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  if (state.anyVisible) drawScene(sceneState());
  glFinish();  // so that the time below includes the rendering, not only the queueing
  if (hasFrame) {
    FrameStats& stats = frameStats();
    stats.drawnFrames++;
    stats.drawingSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  glutSwapBuffers();
}

void onReshape(int width, int height) {
  std::printf("reshape\n");
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void onVisibility(int state) { glutIdleFunc(state == GLUT_VISIBLE ? onIdle : nullptr); }

void onKeyboard(unsigned char key, int, int) {
  if (key == kKeyEscape || key == 'Q' || key == 'q') quitProgram();
}

void onSpecialKeyUp(int key, int, int) {
  SceneState& scene = sceneState();
  switch (key) {
    case GLUT_KEY_LEFT: resetUserScale(scene); break;
    case GLUT_KEY_UP: raiseUserScale(scene); break;
    case GLUT_KEY_DOWN: lowerUserScale(scene); break;
    default: break;
  }
}

void quitProgram() {
  arglDestroyBackground(trackerState().background);
  trackerState().background = nullptr;
  arVideoCapStop();
  arVideoClose();
  reportFrameStats(frameStats(), stderr);
  arglCheckLeaksNow();
  std::exit(0);
}

int runViewer(int argc, char** argv) {
  glutInit(&argc, argv);
  MarkerTable& table = markerTable();
  readMarkerTable(table);

  TrackerState& state = trackerState();
  StartFailure failure;
  int failedRow;
  if (!startTracking(state, table, &failure, &failedRow)) {
    reportStartFailure(failure, failedRow, table);
    arglCheckLeaksNow();
    return 1;
  }

  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(kWindowWidth, kWindowHeight);
  glutInitWindowPosition(0, 0);
  glutCreateWindow(argv[0]);

  SceneState& scene = sceneState();
  std::atexit(releaseModelsAtExit);
  loadModels(scene, table);

  state.background = arglCreateBackground();
  glEnable(GL_DEPTH_TEST);

  glutDisplayFunc(onDisplay);
  glutReshapeFunc(onReshape);
  glutVisibilityFunc(onVisibility);
  glutKeyboardFunc(onKeyboard);
  glutSpecialUpFunc(onSpecialKeyUp);
  arVideoCapStart();
  glutMainLoop();
  return 0;
}
