#include "camera/pose_solve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "camera/distortion.h"
#include "camera/pose_angles.h"
#include "tests/pose/pose_reference.h"
#include "tests/pose/pose_test_support.h"

namespace {

constexpr double kTenDegrees = 0.17453292519943295;
const double kNoDistortion[4] = {321.0, 237.5, 0.0, 1.0};

struct Uniform {
  uint64_t state;
  explicit Uniform(uint64_t seed) : state(seed) {}
  double operator()(double lo, double hi) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return lo + (hi - lo) * static_cast<double>(state >> 11) / 9007199254740992.0;
  }
};

bool sameBits(const void* a, const void* b, size_t size) { return std::memcmp(a, b, size) == 0; }

// Image of marker point m under the projection h = P * [R | t].
void projectWith(const double h[3][4], const double m[3], double image[2]) {
  const double hx = h[0][0] * m[0] + h[0][1] * m[1] + h[0][2] * m[2] + h[0][3];
  const double hy = h[1][0] * m[0] + h[1][1] * m[1] + h[1][2] * m[2] + h[1][3];
  const double hz = h[2][0] * m[0] + h[2][1] * m[1] + h[2][2] * m[2] + h[2][3];
  image[0] = hx / hz;
  image[1] = hy / hz;
}

class PoseSolveTest : public ::testing::Test {
 protected:
  CameraParam camera = shippedCamera(false);
  void SetUp() override { ASSERT_EQ(camera.xsize, 640); }
};

TEST_F(PoseSolveTest, EqualErrorsKeepTheFirstCandidateAndTheStepStays) {
  // All model points at the origin: every rotation projects them alike, so all 27 candidates
  // tie in every pass. The first one, (-1, -1, -1), must win each time, and since the centre
  // never wins the step never halves: each angle moves down by 10 degrees ten times.
  const double model[4][3] = {};
  const double observed[4][2] = {{300, 200}, {340, 200}, {340, 240}, {300, 240}};
  const double t[3] = {10, -5, 500};
  double rotation[3][3];
  arAnglesToRotation(0.3, 2.0, -0.7, rotation);
  double expected[3][3];
  std::memcpy(expected, rotation, sizeof expected);
  double a, b, c;
  arRotationToAngles(expected, &a, &b, &c);
  for (int pass = 0; pass < 10; pass++) {
    a = a + kTenDegrees * -1;
    b = b + kTenDegrees * -1;
    c = c + kTenDegrees * -1;
  }
  arAnglesToRotation(a, b, c, expected);
  const double err = arPoseRefineRotation(rotation, t, camera.projection, model, observed, 4);
  EXPECT_TRUE(sameBits(rotation, expected, sizeof expected));
  double h[3][4];
  arComposeProjection(a, b, c, t, camera.projection, h);
  double sum = 0;
  for (const auto& o : observed) {
    double image[2];
    projectWith(h, model[0], image);
    sum += (o[0] - image[0]) * (o[0] - image[0]) + (o[1] - image[1]) * (o[1] - image[1]);
  }
  EXPECT_DOUBLE_EQ(err, sum / 4);
}

TEST_F(PoseSolveTest, StepHalvesWhileTheCentreWinsDownToATenthPassOf10DegreesOver512) {
  // The true tilt lies 1.5 / 1024 of 10 degrees above the start: nearer the centre than to any
  // neighbour until the tenth pass, whose step is 10 degrees / 512 (after nine halvings).
  double start[3][3];
  arAnglesToRotation(0.7, 2.6, -0.4, start);
  double a0, b0, c0;
  double copy[3][3];
  std::memcpy(copy, start, sizeof copy);
  arRotationToAngles(copy, &a0, &b0, &c0);
  const double t[3] = {20, -10, 600};
  double truth[3][4];
  arComposeProjection(a0, b0 + kTenDegrees * 1.5 / 1024, c0, t, camera.projection, truth);
  const double model[4][3] = {{-40, 40, 0}, {40, 40, 0}, {40, -40, 0}, {-40, -40, 0}};
  double observed[4][2];
  for (int j = 0; j < 4; j++) projectWith(truth, model[j], observed[j]);

  double rotation[3][3];
  std::memcpy(rotation, start, sizeof rotation);
  arPoseRefineRotation(rotation, t, camera.projection, model, observed, 4);
  double expected[3][3];
  arAnglesToRotation(a0 + 0.0, b0 + kTenDegrees / 512 * 1, c0 + 0.0, expected);
  EXPECT_TRUE(sameBits(rotation, expected, sizeof expected));
}

