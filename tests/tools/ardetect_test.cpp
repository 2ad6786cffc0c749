// ardetect as a user runs it: a rendered picture sequence with known truth, read back as CSV and
// as JSON lines, and the drawn frames.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <sstream>

#include "camera/camera_param.h"
#include "sim/sim_pose.h"
#include "sim/synthetic_frame.h"
#include "tests/test_files.h"
#include "tests/tools/tool_run.h"
#include "tools/detect/detection_records.h"
#include "tools/detect/frame_drawing.h"
#include "tools/detect/run_progress.h"

namespace {

constexpr int kFrames = 4;
constexpr double kCornerTolerance = 0.5;     // pixels
// The pose estimator's own error on such frames is up to 2 degrees and 3 % of the distance;
// a wrong width, centre, corner order or camera gives far more.
constexpr double kRotationTolerance = 3.0;   // degrees
constexpr double kDistanceTolerance = 0.04;  // share of the distance
// The rows of Data/markerdata.mkd, whose row numbers are the ids.
const std::vector<std::string> kTableNames = {"rocket", "hook", "moon", "flag", "ring"};

struct Placed {
  int frame;
  int id;
  SimMarkerTruth truth;
};

// One record as read back from either format.
struct ReadRecord {
  long frame;
  double time;
  int id, dir;
  std::string name;
  double corners[4][2];
  double pose[3][4];
};

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
  return fields;
}

std::vector<ReadRecord> parseCsv(const std::string& text) {
  std::stringstream in(text);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, RecordWriter::csvHeader());
  std::vector<ReadRecord> records;
  while (std::getline(in, line)) {
    const std::vector<std::string> f = split(line);
    EXPECT_EQ(f.size(), 27u) << line;
    if (f.size() != 27u) continue;
    ReadRecord r{std::stol(f[0]), std::stod(f[1]), std::stoi(f[2]), std::stoi(f[5]), f[3], {}, {}};
    for (int i = 0; i < 8; i++) r.corners[i / 2][i % 2] = std::stod(f[6 + i]);
    for (int i = 0; i < 12; i++) r.pose[i / 4][i % 4] = std::stod(f[14 + i]);
    records.push_back(r);
  }
  return records;
}

std::vector<ReadRecord> parseJsonLines(const std::string& text) {
  std::stringstream in(text);
  std::vector<ReadRecord> records;
  for (std::string line; std::getline(in, line);) {
    const nlohmann::json j = nlohmann::json::parse(line);
    ReadRecord r{j["frame"], j["time"], j["id"], j["dir"], j["name"], {}, {}};
    for (int k = 0; k < 4; k++)
      for (int c = 0; c < 2; c++) r.corners[k][c] = j["corners"][k][c];
    for (int row = 0; row < 3; row++)
      for (int c = 0; c < 4; c++) r.pose[row][c] = j["pose"][row][c];
    records.push_back(r);
  }
  return records;
}

double rotationErrorDeg(const double a[3][4], const double b[3][4]) {
  double trace = 0;  // of A^T B
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++) trace += a[r][c] * b[r][c];
  return std::acos(std::clamp((trace - 1) / 2, -1.0, 1.0)) * 180 / M_PI;
}

class ArdetectOnSequence : public testing::Test {
 protected:
  // Frames of three shipped markers at changing poses through the shipped camera, as PNGs.
  static void SetUpTestSuite() {
    CameraParam camera;
    ASSERT_EQ(arCameraParamRead("Data/camera_para.dat", 1, &camera), 0);
    SimRenderer renderer(camera, camera.xsize, camera.ysize);
    std::vector<SimImage> pictures(kTableNames.size());
    for (size_t i = 0; i < kTableNames.size(); i++) {
      std::string error;
      ASSERT_TRUE(simPictureFromPatternFile("Data/patterns/" + kTableNames[i] + ".patt", &pictures[i], &error));
    }
    dir_ = new TempDir;
    std::filesystem::create_directories(dir_->file("shots"));
    std::vector<uint8_t> bgra(static_cast<size_t>(camera.xsize) * camera.ysize * 4);
    for (int frame = 0; frame < kFrames; frame++) {
      SimMarker markers[3];
      int ids[3];
      // The same markers moving a little from frame to frame, as in a recording.
      for (int i = 0; i < 3; i++) {
        ids[i] = 2 * i;
        markers[i].interior = &pictures[ids[i]];
        simPoseLookAt(400 + 10 * frame, 25 + 8 * i + 2 * frame, 40.0 * i + 10 * frame, 20 + 100.0 * i + 6 * frame,
                      -150 + 150 * i, 5.0 * frame, markers[i].pose);
      }
      SimMarkerTruth truth[3];
      renderer.render(SimBackground(), markers, 3, SimEffects(), bgra.data(), truth);
      for (int i = 0; i < 3; i++) {
        ASSERT_TRUE(truth[i].fullyVisible);
        placed_.push_back({frame, ids[i], truth[i]});
      }
      SimImage png;
      png.width = camera.xsize, png.height = camera.ysize, png.channels = 3;
      for (size_t p = 0; p < bgra.size(); p += 4)
        for (int c = 2; c >= 0; c--) png.pixels.push_back(bgra[p + c]);
      std::string error;
      ASSERT_TRUE(simWritePng(dir_->file("shots/shot" + std::to_string(frame) + ".png"), png, &error)) << error;
    }
  }
  static void TearDownTestSuite() {
    delete dir_;
    placed_.clear();
  }

