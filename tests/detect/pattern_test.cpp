#include "detect/pattern.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "detect/pattern_internal.h"
#include "detect/pattern_sampling.h"
#include "detect/pattern_sampling_internal.h"
#include "detect_test_support.h"

namespace {

class PatternStoreTest : public testing::Test {
 protected:
  void SetUp() override { arResetPatternStore(); }
  void TearDown() override { arResetPatternStore(); }
};

std::string numbers(int count, int value) {
  std::ostringstream s;
  for (int i = 0; i < count; i++) s << value << ((i % 16 == 15) ? '\n' : ' ');
  return s.str();
}

// The grid a camera would deliver for an upright grey picture.
std::vector<uint8_t> gridOf(const std::vector<uint8_t>& picture) {
  std::vector<uint8_t> grid(kArPatternBlockValues);
  for (int i = 0; i < kArPatternBlockValues; i++) grid[i] = picture[i / 3];
  return grid;
}

TEST_F(PatternStoreTest, IdsFollowLoadOrderAndTheFiftyFirstIsRefusedSilently) {
  const std::string text = patternFileText(asymmetricPicture());
  for (int i = 0; i < kArMaxPatterns; i++) ASSERT_EQ(loadPatternText(text), i);
  std::string printed;
  EXPECT_EQ(loadPatternText(text, &printed), -1);
  EXPECT_EQ(printed, "");
  EXPECT_EQ(arPatternStoreView()->patternCount, kArMaxPatterns);
}

TEST_F(PatternStoreTest, BadFilesFailWithTheirMessageAndLeaveTheSlotFree) {
  const struct {
    std::string text, message;
  } cases[] = {{numbers(3071, 10), "Pattern Data read error!!\n"},
               {numbers(100, 10) + "x 7 8", "Pattern Data read error!!\n"},
               {"99999999999 " + numbers(3071, 1), "Pattern Data read error!!\n"},
               {"", "Pattern Data read error!!\n"}};
  for (const auto& c : cases) {
    std::string printed;
    EXPECT_EQ(loadPatternText(c.text, &printed), -1) << c.text.substr(0, 20);
    EXPECT_EQ(printed, c.message) << c.text.substr(0, 20);
  }
  testing::internal::CaptureStdout();
  EXPECT_EQ(arReadPatternFile("no/such/file.patt"), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\"no/such/file.patt\" not found!!\n");
  EXPECT_EQ(loadPatternText("-65536 65536 " + numbers(3070, 1)), 0);  // the extremes are fine, in slot 0
}

TEST_F(PatternStoreTest, TemplatesAreInvertedMeanFreeAndNumbersAfterTheLastIgnored) {
  // Orientation 0: all 255 but one green cell at 1255, taken as it is. Inverted: 767 zeros and
  // -1000, whose mean -1000 / 768 truncates to -1. Orientation 1 is flat: the norm floor.
  std::ostringstream s;
  for (int i = 0; i < 768; i++) s << (i == 256 + 3 * 16 + 5 ? 1255 : 255) << ' ';
  s << numbers(768, 77) << numbers(768 * 2, 100) << "1 2 3 999999999999999 oops";
  ASSERT_EQ(loadPatternText(s.str()), 0);
  const PatternStore* store = arPatternStoreView();
  const int special = (3 * 16 + 5) * 3 + 1;
  for (int i = 0; i < kArPatternBlockValues; i++) ASSERT_EQ(store->templates[0][0][i], i == special ? -999 : 1) << i;
  EXPECT_DOUBLE_EQ(store->norm[0][0], std::sqrt(767.0 + 999.0 * 999.0));
  EXPECT_EQ(store->norm[0][1], 1e-7);
  for (int i = 0; i < kArPatternBlockValues; i++) ASSERT_EQ(store->templates[0][1][i], 0) << i;
}

TEST_F(PatternStoreTest, EachOrientationIsMatchedWithFullConfidence) {
  std::vector<uint8_t> turned = asymmetricPicture();
  ASSERT_EQ(loadPatternText(patternFileText(turned)), 0);
  for (int o = 0; o < 4; o++, turned = rotateCounterClockwise(turned)) {
    int32_t id = -5, dir = -5;
    double cf = -5;
    ASSERT_EQ(arMatchPattern(gridOf(turned).data(), &id, &dir, &cf), 0);
    EXPECT_EQ(id, 0) << o;
    EXPECT_EQ(dir, o);
    EXPECT_NEAR(cf, 1.0, 1e-12) << o;
  }
}

TEST_F(PatternStoreTest, TiesGoToTheFirstSlotAndOrientation) {
  std::vector<uint8_t> symmetric(256, 220);
  for (int r = 4; r < 12; r++)
    for (int c = 4; c < 12; c++) symmetric[r * 16 + c] = 10;
  ASSERT_EQ(loadPatternText(patternFileText(asymmetricPicture(1))), 0);
  ASSERT_EQ(loadPatternText(patternFileText(symmetric)), 1);
  ASSERT_EQ(loadPatternText(patternFileText(symmetric)), 2);
  int32_t id, dir;
  double cf;
  arMatchPattern(gridOf(symmetric).data(), &id, &dir, &cf);
  EXPECT_EQ(id, 1);
  EXPECT_EQ(dir, 0);
  EXPECT_NEAR(cf, 1.0, 1e-12);
}

TEST_F(PatternStoreTest, UniformNegativeAndEmptyStoreResults) {
  std::vector<uint8_t> picture(256, 255);  // a dark centre, alike in every orientation
  for (int r = 5; r < 11; r++)
    for (int c = 5; c < 11; c++) picture[r * 16 + c] = 0;
  std::vector<uint8_t> negative(256);
  for (int i = 0; i < 256; i++) negative[i] = static_cast<uint8_t>(255 - picture[i]);
  const struct {
    bool loaded;
    std::vector<uint8_t> grid;
    int32_t id, dir;
    double cf;
  } cases[] = {{false, picture, -1, -1, 0.0},
               {true, std::vector<uint8_t>(256, 90), 0, 0, -1.0},
               {true, negative, -1, -1, 0.0}};
  for (const auto& c : cases) {
    if (c.loaded && arPatternStoreView()->patternCount < 1) {
      ASSERT_EQ(loadPatternText(patternFileText(picture)), 0);
    }
    int32_t id, dir;
    double cf;
    arMatchPattern(gridOf(c.grid).data(), &id, &dir, &cf);
    EXPECT_EQ(id, c.id) << c.cf;
    EXPECT_EQ(dir, c.dir) << c.cf;
    EXPECT_EQ(cf, c.cf);
  }
}

TEST(SamplesPerAxis, DoublesAtTheEdgeLengthSteps) {
  const int64_t squared[] = {0, 1027, 1028, 4099, 4100, int64_t{1} << 40};
  const int want[] = {16, 16, 32, 32, 64, 64};
  for (int i = 0; i < 6; i++) EXPECT_EQ(arSamplesPerAxis(squared[i]), want[i]) << squared[i];
}

TEST(SolveHomography, MapsTheFourCornersAndRefusesDegenerateOnes) {
  const double plane[4][2] = {{100, 100}, {110, 100}, {110, 110}, {100, 110}};
  const double image[4][2] = {{31, 40}, {90, 35}, {100, 97}, {25, 80}};
  double h[9];
  ASSERT_EQ(arSolveHomography(plane, image, h), 0);
  EXPECT_EQ(h[8], 1.0);
  for (int k = 0; k < 4; k++) {
    const double u = plane[k][0], v = plane[k][1], w = h[6] * u + h[7] * v + h[8];
    EXPECT_NEAR((h[0] * u + h[1] * v + h[2]) / w, image[k][0], 1e-8);
    EXPECT_NEAR((h[3] * u + h[4] * v + h[5]) / w, image[k][1], 1e-8);
  }
  const double collapsed[4][2] = {{50, 50}, {50, 50}, {50, 50}, {50, 50}};
  EXPECT_EQ(arSolveHomography(plane, collapsed, h), -1);
}

// The sampling loop written out directly, one sample at a time.
bool referenceSample(const TestFrame& frame, const int32_t* x, const int32_t* y, uint8_t grid[kArPatternBlockValues]) {
  const double plane[4][2] = {{100, 100}, {110, 100}, {110, 110}, {100, 110}};
  double image[4][2], h[9];
  for (int k = 0; k < 4; k++) image[k][0] = x[k], image[k][1] = y[k];
  if (arSolveHomography(plane, image, h) < 0) return false;
  auto edge = [&](int a, int b) {
    return static_cast<int64_t>((image[a][0] - image[b][0]) * (image[a][0] - image[b][0]) +
                                (image[a][1] - image[b][1]) * (image[a][1] - image[b][1]));
  };
  const int nx = arSamplesPerAxis(std::max(edge(0, 1), edge(2, 3))), ny = arSamplesPerAxis(std::max(edge(1, 2), edge(3, 0)));
  const int kx = nx / 16, ky = ny / 16;
  int sums[kArPatternBlockValues] = {};
  for (int j = 0; j < ny; j++)
    for (int i = 0; i < nx; i++) {
      const double u = 102.5 + 5.0 * (i + 0.5) / nx, v = 102.5 + 5.0 * (j + 0.5) / ny;
      const double w = h[6] * u + h[7] * v + h[8];
      if (w == 0.0) return false;
      const double fx = (h[0] * u + h[1] * v + h[2]) / w, fy = (h[3] * u + h[4] * v + h[5]) / w;
      if (std::fabs(fx) > 1e6 || std::fabs(fy) > 1e6) continue;
      const int px = static_cast<int>(fx), py = static_cast<int>(fy);
      if (px < 0 || px >= frame.width() || py < 0 || py >= frame.height()) continue;
      for (int c = 0; c < 3; c++) sums[((j / ky) * 16 + i / kx) * 3 + c] += frame.data()[(py * frame.width() + px) * 4 + c];
    }
  for (int i = 0; i < kArPatternBlockValues; i++) grid[i] = static_cast<uint8_t>(static_cast<unsigned>(sums[i]) / (kx * ky));
  return true;
}

TEST(SamplePattern, SameGridAsTheDirectLoop) {
  // Random quadrilaterals of every density, many partly outside the frame, and one far off it.
  useTestCamera(320, 240);
  std::mt19937 rng(4242);
  TestFrame frame(320, 240);
  for (int yy = 0; yy < 240; yy++)
    for (int xx = 0; xx < 320; xx++) frame.set(xx, yy, rng() & 255, rng() & 255, rng() & 255);
  const int32_t corner[5] = {0, 1, 2, 3, 4};
  for (int round = 0; round <= 300; round++) {
    SCOPED_TRACE(round);
    const double cx = round == 300 ? 5000 : 20 + rng() % 280, cy = 20 + rng() % 200, side = 10 + rng() % 150;
    int32_t x[5], y[5];
    for (int k = 0; k < 4; k++) {
      const double a = (rng() % 3600) / 10.0 * M_PI / 180 + k * M_PI / 2, r = side * (0.5 + (rng() % 100) / 200.0);
      x[k] = static_cast<int32_t>(cx + r * std::cos(a)), y[k] = static_cast<int32_t>(cy + r * std::sin(a));
    }
    x[4] = x[0], y[4] = y[0];
    uint8_t got[kArPatternBlockValues], want[kArPatternBlockValues];
    const bool ok = referenceSample(frame, x, y, want);
    ASSERT_EQ(arSamplePattern(frame.data(), x, y, corner, got) == 0, ok);
    for (int i = 0; ok && i < kArPatternBlockValues; i++) ASSERT_EQ(got[i], want[i]) << i;
  }
}

TEST(IdentifyPattern, FailedSamplingReportsTheCandidateUnidentified) {
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
