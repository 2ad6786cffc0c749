#include "detect/pattern.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>

#include "../test_files.h"
#include "detect/pattern_internal.h"
#include "detect/pattern_sampling.h"
#include "detect/pattern_sampling_internal.h"
#include "detect_test_support.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class PatternStoreTest : public testing::Test {
 protected:
  void SetUp() override { arResetPatternStore(); }
  void TearDown() override { arResetPatternStore(); }

  // Writes a file and loads it, returning the id and what was printed.
  int load(const std::string& text, std::string* printed = nullptr) {
    const std::string path = dir_.file("p" + std::to_string(files_++) + ".patt");
    writeText(path, text);
    CaptureStdout();
    const int id = arReadPatternFile(path.c_str());
    const std::string out = GetCapturedStdout();
    if (printed) *printed = out;
    return id;
  }

  static std::string numbers(int count, int value) {
    std::ostringstream s;
    for (int i = 0; i < count; i++) s << value << ((i % 16 == 15) ? '\n' : ' ');
    return s.str();
  }

  TempDir dir_;
  int files_ = 0;
};

TEST_F(PatternStoreTest, IdsFollowLoadOrderAndTheFiftyFirstIsRefusedSilently) {
  const std::string text = patternFileText(asymmetricPicture());
  for (int i = 0; i < kArMaxPatterns; i++) ASSERT_EQ(load(text), i);
  std::string printed;
  EXPECT_EQ(load(text, &printed), -1);
  EXPECT_EQ(printed, "");
  EXPECT_EQ(arPatternStoreView()->patternCount, kArMaxPatterns);
}

TEST_F(PatternStoreTest, MissingFileIsReportedByNameAndChangesNothing) {
  ASSERT_EQ(load(patternFileText(asymmetricPicture())), 0);
  CaptureStdout();
  EXPECT_EQ(arReadPatternFile("no/such/file.patt"), -1);
  EXPECT_EQ(GetCapturedStdout(), "\"no/such/file.patt\" not found!!\n");
  EXPECT_EQ(arPatternStoreView()->patternCount, 1);
  EXPECT_EQ(load(patternFileText(asymmetricPicture())), 1);
}

TEST_F(PatternStoreTest, ShortFileFailsAndLeavesItsSlotFree) {
  std::string printed;
  EXPECT_EQ(load(numbers(3071, 10), &printed), -1);
  EXPECT_EQ(printed, "Pattern Data read error!!\n");
  EXPECT_EQ(load(numbers(3072, 10) + "junk", &printed), -1 + 1);  // slot 0 is still free
  EXPECT_EQ(printed, "");
  EXPECT_EQ(load(numbers(100, 10) + "x 7 8", &printed), -1);
  EXPECT_EQ(printed, "Pattern Data read error!!\n");
  EXPECT_EQ(load(""), -1);
  EXPECT_EQ(arPatternStoreView()->patternCount, 1);
}

TEST_F(PatternStoreTest, NumbersAfterTheLastAreIgnored) {
  const std::string text = patternFileText(asymmetricPicture());
  ASSERT_EQ(load(text + "1 2 3 4 5 999999999999999 oops"), 0);
  ASSERT_EQ(load(text), 1);
  const PatternStore* store = arPatternStoreView();
  for (int o = 0; o < 4; o++) {
    EXPECT_EQ(store->norm[0][o], store->norm[1][o]);
    for (int i = 0; i < kArPatternValues; i++) ASSERT_EQ(store->templates[0][o][i], store->templates[1][o][i]);
  }
}

TEST_F(PatternStoreTest, TemplatesAreInvertedPlaneByPlaneAndTheMeanIsTruncatedTowardZero) {
  // Orientation 0: every value 255 except green (plane 1) at row 3, column 5, which is 1255,
  // an out-of-range value taken as it is. Inverted: 767 zeros and -1000; the mean -1000 / 768
  // truncates to -1 (not -2).
  std::ostringstream s;
  for (int c = 0; c < 3; c++)
    for (int cell = 0; cell < 256; cell++) s << ((c == 1 && cell == 3 * 16 + 5) ? 1255 : 255) << ' ';
  s << numbers(768 * 3, 100);
  ASSERT_EQ(load(s.str()), 0);
  const PatternStore* store = arPatternStoreView();
  const int special = (3 * 16 + 5) * 3 + 1;
  for (int i = 0; i < kArPatternValues; i++) ASSERT_EQ(store->templates[0][0][i], i == special ? -999 : 1) << i;
  EXPECT_DOUBLE_EQ(store->norm[0][0], std::sqrt(767.0 + 999.0 * 999.0));
}

