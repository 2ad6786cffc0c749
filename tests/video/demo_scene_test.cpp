// The demo scene: a pure function of seed and time, every shipped marker in view and found by
// the detector, also after a trip through a video clip and through the capture calls.
#include "video/demo_scene.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>

#include "camera/distortion.h"
#include "detect/detection.h"
#include "sim/sim_pose.h"
#include "tests/video/capture_helpers.h"
#include "tests/video/test_clips.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

const char* const kShipped[] = {"Data/patterns/flag.patt", "Data/patterns/hook.patt", "Data/patterns/moon.patt",
                                "Data/patterns/ring.patt", "Data/patterns/rocket.patt"};

DemoScene loadScene(uint32_t seed = 1, DemoMotion motion = DemoMotion::Smooth) {
  DemoScene scene;
  DemoSceneSettings settings;
  settings.seed = seed;
  settings.motion = motion;
  std::string error;
  EXPECT_TRUE(scene.load(settings, &error)) << error;
  return scene;
}

bool samePoses(const std::vector<DemoSceneMarker>& a, const std::vector<DemoSceneMarker>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++) {
    if (a[i].patternFile != b[i].patternFile || std::memcmp(a[i].pose, b[i].pose, sizeof a[i].pose) != 0) return false;
  }
  return true;
}

// Observed (distorted) pixel of marker point (x, y).
void observed(const DemoScene& scene, const DemoSceneMarker& m, double x, double y, double* ox, double* oy) {
  double ix = 0, iy = 0;
  ASSERT_TRUE(simProjectMarkerPoint(m.pose, scene.camera().projection, x, y, &ix, &iy));
  arIdealToObserved(scene.camera().distortion, ix, iy, ox, oy);
}

// Pattern id of each shipped pattern file, loaded once into the detector's store.
const std::map<std::string, int>& patternIds() {
  static std::map<std::string, int> ids;
  if (ids.empty()) {
    for (const char* file : kShipped) ids[file] = arReadPatternFile(file);
  }
  return ids;
}

// How many scene markers the detector finds with their own pattern id, centred where the
// scene puts them (within 4 pixels).
int detectedMarkers(const DemoScene& scene, const std::vector<DemoSceneMarker>& placed, const uint8_t* frame,
                    std::string* missing) {
  arCameraParamSetCurrent(&scene.camera());
  patternIds();
  arResetMarkerHistory();
  DetectedMarker* markers = nullptr;
  int count = 0;
  if (arFindMarkers(frame, 100, &markers, &count) != 0) return -1;
  int found = 0;
  for (const DemoSceneMarker& m : placed) {
    double cx = 0, cy = 0;
    observed(scene, m, 0, 0, &cx, &cy);
    bool hit = false;
    for (int i = 0; i < count; i++) {
      hit |= markers[i].id == patternIds().at(m.patternFile) && std::hypot(markers[i].pos[0] - cx, markers[i].pos[1] - cy) < 4;
    }
    found += hit;
    if (!hit) *missing += m.patternFile + " ";
  }
  return found;
}

TEST(DemoScene, IsAPureFunctionOfSeedAndTime) {
  DemoScene a = loadScene(1), b = loadScene(1), other = loadScene(2);
  EXPECT_TRUE(samePoses(a.markersAt(3.7), b.markersAt(3.7)));
  EXPECT_FALSE(samePoses(a.markersAt(3.7), other.markersAt(3.7))) << "another seed, another scene";
  EXPECT_FALSE(samePoses(a.markersAt(3.7), a.markersAt(3.8))) << "the smooth scene moves";
  std::vector<uint8_t> first(640 * 480 * 4), second(640 * 480 * 4);
  a.render(3.7, first.data());
  b.render(3.7, second.data());
  EXPECT_TRUE(first == second);

  DemoScene still = loadScene(1, DemoMotion::Still);
  EXPECT_TRUE(samePoses(still.markersAt(0), still.markersAt(12.5)));
  EXPECT_TRUE(samePoses(still.markersAt(0), a.markersAt(0))) << "the still scene is the moving one at time 0";
}

