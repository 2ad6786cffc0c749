#include "pose/pose_solve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "camera/distortion.h"
#include "pose/pose_angles.h"
#include "tests/pose/pose_reference.h"
#include "tests/pose/pose_test_support.h"

namespace {

constexpr double kTenDegrees = 0.17453292519943295;
const double kNoDistortion[4] = {321.0, 237.5, 0.0, 1.0};
const double kSquare[4][2] = {{-40, 40}, {40, 40}, {40, -40}, {-40, -40}};

class PoseSolveTest : public ::testing::Test {
 protected:
  CameraParam camera = shippedCamera(false);
  void SetUp() override { ASSERT_EQ(camera.xsize, 640); }

  // Angles of rotation (which arRotationToAngles may clamp: work on a copy).
  static void anglesOf(const double rotation[3][3], double angles[3]) {
    double copy[3][3];
    std::memcpy(copy, rotation, sizeof copy);
    arRotationToAngles(copy, &angles[0], &angles[1], &angles[2]);
  }
  // A rotation a few degrees off the truth's, as a starting guess.
  static void perturbedRotation(const double truth[3][4], double delta, double rotation[3][3]) {
    double r[3][3], g[3];
    for (int i = 0; i < 9; i++) r[i / 3][i % 3] = truth[i / 3][i % 3];
    anglesOf(r, g);
    arAnglesToRotation(g[0] + delta, g[1] - delta, g[2] + delta, rotation);
  }
};

TEST_F(PoseSolveTest, EqualErrorsKeepTheFirstCandidateAndTheStepStays) {
  // All model points at the origin: all 27 candidates tie in every pass, the first one,
  // (-1, -1, -1), must win each time, and as the centre never wins the step never halves.
  const double model[4][3] = {};
  const double observed[4][2] = {{300, 200}, {340, 200}, {340, 240}, {300, 240}};
  const double t[3] = {10, -5, 500};
  double rotation[3][3], expected[3][3], g[3];
  arAnglesToRotation(0.3, 2.0, -0.7, rotation);
  anglesOf(rotation, g);
  for (int pass = 0; pass < 10; pass++)
    for (double& angle : g) angle = angle + kTenDegrees * -1;
  arAnglesToRotation(g[0], g[1], g[2], expected);
  arPoseRefineRotation(rotation, t, camera.projection, model, observed, 4);
  EXPECT_TRUE(sameBits(rotation, expected, sizeof expected));
}

TEST_F(PoseSolveTest, StepHalvesWhileTheCentreWinsDownToATenthPassOf10DegreesOver512) {
  // The true tilt lies 1.5 / 1024 of 10 degrees above the start: nearer the centre than to any
  // neighbour until the tenth pass, whose step is 10 degrees / 512.
  double rotation[3][3], expected[3][3], truth[3][4], g[3], observed[4][2];
  arAnglesToRotation(0.7, 2.6, -0.4, rotation);
  anglesOf(rotation, g);
  const double t[3] = {20, -10, 600};
  arComposeProjection(g[0], g[1] + kTenDegrees * 1.5 / 1024, g[2], t, camera.projection, truth);
  double model[4][3] = {}, p[3];
  for (int j = 0; j < 4; j++) {
    model[j][0] = kSquare[j][0], model[j][1] = kSquare[j][1];
    for (int i = 0; i < 3; i++) p[i] = truth[i][0] * model[j][0] + truth[i][1] * model[j][1] + truth[i][3];
    observed[j][0] = p[0] / p[2], observed[j][1] = p[1] / p[2];
  }
  arPoseRefineRotation(rotation, t, camera.projection, model, observed, 4);
  arAnglesToRotation(g[0] + 0.0, g[1] + kTenDegrees / 512 * 1, g[2] + 0.0, expected);
  EXPECT_TRUE(sameBits(rotation, expected, sizeof expected));
}

// The library's search shares sines, cosines and products between candidates; it must give
// exactly what one arComposeProjection per candidate gives.
TEST_F(PoseSolveTest, FastSearchIsBitIdenticalToThePlainOne) {
  Uniform uniform(2024);
  for (int i = 0; i < 300; i++) {
    const int count = i % 3 == 0 ? 4 : (i % 3 == 1 ? 9 : 40);
    double fast[3][3], plain[3][3];
    arAnglesToRotation(uniform(-3.14, 3.14), uniform(1.5, 3.14), uniform(-3.14, 3.14), fast);
    std::memcpy(plain, fast, sizeof plain);
    const double t[3] = {uniform(-200, 200), uniform(-150, 150), uniform(250, 1500)};
    std::vector<double> model(3 * count), observed(2 * count);
    for (int j = 0; j < count; j++) {
      model[3 * j] = uniform(-60, 60);
      model[3 * j + 1] = uniform(-60, 60);
      model[3 * j + 2] = i % 5 == 0 ? uniform(-5, 5) : 0.0;
      observed[2 * j] = uniform(0, 640);
      observed[2 * j + 1] = uniform(0, 480);
    }
    const auto* m = reinterpret_cast<const double(*)[3]>(model.data());
    const auto* o = reinterpret_cast<const double(*)[2]>(observed.data());
    const double fastErr = arPoseRefineRotation(fast, t, camera.projection, m, o, count);
    const double plainErr = referencePoseRefineRotation(plain, t, camera.projection, m, o, count);
    ASSERT_TRUE(sameBits(&fastErr, &plainErr, sizeof fastErr)) << "case " << i;
    ASSERT_TRUE(sameBits(fast, plain, sizeof fast)) << "case " << i;
  }
}

TEST_F(PoseSolveTest, RefusedSolvesLeaveRotationAndOutAlone) {
  double truth[3][4];
  testPose(800, 20, 0, 0, 0, 0, truth);
  // Points of a grid over the marker: 500 fit in the work arrays, 501 do not.
  std::vector<double> model(2 * 501), image(2 * 501);
  for (int j = 0; j < 501; j++) {
    model[2 * j] = -40 + 80.0 * (j % 23) / 22;
    model[2 * j + 1] = -40 + 80.0 * (j / 23) / 22;
    projectMarkerPoint(camera, truth, model[2 * j], model[2 * j + 1], &image[2 * j]);
  }
  const auto* m = reinterpret_cast<const double(*)[2]>(model.data());
  const auto* q = reinterpret_cast<const double(*)[2]>(image.data());
  double singular[3][4], rotation[3][3], start[3][3], out[3][4], untouched[3][4];
  std::memcpy(singular, camera.projection, sizeof singular);
  singular[0][0] = 0.0;  // the first column of the linear system is all zeros
  perturbedRotation(truth, 0.01, rotation);
  std::memcpy(start, rotation, sizeof start);
  std::fill(&out[0][0], &out[0][0] + 12, 7.0);
  std::memcpy(untouched, out, sizeof out);
  const struct { const char* name; int count; const double (*projection)[4]; } cases[] = {
      {"no points", 0, camera.projection}, {"-3 points", -3, camera.projection},
      {"501 points", 501, camera.projection}, {"singular normal equations", 20, singular}};
  for (const auto& c : cases) {
    EXPECT_EQ(arPoseFromPoints(rotation, q, m, c.count, out, kNoDistortion, c.projection), kArPoseFailure) << c.name;
    if (c.count <= 0 || c.count > 500) {
      EXPECT_EQ(arPoseSolve(rotation, q, nullptr, c.count, out, kNoDistortion, c.projection), kArPoseFailure) << c.name;
    }
    EXPECT_TRUE(sameBits(rotation, start, sizeof start) && sameBits(out, untouched, sizeof out)) << c.name;
  }
  const double err = arPoseFromPoints(rotation, q, m, 500, out, kNoDistortion, camera.projection);
  EXPECT_TRUE(err >= 0.0 && err < 0.1) << err;
  EXPECT_LT(rotationAngleDeg(out, truth), 1.0);
  EXPECT_LT(translationDistance(out, truth), 0.01 * 800);
  for (int i = 0; i < 9; i++) EXPECT_EQ(out[i / 3][i % 3], rotation[i / 3][i % 3]);  // the refined rotation
}

TEST_F(PoseSolveTest, FitComparesDistortedCornersWithThePlainProjection) {
  // Corners whose distorted positions are exactly the plain projection of the truth: the fit with
  // the lens matches them; without the lens they do not fit as well.
  CameraParam lens = shippedCamera(true);
  double truth[3][4], image[4][2], rotation[3][3], plainRotation[3][3], out[3][4], plainOut[3][4];
  testPose(500, 25, 60, 30, 200, 140, truth);
  for (int j = 0; j < 4; j++) {
    double projected[2];
    projectMarkerPoint(lens, truth, kSquare[j][0], kSquare[j][1], projected);
    arObservedToIdeal(lens.distortion, projected[0], projected[1], &image[j][0], &image[j][1]);
  }
  perturbedRotation(truth, 0.01, rotation);
  std::memcpy(plainRotation, rotation, sizeof rotation);
  const double withLens = arPoseFromPoints(rotation, image, kSquare, 4, out, lens.distortion, lens.projection);
  const double plain = arPoseFromPoints(plainRotation, image, kSquare, 4, plainOut, kNoDistortion, lens.projection);
  EXPECT_LT(withLens, 0.1);
  EXPECT_LT(rotationAngleDeg(out, truth), 1.0);
  EXPECT_LT(translationDistance(out, truth), 0.01 * 500);
  EXPECT_GT(plain, 10 * withLens);
}

}  // namespace