TEST_F(PatternStoreTest, FlatOrientationGetsTheNormFloor) {
  std::ostringstream s;
  s << numbers(768, 77) << patternFileText(asymmetricPicture()).substr(0);
  ASSERT_EQ(load(s.str()), 0);
  const PatternStore* store = arPatternStoreView();
  EXPECT_EQ(store->norm[0][0], 1e-7);
  EXPECT_GT(store->norm[0][1], 1000.0);
  for (int i = 0; i < kArPatternValues; i++) ASSERT_EQ(store->templates[0][0][i], 0);
}

TEST_F(PatternStoreTest, AbsurdValuesAreRefusedRatherThanOverflowing) {
  std::string printed;
  EXPECT_EQ(load("99999999999 " + numbers(3071, 1), &printed), -1);
  EXPECT_EQ(printed, "Pattern Data read error!!\n");
  EXPECT_EQ(load("-65536 65536 " + numbers(3070, 1), &printed), 0);
}

// The grid a camera would deliver for an upright 16 x 16 grey picture.
std::vector<uint8_t> gridOf(const std::vector<uint8_t>& picture) {
  std::vector<uint8_t> grid(kArPatternValues);
  for (int cell = 0; cell < 256; cell++)
    for (int c = 0; c < 3; c++) grid[cell * 3 + c] = picture[cell];
  return grid;
}

TEST_F(PatternStoreTest, GridEqualToOrientationTwoMatchesItWithFullConfidence) {
  const std::vector<uint8_t> picture = asymmetricPicture();
  ASSERT_EQ(load(patternFileText(picture)), 0);
  std::vector<uint8_t> turned = picture;
  for (int o = 0; o < 4; o++) {
    int32_t id = -5, dir = -5;
    double cf = -5;
    ASSERT_EQ(arMatchPattern(gridOf(turned).data(), &id, &dir, &cf), 0);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(dir, o);
    EXPECT_NEAR(cf, 1.0, 1e-12);
    turned = rotateCounterClockwise(turned);
  }
}

TEST_F(PatternStoreTest, TiesGoToTheFirstSlotAndOrientation) {
  std::vector<uint8_t> symmetric(256, 220);
  for (int r = 4; r < 12; r++)
    for (int c = 4; c < 12; c++) symmetric[r * 16 + c] = 10;
  ASSERT_EQ(load(patternFileText(asymmetricPicture(1))), 0);
  ASSERT_EQ(load(patternFileText(symmetric)), 1);
  ASSERT_EQ(load(patternFileText(symmetric)), 2);
  int32_t id, dir;
  double cf;
  arMatchPattern(gridOf(symmetric).data(), &id, &dir, &cf);
  EXPECT_EQ(id, 1);
  EXPECT_EQ(dir, 0);
  EXPECT_NEAR(cf, 1.0, 1e-12);
}

TEST_F(PatternStoreTest, UniformNegativeAndEmptyStoreResults) {
  int32_t id, dir;
  double cf;
  arMatchPattern(gridOf(asymmetricPicture()).data(), &id, &dir, &cf);  // nothing loaded
  EXPECT_EQ(id, -1);
  EXPECT_EQ(dir, -1);
  EXPECT_EQ(cf, 0.0);

  std::vector<uint8_t> picture(256, 255);  // a dark centre, the same in every orientation
  for (int r = 5; r < 11; r++)
    for (int c = 5; c < 11; c++) picture[r * 16 + c] = 0;
  ASSERT_EQ(load(patternFileText(picture)), 0);
  arMatchPattern(gridOf(std::vector<uint8_t>(256, 90)).data(), &id, &dir, &cf);
  EXPECT_EQ(id, 0);
  EXPECT_EQ(dir, 0);
  EXPECT_EQ(cf, -1.0);

  std::vector<uint8_t> negative(256);  // the exact negative correlates -1 with all four
  for (int i = 0; i < 256; i++) negative[i] = static_cast<uint8_t>(255 - picture[i]);
  arMatchPattern(gridOf(negative).data(), &id, &dir, &cf);
  EXPECT_EQ(id, -1);
  EXPECT_EQ(dir, -1);
  EXPECT_EQ(cf, 0.0);
}

TEST(SamplesPerAxis, DoublesAtTheEdgeLengthSteps) {
  EXPECT_EQ(arSamplesPerAxis(0), 16);
  EXPECT_EQ(arSamplesPerAxis(1027), 16);
  EXPECT_EQ(arSamplesPerAxis(1028), 32);
  EXPECT_EQ(arSamplesPerAxis(4099), 32);
  EXPECT_EQ(arSamplesPerAxis(4100), 64);
  EXPECT_EQ(arSamplesPerAxis(int64_t{1} << 40), 64);
}

