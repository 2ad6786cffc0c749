// ardetect as a user runs it: two pictures of the still demo scene read back as CSV and as JSON
// lines against the scene's truth, the drawn frames, and bad input.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <sstream>

#include "camera/distortion.h"
#include "sim/sim_pose.h"
#include "tests/test_files.h"
#include "tests/tools/tool_run.h"
#include "tools/detect/detection_records.h"
#include "tools/detect/frame_drawing.h"
#include "tools/detect/run_progress.h"
#include "video/demo_scene.h"

namespace {

using Fields = std::vector<std::string>;  // one record in CSV order

// The records of ardetect's CSV (after its header) or JSON lines.
std::vector<Fields> records(const std::string& text, bool json) {
  std::vector<Fields> out;
  std::stringstream in(text);
  std::string line;
  if (!json) {
    std::getline(in, line);
    EXPECT_EQ(line, RecordWriter::csvHeader());
  }
  while (std::getline(in, line)) {
    Fields f;
    std::stringstream fields(line);
    for (std::string field; !json && std::getline(fields, field, ',');) f.push_back(field);
    const nlohmann::json j = json ? nlohmann::json::parse(line) : nlohmann::json();
    for (const char* key : {"frame", "time", "id", "name", "confidence", "dir", "corners", "pose", "fit_error"})
      for (const auto& v : !json ? nlohmann::json() : j[key].is_array() ? j[key] : nlohmann::json::array({j[key]}))
        for (const auto& x : v.is_array() ? v : nlohmann::json::array({v})) f.push_back(x.is_string() ? x.get<std::string>() : x.dump());
    EXPECT_EQ(f.size(), 27u) << line;
    out.push_back(f);
  }
  return out;
}

class Ardetect : public testing::Test {
 protected:
  // The still demo scene at 640 x 480 through the shipped camera, as two pictures.
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(scene_.load(DemoSceneSettings(), &error)) << error;
    std::vector<uint8_t> bgra(640 * 480 * 4);
    scene_.render(0, bgra.data());
    SimImage png{640, 480, 3, {}};
    for (size_t p = 0; p < bgra.size(); p += 4) png.pixels.insert(png.pixels.end(), {bgra[p + 2], bgra[p + 1], bgra[p]});
    std::filesystem::create_directories(dir_.file("shots"));
    for (const char* name : {"shots/shot0.png", "shots/shot1.png"}) ASSERT_TRUE(simWritePng(dir_.file(name), png, &error));
  }

  // Each shipped marker in each frame, named after its row of Data/markerdata.mkd, at the time of
  // its frame, its corners (upright top-left first) within the tolerance of the truth, its pose
  // turned and placed as the marker is (the estimate's own error on these small, tilted markers
  // is up to 6 degrees and 6 %; a wrong width or a transposed matrix is far beyond).
  static void expectTruth(const std::vector<Fields>& found, double cornerTolerance, double* shift = nullptr) {
    const std::vector<std::string> rows = {"rocket", "hook", "moon", "flag", "ring"};
    const std::vector<DemoSceneMarker> markers = scene_.markersAt(0);  // in name order
    ASSERT_EQ(found.size(), 10u);
    for (const Fields& f : found) {
      const int id = std::stoi(f[2]);
      ASSERT_TRUE(id >= 0 && id < 5 && f[3] == rows[id]) << f[2] << " " << f[3];
      EXPECT_NEAR(std::stod(f[1]), std::stoi(f[0]) / 30.0, 1e-6);
      const DemoSceneMarker& m = markers[std::string("41203").at(id) - '0'];
      for (int k = 0; k < 4; k++) {
        double x, y;
        ASSERT_TRUE(simProjectMarkerPoint(m.pose, scene_.camera().projection, k == 0 || k == 3 ? -40 : 40, k < 2 ? 40 : -40, &x, &y));
        EXPECT_NEAR(std::stod(f[6 + 2 * k]), x, cornerTolerance) << f[3] << " corner " << k;
        EXPECT_NEAR(std::stod(f[7 + 2 * k]), y, cornerTolerance) << f[3] << " corner " << k;
        if (shift) shift[0] += (std::stod(f[6 + 2 * k]) - x) / 40, shift[1] += (std::stod(f[7 + 2 * k]) - y) / 40;
      }
      double trace = 0;
      for (int i = 0; i < 9; i++) trace += std::stod(f[14 + i / 3 * 4 + i % 3]) * m.pose[i / 3][i % 3];
      EXPECT_LT(std::acos(std::min(1.0, (trace - 1) / 2)) * 180 / M_PI, 8) << f[3];
      for (int r = 0; r < 3; r++) EXPECT_NEAR(std::stod(f[17 + 4 * r]), m.pose[r][3], 0.08 * m.pose[2][3]) << f[3] << r;
    }
  }

