#include "camera/pose.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "camera/pose_solve.h"
#include "tests/pose/pose_test_support.h"

namespace {

const double kOrigin[2] = {0, 0};

bool sameBits(const void* a, const void* b, size_t size) { return std::memcmp(a, b, size) == 0; }

// Seeded corner noise, uniform in [-amplitude, amplitude] pixels.
struct Noise {
  uint64_t state;
  explicit Noise(uint64_t seed) : state(seed) {}
  double operator()(double amplitude) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return amplitude * (2.0 * static_cast<double>(state >> 11) / 9007199254740992.0 - 1.0);
  }
};

class MarkerPoseTest : public ::testing::Test {
 protected:
  CameraParam camera = shippedCamera(false);
  void SetUp() override {
    ASSERT_EQ(camera.xsize, 640);
    arCameraParamSetCurrent(&camera);
  }
};

TEST_F(MarkerPoseTest, ExactCornersGiveThePoseForEveryTurn) {
  const double poses[][6] = {{600, 0, 0, 0, 0, 0},     {450, 30, 0, 10, -60, 40},
                             {900, 45, 120, 75, 150, -90}, {1200, 55, 250, 200, -200, 100},
                             {300, 20, 300, 300, 30, 20}};
  for (const auto& p : poses) {
    double truth[3][4];
    testPose(p[0], p[1], p[2], p[3], p[4], p[5], truth);
    for (int dir = 0; dir < 4; dir++) {
      const DetectedMarker marker = markerSeenAt(camera, truth, 80, kOrigin, dir);
      double out[3][4];
      const double err = arMarkerPose(&marker, kOrigin, 80, out);
      ASSERT_GE(err, 0.0) << "distance " << p[0] << " tilt " << p[1] << " dir " << dir;
      EXPECT_LT(err, 1.0);
      EXPECT_LT(rotationAngleDeg(out, truth), 1.0) << "distance " << p[0] << " tilt " << p[1] << " dir " << dir;
      EXPECT_LT(translationDistance(out, truth), 0.01 * p[0]) << "distance " << p[0] << " dir " << dir;
      // Model corner 0, the top-left one, lands on vertex[(4 - dir) % 4].
      double corner[2];
      projectMarkerPoint(camera, out, -40, 40, corner);
      EXPECT_NEAR(corner[0], marker.vertex[(4 - dir) % 4][0], 1.0);
      EXPECT_NEAR(corner[1], marker.vertex[(4 - dir) % 4][1], 1.0);
    }
  }
}

// Exact corners put the two estimated axes perpendicular to within rounding, and square-on
// markers give a rotation with its normal exactly on the camera axis: both must still get a pose.
TEST_F(MarkerPoseTest, EveryExactlySeenMarkerGetsAPose) {
  int count = 0;
  for (double distance : {300.0, 650.0, 1200.0})
    for (double tilt : {0.0, 5.0, 25.0, 50.0, 60.0})
      for (double tiltAxis : {0.0, 45.0, 130.0})
        for (double spin : {0.0, 17.0, 90.0, 200.0, 315.0}) {
          double truth[3][4];
          testPose(distance, tilt, tiltAxis, spin, 0.1 * distance, -0.05 * distance, truth);
          const DetectedMarker marker = markerSeenAt(camera, truth, 80, kOrigin, count % 4);
          double out[3][4];
          const double err = arMarkerPose(&marker, kOrigin, 80, out);
          ASSERT_GE(err, 0.0) << "distance " << distance << " tilt " << tilt << " axis " << tiltAxis
                              << " spin " << spin;
          const double rot = rotationAngleDeg(out, truth), tr = translationDistance(out, truth) / distance;
          EXPECT_TRUE(err < 1.0 && rot < 2.0 && tr < 0.02) << "distance " << distance << " tilt " << tilt << " axis " << tiltAxis
                              << " spin " << spin << " err " << err << " rot " << rot << " tr " << tr;
          count++;
        }
  EXPECT_EQ(count, 225);
}

