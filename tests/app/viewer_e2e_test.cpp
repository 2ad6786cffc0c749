// The real viewer binary on a private virtual display, showing the demo scene standing still.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "camera/camera_param.h"
#include "tests/app/child_process.h"
#include "tests/test_files.h"
#include "video/demo_scene.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

const char* const kStillDemo =
    "<video><source type=\"demo\" width=\"640\" height=\"480\" fps=\"30\" motion=\"still\" seed=\"1\"/></video>\n";

// Environment of the viewer under test. Under the sanitizers it checks for leaks just before it
// ends, with the suppressions of the environment.
std::vector<std::string> viewerEnvironment(const std::string& display) { return {"DISPLAY=" + display}; }

std::string viewerPath() {
  const char* build = std::getenv("AR_TEST_BUILD_DIR");
  return std::string(build ? build : "build/release") + "/app/arviewer";
}

struct Screenshot {
  std::vector<uint8_t> rgb;  // rows top to bottom
  const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * kWidth + x) * 3]; }
};

bool grab(const std::string& display, Screenshot* shot) {
  return grabScreen(display, kWidth, kHeight, &shot->rgb);
}

void sendKey(const std::string& display, const char* key) {
  TempDir logs;
  ChildProcess xdotool({"/usr/bin/xdotool", "key", key}, ".", {"DISPLAY=" + display}, logs.file("out"),
                       logs.file("err"));
  int status = -1;
  ASSERT_TRUE(xdotool.wait(10, &status));
  ASSERT_EQ(status, 0) << readTextFile(logs.file("err"));
}

// The model pixels: the demo scene is grey, black and white, so colour can only come from the
// models drawn over it. With a channel given, only pixels where that channel leads.
int colouredPixels(const Screenshot& shot, double cx, double cy, double radius, int leading = -1) {
  int count = 0;
  for (int y = std::max(0, int(cy - radius)); y < std::min(kHeight, int(cy + radius)); y++)
    for (int x = std::max(0, int(cx - radius)); x < std::min(kWidth, int(cx + radius)); x++) {
      const uint8_t* p = shot.at(x, y);
      const int hi = std::max({p[0], p[1], p[2]}), lo = std::min({p[0], p[1], p[2]});
      count += hi - lo > 40 && (leading < 0 || p[leading] == hi);
    }
  return count;
}

// A camera file record (136 bytes, big-endian) with the int32 or double at offset replaced.
std::vector<uint8_t> withBigEndian(std::vector<uint8_t> record, size_t offset, uint64_t bits, size_t bytes) {
  for (size_t i = 0; i < bytes && offset + i < record.size(); i++)
    record[offset + i] = static_cast<uint8_t>(bits >> (8 * (bytes - 1 - i)));
  return record;
}
std::vector<uint8_t> withInt(const std::vector<uint8_t>& record, size_t offset, int32_t value) {
  return withBigEndian(record, offset, static_cast<uint32_t>(value), 4);
}
std::vector<uint8_t> withDouble(const std::vector<uint8_t>& record, size_t offset, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return withBigEndian(record, offset, bits, 8);
}

void project(const CameraParam& camera, const double pose[3][4], double mx, double my, double* u, double* v) {
  double c[3];
  for (int r = 0; r < 3; r++) c[r] = pose[r][0] * mx + pose[r][1] * my + pose[r][3];
  double h[3];
  for (int r = 0; r < 3; r++)
    h[r] = camera.projection[r][0] * c[0] + camera.projection[r][1] * c[1] + camera.projection[r][2] * c[2] +
           camera.projection[r][3];
  *u = h[0] / h[2];
  *v = h[1] / h[2];
}

class ViewerEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path repo = fs::current_path();
    fs::create_directories(dir_.path() + "/Data");
    fs::create_directory_symlink(repo / "Data/patterns", dir_.path() + "/Data/patterns");
    fs::create_directory_symlink(repo / "Data/models", dir_.path() + "/Data/models");
    fs::copy_file(repo / "Data/camera_para.dat", dir_.path() + "/Data/camera_para.dat");
    // The house on the hook marker and the tree (glTF, plain colours) on the rocket marker. The
    // ring marker (correlation with the hook at most 0.2) stays without a model, so its border
    // shows where the background puts it. Rows whose marker width is no positive number are
    // left out, and the flag marker's model file is empty: each is said once.
    writeText(dir_.file("empty.3ds"), "");
    writeText(dir_.path() + "/Data/markerdata.mkd",
              "model,prefix,scale,pattern,x,y,width\n"
              "Data/models/house/house.3ds,Data/models/house/,1.0,Data/patterns/hook.patt,0,0,80\n"
              "Data/models/tree/tree.gltf,,1.0,Data/patterns/rocket.patt,0,0,80\n"
              "empty.3ds,,1.0,Data/patterns/flag.patt,0,0,80\n"
              "Data/models/house/house.3ds,Data/models/house/,1.0,Data/patterns/moon.patt,0,0,0\n"
              "Data/models/house/house.3ds,Data/models/house/,1.0,Data/patterns/moon.patt,0,0,-80\n"
              "Data/models/house/house.3ds,Data/models/house/,1.0,Data/patterns/moon.patt,0,0,nan\n"
              "Data/models/house/house.3ds,Data/models/house/,1.0,Data/patterns/moon.patt,0,0,1e999\n");
    writeText(dir_.path() + "/Data/WDM_camera_flipV.xml", kStillDemo);
  }

  // Starts the viewer with the given options.
  std::unique_ptr<ChildProcess> startViewer(const std::string& display, std::vector<std::string> options = {}) {
    options.insert(options.begin(), viewerPath());
    return std::make_unique<ChildProcess>(options, dir_.path(), viewerEnvironment(display), dir_.file("out"),
                                          dir_.file("err"));
  }

  // Most model pixels seen in the window within the given seconds.
  int modelPixelsWithin(const std::string& display, ChildProcess& viewer, double seconds) {
    int most = 0;
    Screenshot shot;
    for (int i = 0; i < seconds * 5 && most < 200; i++) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      EXPECT_TRUE(viewer.running()) << readTextFile(dir_.file("err"));
      if (!viewer.running() || !grab(display, &shot)) break;
      most = std::max(most, colouredPixels(shot, kWidth / 2, kHeight / 2, kWidth));
    }
    return most;
  }

  // Quits the viewer with Escape; its standard error.
  std::string quit(const std::string& display, ChildProcess& viewer) {
    sendKey(display, "Escape");
    int status = -1;
    EXPECT_TRUE(viewer.wait(20, &status)) << "the viewer did not quit on Escape";
    EXPECT_EQ(status, 0);
    return readTextFile(dir_.file("err"));
  }

  // Runs the viewer where it must fail at start-up; returns its status and standard error.
  int runExpectingFailure(std::string* err, std::string* out) {
    VirtualDisplay display(kWidth, kHeight);
    EXPECT_TRUE(display.ok());
    ChildProcess viewer({viewerPath()}, dir_.path(), viewerEnvironment(display.name()), dir_.file("out"),
                        dir_.file("err"));
    int status = -1;
    EXPECT_TRUE(viewer.wait(30, &status)) << "the viewer did not end";
    *err = readTextFile(dir_.file("err"));
    *out = readTextFile(dir_.file("out"));
    return status;
  }

  // Runs the viewer until its window shows, then quits it with Escape; returns its status.
  int runAndQuit(std::string* err) {
    VirtualDisplay display(kWidth, kHeight);
    EXPECT_TRUE(display.ok());
    auto viewer = startViewer(display.name());
    Screenshot shot;  // the demo's grey background in the corner once the window shows
    for (int i = 0; i < 50 && (!grab(display.name(), &shot) || shot.at(2, 2)[0] < 120); i++)
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sendKey(display.name(), "Escape");
    int status = -1;
    EXPECT_TRUE(viewer->wait(20, &status)) << "the viewer did not quit on Escape";
    *err = readTextFile(dir_.file("err"));
    return status;
  }

  TempDir dir_;
};