  static TempDir dir_;
  static DemoScene scene_;
};

TempDir Ardetect::dir_;
DemoScene Ardetect::scene_;

TEST_F(Ardetect, CsvAndJsonLinesGiveEveryMarkerWithTruthfulCornersAndPoses) {
  const ToolRun csv = runTool("detect/ardetect", dir_.file("shots"));
  ASSERT_EQ(csv.status, 0) << csv.err;
  expectTruth(records(csv.out, false), 1);
  EXPECT_NE(csv.err.find("2 frames, 10 markers: flag 2, hook 2, moon 2, ring 2, rocket 2"), std::string::npos) << csv.err;

  const ToolRun json = runTool("detect/ardetect", "--format json --output " + dir_.file("out.json") + " " + dir_.file("shots/shot%d.png"));
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out, "");
  const std::vector<unsigned char> bytes = readBytes(dir_.file("out.json"));
  const std::vector<Fields> fromJson = records(std::string(bytes.begin(), bytes.end()), true), fromCsv = records(csv.out, false);
  ASSERT_EQ(fromJson.size(), fromCsv.size());
  for (size_t r = 0; r < fromCsv.size(); r++)
    for (size_t i = 0; i < 27; i++)
      EXPECT_TRUE(i == 3 ? fromJson[r][i] == fromCsv[r][i] : std::fabs(std::stod(fromJson[r][i]) - std::stod(fromCsv[r][i])) < 1e-6)
          << "record " << r << " field " << i << ": " << fromJson[r][i] << " against " << fromCsv[r][i];

  // With --refine the corners sit on the true ones to a tenth of a pixel.
  const ToolRun refined = runTool("detect/ardetect", "--refine " + dir_.file("shots"));
  ASSERT_EQ(refined.status, 0) << refined.err;
  expectTruth(records(refined.out, false), 0.1);

  // Searched at half size, the corners come back in the frame's own pixels: as exact as half the
  // pixels allow, and not shifted as a whole.
  const ToolRun half = runTool("detect/ardetect", "--shrink 2 " + dir_.file("shots"));
  ASSERT_EQ(half.status, 0) << half.err;
  double shift[2] = {0, 0};
  expectTruth(records(half.out, false), 2, shift);
  EXPECT_LT(std::hypot(shift[0], shift[1]), 0.2);
}

TEST_F(Ardetect, DrawnFramesShowTheOutlineOnTheMarker) {
  const ToolRun run = runTool("detect/ardetect", "--frames 1 --draw " + dir_.file("drawn") + " " + dir_.file("shots"));
  ASSERT_EQ(run.status, 0) << run.err;
  SimImage drawn;
  std::string error;
  ASSERT_TRUE(simLoadImage(dir_.file("drawn/frame000000.png"), &drawn, &error)) << error;
  EXPECT_FALSE(std::filesystem::exists(dir_.file("drawn/frame000001.png"))) << "--frames 1";
  auto isOutline = [&drawn](double x, double y) {
    return std::equal(kIdentifiedColour, kIdentifiedColour + 3, &drawn.pixels[(std::lround(y) * drawn.width + std::lround(x)) * 3]);
  };
  for (const DemoSceneMarker& m : scene_.markersAt(0)) {
    double o[5][2];  // corners as seen (with the lens), then the centre
    for (int k = 0; k < 5; k++) {
      double ix, iy;
      simProjectMarkerPoint(m.pose, scene_.camera().projection, k == 4 ? 0 : k == 0 || k == 3 ? -40 : 40, k == 4 ? 0 : k < 2 ? 40 : -40, &ix, &iy);
      arIdealToObserved(scene_.camera().distortion, ix, iy, &o[k][0], &o[k][1]);
    }
    for (int k = 0; k < 4; k++) {  // the middle of each edge, and ten pixels beyond it
      const double mx = (o[k][0] + o[(k + 1) % 4][0]) / 2, my = (o[k][1] + o[(k + 1) % 4][1]) / 2;
      const double d = std::hypot(mx - o[4][0], my - o[4][1]);
      EXPECT_TRUE(isOutline(mx, my) && !isOutline(mx + (mx - o[4][0]) * 10 / d, my + (my - o[4][1]) * 10 / d)) << m.patternFile << k;
    }
  }
}