TEST(DemoScene, ShowsEveryShippedMarkerInsideTheFrameApartAndWithinRange) {
  DemoScene scene = loadScene();
  std::vector<std::string> files;
  for (const DemoSceneMarker& m : scene.markersAt(0)) files.push_back(m.patternFile);
  EXPECT_EQ(files, std::vector<std::string>(std::begin(kShipped), std::end(kShipped)));
  double nearest = 1e9, farthest = 0, steepest = 0;
  for (double t = 0; t < 60; t += 0.2) {
    std::vector<DemoSceneMarker> markers = scene.markersAt(t);
    std::vector<std::array<double, 4>> boxes;   // min x, min y, max x, max y
    for (const DemoSceneMarker& m : markers) {
      EXPECT_EQ(m.width, 80);
      nearest = std::min(nearest, m.pose[2][3]);
      farthest = std::max(farthest, m.pose[2][3]);
      steepest = std::max(steepest, std::acos(std::fabs(m.pose[2][2])) * 180 / kPi);
      std::array<double, 4> box = {1e9, 1e9, -1e9, -1e9};
      for (int c = 0; c < 4; c++) {
        double ox = 0, oy = 0;
        observed(scene, m, c == 0 || c == 3 ? -40 : 40, c < 2 ? 40 : -40, &ox, &oy);
        box = {std::min(box[0], ox), std::min(box[1], oy), std::max(box[2], ox), std::max(box[3], oy)};
      }
      EXPECT_TRUE(box[0] >= 2 && box[1] >= 2 && box[2] <= 637 && box[3] <= 477)
          << m.patternFile << " at t=" << t << " leaves the frame";
      for (const auto& other : boxes) {
        bool apart = box[2] < other[0] || other[2] < box[0] || box[3] < other[1] || other[3] < box[1];
        EXPECT_TRUE(apart) << m.patternFile << " overlaps another marker at t=" << t;
      }
      boxes.push_back(box);
    }
  }
  EXPECT_GE(nearest, 400);
  EXPECT_LE(farthest, 900);
  EXPECT_LT(nearest, 520) << "markers come close";
  EXPECT_GT(farthest, 850) << "and go far";
  EXPECT_LE(steepest, 40.01);
  EXPECT_GT(steepest, 35) << "and tilt";
}

TEST(DemoScene, EveryShippedMarkerIsDetectedWhereTheSceneSaysItIs) {
  DemoScene scene = loadScene();
  std::vector<uint8_t> frame(640 * 480 * 4);
  for (double t : {0.0, 2.5, 5.1, 7.7, 10.3, 13.9, 21.4, 33.3}) {
    scene.render(t, frame.data());
    std::string missing;
    EXPECT_EQ(detectedMarkers(scene, scene.markersAt(t), frame.data(), &missing), 5) << "t=" << t << ": " << missing;
  }
}

TEST(DemoScene, BadSettingsNameTheFileOrFolder) {
  DemoScene scene;
  DemoSceneSettings settings;
  std::string error;
  settings.patterns = "Data/no-such-folder";
  EXPECT_FALSE(scene.load(settings, &error));
  EXPECT_NE(error.find("Data/no-such-folder"), std::string::npos) << error;
  settings.patterns = "Data";   // no .patt files there
  EXPECT_FALSE(scene.load(settings, &error));
  EXPECT_NE(error.find("no .patt files in Data"), std::string::npos) << error;
  settings = DemoSceneSettings();
  settings.camera = "Data/missing_camera.dat";
  EXPECT_FALSE(scene.load(settings, &error));
  EXPECT_NE(error.find("Data/missing_camera.dat"), std::string::npos) << error;
  settings = DemoSceneSettings();
  settings.width = 4097;
  EXPECT_FALSE(scene.load(settings, &error));
  EXPECT_NE(error.find("at most 4096x4096"), std::string::npos) << error;
  settings.width = settings.height = 32;   // too small for even one marker
  EXPECT_FALSE(scene.load(settings, &error));
  EXPECT_NE(error.find("too small"), std::string::npos) << error;
}

