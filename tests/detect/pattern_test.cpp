// Pattern files, the pattern store, matching and the sampling of a candidate's interior.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "detect/pattern.h"
#include "detect/pattern_file.h"
#include "detect/pattern_internal.h"
#include "detect/pattern_sampling.h"
#include "detect/pattern_sampling_internal.h"
#include "detect_test_support.h"
#include "tests/test_files.h"

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

// Each bad file: the reader names the file and the cause, the store prints its message.
TEST_F(PatternStoreTest, BadFilesSayWhyAndTakeNoSlotAndTheFiftyFirstIsRefusedSilently) {
  TempDir dir;
  using S = ArPatternFileStatus;
  const struct {
    std::string name, text;
    S status;
    std::string cause;
  } cases[] = {
      {"short.patt", numbers(3071, 1), S::TooFewValues, "only 3071 of 3072 pattern values"},
      {"empty.patt", "", S::TooFewValues, "only 0 of 3072"},
      {"word.patt", "1 2 x3 4", S::NotAnInteger, "value 3 is not an integer"},
      {"glued.patt", "12abc", S::NotAnInteger, "value 2 is not an integer"},
      {"sign.patt", "1 - 2", S::NotAnInteger, "value 2 is not an integer"},
      {"large.patt", "1 65537", S::OutOfRange, "value 2 is beyond +-65536"},
      {"huge.patt", "-99999999999999999999999", S::OutOfRange, "value 1 is beyond"},
      {"missing.patt", "", S::CannotOpen, "cannot open: No such file"},
      {"", "", S::NotAFile, "is a folder"},
  };
  for (const auto& c : cases) {
    const std::string path = dir.file(c.name);
    if (c.status != S::CannotOpen && !c.name.empty()) writeText(path, c.text);
    std::vector<int> v = {1};
    std::string error;
    EXPECT_EQ(arReadPatternValues(path, &v, &error), c.status) << c.name;
    EXPECT_EQ(error.rfind("\"" + path + "\": ", 0), 0u) << error;
    EXPECT_NE(error.find(c.cause), std::string::npos) << error;
    EXPECT_TRUE(v.empty()) << c.name;
    testing::internal::CaptureStdout();
    EXPECT_EQ(arReadPatternFile(path.c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              c.status == S::CannotOpen ? "\"" + path + "\" not found!!\n" : "Pattern Data read error!!\n");
  }
  std::string printed;
  EXPECT_EQ(loadPatternText("-65536 65536 " + numbers(3070, 1)), 0);  // the extremes load, in slot 0
  for (int i = 1; i < kArMaxPatterns; i++) ASSERT_EQ(loadPatternText(numbers(3072, i)), i);
  EXPECT_EQ(loadPatternText(numbers(3072, 7), &printed), -1);
  EXPECT_EQ(printed, "");
  EXPECT_EQ(arPatternStoreView()->patternCount, kArMaxPatterns);
}

TEST_F(PatternStoreTest, TemplatesAreInvertedAndMeanFreeAndNumbersAfterTheLastIgnored) {
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

TEST_F(PatternStoreTest, MatchesEveryOrientationAndGivesTiesToTheFirst) {
  std::vector<uint8_t> square(256, 220), negative(256), turned = asymmetricPicture();
  for (int i = 0; i < 256; i++) square[i] = (i / 16) / 4 % 3 && (i % 16) / 4 % 3 ? 10 : 220;  // alike in every turn
  for (int i = 0; i < 256; i++) negative[i] = static_cast<uint8_t>(255 - square[i]);
  auto match = [](const std::vector<uint8_t>& picture, int32_t wantId, int32_t wantDir, double wantCf) {
    std::vector<uint8_t> grid(kArPatternBlockValues);
    for (int i = 0; i < kArPatternBlockValues; i++) grid[i] = picture[i / 3];
    int32_t id = -5, dir = -5;
    double cf = -5;
    ASSERT_EQ(arMatchPattern(grid.data(), &id, &dir, &cf), 0);
    EXPECT_EQ(id * 10 + dir, wantId * 10 + wantDir);
    EXPECT_NEAR(cf, wantCf, 1e-12);
  };
  match(square, -1, -1, 0.0);  // an empty store
  ASSERT_EQ(loadPatternText(patternFileText(square)), 0);
  match(negative, -1, -1, 0.0);  // correlates negatively with every template
  match(std::vector<uint8_t>(256, 90), 0, 0, -1.0);  // a uniform interior
  ASSERT_EQ(loadPatternText(patternFileText(turned)), 1);
  ASSERT_EQ(loadPatternText(patternFileText(square)), 2);
  for (int o = 0; o < 4; o++, turned = rotateCounterClockwise(turned)) match(turned, 1, o, 1.0);
  match(square, 0, 0, 1.0);
}

TEST(SamplesPerAxis, DoublesAtTheEdgeLengthSteps) {
  const int64_t squared[] = {0, 1027, 1028, 4099, 4100, int64_t{1} << 40};
  const int want[] = {16, 16, 32, 32, 64, 64};
  for (int i = 0; i < 6; i++) EXPECT_EQ(arSamplesPerAxis(squared[i]), want[i]) << squared[i];
}

// The sampling loop written out directly, one sample at a time, each truncated to its pixel.
bool referenceSample(const TestFrame& frame, const int32_t* x, const int32_t* y, uint8_t grid[kArPatternBlockValues]) {
  const double plane[4][2] = {{100, 100}, {110, 100}, {110, 110}, {100, 110}};
  double image[4][2], h[9];
  for (int k = 0; k < 4; k++) image[k][0] = x[k], image[k][1] = y[k];
  if (arSolveHomography(plane, image, h) < 0) return false;
  auto edge = [&](int a, int b) { return static_cast<int64_t>(std::pow(x[a] - x[b], 2) + std::pow(y[a] - y[b], 2)); };
  const int nx = arSamplesPerAxis(std::max(edge(0, 1), edge(2, 3))), ny = arSamplesPerAxis(std::max(edge(1, 2), edge(3, 0)));
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
      for (int c = 0; c < 3; c++) sums[((j * 16 / ny) * 16 + i * 16 / nx) * 3 + c] += frame.data()[(py * frame.width() + px) * 4 + c];
    }
  for (int i = 0; i < kArPatternBlockValues; i++) grid[i] = static_cast<uint8_t>(sums[i] / (nx * ny / 256));
  return true;
}

TEST(SamplePattern, SameGridAsTheDirectLoop) {
  // Random quadrilaterals of every density, many partly outside the frame, one far off it and
  // one collapsed to a point, which is reported unidentified.
  useTestCamera(320, 240);
  std::mt19937 rng(4242);
  TestFrame frame(320, 240);
  for (int i = 0; i < 320 * 240; i++) frame.set(i % 320, i / 320, rng() & 255, rng() & 255, rng() & 255);
  const int32_t corner[5] = {0, 1, 2, 3, 4};
  for (int round = 0; round <= 301; round++) {
    SCOPED_TRACE(round);
    const double cx = round == 300 ? 5000 : 20 + rng() % 280, cy = 20 + rng() % 200, side = round == 301 ? 0 : 10 + rng() % 150;
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
    int32_t id = 7, dir = 7;
    double cf = 7;
    EXPECT_EQ(arIdentifyPattern(frame.data(), x, y, corner, &id, &dir, &cf), ok ? 0 : -1);
    EXPECT_TRUE(ok || (id == -1 && dir == -1 && cf == -1.0));
  }
}

TEST(PatternFile, WrittenValuesReadBackAndFailedWritesLeaveNothing) {
  TempDir dir;
  std::vector<int> values(kArPatternFileValues), read;
  for (int i = 0; i < kArPatternFileValues; i++) values[i] = (i * 7) % 256;
  std::string error;
  ASSERT_TRUE(arWritePatternValues(dir.file("p.patt"), values, &error)) << error;
  EXPECT_FALSE(std::ifstream(dir.file("p.patt.part")).good());
  const std::vector<unsigned char> bytes = readBytes(dir.file("p.patt"));
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(text.substr(0, 16), "  0   7  14  21 ");
  ASSERT_EQ(arReadPatternValues(dir.file("p.patt"), &read, &error), ArPatternFileStatus::Ok) << error;
  EXPECT_EQ(read, values);
  // Signs, tabs and the extremes are read; what follows the last value is ignored.
  ASSERT_EQ(arParsePatternValues("-65536 +65536\t" + text + " 12abc words", "t", &read, &error), ArPatternFileStatus::Ok);
  EXPECT_EQ(std::vector<int>(read.begin(), read.begin() + 4), (std::vector<int>{-65536, 65536, 0, 7}));

  EXPECT_FALSE(arWritePatternValues(dir.file("no/such/p.patt"), values, &error));
  EXPECT_NE(error.find("no/such/p.patt\": cannot create"), std::string::npos) << error;
  EXPECT_FALSE(arWritePatternValues(dir.file("q.patt"), std::vector<int>(5), &error));
  EXPECT_FALSE(std::ifstream(dir.file("q.patt")).good());
}

TEST(PatternCorrelation, InvertsRemovesTheTruncatedMeanAndNormalises) {
  // Block 0 of x: one cell darker; block 1 of y the same picture, block 0 its negative.
  std::vector<int> x(kArPatternFileValues, 200), y(kArPatternFileValues, 200);
  x[0] = 0;
  y[kArPatternBlockValues] = 0;
  y[0] = 255;
  for (int i = 1; i < kArPatternBlockValues; i++) y[i] = 0;
  EXPECT_DOUBLE_EQ(arPatternCorrelation(x, 0, y, 1), 1.0);
  // y's block 0 inverted is 0, 255 ... 255: mean 254.66 truncates to 254, centred -254, 1 ... 1.
  EXPECT_DOUBLE_EQ(arPatternCorrelation(x, 0, y, 0), -254.0 / std::sqrt(254.0 * 254.0 + 767.0));
  EXPECT_EQ(arPatternCorrelation(x, 1, y, 1), 0.0);  // block 1 of x is flat
  int block = -1;
  EXPECT_DOUBLE_EQ(arPatternSimilarity(x, y, &block), 1.0);
  EXPECT_EQ(block, 1);
}

}  // namespace