  static void expectMatchesTruth(const std::vector<ReadRecord>& records, const char* format,
                                 double cornerTolerance = kCornerTolerance) {
    ASSERT_EQ(records.size(), placed_.size()) << format << ": one record per placed marker";
    for (const Placed& p : placed_) {
      const ReadRecord* found = nullptr;
      for (const ReadRecord& r : records)
        if (r.frame == p.frame && r.id == p.id) found = &r;
      ASSERT_NE(found, nullptr) << format << " frame " << p.frame << " " << kTableNames[p.id];
      const std::string what = std::string(format) + " frame " + std::to_string(p.frame) + " " + kTableNames[p.id];
      EXPECT_EQ(found->name, kTableNames[p.id]) << what;
      EXPECT_NEAR(found->time, p.frame / 30.0, 1e-6) << what;
      EXPECT_EQ(found->dir, p.truth.expectedDir) << what;
      for (int k = 0; k < 4; k++) {
        EXPECT_NEAR(found->corners[k][0], p.truth.ideal[k][0], cornerTolerance) << what << " corner " << k;
        EXPECT_NEAR(found->corners[k][1], p.truth.ideal[k][1], cornerTolerance) << what << " corner " << k;
      }
      EXPECT_LT(rotationErrorDeg(found->pose, p.truth.pose), kRotationTolerance) << what;
      const double distance = std::hypot(p.truth.pose[0][3], p.truth.pose[1][3], p.truth.pose[2][3]);
      const double moved = std::hypot(found->pose[0][3] - p.truth.pose[0][3], found->pose[1][3] - p.truth.pose[1][3],
                                      found->pose[2][3] - p.truth.pose[2][3]);
      EXPECT_LT(moved, kDistanceTolerance * distance) << what;
    }
  }

  static TempDir* dir_;
  static std::vector<Placed> placed_;
};

TempDir* ArdetectOnSequence::dir_ = nullptr;
std::vector<Placed> ArdetectOnSequence::placed_;

TEST_F(ArdetectOnSequence, CsvAndJsonLinesGiveEveryMarkerWithTruthfulCornersAndPoses) {
  const ToolRun csv = runTool("detect/ardetect", dir_->file("shots/shot%d.png"));
  ASSERT_EQ(csv.status, 0) << csv.err;
  expectMatchesTruth(parseCsv(csv.out), "csv");
  EXPECT_NE(csv.err.find("4 frames, 12 markers: "), std::string::npos) << csv.err;

  const ToolRun json = runTool("detect/ardetect", "--format json --output " + dir_->file("out.json") + " " +
                                                      dir_->file("shots"));
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out, "");
  const std::vector<unsigned char> bytes = readBytes(dir_->file("out.json"));
  expectMatchesTruth(parseJsonLines(std::string(bytes.begin(), bytes.end())), "json");

  // With --refine the corners sit on the true ones to a tenth of a pixel.
  const ToolRun refined = runTool("detect/ardetect", "--refine " + dir_->file("shots"));
  ASSERT_EQ(refined.status, 0) << refined.err;
  expectMatchesTruth(parseCsv(refined.out), "csv refined", 0.1);

  // Searched at half size, the corners come back in the frame's own pixels: as exact as half the
  // pixels allow, and not shifted as a whole.
  const ToolRun half = runTool("detect/ardetect", "--shrink 2 " + dir_->file("shots"));
  ASSERT_EQ(half.status, 0) << half.err;
  const std::vector<ReadRecord> records = parseCsv(half.out);
  expectMatchesTruth(records, "csv at half size", 3 * kCornerTolerance);
  double shift[2] = {0, 0};
  for (const Placed& p : placed_)
    for (const ReadRecord& r : records)
      if (r.frame == p.frame && r.id == p.id)
        for (int k = 0; k < 4; k++)
          for (int c = 0; c < 2; c++) shift[c] += (r.corners[k][c] - p.truth.ideal[k][c]) / (4.0 * placed_.size());
  EXPECT_LT(std::hypot(shift[0], shift[1]), 0.2);
}