TEST_F(ViewerEndToEnd, ShowsTheUndistortedDemoWithModelsOnMarkersAndQuitsOnEscape) {
  VirtualDisplay display(kWidth, kHeight);
  ASSERT_TRUE(display.ok()) << "cannot start Xvfb";
  auto viewer = startViewer(display.name());

  DemoScene scene;
  DemoSceneSettings settings;
  settings.motion = DemoMotion::Still;
  std::string error;
  ASSERT_TRUE(scene.load(settings, &error)) << error;
  const std::vector<DemoSceneMarker> markers = scene.markersAt(0);
  const CameraParam& camera = scene.camera();

  // Wait until a frame with tracked markers has been drawn.
  Screenshot shot;
  int modelPixels = 0;
  for (int i = 0; i < 100 && modelPixels < 200; i++) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(viewer->running()) << readTextFile(dir_.file("err"));
    ASSERT_TRUE(grab(display.name(), &shot));
    modelPixels = colouredPixels(shot, kWidth / 2, kHeight / 2, kWidth);
  }
  ASSERT_GE(modelPixels, 200) << "no model was drawn";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a frame with every marker tracked
  ASSERT_TRUE(grab(display.name(), &shot));

  // The background: the demo's grey in the window corners.
  for (auto [x, y] : {std::pair{2, 2}, {kWidth - 3, 2}, {2, kHeight - 3}, {kWidth - 3, kHeight - 3}}) {
    const uint8_t* p = shot.at(x, y);
    EXPECT_GT(p[0], 120) << x << "," << y;
    EXPECT_EQ(p[0], p[1]);
  }

  // The hook marker has the house standing on it; the ring marker shows its black border exactly
  // where the camera model puts it in undistorted coordinates.
  int checked = 0;
  for (const DemoSceneMarker& m : markers) {
    const std::string name = fs::path(m.patternFile).filename().string();
    double cu, cv;
    project(camera, m.pose, 0, 0, &cu, &cv);
    if (name == "hook.patt") {
      EXPECT_GT(colouredPixels(shot, cu, cv, 60), 100) << name;
      checked++;
    }
    if (name == "rocket.patt") {  // the tree, green where its needles are lit
      EXPECT_GT(colouredPixels(shot, cu, cv, 60, 1), 100) << name;
      checked++;
    }
    if (name != "ring.patt") continue;
    checked++;
    for (auto [mx, my] : {std::pair{0.375, 0.0}, {-0.375, 0.0}, {0.0, 0.375}, {0.0, -0.375}}) {
      double u, v;
      project(camera, m.pose, mx * m.width, my * m.width, &u, &v);
      const uint8_t* p = shot.at(int(std::lround(u)), int(std::lround(v)));
      EXPECT_LT(p[0], 70) << name << " border at " << u << "," << v;
    }
  }
  EXPECT_EQ(checked, 3);

  // Releasing Up three times makes every model 1.3 times larger.
  const int before = colouredPixels(shot, kWidth / 2, kHeight / 2, kWidth);
  for (int i = 0; i < 3; i++) sendKey(display.name(), "Up");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  Screenshot larger;
  ASSERT_TRUE(grab(display.name(), &larger));
  EXPECT_GT(colouredPixels(larger, kWidth / 2, kHeight / 2, kWidth), before * 1.3);

  sendKey(display.name(), "Escape");
  int status = -1;
  ASSERT_TRUE(viewer->wait(20, &status)) << "the viewer did not quit on Escape";
  const std::string err = readTextFile(dir_.file("err"));
  EXPECT_EQ(status, 0) << err;
  EXPECT_NE(readTextFile(dir_.file("out")).find("SIZE = 640, 480"), std::string::npos);
  EXPECT_NE(err.find("model: empty.3ds: the file is empty; there is nothing to draw\n"), std::string::npos) << err;
  for (const char* width : {":5: the marker width 0 ", ":6: the marker width -80 ", ":7: the marker width nan ",
                            ":8: the marker width inf "})
    EXPECT_NE(err.find(std::string("arviewer: Data/markerdata.mkd") + width +
                       "is not a positive number; the row is left out\n"),
              std::string::npos)
        << err;
}

