// The demo scene: a pure function of seed and time, every shipped marker in view and found by
// the detector, also through the capture calls.
#include "video/demo_scene.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <thread>

#include "camera/distortion.h"
#include "detect/detection.h"
#include "sim/sim_pose.h"
#include "tests/video/video_test_support.h"

namespace {

DemoScene loadScene(uint32_t seed = 1, DemoMotion motion = DemoMotion::Smooth, int width = 640, int height = 480) {
  DemoScene scene;
  DemoSceneSettings settings;
  settings.seed = seed, settings.motion = motion, settings.width = width, settings.height = height;
  std::string error;
  EXPECT_TRUE(scene.load(settings, &error)) << error;
  return scene;
}

// The pattern files and poses of the markers at time t, as bytes.
std::string poses(const DemoScene& scene, double t) {
  std::string bytes;
  for (const DemoSceneMarker& m : scene.markersAt(t))
    bytes += m.patternFile + std::string(reinterpret_cast<const char*>(m.pose), sizeof m.pose);
  return bytes;
}

// Observed (distorted) pixel of marker point (x, y).
std::array<double, 2> observed(const DemoScene& scene, const DemoSceneMarker& m, double x, double y) {
  std::array<double, 2> ideal = {0, 0}, o = {-1e9, -1e9};
  if (simProjectMarkerPoint(m.pose, scene.camera().projection, x, y, &ideal[0], &ideal[1]))
    arIdealToObserved(scene.camera().distortion, ideal[0], ideal[1], &o[0], &o[1]);
  return o;
}

// The markers of the scene at time t that the detector finds in the frame with their own
// pattern id, centred within the given pixels of where the scene puts them.
int detectedMarkers(const DemoScene& scene, double t, const uint8_t* frame, double pixels) {
  arCameraParamSetCurrent(&scene.camera());
  arResetPatternStore();
  arResetMarkerHistory();
  std::vector<int> ids;
  for (const DemoSceneMarker& m : scene.markersAt(t)) ids.push_back(arReadPatternFile(m.patternFile.c_str()));
  DetectedMarker* markers = nullptr;
  int count = 0, found = 0;
  EXPECT_EQ(arFindMarkers(frame, 100, &markers, &count), 0);
  for (size_t k = 0; k < ids.size(); k++)
    for (int i = 0; i < count; i++) {
      const std::array<double, 2> centre = observed(scene, scene.markersAt(t)[k], 0, 0);
      found += markers[i].id == ids[k] && std::hypot(markers[i].pos[0] - centre[0], markers[i].pos[1] - centre[1]) < pixels;
    }
  return found;
}

// Every shipped marker, inside the frame, apart, near and far and tilted within the range the
// detector is tested for; a pure function of seed and time.
TEST(DemoScene, ShowsEveryShippedMarkerInsideTheFrameApartAndWithinRangeAsAFunctionOfSeedAndTime) {
  DemoScene scene = loadScene(1), again = loadScene(1), other = loadScene(2), still = loadScene(1, DemoMotion::Still);
  EXPECT_EQ(poses(scene, 3.7), poses(again, 3.7));
  EXPECT_NE(poses(scene, 3.7), poses(other, 3.7)) << "another seed, another scene";
  EXPECT_NE(poses(scene, 3.7), poses(scene, 3.8)) << "the smooth scene moves";
  EXPECT_EQ(poses(still, 12.5), poses(scene, 0)) << "the still scene is the moving one at time 0";
  std::vector<uint8_t> first(640 * 480 * 4), second(640 * 480 * 4);
  scene.render(3.7, first.data());
  again.render(3.7, second.data());
  EXPECT_TRUE(first == second);
  std::string names;
  for (const DemoSceneMarker& m : scene.markersAt(0)) names += std::filesystem::path(m.patternFile).stem().string() + " ";
  EXPECT_EQ(names, "flag hook moon ring rocket ");
  double nearest = 1e9, farthest = 0, steepest = 0;
  for (double t = 0; t < 60; t += 0.2) {
    std::vector<std::array<double, 4>> boxes;  // min x, min y, max x, max y
    for (const DemoSceneMarker& m : scene.markersAt(t)) {
      nearest = std::min(nearest, m.pose[2][3]);
      farthest = std::max(farthest, m.pose[2][3]);
      steepest = std::max(steepest, std::acos(std::fabs(m.pose[2][2])) * 180 / M_PI);
      std::array<double, 4> box = {1e9, 1e9, -1e9, -1e9};
      for (int c = 0; c < 4; c++) {
        const std::array<double, 2> o = observed(scene, m, c == 0 || c == 3 ? -40 : 40, c < 2 ? 40 : -40);
        box = {std::min(box[0], o[0]), std::min(box[1], o[1]), std::max(box[2], o[0]), std::max(box[3], o[1])};
      }
      EXPECT_TRUE(m.width == 80 && box[0] >= 2 && box[1] >= 2 && box[2] <= 637 && box[3] <= 477) << m.patternFile << t;
      for (const auto& b : boxes)
        EXPECT_TRUE(box[2] < b[0] || b[2] < box[0] || box[3] < b[1] || b[3] < box[1]) << m.patternFile << " at t=" << t;
      boxes.push_back(box);
    }
  }
  EXPECT_TRUE(nearest >= 400 && nearest < 520 && farthest > 850 && farthest <= 900) << nearest << " .. " << farthest;
  EXPECT_TRUE(steepest > 35 && steepest <= 40.01) << steepest;
}

using DemoCapture = CaptureTest;

// The first frame shows the scene near its start, every marker near its place. Paced by the clock
// at 30 fps: never more than about 15 frames in half a second, however fast the viewer asks.
TEST_F(DemoCapture, ShippedConfigurationFallsBackToTheDemoWithoutACamera) {
  if (std::filesystem::exists("/dev/video0")) GTEST_SKIP() << "this machine has a camera";
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(arVideoOpen("Data\\WDM_camera_flipV.xml"), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "video: no camera found; using the built-in demo scene 640x480 at 30 fps (5 markers from Data/patterns)\n");
  ASSERT_EQ(arVideoCapStart(), 0);
  const uint8_t* frame = waitFrame();
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(detectedMarkers(loadScene(), 0, frame, 40), 5);
  int frames = 0;
  for (auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500); std::chrono::steady_clock::now() < end;
       std::this_thread::sleep_for(std::chrono::milliseconds(2)))
    arVideoCapNext(), frames += arVideoGetImage() != nullptr;
  EXPECT_LE(frames, 17);
  arVideoCapNext();
  EXPECT_NE(waitFrame(), nullptr) << "and frames keep coming";
}

TEST_F(DemoCapture, StillDemoDeliversTheSceneAtTimeZeroMirroredAsAsked) {
  ASSERT_EQ(openSources("<source type='demo' motion='still' seed='5' width='320' height='240' fps='20' flipV='true'/>"), 0);
  std::vector<uint8_t> expected(320 * 240 * 4);
  loadScene(5, DemoMotion::Smooth, 320, 240).render(0, expected.data());
  arVideoCapStart();
  for (int i = 0; i < 3; i++, arVideoCapNext()) {
    EXPECT_TRUE(i < 2 || (arVideoCapStop() == 0 && arVideoCapStart() == 0)) << "the demo resumes after a stop";
    const uint8_t* frame = waitFrame();
    ASSERT_NE(frame, nullptr);
    for (int y : {0, 77, 239})
      EXPECT_EQ(std::memcmp(frame + y * 320 * 4, &expected[(239 - y) * 320 * 4], 320 * 4), 0) << "row " << y;
  }
}

}  // namespace