TEST(SolveHomography, MapsTheFourCornersAndRefusesDegenerateOnes) {
  const double plane[4][2] = {{100, 100}, {110, 100}, {110, 110}, {100, 110}};
  const double image[4][2] = {{31, 40}, {90, 35}, {100, 97}, {25, 80}};
  double h[9];
  ASSERT_EQ(arSolveHomography(plane, image, h), 0);
  EXPECT_EQ(h[8], 1.0);
  for (int k = 0; k < 4; k++) {
    const double u = plane[k][0], v = plane[k][1];
    const double w = h[6] * u + h[7] * v + h[8];
    EXPECT_NEAR((h[0] * u + h[1] * v + h[2]) / w, image[k][0], 1e-8);
    EXPECT_NEAR((h[3] * u + h[4] * v + h[5]) / w, image[k][1], 1e-8);
  }
  const double collapsed[4][2] = {{50, 50}, {50, 50}, {50, 50}, {50, 50}};
  EXPECT_EQ(arSolveHomography(plane, collapsed, h), -1);
}

// A frame whose pixel (x, y) has blue = x, green = y, red = 0: the grid then holds the mean
// sample position of every cell.
TestFrame coordinateFrame(int width, int height) {
  TestFrame frame(width, height);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) frame.set(x, y, static_cast<uint8_t>(x), static_cast<uint8_t>(y), 0);
  return frame;
}

// Axis-aligned square [x0, x0 + side] x [y0, y0 + side] as four contour points.
void squareContour(int x0, int y0, int side, int32_t* x, int32_t* y, int32_t* corner) {
  const int px[4] = {x0, x0 + side, x0 + side, x0};
  const int py[4] = {y0, y0, y0 + side, y0 + side};
  for (int k = 0; k < 4; k++) {
    x[k] = px[k];
    y[k] = py[k];
    corner[k] = k;
  }
  x[4] = x0;
  y[4] = y0;
  corner[4] = 4;
}

TEST(SamplePattern, CellsAverageTheirSamplesWithTheDensityOfTheEdgeLength) {
  // For side S the interior spans S / 4 .. 3 S / 4; cell c along x covers S / 32 pixels and its
  // samples sit at x0 + S / 4 + S / 2 * (i + 0.5) / n, truncated. The mean of the truncated
  // positions depends on n, which this checks against a direct evaluation.
  useTestCamera(250, 250);
  const TestFrame frame = coordinateFrame(250, 250);
  for (int side : {32, 33, 64, 65, 200}) {
    SCOPED_TRACE(side);
    int32_t x[5], y[5], corner[5];
    squareContour(10, 20, side, x, y, corner);
    uint8_t grid[kArPatternValues];
    ASSERT_EQ(arSamplePattern(frame.data(), x, y, corner, grid), 0);
    const int n = arSamplesPerAxis(static_cast<int64_t>(side) * side);
    EXPECT_EQ(n, side <= 32 ? 16 : (side <= 64 ? 32 : 64));
    const int k = n / 16;
    for (int cell = 0; cell < 16; cell++) {
      int sumX = 0, sumY = 0;
      for (int i = cell * k; i < (cell + 1) * k; i++) {
        sumX += static_cast<int>(10 + side * (0.25 + 0.5 * (i + 0.5) / n));
        sumY += static_cast<int>(20 + side * (0.25 + 0.5 * (i + 0.5) / n));
      }
      // Blue of row 0, column cell: mean x over k * k samples (k rows of the same x values).
      EXPECT_EQ(grid[cell * 3 + 0], sumX / k) << "column " << cell;
      EXPECT_EQ(grid[(cell * 16) * 3 + 1], sumY / k) << "row " << cell;
      EXPECT_EQ(grid[cell * 3 + 2], 0);
    }
  }
}

TEST(SamplePattern, SamplesOutsideTheFrameDarkenTheirCells) {
  useTestCamera(100, 100);
  const TestFrame frame(100, 100, 200);
  int32_t x[5], y[5], corner[5];
  squareContour(-30, 20, 80, x, y, corner);  // interior x from -10 to 30: a quarter outside
  uint8_t grid[kArPatternValues];
  ASSERT_EQ(arSamplePattern(frame.data(), x, y, corner, grid), 0);
  EXPECT_EQ(grid[0], 0);                   // column 0: all samples off the frame
  EXPECT_LT(grid[3 * 3], 200);             // column 3 straddles x = 0
  EXPECT_GT(grid[3 * 3], 0);
  EXPECT_EQ(grid[15 * 3], 200);            // column 15 lies inside
  squareContour(5000, 5000, 80, x, y, corner);  // far away: no sample lands, nothing is read
  ASSERT_EQ(arSamplePattern(frame.data(), x, y, corner, grid), 0);
  for (int i = 0; i < kArPatternValues; i++) ASSERT_EQ(grid[i], 0);
}