// Camera files whose values cannot serve: the viewer (the demo source reading a good copy) and
// the demo source each refuse them with one line naming the file and the problem.
TEST_F(ViewerEndToEnd, UnusableCameraFilesAreRefusedNamingTheProblem) {
  const std::vector<uint8_t> good = readBytes("Data/camera_para.dat");
  ASSERT_EQ(good.size(), 136u);
  fs::copy_file("Data/camera_para.dat", dir_.file("demo_camera.dat"));
  const double nan = std::nan(""), inf = HUGE_VAL;
  struct Case {
    std::vector<uint8_t> record;
    const char* problem;
    bool demoReadsIt;
  } cases[] = {
      {withDouble(good, 8, nan), "the camera matrix holds a value that is not a finite number", false},
      {withDouble(good, 8, inf), "the camera matrix holds a value that is not a finite number", false},
      {withDouble(good, 120, nan), "the distortion holds a value that is not a finite number", false},
      {withDouble(good, 128, 0), "the distortion scale is not positive", false},
      {withInt(withInt(good, 0, 0), 4, 0), "the image size is outside 1 to 8192 pixels", false},
      {withInt(good, 0, -640), "the image size is outside 1 to 8192 pixels", false},
      {std::vector<uint8_t>(136, 0), "the image size is outside 1 to 8192 pixels", true},
      {withDouble(withDouble(good, 8, 0), 48, 0), "the camera matrix is singular", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.problem);
    writeBytes(dir_.file("Data/camera_para.dat"), c.record);
    writeText(dir_.file("Data/WDM_camera_flipV.xml"),
              c.demoReadsIt ? kStillDemo
                            : "<video><source type=\"demo\" width=\"640\" height=\"480\" motion=\"still\" "
                              "camera=\"demo_camera.dat\"/></video>\n");
    std::string err, out;
    EXPECT_EQ(runExpectingFailure(&err, &out), 1);
    const std::string named = c.demoReadsIt
                                  ? "the camera file Data/camera_para.dat cannot be used: "
                                  : "arviewer: the camera parameter file Data/camera_para.dat cannot be used: ";
    EXPECT_NE(err.find(named), std::string::npos) << err;
    EXPECT_NE(err.find(c.problem), std::string::npos) << err;
    EXPECT_EQ(out.find("reshape"), std::string::npos);
  }
}

// A marker table that is a folder is named with its cause; the viewer runs without markers.
TEST_F(ViewerEndToEnd, MarkerTableThatIsAFolderIsNamed) {
  fs::remove(dir_.file("Data/markerdata.mkd"));
  fs::create_directory(dir_.file("Data/markerdata.mkd"));
  std::string err;
  EXPECT_EQ(runAndQuit(&err), 0) << err;
  EXPECT_NE(err.find("Data/markerdata.mkd: cannot read the marker table (Is a directory); no markers will be tracked"),
            std::string::npos)
      << err;
}

TEST_F(ViewerEndToEnd, DimSceneIsTrackedWithTheAutoThresholdAndNotWithTheFixedOne) {
  // A dim room: the demo's grey background falls to 52 .. 75, below the fixed threshold of 100,
  // so at that threshold the whole picture is one dark region.
  writeText(dir_.file("Data/WDM_camera_flipV.xml"),
            "<video><source type=\"demo\" width=\"640\" height=\"480\" fps=\"30\" motion=\"still\" seed=\"1\" "
            "gain=\"0.35\"/></video>\n");
  VirtualDisplay display(kWidth, kHeight);
  ASSERT_TRUE(display.ok()) << "cannot start Xvfb";
  {
    auto viewer = startViewer(display.name());
    EXPECT_LT(modelPixelsWithin(display.name(), *viewer, 4), 50) << "a model was drawn at the fixed threshold";
    sendKey(display.name(), "T");  // 105
    sendKey(display.name(), "T");  // 110
    sendKey(display.name(), "t");  // 105
    const std::string err = quit(display.name(), *viewer);
    EXPECT_NE(err.find("threshold fixed 105; 0 frames had more than 30 square candidates"), std::string::npos) << err;
  }
  auto viewer = startViewer(display.name(), {"--threshold", "auto"});
  EXPECT_GE(modelPixelsWithin(display.name(), *viewer, 10), 200) << "no model was drawn with --threshold auto";
  sendKey(display.name(), "m");  // on to adaptive, which also tracks this scene
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_GE(modelPixelsWithin(display.name(), *viewer, 5), 200) << "no model was drawn in adaptive mode";
  const std::string err = quit(display.name(), *viewer);
  EXPECT_NE(err.find("threshold auto, up to 256 square candidates"), std::string::npos) << err;
  EXPECT_NE(err.find("threshold adaptive; 0 frames had more than 256"), std::string::npos) << err;
}

