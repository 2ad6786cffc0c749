// The real viewer binary, each run on a virtual display of its own: the still demo scene with
// models on its markers, keys and options, and the failures that end it before any window shows.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <regex>
#include <thread>

#include "sim/sim_image.h"
#include "sim/sim_pose.h"
#include "tests/test_files.h"
#include "video/demo_scene.h"

namespace fs = std::filesystem;

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;  // name and content; no content removes the file

const std::string kHouse = "Data/models/house/house.3ds,Data/models/house/,1.0,Data/patterns/";

std::string built(const std::string& program) {
  const char* build = std::getenv("AR_TEST_BUILD_DIR");
  return fs::absolute(std::string(build ? build : "build/release") + "/" + program).string();
}

std::string text(const std::string& path) {
  const std::vector<unsigned char> bytes = readBytes(path);
  return {bytes.begin(), bytes.end()};
}

// Model pixels within radius of (cx, cy): the demo scene is grey, black and white, so colour can
// only come from the models drawn over it.
int colouredPixels(const SimImage& shot, double cx = 320, double cy = 240, double radius = 400) {
  int count = 0;
  for (int y = std::max(0, int(cy - radius)); y < std::min(shot.height, int(cy + radius)); y++)
    for (int x = std::max(0, int(cx - radius)); x < std::min(shot.width, int(cx + radius)); x++) {
      const uint8_t* p = &shot.pixels[(y * shot.width + x) * 3];
      count += std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) > 40;
    }
  return count;
}

class Viewer : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.file("Data"));
    for (const char* folder : {"patterns", "models"})
      fs::create_directory_symlink(fs::absolute("Data") / folder, dir_.file("Data/") + folder);
  }
  void shell(const std::string& command) { std::system(("cd '" + dir_.path() + "' || exit 1; " + command).c_str()); }

  // A file of the test folder once it has been written; empty when it is not within the time.
  std::string waitFor(const std::string& name) {
    shell("timeout 30 sh -c 'until [ -s " + name + " ]; do sleep 0.02; done'");
    return text(dir_.file(name));
  }

  // Starts the viewer in the background, on a new virtual display or on none; its exit status
  // goes to the file status. Data/ is the repository's with the house on the hook marker, the tree
  // on the rocket marker and the ring marker without a model, so that its border shows. The
  // flag's model file is empty and rows whose width is no positive number are left out: each is
  // said once. Then the given files are written.
  void start(const Files& files, const std::string& args = "", bool display = true) {
    shell("rm -f status display; : >empty.3ds");
    writeBytes(dir_.file("Data/camera_para.dat"), readBytes("Data/camera_para.dat"));
    writeText(dir_.file("Data/markerdata.mkd"),
              "model,prefix,scale,pattern,x,y,width\n" + kHouse + "hook.patt,0,0,80\nData/models/tree/tree.gltf,,1.0,"
              "Data/patterns/rocket.patt,0,0,80\nempty.3ds,,1.0,Data/patterns/flag.patt,0,0,80\n" + kHouse +
              "moon.patt,0,0,0\n" + kHouse + "moon.patt,0,0,1e999\n");
    writeText(dir_.file("Data/WDM_camera_flipV.xml"), "<video><source type=\"demo\" motion=\"still\"/></video>\n");
    for (const auto& [name, content] : files) {
      if (content.empty()) fs::remove(dir_.file(name));
      else writeText(dir_.file(name), content);
    }
    const std::string run = "timeout 60 " + built("app/arviewer") + " " + args + " >out 2>err; echo $? >exit; mv exit status";
    shell(display ? "{ Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>display 2>/dev/null & x=$!; for i in "
                    "$(seq 200); do [ -s display ] && break; sleep 0.05; done; DISPLAY=:$(cat display) " + run +
                        "; kill $x; } </dev/null >/dev/null 2>&1 &"
                  : "DISPLAY= " + run);
    if (display) display_ = ":" + std::to_string(std::atoi(waitFor("display").c_str()));
  }
  int status() { return std::atoi((waitFor("status") + "-1").c_str()); }  // -1 when it does not end
  void keys(const std::string& names) { shell("DISPLAY=" + display_ + " xdotool key " + names); }
  SimImage screen() {
    SimImage shot;
    std::string error;
    shell("DISPLAY=" + display_ + " " + built("tools/screenshot/arscreenshot") + " shot.png");
    EXPECT_TRUE(simLoadImage(dir_.file("shot.png"), &shot, &error)) << error;
    return shot;
  }
  // Most model pixels on the screen within the given seconds.
  int modelPixelsWithin(double seconds) {
    int most = 0;
    for (int i = 0; i < seconds * 5 && most < 200 && !fs::exists(dir_.file("status")); i++) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      most = std::max(most, colouredPixels(screen()));
    }
    return most;
  }

  TempDir dir_;
  std::string display_;
};