// The library's search shares sines, cosines and products between candidates; it must give
// exactly what one arComposeProjection per candidate gives.
TEST_F(PoseSolveTest, FastSearchIsBitIdenticalToThePlainOne) {
  Uniform uniform(2024);
  for (int i = 0; i < 300; i++) {
    const int count = i % 3 == 0 ? 4 : (i % 3 == 1 ? 9 : 40);
    double rotation[3][3];
    arAnglesToRotation(uniform(-3.14, 3.14), uniform(1.5, 3.14), uniform(-3.14, 3.14), rotation);
    const double t[3] = {uniform(-200, 200), uniform(-150, 150), uniform(250, 1500)};
    std::vector<double> model(3 * count), observed(2 * count);
    for (int j = 0; j < count; j++) {
      model[3 * j] = uniform(-60, 60);
      model[3 * j + 1] = uniform(-60, 60);
      model[3 * j + 2] = i % 5 == 0 ? uniform(-5, 5) : 0.0;
      observed[2 * j] = uniform(0, 640);
      observed[2 * j + 1] = uniform(0, 480);
    }
    double fast[3][3], plain[3][3];
    std::memcpy(fast, rotation, sizeof fast);
    std::memcpy(plain, rotation, sizeof plain);
    const auto* m = reinterpret_cast<const double(*)[3]>(model.data());
    const auto* o = reinterpret_cast<const double(*)[2]>(observed.data());
    const double fastErr = arPoseRefineRotation(fast, t, camera.projection, m, o, count);
    const double plainErr = referencePoseRefineRotation(plain, t, camera.projection, m, o, count);
    ASSERT_TRUE(sameBits(&fastErr, &plainErr, sizeof fastErr)) << "case " << i;
    ASSERT_TRUE(sameBits(fast, plain, sizeof fast)) << "case " << i;
  }
}

// A rotation a few degrees off the truth's, as a starting guess.
void perturbedRotation(const double truth[3][4], double delta, double rotation[3][3]) {
  double r[3][3];
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) r[i][j] = truth[i][j];
  double a, b, c;
  arRotationToAngles(r, &a, &b, &c);
  arAnglesToRotation(a + delta, b - delta, c + delta, rotation);
}

// One attempt (two translation solves, each followed by a search with the translation held)
// from 3 degrees off lands within the coupling of rotation and translation that the
// alternation leaves: about half a degree for an 80 mm marker; later attempts narrow it.
TEST_F(PoseSolveTest, ExactPointsGiveBackThePose) {
  double truth[3][4];
  testPose(700, 35, 20, 110, 60, -40, truth);
  double model[4][3] = {{-40, 40, 0}, {40, 40, 0}, {40, -40, 0}, {-40, -40, 0}};
  double image[4][2];
  for (int j = 0; j < 4; j++) projectMarkerPoint(camera, truth, model[j][0], model[j][1], image[j]);
  double rotation[3][3];
  perturbedRotation(truth, 0.05, rotation);
  double out[3][4];
  const double err = arPoseSolve(rotation, image, model, 4, out, kNoDistortion, camera.projection);
  EXPECT_LT(err, 0.5);
  EXPECT_LT(rotationAngleDeg(out, truth), 1.0);
  EXPECT_LT(translationDistance(out, truth), 0.01 * 700);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) EXPECT_EQ(out[i][j], rotation[i][j]);
}