// The sampling loop written out directly, one sample at a time.
bool referenceSample(const TestFrame& frame, const int32_t* x, const int32_t* y, uint8_t grid[kArPatternValues]) {
  const double plane[4][2] = {{100, 100}, {110, 100}, {110, 110}, {100, 110}};
  double image[4][2], h[9];
  for (int k = 0; k < 4; k++) image[k][0] = x[k], image[k][1] = y[k];
  if (arSolveHomography(plane, image, h) < 0) return false;
  auto edge = [&](int a, int b) {
    return static_cast<int64_t>((image[a][0] - image[b][0]) * (image[a][0] - image[b][0]) +
                                (image[a][1] - image[b][1]) * (image[a][1] - image[b][1]));
  };
  const int nx = arSamplesPerAxis(std::max(edge(0, 1), edge(2, 3)));
  const int ny = arSamplesPerAxis(std::max(edge(1, 2), edge(3, 0)));
  const int kx = nx / 16, ky = ny / 16;
  int sums[kArPatternValues] = {};
  for (int j = 0; j < ny; j++) {
    for (int i = 0; i < nx; i++) {
      const double u = 102.5 + 5.0 * (i + 0.5) / nx;
      const double v = 102.5 + 5.0 * (j + 0.5) / ny;
      const double w = h[6] * u + h[7] * v + h[8];
      if (w == 0.0) return false;
      const double fx = (h[0] * u + h[1] * v + h[2]) / w, fy = (h[3] * u + h[4] * v + h[5]) / w;
      if (std::fabs(fx) > 1e6 || std::fabs(fy) > 1e6) continue;
      const int px = static_cast<int>(fx), py = static_cast<int>(fy);
      if (px < 0 || px >= frame.width() || py < 0 || py >= frame.height()) continue;
      for (int c = 0; c < 3; c++)
        sums[((j / ky) * 16 + i / kx) * 3 + c] += frame.data()[(py * frame.width() + px) * 4 + c];
    }
  }
  for (int i = 0; i < kArPatternValues; i++) grid[i] = static_cast<uint8_t>(static_cast<unsigned>(sums[i]) / (kx * ky));
  return true;
}

TEST(SamplePattern, SameGridAsTheDirectLoopOnRandomQuadrilaterals) {
  useTestCamera(320, 240);
  std::mt19937 rng(4242);
  TestFrame frame(320, 240);
  for (int yy = 0; yy < 240; yy++)
    for (int xx = 0; xx < 320; xx++) frame.set(xx, yy, rng() & 255, rng() & 255, rng() & 255);
  for (int round = 0; round < 300; round++) {
    SCOPED_TRACE(round);
    const double cx = 20 + rng() % 280, cy = 20 + rng() % 200, side = 10 + rng() % 150;
    int32_t x[5], y[5];
    const int32_t corner[5] = {0, 1, 2, 3, 4};
    for (int k = 0; k < 4; k++) {
      const double a = (rng() % 3600) / 10.0 * M_PI / 180 + k * M_PI / 2;
      const double r = side * (0.5 + (rng() % 100) / 200.0);
      x[k] = static_cast<int32_t>(cx + r * std::cos(a));
      y[k] = static_cast<int32_t>(cy + r * std::sin(a));
    }
    x[4] = x[0], y[4] = y[0];
    uint8_t got[kArPatternValues], want[kArPatternValues];
    const bool ok = referenceSample(frame, x, y, want);
    ASSERT_EQ(arSamplePattern(frame.data(), x, y, corner, got) == 0, ok);
    if (!ok) continue;
    for (int i = 0; i < kArPatternValues; i++) ASSERT_EQ(got[i], want[i]) << i;
  }
}

TEST(IdentifyPattern, DegenerateCornersReportTheCandidateUnidentified) {
  useTestCamera(100, 100);
  const TestFrame frame(100, 100, 200);
  const int32_t x[5] = {40, 40, 40, 40, 40}, y[5] = {40, 40, 40, 40, 40}, corner[5] = {0, 1, 2, 3, 4};
  int32_t id = 7, dir = 7;
  double cf = 7;
  EXPECT_EQ(arIdentifyPattern(frame.data(), x, y, corner, &id, &dir, &cf), -1);
  EXPECT_EQ(id, -1);
  EXPECT_EQ(dir, -1);
  EXPECT_EQ(cf, -1.0);
}

}  // namespace
