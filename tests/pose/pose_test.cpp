#include "pose/pose.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "pose/pose_solve.h"
#include "tests/pose/pose_test_support.h"

namespace {

const double kOrigin[2] = {0, 0};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class MarkerPoseTest : public ::testing::Test {
 protected:
  CameraParam camera = shippedCamera(false);
  void SetUp() override {
    ASSERT_EQ(camera.xsize, 640);
    arCameraParamSetCurrent(&camera);
  }
};

// Exact corners put the two estimated axes perpendicular to within rounding, and square-on
// markers give a rotation with its normal exactly on the camera axis: both must still get a pose.
TEST_F(MarkerPoseTest, EveryExactlySeenMarkerGetsAPose) {
  int count = 0;
  for (double distance : {300.0, 650.0, 1200.0})
    for (double tilt : {0.0, 5.0, 25.0, 50.0, 60.0})
      for (double tiltAxis : {0.0, 45.0, 130.0})
        for (double spin : {0.0, 17.0, 90.0, 200.0, 315.0}) {
          double truth[3][4], out[3][4];
          testPose(distance, tilt, tiltAxis, spin, 0.1 * distance, -0.05 * distance, truth);
          const DetectedMarker marker = markerSeenAt(camera, truth, 80, kOrigin, count++ % 4);
          const double err = arMarkerPose(&marker, kOrigin, 80, out);
          const double rot = rotationAngleDeg(out, truth), tr = translationDistance(out, truth) / distance;
          EXPECT_TRUE(err >= 0 && err < 1.0 && rot < 2.0 && tr < 0.02)
              << "distance " << distance << " tilt " << tilt << " axis " << tiltAxis << " spin " << spin
              << " err " << err << " rot " << rot << " tr " << tr;
        }
}

TEST_F(MarkerPoseTest, CornersOffByTenthsOfAPixelStillFit) {
  Uniform noise(99);
  for (double distance : {350.0, 700.0, 1000.0})
    for (double tilt : {10.0, 35.0, 50.0})
      for (int dir = 0; dir < 4; dir++) {
        double truth[3][4], out[3][4];
        testPose(distance, tilt, 30.0 * dir + 10, 77.0 * dir, 40, -30, truth);
        DetectedMarker marker = markerSeenAt(camera, truth, 80, kOrigin, dir);
        for (auto& v : marker.vertex) {
          v[0] += noise(-0.3, 0.3);
          v[1] += noise(-0.3, 0.3);
        }
        drawEdgeLines(&marker);
        const double err = arMarkerPose(&marker, kOrigin, 80, out);
        // Four corners of a small, nearly frontal marker pin its tilt down loosely.
        EXPECT_TRUE(err >= 0 && err < 1.0 && rotationAngleDeg(out, truth) < 5.0 &&
                    translationDistance(out, truth) < 0.02 * distance)
            << "distance " << distance << " tilt " << tilt << " dir " << dir << " err " << err;
      }
}

TEST_F(MarkerPoseTest, DirPicksTheVertexOfTheTopLeftCorner) {
  // The same image read with each dir: model corner 0 lands on a different vertex, and the
  // pose turns by quarter turns about the marker normal.
  double truth[3][4];
  testPose(600, 30, 40, 20, 30, -20, truth);
  DetectedMarker marker = markerSeenAt(camera, truth, 80, kOrigin, 0);
  const struct { int dir, vertex; double turnDeg; } cases[] = {{0, 0, 0}, {1, 3, 90}, {2, 2, 180}, {3, 1, 90}};
  double three[3][4], errThree = 0;
  for (const auto& c : cases) {
    marker.dir = c.dir;
    double out[3][4], corner[2];
    const double err = arMarkerPose(&marker, kOrigin, 80, out);
    ASSERT_GE(err, 0.0) << "dir " << c.dir;
    projectMarkerPoint(camera, out, -40, 40, corner);
    EXPECT_NEAR(corner[0], marker.vertex[c.vertex][0], 1.0) << "dir " << c.dir;
    EXPECT_NEAR(corner[1], marker.vertex[c.vertex][1], 1.0) << "dir " << c.dir;
    EXPECT_NEAR(rotationAngleDeg(out, truth), c.turnDeg, 1.5) << "dir " << c.dir;
    if (c.dir != 3) continue;
    std::memcpy(three, out, sizeof out);
    errThree = err;
  }
  // -1 (orientation not settled) reads the corners as 3; values no detector reports still pick
  // one of the four readings instead of reading outside the record.
  marker.dir = -1;
  double out[3][4];
  EXPECT_EQ(arMarkerPose(&marker, kOrigin, 80, out), errThree);
  EXPECT_TRUE(sameBits(out, three, sizeof out));
  for (int32_t dir : {7, -6, std::numeric_limits<int32_t>::min()}) {
    marker.dir = dir;
    EXPECT_GE(arMarkerPose(&marker, kOrigin, 80, out), 0.0) << "dir " << dir;
  }
}

TEST_F(MarkerPoseTest, MovingTheCentreShiftsOnlyTheTranslation) {
  double truth[3][4], base[3][4];
  testPose(700, 40, 75, 130, -50, 60, truth);
  const DetectedMarker marker = markerSeenAt(camera, truth, 80, kOrigin, 2);
  ASSERT_GE(arMarkerPose(&marker, kOrigin, 80, base), 0.0);
  for (const auto& d : {std::array<double, 2>{10, -5}, {-120, 35.5}, {0.25, 400}}) {
    double moved[3][4];
    ASSERT_GE(arMarkerPose(&marker, d.data(), 80, moved), 0.0);
    for (int r = 0; r < 3; r++) {
      for (int c = 0; c < 3; c++) EXPECT_EQ(moved[r][c], base[r][c]);
      EXPECT_NEAR(moved[r][3], base[r][3] - (d[0] * base[r][0] + d[1] * base[r][1]), 1e-9);
    }
  }
}

TEST_F(MarkerPoseTest, AttemptsStopAtTheFirstGoodFitAndTheLastOneCounts) {
  // At most 5 attempts, each continuing from the rotation the previous one left, stopping below
  // 1.0. With one corner 6 pixels off, the quadrilateral is no square in any pose.
  const struct { double pose[6], cornerShift; int attempts; } cases[] = {{{600, 30, 40, 20, 30, -20}, 0, 1},
                                                                          {{450, 20, 0, 10, 50, 30}, 6, 5}};
  for (const auto& c : cases) {
    double truth[3][4], out[3][4], replay[3][4], rotation[3][3], image[4][2], replayErr = -1;
    testPose(c.pose[0], c.pose[1], c.pose[2], c.pose[3], c.pose[4], c.pose[5], truth);
    DetectedMarker marker = markerSeenAt(camera, truth, 80, kOrigin, 1);
    marker.vertex[2][0] += c.cornerShift;
    marker.vertex[2][1] -= c.cornerShift;
    drawEdgeLines(&marker);
    const double err = arMarkerPose(&marker, kOrigin, 80, out);
    ASSERT_EQ(arInitialRotation(&marker, camera.projection, rotation), 0);
    for (int k = 0; k < 4; k++) std::memcpy(image[k], marker.vertex[(k + 3) % 4], sizeof image[k]);
    const double model[4][2] = {{-40, 40}, {40, 40}, {40, -40}, {-40, -40}};
    int attempts = 0;
    do {
      attempts++;
      replayErr = arPoseFromPoints(rotation, image, model, 4, replay, camera.distortion, camera.projection);
    } while (replayErr >= 1.0 && attempts < 5);
    EXPECT_EQ(attempts, c.attempts);
    EXPECT_EQ(err, replayErr);
    EXPECT_TRUE(sameBits(out, replay, sizeof out));
  }
}

TEST_F(MarkerPoseTest, UnusableMarkersFailAndLeaveOutUntouched) {
  double truth[3][4];
  testPose(600, 30, 40, 20, 30, -20, truth);
  const DetectedMarker good = markerSeenAt(camera, truth, 80, kOrigin, 0);
  DetectedMarker collapsed = good, parallel = good, notANumber = good, zeroLines = good;
  for (auto& v : collapsed.vertex) std::memcpy(v, good.vertex[0], sizeof v);  // no edge lines
  drawEdgeLines(&collapsed);
  std::memcpy(parallel.line[2], parallel.line[0], sizeof parallel.line[0]);  // opposite edges on one line
  std::memcpy(parallel.line[3], parallel.line[1], sizeof parallel.line[1]);
  notANumber.vertex[2][0] = kNaN;
  drawEdgeLines(&notANumber);
  std::memset(zeroLines.line, 0, sizeof zeroLines.line);
  CameraParam broken = camera;  // a camera matrix that cannot be inverted
  std::memset(broken.projection, 0, sizeof broken.projection);
  const double nowhere[2] = {std::numeric_limits<double>::infinity(), 0};

  const struct {
    const char* name;
    const DetectedMarker* marker;
    const double* centre;
    double width;
    const CameraParam* camera;
  } cases[] = {
      {"collapsed", &collapsed, kOrigin, 80, &camera},   {"parallel edges", &parallel, kOrigin, 80, &camera},
      {"NaN corner", &notANumber, kOrigin, 80, &camera}, {"zero lines", &zeroLines, kOrigin, 80, &camera},
      {"width 0", &good, kOrigin, 0, &camera},           {"width -80", &good, kOrigin, -80, &camera},
      {"width NaN", &good, kOrigin, kNaN, &camera},      {"infinite centre", &good, nowhere, 80, &camera},
      {"singular camera", &good, kOrigin, 80, &broken},
  };
  for (const auto& c : cases) {
    arCameraParamSetCurrent(c.camera);
    double out[3][4], untouched[3][4];
    std::fill(&out[0][0], &out[0][0] + 12, 7.0);
    std::memcpy(untouched, out, sizeof out);
    EXPECT_EQ(arMarkerPose(c.marker, c.centre, c.width, out), -1.0) << c.name;
    EXPECT_TRUE(sameBits(out, untouched, sizeof out)) << c.name;
  }
}

}  // namespace