// A dim room: the demo's background falls to 52 .. 75, below the default fixed threshold of 100,
// where the whole picture is one dark region; the automatic threshold tracks it.
TEST_F(Viewer, ShowsTheUndistortedDemoWithModelsOnMarkersAndAnswersItsKeys) {
  const Files dimRoom = {{"Data/WDM_camera_flipV.xml", "<video><source type=\"demo\" motion=\"still\" gain=\"0.35\"/></video>"}};
  start(dimRoom);
  EXPECT_LT(modelPixelsWithin(4), 50) << "a model was drawn at the fixed threshold";
  keys("Escape");
  ASSERT_EQ(status(), 0);
  start(dimRoom, "--threshold auto");
  ASSERT_GE(modelPixelsWithin(20), 200) << "no model was drawn: " << text(dir_.file("err"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a frame with every marker tracked
  const SimImage shot = screen();
  for (auto [x, y] : {std::pair{2, 2}, {637, 2}, {2, 477}, {637, 477}}) {  // the demo's grey background
    const uint8_t* p = &shot.pixels[(y * 640 + x) * 3];
    EXPECT_TRUE(p[0] > 45 && p[0] == p[1] && p[1] == p[2]) << x << "," << y;
  }
  // Models on hook and rocket, and ring's black border exactly where the camera puts it in
  // undistorted coordinates.
  DemoScene scene;  // the still scene is the moving one at time 0
  std::string error;
  ASSERT_TRUE(scene.load(DemoSceneSettings(), &error)) << error;
  for (const DemoSceneMarker& m : scene.markersAt(0)) {
    const std::string name = fs::path(m.patternFile).stem().string();
    double u, v;
    for (auto [mx, my] : {std::pair{30.0, 0.0}, {-30.0, 0.0}, {0.0, 30.0}, {0.0, -30.0}}) {  // mid-border
      ASSERT_TRUE(simProjectMarkerPoint(m.pose, scene.camera().projection, mx, my, &u, &v));
      EXPECT_TRUE(name != "ring" || shot.pixels[(std::lround(v) * 640 + std::lround(u)) * 3] < 25) << u << "," << v;
    }
    ASSERT_TRUE(simProjectMarkerPoint(m.pose, scene.camera().projection, 0, 0, &u, &v));
    EXPECT_TRUE((name != "hook" && name != "rocket") || colouredPixels(shot, u, v, 60) > 100) << name;
  }
  // Three times Up: every model 1.3 times larger. T, T and t: fixed thresholds 5 above the last
  // automatic one, then 10, then 5; m twice: automatic, then adaptive, which tracks this room too.
  keys("Up Up Up");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_GT(colouredPixels(screen()), colouredPixels(shot) * 1.3);
  keys("T T t m m");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_GE(modelPixelsWithin(5), 200) << "no model was drawn in adaptive mode";
  keys("Escape");
  EXPECT_EQ(status(), 0);
  const std::string err = text(dir_.file("err"));
  EXPECT_NE(text(dir_.file("out")).find("SIZE = 640, 480"), std::string::npos);
  std::smatch steps;
  ASSERT_TRUE(std::regex_search(err, steps, std::regex("fixed (\\d+),.*\n.*fixed (\\d+),.*\n.*fixed (\\d+),"))) << err;
  EXPECT_EQ(std::stoi(steps[2]) - std::stoi(steps[1]), 5) << err;
  EXPECT_EQ(steps[3], steps[1]) << err;
  for (const char* said : {"threshold auto, up to 256 square candidates\n", "threshold adaptive; 0 frames had more than 256",
                           "model: empty.3ds: the file is empty; there is nothing to draw\n",
                           "arviewer: Data/markerdata.mkd:5: the marker width 0 is not a positive number; the row is "
                           "left out\n", "arviewer: Data/markerdata.mkd:6: the marker width inf is not"})
    EXPECT_NE(err.find(said), std::string::npos) << said << " in\n" << err;
}

TEST_F(Viewer, BadOptionsAndFailuresAtStartAreNamedBeforeAnyWindow) {
  const std::string camera = "Data/camera_para.dat", video = "Data/WDM_camera_flipV.xml";
  std::string nanMatrix = text(camera);
  nanMatrix.replace(8, 8, std::string("\x7f\xf8\0\0\0\0\0\0", 8));  // big-endian NaN as the first matrix value
  const struct {
    Files files;
    std::string args;
    int status;
    std::string expected, absent = "reshape";  // printed once a window shows
  } cases[] = {
      {{{"own.dat", text(camera)}, {camera, nanMatrix},
        {video, "<video><source type=\"demo\" motion=\"still\" camera=\"own.dat\"/></video>"}}, "", 1,
       "arviewer: the camera parameter file Data/camera_para.dat cannot be used: the camera matrix holds a value "
       "that is not a finite number"},
      {{{camera, ""}}, "", 1, "cannot read the camera parameter file Data/camera_para.dat", "cannot open the video"},
      {{{"Data/markerdata.mkd", "h\n" + kHouse + "missing.patt,0,0,80\n"}}, "", 1,
       "cannot load the pattern file \"Data/patterns/missing.patt\" named on line 2 of Data/markerdata.mkd"},
      {{{video, "<video><source type=\"file\" file=\"Data/no-such-clip.avi\"/></video>"}}, "", 1,
       "cannot open the video source configured in Data/WDM_camera_flipV.xml", "\\"},
      {{}, "--help", 0, "--threshold N|auto|adaptive"},
      {{}, "--threshold bright", 2, "--threshold takes a number from 0 to 255, auto or adaptive (got 'bright')"},
      {{}, "--frobnicate", 2, "unknown option --frobnicate"},
  };
  for (const auto& c : cases) {
    start(c.files, c.args, c.args.empty());  // options are read before the display is opened
    EXPECT_EQ(status(), c.status) << c.args << c.expected;
    const std::string out = text(dir_.file("out")), err = text(dir_.file("err"));
    EXPECT_NE((out + err).find(c.expected), std::string::npos) << out << err;
    EXPECT_EQ((out + err).find(c.absent), std::string::npos) << out << err;
    EXPECT_TRUE(c.status == 1 || (c.status == 0 ? out : err).find("usage:") != std::string::npos) << out << err;
  }
}

}  // namespace