TEST_F(MarkerPoseTest, CornersOffByTenthsOfAPixelStillFit) {
  Noise noise(99);
  int count = 0;
  for (double distance : {350.0, 700.0, 1000.0})
    for (double tilt : {10.0, 35.0, 50.0})
      for (int dir = 0; dir < 4; dir++) {
        double truth[3][4];
        testPose(distance, tilt, 30.0 * dir + 10, 77.0 * dir, 40, -30, truth);
        DetectedMarker marker = markerSeenAt(camera, truth, 80, kOrigin, dir);
        for (auto& v : marker.vertex) {
          v[0] += noise(0.3);
          v[1] += noise(0.3);
        }
        drawEdgeLines(&marker);
        double out[3][4];
        const double err = arMarkerPose(&marker, kOrigin, 80, out);
        ASSERT_GE(err, 0.0);
        EXPECT_LT(err, 1.0);
        // Four corners of a small, nearly frontal marker pin its tilt down loosely.
        EXPECT_LT(rotationAngleDeg(out, truth), 5.0) << "distance " << distance << " tilt " << tilt;
        EXPECT_LT(translationDistance(out, truth), 0.02 * distance);
        count++;
      }
  EXPECT_EQ(count, 36);
}

TEST_F(MarkerPoseTest, EachDirMatchesADifferentCornerToTheTopLeft) {
  // The same image read with each dir: the pose turns by a quarter about the marker normal
  // each time, and model corner 0 lands on vertex[(4 - dir) % 4].
  double truth[3][4];
  testPose(600, 30, 40, 20, 30, -20, truth);
  DetectedMarker marker = markerSeenAt(camera, truth, 80, kOrigin, 0);
  for (int dir = 0; dir < 4; dir++) {
    marker.dir = dir;
    double out[3][4];
    ASSERT_GE(arMarkerPose(&marker, kOrigin, 80, out), 0.0);
    double corner[2];
    projectMarkerPoint(camera, out, -40, 40, corner);
    EXPECT_NEAR(corner[0], marker.vertex[(4 - dir) % 4][0], 1.0) << "dir " << dir;
    EXPECT_NEAR(corner[1], marker.vertex[(4 - dir) % 4][1], 1.0) << "dir " << dir;
    // Column 0 (the marker's x axis) of dir d is column 1 of dir 0 turned d quarter turns.
    EXPECT_NEAR(rotationAngleDeg(out, truth), dir == 0 ? 0.0 : (dir == 2 ? 180.0 : 90.0), 1.5) << "dir " << dir;
  }
}

TEST_F(MarkerPoseTest, DirMinusOneReadsTheCornersAsThree) {
  double truth[3][4];
  testPose(600, 30, 40, 20, 30, -20, truth);
  DetectedMarker marker = markerSeenAt(camera, truth, 80, kOrigin, 3);
  double three[3][4], minusOne[3][4];
  const double err3 = arMarkerPose(&marker, kOrigin, 80, three);
  marker.dir = -1;
  const double errMinus1 = arMarkerPose(&marker, kOrigin, 80, minusOne);
  EXPECT_EQ(err3, errMinus1);
  EXPECT_TRUE(sameBits(three, minusOne, sizeof three));
  // Values no detector reports still pick one of the four readings instead of reading outside
  // the record.
  for (int32_t dir : {7, -6, std::numeric_limits<int32_t>::min()}) {
    marker.dir = dir;
    double out[3][4];
    EXPECT_GE(arMarkerPose(&marker, kOrigin, 80, out), 0.0) << "dir " << dir;
  }
}

TEST_F(MarkerPoseTest, MovingTheCentreShiftsOnlyTheTranslation) {
  double truth[3][4];
  testPose(700, 40, 75, 130, -50, 60, truth);
  const DetectedMarker marker = markerSeenAt(camera, truth, 80, kOrigin, 2);
  double base[3][4];
  ASSERT_GE(arMarkerPose(&marker, kOrigin, 80, base), 0.0);
  const double shifts[][2] = {{10, -5}, {-120, 35.5}, {0.25, 400}};
  for (const auto& d : shifts) {
    double moved[3][4];
    ASSERT_GE(arMarkerPose(&marker, d, 80, moved), 0.0);
    for (int r = 0; r < 3; r++) {
      for (int c = 0; c < 3; c++) EXPECT_EQ(moved[r][c], base[r][c]);
      EXPECT_NEAR(moved[r][3], base[r][3] - (d[0] * base[r][0] + d[1] * base[r][1]), 1e-9);
    }
  }
}