TEST_F(Ardetect, BadInputFailsWithOneLineNamingTheFileAndTheCause) {
  const std::string shot = dir_.file("shots/shot0.png"), bad = dir_.file("bad");
  std::filesystem::create_directories(bad);
  writeText(bad + "/table.mkd", "header\nm,p,1,Data/patterns/rocket.patt,0,0,80\nm,p,1," + bad + "/gone.patt,0,0,80\n");
  writeText(bad + "/file", "");
  writeBytes(bad + "/deep.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 8,
                                0, 0, 0, 8, 16, 2});  // a PNG header of 16-bit RGB samples
  const struct {
    std::string arguments, expected;
    int status;
  } cases[] = {
      {"--bogus " + shot, "unknown option --bogus", 2},
      {"--threshold 256 " + shot, "--threshold takes a number from 0 to 255, auto or adaptive (got '256')", 2},
      {"--format xml " + shot, "--format takes csv or json", 2},
      {shot + " " + shot, "give one INPUT", 2},
      {bad + "/missing.png", "\"" + bad + "/missing.png\": no such file or folder", 1},
      {"--camera " + bad + "/missing.dat " + shot, bad + "/missing.dat\": cannot read the camera file", 1},
      {"--camera README.md " + shot, "\"README.md\": not a usable camera file: the image size is outside", 1},
      {"--markers " + bad + "/missing.mkd " + shot, bad + "/missing.mkd\": cannot open the marker table", 1},
      {"--markers " + bad + "/table.mkd " + shot, bad + "/table.mkd:3: \"" + bad + "/gone.patt\": cannot open", 1},
      {bad + "/deep.png", bad + "/deep.png has 16 bits per colour sample", 1},
      {"--config " + bad + "/missing.xml", "cannot open configuration " + bad + "/missing.xml", 1},
      {"--output " + bad + "/no/out.csv " + shot, bad + "/no/out.csv\": cannot write", 1},
      {"--draw " + bad + "/file/drawn " + shot, bad + "/file/drawn\": cannot make the folder", 1},
  };
  for (const auto& c : cases) {
    const ToolRun run = runTool("detect/ardetect", c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << ": " << run.err;
    EXPECT_NE(run.err.find(c.expected), std::string::npos) << c.arguments << ": " << run.err;
    EXPECT_TRUE(std::count(run.err.begin(), run.err.end(), '\n') == 1 && run.out.empty()) << c.arguments << ": " << run.err;
  }
}

TEST(ArdetectRun, ReadsTheConfiguredSourceSkipsFramesTheDetectorRefusesAndTellsItsProgress) {
  TempDir dir;
  writeText(dir.file("demo.xml"), "<video><source type=\"demo\" motion=\"still\"/></video>");
  ToolRun run = runTool("detect/ardetect", "--frames 3 --config " + dir.file("demo.xml"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("ardetect: reading the built-in demo scene"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("ardetect: 3 frames, 15 markers: flag 3, hook 3, moon 3, ring 3, rocket 3"), std::string::npos) << run.err;

  SimImage dots{640, 480, 1, std::vector<uint8_t>(640 * 480, 255)};  // 76800 separate dark spots
  for (int y = 0; y < 480; y += 2)
    for (int x = 0; x < 640; x += 2) dots.pixels[y * 640 + x] = 0;
  std::string error;
  ASSERT_TRUE(simWritePng(dir.file("a.png"), dots, &error) && simWritePng(dir.file("b.png"), dots, &error)) << error;
  run = runTool("detect/ardetect", dir.path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, std::string(RecordWriter::csvHeader()) + "\n");
  EXPECT_NE(run.err.find("frame 0 skipped: the frame has more than 32768 separate dark spots"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("frame 1 skipped"), std::string::npos) << "said once: " << run.err;
  EXPECT_NE(run.err.find("2 frames, 0 markers, 2 skipped"), std::string::npos) << run.err;

  EXPECT_EQ(RunProgress::line(1200, 15, 40, 100), "1200 frames, 80.0 frames/s, about 23 s left");
  EXPECT_EQ(RunProgress::line(1, 2, 0, 0), "1 frame, 0.5 frames/s");
  EXPECT_EQ(RunProgress::line(90, 3, 100, 100), "90 frames, 30.0 frames/s") << "nothing left at the end";
}

}  // namespace