TEST_F(ArdetectOnSequence, DrawnFramesShowTheOutlineOnTheMarker) {
  const ToolRun run = runTool("detect/ardetect", "--frames 1 --draw " + dir_->file("drawn") + " " + dir_->file("shots"));
  ASSERT_EQ(run.status, 0) << run.err;
  SimImage drawn;
  std::string error;
  ASSERT_TRUE(simLoadImage(dir_->file("drawn/frame000000.png"), &drawn, &error)) << error;
  EXPECT_FALSE(std::filesystem::exists(dir_->file("drawn/frame000001.png"))) << "--frames 1";
  auto isOutline = [&drawn](double x, double y) {
    const uint8_t* p = &drawn.pixels[(std::lround(y) * drawn.width + std::lround(x)) * drawn.channels];
    return std::equal(p, p + 3, kIdentifiedColour);
  };
  for (const Placed& p : placed_) {
    if (p.frame != 0) continue;
    const auto& o = p.truth.observed;
    for (int k = 0; k < 4; k++) {
      const double mx = (o[k][0] + o[(k + 1) % 4][0]) / 2, my = (o[k][1] + o[(k + 1) % 4][1]) / 2;
      EXPECT_TRUE(isOutline(mx, my)) << kTableNames[p.id] << " edge " << k;
      // Ten pixels out from the edge, away from the opposite corner: background.
      const double ox = mx + (mx - o[(k + 2) % 4][0]) * 0.2, oy = my + (my - o[(k + 2) % 4][1]) * 0.2;
      EXPECT_FALSE(isOutline(ox, oy)) << kTableNames[p.id] << " edge " << k;
    }
  }
}

TEST_F(ArdetectOnSequence, BadInputFailsWithOneLineNamingTheFileAndTheCause) {
  const std::string shot = dir_->file("shots/shot0.png"), bad = dir_->file("bad");
  std::filesystem::create_directories(bad);
  writeText(bad + "/table.mkd", "header\nm,p,1,Data/patterns/rocket.patt,0,0,80\nm,p,1," + bad + "/gone.patt,0,0,80\n");
  writeText(bad + "/file", "");
  // A PNG header of 16-bit RGB samples.
  writeBytes(bad + "/deep.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 8,
                                0, 0, 0, 8, 16, 2});
  struct Case {
    std::string arguments, expected;
    int status;
  };
  const std::vector<Case> cases = {
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
  for (const Case& c : cases) {
    const ToolRun run = runTool("detect/ardetect", c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << ": " << run.err;
    EXPECT_NE(run.err.find(c.expected), std::string::npos) << c.arguments << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.out, "") << c.arguments;
  }
}

TEST(Ardetect, ReadsTheConfiguredVideoSourceUntilTheFramesAsked) {
  TempDir dir;
  writeText(dir.file("demo.xml"), "<video><source type=\"demo\" motion=\"still\"/></video>");
  const ToolRun run = runTool("detect/ardetect", "--frames 3 --config " + dir.file("demo.xml"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("reading the built-in demo scene"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("ardetect: 3 frames, 15 markers: flag 3, hook 3, moon 3, ring 3, rocket 3"), std::string::npos)
      << run.err;
}

TEST(Ardetect, FramesTheDetectorRefusesAreSkippedWithOneLine) {
  TempDir dir;
  // A dark dot on every other pixel of every other row: 76800 separate spots.
  SimImage dots;
  dots.width = 640, dots.height = 480, dots.channels = 1;
  for (int y = 0; y < 480; y++)
    for (int x = 0; x < 640; x++) dots.pixels.push_back(x % 2 == 0 && y % 2 == 0 ? 0 : 255);
  std::string error;
  ASSERT_TRUE(simWritePng(dir.file("a.png"), dots, &error) && simWritePng(dir.file("b.png"), dots, &error)) << error;
  const ToolRun run = runTool("detect/ardetect", dir.path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, std::string(RecordWriter::csvHeader()) + "\n");
  EXPECT_NE(run.err.find("frame 0 skipped: the frame has more than 32768 separate dark spots"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("frame 1 skipped"), std::string::npos) << "said once: " << run.err;
  EXPECT_NE(run.err.find("2 frames, 0 markers, 2 skipped"), std::string::npos) << run.err;
}

TEST(Ardetect, ProgressLineGivesFramesRateAndTimeLeft) {
  EXPECT_EQ(RunProgress::line(1200, 15, 40, 100), "1200 frames, 80.0 frames/s, about 23 s left");
  EXPECT_EQ(RunProgress::line(1, 2, 0, 0), "1 frame, 0.5 frames/s");
  EXPECT_EQ(RunProgress::line(90, 3, 100, 100), "90 frames, 30.0 frames/s") << "nothing left at the end";
}

}  // namespace