TEST(DemoScene, MarkersInAVideoClipAreDetected) {
  // A still scene, so that whichever frame the clip delivers first shows the markers at the
  // poses of time 0.
  DemoScene scene = loadScene(3, DemoMotion::Still);
  std::vector<Picture> pictures(6, Picture(640 * 480 * 4));
  for (size_t i = 0; i < pictures.size(); i++) scene.render(i / 30.0, pictures[i].data());
  TempDir dir;
  std::string error;
  ASSERT_TRUE(writeClip(dir.file("markers.avi"), pictures, 640, 480, 30, &error)) << error;
  writeText(dir.file("video.xml"), "<video><source type='file' file='" + dir.file("markers.avi") + "'/></video>");
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(arVideoOpen(dir.file("video.xml").c_str()), 0) << ::testing::internal::GetCapturedStderr();
  ::testing::internal::GetCapturedStderr();
  arVideoCapStart();
  uint8_t* frame = nullptr;
  for (int i = 0; i < 5000 && !(frame = arVideoGetImage()); i++) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_NE(frame, nullptr);
  std::string missing;
  EXPECT_EQ(detectedMarkers(scene, scene.markersAt(0), frame, &missing), 5) << missing;
  arVideoClose();
}

using DemoCapture = CaptureTest;

TEST_F(DemoCapture, ShippedConfigurationFallsBackToTheDemoWithoutACamera) {
  if (std::filesystem::exists("/dev/video0")) GTEST_SKIP() << "this machine has a camera";
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(arVideoOpen("Data\\WDM_camera_flipV.xml"), 0);
  std::string messages = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(messages.rfind("video: no camera found; using the built-in demo scene 640x480 at 30 fps", 0), 0u)
      << messages;
  EXPECT_EQ(videoLines(messages), 1) << messages;
  int w = 0, h = 0;
  ASSERT_EQ(arVideoInqSize(&w, &h), 0);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  ASSERT_EQ(arVideoCapStart(), 0);
  uint8_t* frame = waitFrame();
  ASSERT_NE(frame, nullptr);
  // The frame is the scene at some time near the start; every marker is in it.
  DemoScene scene = loadScene();
  arCameraParamSetCurrent(&scene.camera());
  patternIds();
  arResetMarkerHistory();
  DetectedMarker* markers = nullptr;
  int count = 0;
  ASSERT_EQ(arFindMarkers(frame, 100, &markers, &count), 0);
  std::map<int, int> seen;
  for (int i = 0; i < count; i++) seen[markers[i].id]++;
  for (const char* file : kShipped) EXPECT_EQ(seen[patternIds().at(file)], 1) << file;
  // Paced by the clock at 30 fps: never more than about 15 frames in half a second, however
  // fast the viewer asks; and frames keep coming.
  int frames = 0;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
  while (std::chrono::steady_clock::now() < end) {
    arVideoCapNext();
    if (arVideoGetImage()) frames++;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_LE(frames, 17);
  arVideoCapNext();
  EXPECT_NE(waitFrame(), nullptr);
}

TEST_F(DemoCapture, StillDemoDeliversTheSceneAtTimeZeroMirroredAsAsked) {
  ASSERT_EQ(openSources("<source type='demo' motion='still' seed='5' width='320' height='240' fps='20' flipV='true'/>"), 0);
  DemoScene scene;
  DemoSceneSettings settings;
  settings.seed = 5;
  settings.width = 320;
  settings.height = 240;
  std::string error;
  ASSERT_TRUE(scene.load(settings, &error)) << error;
  std::vector<uint8_t> expected(320 * 240 * 4);
  scene.render(0, expected.data());
  arVideoCapStart();
  for (int i = 0; i < 2; i++) {
    uint8_t* frame = waitFrame();
    ASSERT_NE(frame, nullptr);
    for (int y : {0, 77, 239}) {
      EXPECT_EQ(std::memcmp(frame + y * 320 * 4, &expected[(239 - y) * 320 * 4], 320 * 4), 0) << "row " << y;
    }
    arVideoCapNext();
  }
  EXPECT_EQ(arVideoCapStop(), 0);
  EXPECT_EQ(arVideoCapStart(), 0) << "the demo resumes after a stop";
  EXPECT_NE(waitFrame(), nullptr);
}

TEST_F(DemoCapture, BadDemoSettingsFailToOpenNamingTheCause) {
  std::string messages;
  EXPECT_LT(openSources("<source type='demo' patterns='" + dir_.path() + "'/>", &messages), 0);
  EXPECT_NE(messages.find("no .patt files in " + dir_.path()), std::string::npos) << messages;
  EXPECT_LT(openSources("<source type='demo' camera='" + dir_.file("cam.dat") + "'/>", &messages), 0);
  EXPECT_NE(messages.find("cannot read the camera file " + dir_.file("cam.dat")), std::string::npos) << messages;
}

}  // namespace