TEST_F(PoseSolveTest, PointCountsOutsideTheWorkArraysAreRefusedLeavingEverythingAlone) {
  double truth[3][4];
  testPose(800, 20, 0, 0, 0, 0, truth);
  // Points of a grid over the marker: 500 fit in the work arrays, 501 do not.
  std::vector<double> model2(2 * 501), image(2 * 501);
  for (int j = 0; j < 501; j++) {
    model2[2 * j] = -40 + 80.0 * (j % 23) / 22;
    model2[2 * j + 1] = -40 + 80.0 * (j / 23) / 22;
    projectMarkerPoint(camera, truth, model2[2 * j], model2[2 * j + 1], &image[2 * j]);
  }
  const auto* m = reinterpret_cast<const double(*)[2]>(model2.data());
  const auto* q = reinterpret_cast<const double(*)[2]>(image.data());
  double rotation[3][3];
  perturbedRotation(truth, 0.01, rotation);
  double start[3][3];
  std::memcpy(start, rotation, sizeof start);
  double out[3][4] = {{7, 7, 7, 7}, {7, 7, 7, 7}, {7, 7, 7, 7}};
  for (int count : {0, -3, 501}) {
    EXPECT_EQ(arPoseFromPoints(rotation, q, m, count, out, kNoDistortion, camera.projection), kArPoseFailure);
    EXPECT_EQ(arPoseSolve(rotation, q, nullptr, count, out, kNoDistortion, camera.projection), kArPoseFailure);
  }
  EXPECT_TRUE(sameBits(rotation, start, sizeof start));
  for (const auto& row : out)
    for (double v : row) EXPECT_EQ(v, 7.0);

  const double err = arPoseFromPoints(rotation, q, m, 500, out, kNoDistortion, camera.projection);
  EXPECT_GE(err, 0.0);
  EXPECT_LT(err, 0.1);
  EXPECT_LT(rotationAngleDeg(out, truth), 1.0);
  EXPECT_LT(translationDistance(out, truth), 0.01 * 800);
}

TEST_F(PoseSolveTest, SingularNormalEquationsFailLeavingRotationAndOutAlone) {
  // With P(0, 0) = 0 the first column of the linear system is all zeros.
  double projection[3][4];
  std::memcpy(projection, camera.projection, sizeof projection);
  projection[0][0] = 0.0;
  const double model[4][2] = {{-40, 40}, {40, 40}, {40, -40}, {-40, -40}};
  const double image[4][2] = {{280, 200}, {360, 200}, {360, 280}, {280, 280}};
  double rotation[3][3] = {{1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
  double out[3][4] = {{7, 7, 7, 7}, {7, 7, 7, 7}, {7, 7, 7, 7}};
  EXPECT_EQ(arPoseFromPoints(rotation, image, model, 4, out, kNoDistortion, projection), kArPoseFailure);
  const double unchanged[3][3] = {{1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
  EXPECT_TRUE(sameBits(rotation, unchanged, sizeof unchanged));
  for (const auto& row : out)
    for (double v : row) EXPECT_EQ(v, 7.0);
}

TEST_F(PoseSolveTest, FitComparesDistortedCornersWithThePlainProjection) {
  // Corners whose distorted positions are exactly the plain projection of the truth: the fit
  // with the lens matches them; the same corners without the lens do not fit as well.
  CameraParam lens = shippedCamera(true);
  double truth[3][4];
  testPose(500, 25, 60, 30, 200, 140, truth);
  const double model[4][2] = {{-40, 40}, {40, 40}, {40, -40}, {-40, -40}};
  double image[4][2];
  for (int j = 0; j < 4; j++) {
    double projected[2];
    projectMarkerPoint(lens, truth, model[j][0], model[j][1], projected);
    arObservedToIdeal(lens.distortion, projected[0], projected[1], &image[j][0], &image[j][1]);
  }
  double rotation[3][3];
  perturbedRotation(truth, 0.01, rotation);
  double plainRotation[3][3];
  std::memcpy(plainRotation, rotation, sizeof rotation);
  double out[3][4], plainOut[3][4];
  const double withLens = arPoseFromPoints(rotation, image, model, 4, out, lens.distortion, lens.projection);
  const double plain = arPoseFromPoints(plainRotation, image, model, 4, plainOut, kNoDistortion, lens.projection);
  EXPECT_LT(withLens, 0.1);
  EXPECT_LT(rotationAngleDeg(out, truth), 1.0);
  EXPECT_LT(translationDistance(out, truth), 0.01 * 500);
  EXPECT_GT(plain, 10 * withLens);
}

}  // namespace
