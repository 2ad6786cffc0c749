#include "app/viewer_shell.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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
constexpr int kThresholdStep = 5;

void releaseModelsAtExit() { releaseModels(sceneState()); }

void printUsage(FILE* out, const char* program) {
  std::fprintf(out,
               "usage: %s [options]\n"
               "Shows the camera video with a 3D model standing on every marker of Data/markerdata.mkd;\n"
               "run it from the folder that holds Data/.\n"
               "options:\n"
               "%s"
               "  --help                       print this text and exit\n"
               "keys: Escape or q quits; Up/Down/Left change the model size; t/T lower/raise the\n"
               "fixed threshold by 5; m cycles the threshold modes fixed, auto, adaptive\n",
               program, arDetectorOptionsUsage());
}

// Takes the viewer's own options out of argv (leaving argv[0] and the rest, such as GLUT's own
// -display, in order). Returns -1 to go on, or the exit status when the program ends here.
int readOptions(int* argc, char** argv, ArDetectorOptions* options) {
  std::vector<char*> rest = {argv[0]};
  for (int i = 1; i < *argc;) {
    std::string error;
    const int used = arParseDetectorOption(*argc, argv, &i, options, &error);
    if (used > 0) continue;
    if (used < 0 || std::strncmp(argv[i], "--", 2) == 0) {
      if (std::strcmp(argv[i], "--help") == 0) {
        printUsage(stdout, argv[0]);
        return 0;
      }
      std::fprintf(stderr, "arviewer: %s\n", used < 0 ? error.c_str() : ("unknown option " + std::string(argv[i])).c_str());
      printUsage(stderr, argv[0]);
      return 2;
    }
    rest.push_back(argv[i++]);
  }
  *argc = static_cast<int>(rest.size());
  std::copy(rest.begin(), rest.end(), argv);
  return -1;
}

void reportThreshold(const ArDetectorSettings& settings) {
  std::fprintf(stderr, "arviewer: threshold %s, up to %d square candidates\n",
               arThresholdModeText(settings).c_str(), settings.maxCandidates);
}

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
  // A frame that could not be tracked is still drawn; the visible list then stays as it was.
  const bool tracked = grabFrame(state);
  if (!state.frame) return false;
  if (!tracked) return true;
  updateVisibleMarkers(state, markerTable(), &sceneState().visible);
  FrameStats& stats = frameStats();
  stats.trackedFrames++;
  stats.limitHitFrames += state.detection.candidatesBeyondLimit > 0;
  stats.lastThreshold = state.detection.threshold;
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

bool thresholdKey(unsigned char key, ArDetectorOptions* options, int lastThreshold) {
  ArDetectorSettings& settings = options->settings;
  if (key == 'm') {
    const ArThresholdMode next[] = {ArThresholdMode::Auto, ArThresholdMode::Adaptive, ArThresholdMode::Fixed};
    arSetThresholdMode(options, next[static_cast<int>(settings.thresholdMode)]);
    return true;
  }
  if (key != 't' && key != 'T') return false;
  // Stepping from auto starts at the threshold it used last, so a good value can be fine-tuned.
  if (settings.thresholdMode == ArThresholdMode::Auto && lastThreshold >= 0) settings.threshold = lastThreshold;
  settings.threshold = std::clamp(settings.threshold + (key == 'T' ? kThresholdStep : -kThresholdStep), 0, 255);
  arSetThresholdMode(options, ArThresholdMode::Fixed);
  return true;
}

void onKeyboard(unsigned char key, int, int) {
  if (key == kKeyEscape || key == 'Q' || key == 'q') quitProgram();
  TrackerState& state = trackerState();
  if (thresholdKey(key, &state.detector, state.detection.threshold)) reportThreshold(state.detector.settings);
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
  const ArDetectorSettings& settings = trackerState().detector.settings;
  reportFrameStats(frameStats(), arThresholdModeText(settings), settings.maxCandidates, stderr);
  arglCheckLeaksNow();
  std::exit(0);
}

int runViewer(int argc, char** argv) {
  TrackerState& state = trackerState();
  const int status = readOptions(&argc, argv, &state.detector);
  if (status >= 0) return status;
  glutInit(&argc, argv);
  if (argc > 1) {  // neither ours nor GLUT's
    std::fprintf(stderr, "arviewer: unexpected argument %s\n", argv[1]);
    printUsage(stderr, argv[0]);
    return 2;
  }
  MarkerTable& table = markerTable();
  readMarkerTable(table);

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
  if (state.detector.settings.thresholdMode != ArThresholdMode::Fixed || state.detector.maxCandidatesGiven)
    reportThreshold(state.detector.settings);
  arVideoCapStart();
  glutMainLoop();
  return 0;
}
