// The steps of the pose estimate: rotation angles, the two marker axes and the fit to points.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "pose/pose_angles.h"
#include "pose/pose_axes.h"
#include "pose/pose_solve.h"
#include "tests/pose/pose_reference.h"
#include "tests/pose/pose_test_support.h"

namespace {

// Distance between two angles on the circle (pi and -pi are the same turn).
double angleGap(double x, double y) { return std::fabs(std::remainder(x - y, 2 * kPi)); }

// Angles back from their rotation: to a nanoradian, but within a few degrees of 0 and pi, where
// acos is flat, a cosine rounded by 1e-16 moves a and c by up to sqrt(2e-16), and the rotation
// built from them must still be the same to 1e-5. (Markers seen square on, with the normal on
// the camera axis where the azimuth is undefined, are among the poses of the marker tests.)
TEST(PoseAngles, RoundTripThroughTheRotation) {
  std::vector<double> tilts = {0.001, 0.01, 0.2, 0.7, kPi / 2, 2.0, 3.0, kPi - 0.001}, turns;
  Uniform uniform(12345);
  for (int i = 0; i < 100; i++) tilts.push_back(uniform(0.001, kPi - 0.001));
  for (double end : {0.0, kPi, -kPi + 1e-12})
    for (double offset : {0.0, 1e-9, -1e-7, 1e-5, -1e-3, 0.04}) turns.push_back(end + offset);
  for (int i = 0; i < 30; i++) turns.push_back(uniform(-kPi, kPi));
  for (double b : tilts)
    for (size_t i = 0; i < turns.size(); i++) {
      const double a = turns[i], c = turns[(7 * i + 3) % turns.size()];
      const double tolerance = std::fabs(std::sin(a)) < 0.05 || std::fabs(std::sin(c)) < 0.05 ? 2e-6 : 1e-9;
      double r[3][3], back[3][3], ga, gb, gc;
      arAnglesToRotation(a, b, c, r);
      arRotationToAngles(r, &ga, &gb, &gc);
      ASSERT_TRUE(angleGap(ga, a) < tolerance && std::fabs(gb - b) < 1e-9 && angleGap(gc, c) < tolerance)
          << "a " << a << " b " << b << " c " << c << " gave " << ga << " " << gb << " " << gc;
      arAnglesToRotation(ga, gb, gc, back);
      for (int k = 0; k < 9; k++) ASSERT_NEAR(back[k / 3][k % 3], r[k / 3][k % 3], 1e-5);
    }
}

// Skewed axes turn equally about their bisector; no unit vector projects to 1 on an axis of
// length 0.5 (discriminant -3): refused, the input untouched. (Axes perpendicular only to within
// rounding, and axes along the camera axes, are among the poses of the marker tests.)
TEST(OrthogonalizeAxes, TurnSkewedAxesEquallyAndRefuseShortOnes) {
  const double s = std::sin(0.05), c = std::cos(0.05), wantU[3] = {c, -s, 0}, wantV[3] = {s, c, 0};
  double u[3] = {1, 0, 0}, v[3] = {std::sin(0.1), std::cos(0.1), 0}, shortU[3] = {0.5, 0, 0}, shortV[3] = {0, 0.5, 0};
  ASSERT_EQ(arOrthogonalizeAxes(u, v), 0);
  for (int k = 0; k < 3; k++) EXPECT_TRUE(std::fabs(u[k] - wantU[k]) < 1e-12 && std::fabs(v[k] - wantV[k]) < 1e-12) << k;
  EXPECT_EQ(arOrthogonalizeAxes(shortU, shortV), -1);
  EXPECT_TRUE(shortU[0] == 0.5 && shortU[1] == 0 && shortV[0] == 0 && shortV[1] == 0.5);
}

const double kNoDistortion[4] = {321.0, 237.5, 0.0, 1.0};

// The library's search shares sines, cosines and products between candidates; it must give
// exactly what one arComposeProjection per candidate gives: random points, and all points at
// the origin, where the 27 candidates tie in every pass (the first must win and the step stay).
TEST(PoseRefineRotation, IsBitIdenticalToThePlainSearch) {
  const CameraParam camera = shippedCamera(false);
  Uniform uniform(2024);
  for (int i = 0; i < 300; i++) {
    const int count = i % 3 == 0 ? 4 : (i % 3 == 1 ? 9 : 40);
    double fast[3][3], plain[3][3];
    arAnglesToRotation(uniform(-3.14, 3.14), uniform(1.5, 3.14), uniform(-3.14, 3.14), fast);
    std::memcpy(plain, fast, sizeof plain);
    const double t[3] = {uniform(-200, 200), uniform(-150, 150), uniform(250, 1500)};
    std::vector<double> model(3 * count), observed(2 * count);
    for (int j = 0; j < count && i % 10; j++)
      model[3 * j] = uniform(-60, 60), model[3 * j + 1] = uniform(-60, 60), model[3 * j + 2] = i % 5 == 1 ? uniform(-5, 5) : 0.0;
    for (double& o : observed) o = uniform(0, 480);
    const auto* m = reinterpret_cast<const double(*)[3]>(model.data());
    const auto* o = reinterpret_cast<const double(*)[2]>(observed.data());
    const double fastErr = arPoseRefineRotation(fast, t, camera.projection, m, o, count);
    const double plainErr = referencePoseRefineRotation(plain, t, camera.projection, m, o, count);
    ASSERT_TRUE(sameBits(&fastErr, &plainErr, sizeof fastErr) && sameBits(fast, plain, sizeof fast)) << "case " << i;
  }
}

TEST(PoseFromPoints, RefusedSolvesLeaveRotationAndOutAlone) {
  const CameraParam camera = shippedCamera(false);
  double truth[3][4], singular[3][4], rotation[3][3], start[3][3], out[3][4], untouched[3][4];
  testPose(800, 20, 0, 0, 0, 0, truth);
  // Points of a grid over the marker: 500 fit in the work arrays, 501 do not.
  std::vector<double> model(2 * 501), image(2 * 501);
  for (int j = 0; j < 501; j++) {
    model[2 * j] = -40 + 80.0 * (j % 23) / 22, model[2 * j + 1] = -40 + 80.0 * (j / 23) / 22;
    projectMarkerPoint(camera, truth, model[2 * j], model[2 * j + 1], &image[2 * j]);
  }
  const auto* m = reinterpret_cast<const double(*)[2]>(model.data());
  const auto* q = reinterpret_cast<const double(*)[2]>(image.data());
  std::memcpy(singular, camera.projection, sizeof singular);
  singular[0][0] = 0.0;  // the first column of the linear system is all zeros
  arAnglesToRotation(0.3, 2.8, -1.0, rotation);
  std::memcpy(start, rotation, sizeof start);
  std::fill(&out[0][0], &out[0][0] + 12, 7.0);
  std::memcpy(untouched, out, sizeof out);
  for (const auto& [count, projection] : {std::pair{0, camera.projection}, {-3, camera.projection}, {501, camera.projection}, {20, singular}}) {
    EXPECT_EQ(arPoseFromPoints(rotation, q, m, count, out, kNoDistortion, projection), kArPoseFailure) << count;
    EXPECT_TRUE(sameBits(rotation, start, sizeof start) && sameBits(out, untouched, sizeof out)) << count;
  }
  for (int i = 0; i < 9; i++) rotation[i / 3][i % 3] = truth[i / 3][i % 3];
  const double err = arPoseFromPoints(rotation, q, m, 500, out, kNoDistortion, camera.projection);
  EXPECT_TRUE(err >= 0.0 && err < 0.1 && rotationAngleDeg(out, truth) < 1.0 && translationDistance(out, truth) < 8) << err;
}

}  // namespace