TEST_F(MarkerPoseTest, AttemptsStopAtTheFirstGoodFitAndTheLastOneCounts) {
  // Replays the attempts with the public steps: at most 5, each continuing from the rotation
  // the previous one left, stopping below 1.0; the last attempt's error and pose are returned.
  struct Case {
    double pose[6];
    double cornerShift;  // pixels one corner is moved off the true square
    int attempts;
  };
  // A quadrilateral that is no square in any pose: no attempt fits below 1.0.
  const Case cases[] = {{{600, 30, 40, 20, 30, -20}, 0.0, 1}, {{450, 20, 0, 10, 50, 30}, 6.0, 5}};
  for (const Case& c : cases) {
    double truth[3][4];
    testPose(c.pose[0], c.pose[1], c.pose[2], c.pose[3], c.pose[4], c.pose[5], truth);
    DetectedMarker marker = markerSeenAt(camera, truth, 80, kOrigin, 1);
    marker.vertex[2][0] += c.cornerShift;
    marker.vertex[2][1] -= c.cornerShift;
    drawEdgeLines(&marker);
    double out[3][4];
    const double err = arMarkerPose(&marker, kOrigin, 80, out);

    double rotation[3][3];
    ASSERT_EQ(arInitialRotation(&marker, camera.projection, rotation), 0);
    double image[4][2];
    for (int k = 0; k < 4; k++) std::memcpy(image[k], marker.vertex[(4 + k - 1) % 4], sizeof image[k]);
    const double model[4][2] = {{-40, 40}, {40, 40}, {40, -40}, {-40, -40}};
    double replay[3][4];
    double replayErr = -1;
    int attempts = 0;
    while (attempts < 5) {
      attempts++;
      replayErr = arPoseFromPoints(rotation, image, model, 4, replay, camera.distortion, camera.projection);
      if (replayErr < 1.0) break;
    }
    EXPECT_EQ(attempts, c.attempts);
    EXPECT_EQ(err, replayErr);
    EXPECT_TRUE(sameBits(out, replay, sizeof out));
  }
}

TEST_F(MarkerPoseTest, UnusableMarkersFailAndLeaveOutUntouched) {
  double truth[3][4];
  testPose(600, 30, 40, 20, 30, -20, truth);
  const DetectedMarker good = markerSeenAt(camera, truth, 80, kOrigin, 0);

  DetectedMarker collapsed = good;  // all four corners in one point: no edge lines
  for (auto& v : collapsed.vertex) std::memcpy(v, good.vertex[0], sizeof v);
  drawEdgeLines(&collapsed);
  DetectedMarker parallel = good;  // opposite edges on one line
  std::memcpy(parallel.line[2], parallel.line[0], sizeof parallel.line[0]);
  std::memcpy(parallel.line[3], parallel.line[1], sizeof parallel.line[1]);
  DetectedMarker notANumber = good;
  notANumber.vertex[2][0] = std::numeric_limits<double>::quiet_NaN();
  drawEdgeLines(&notANumber);
  DetectedMarker zeroLines = good;
  std::memset(zeroLines.line, 0, sizeof zeroLines.line);

  for (const DetectedMarker* m : {&collapsed, &parallel, &notANumber, &zeroLines}) {
    double out[3][4] = {{7, 7, 7, 7}, {7, 7, 7, 7}, {7, 7, 7, 7}};
    EXPECT_EQ(arMarkerPose(m, kOrigin, 80, out), -1.0);
    for (const auto& row : out)
      for (double v : row) EXPECT_EQ(v, 7.0);
  }

  // A marker of no size or at no place.
  const double nowhere[2] = {std::numeric_limits<double>::infinity(), 0};
  for (double width : {0.0, -80.0, std::numeric_limits<double>::quiet_NaN()}) {
    double out[3][4] = {{7, 7, 7, 7}, {7, 7, 7, 7}, {7, 7, 7, 7}};
    EXPECT_EQ(arMarkerPose(&good, kOrigin, width, out), -1.0) << "width " << width;
    EXPECT_EQ(out[0][0], 7.0);
  }
  double untouched[3][4] = {{7, 7, 7, 7}, {7, 7, 7, 7}, {7, 7, 7, 7}};
  EXPECT_EQ(arMarkerPose(&good, nowhere, 80, untouched), -1.0);
  EXPECT_EQ(untouched[0][3], 7.0);

  // A camera whose matrix cannot be inverted.
  CameraParam broken = camera;
  std::memset(broken.projection, 0, sizeof broken.projection);
  arCameraParamSetCurrent(&broken);
  double out[3][4] = {{7, 7, 7, 7}, {7, 7, 7, 7}, {7, 7, 7, 7}};
  EXPECT_EQ(arMarkerPose(&good, kOrigin, 80, out), -1.0);
  EXPECT_EQ(out[1][3], 7.0);
}

}  // namespace