TEST_F(ViewerEndToEnd, HelpNeedsNoDisplayAndBadOptionsAreRefused) {
  for (const auto& [args, status, text] :
       {std::tuple{std::vector<std::string>{"--help"}, 0, "--threshold N|auto|adaptive"},
        {{"--threshold", "bright"}, 2, "--threshold takes a number from 0 to 255, auto or adaptive (got 'bright')"},
        {{"--max-candidates"}, 2, "--max-candidates needs a value"},
        {{"--frobnicate"}, 2, "unknown option --frobnicate"}}) {
    std::vector<std::string> argv = {viewerPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess viewer(argv, dir_.path(), {"DISPLAY="}, dir_.file("out"), dir_.file("err"));
    int got = -1;
    ASSERT_TRUE(viewer.wait(10, &got));
    EXPECT_EQ(got, status) << args[0];
    const std::string out = readTextFile(dir_.file(status == 0 ? "out" : "err"));
    EXPECT_NE(out.find(text), std::string::npos) << out;
    EXPECT_NE(out.find("usage:"), std::string::npos) << out;
  }
}

TEST_F(ViewerEndToEnd, MissingCameraFileFailsBeforeAnyWindow) {
  fs::remove(dir_.path() + "/Data/camera_para.dat");
  std::string err, out;
  EXPECT_NE(runExpectingFailure(&err, &out), 0);
  EXPECT_NE(err.find("cannot read the camera parameter file Data/camera_para.dat"), std::string::npos) << err;
  EXPECT_EQ(err.find("cannot open the video source"), std::string::npos) << "the demo source needs the file: " << err;
  EXPECT_EQ(out.find("reshape"), std::string::npos);
}

TEST_F(ViewerEndToEnd, MissingPatternFileFailsNamingIt) {
  writeText(dir_.file("Data/markerdata.mkd"),
            "model,prefix,scale,pattern,x,y,width\n"
            "Data/models/house/house.3ds,Data/models/house/,1.0,Data/patterns/missing.patt,0,0,80\n");
  std::string err, out;
  EXPECT_NE(runExpectingFailure(&err, &out), 0);
  EXPECT_NE(err.find("Data/patterns/missing.patt\" named on line 2 of"), std::string::npos) << err;
  EXPECT_NE(out.find("\"Data/patterns/missing.patt\" not found!!"), std::string::npos) << out;
  EXPECT_EQ(out.find("reshape"), std::string::npos);
}

TEST_F(ViewerEndToEnd, VideoThatCannotOpenFailsNamingTheConfiguration) {
  writeText(dir_.file("Data/WDM_camera_flipV.xml"),
            "<video><source type=\"file\" file=\"Data/no-such-clip.avi\"/></video>\n");
  std::string err, out;
  EXPECT_NE(runExpectingFailure(&err, &out), 0);
  EXPECT_NE(err.find("configured in Data/WDM_camera_flipV.xml"), std::string::npos) << err;
  EXPECT_EQ(err.find('\\'), std::string::npos) << "one spelling of the path: " << err;
  EXPECT_EQ(out.find("reshape"), std::string::npos);
}

}  // namespace
