#include "pose/pose.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>
#include <cmath>
#include <limits>

#include "pose/pose_refinement_internal.h"
#include "pose/pose_solve.h"
#include "tests/pose/pose_test_support.h"

namespace {

const double kOrigin[2] = {0, 0};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class MarkerPose : public ::testing::Test {
 protected:
  CameraParam camera = shippedCamera(false);
  void SetUp() override { arCameraParamSetCurrent(&camera); }
};

// Exact corners put the two estimated axes perpendicular to within rounding, and square-on
// markers give a rotation with its normal exactly on the camera axis: both must still get a pose.
// Corners off by up to 0.3 pixel still fit, though four corners of a nearly frontal marker pin its
// tilt down loosely.
TEST_F(MarkerPose, ExactAndSlightlyOffCornersGiveTheirPose) {
  Uniform noise(99);
  int count = 0;
  for (double offBy : {0.0, 0.3})
    for (double distance : {300.0, 650.0, 1200.0})
      for (double tilt : {0.0, 5.0, 25.0, 50.0, 60.0})
        for (double spin : {0.0, 17.0, 90.0, 200.0, 315.0}) {
          if (offBy > 0 && distance > 1000) continue;
          double truth[3][4], out[3][4];
          testPose(distance, tilt, 45.0 * (count % 3), spin, 0.1 * distance, -0.05 * distance, truth);
          DetectedMarker marker = markerSeenAt(camera, truth, 80, kOrigin, count++ % 4);
          for (auto& v : marker.vertex) v[0] += noise(-offBy, offBy), v[1] += noise(-offBy, offBy);
          drawEdgeLines(&marker);
          const double err = arMarkerPose(&marker, kOrigin, 80, out);
          const double rot = rotationAngleDeg(out, truth), tr = translationDistance(out, truth) / distance;
          EXPECT_TRUE(err >= 0 && err < 1.0 && rot < (offBy > 0 ? 5.0 : 2.0) && tr < 0.02)
              << "off by " << offBy << ", distance " << distance << " tilt " << tilt << " spin " << spin << ": err " << err
              << " rot " << rot << " tr " << tr;
        }
}

// The same image read with each dir puts model corner 0 on vertex (4 - dir) % 4. -1 (orientation
// not settled) reads the corners as 3; values no detector reports still pick one of the four
// readings instead of reading outside the record. A marker centre elsewhere on the model shifts
// only the translation.
TEST_F(MarkerPose, DirPicksTheVertexOfTheTopLeftCornerAndTheCentreMovesTheTranslation) {
  double truth[3][4], out[3][4], three[3][4], corner[2];
  const double moved[2] = {-120, 35.5};
  testPose(600, 30, 40, 20, 30, -20, truth);
  DetectedMarker marker = markerSeenAt(camera, truth, 80, kOrigin, 0);
  for (int32_t dir : {0, 1, 2, -1, 7, -6, std::numeric_limits<int32_t>::min(), 3}) {
    marker.dir = dir;
    ASSERT_GE(arMarkerPose(&marker, kOrigin, 80, out), 0.0) << "dir " << dir;
    projectMarkerPoint(camera, out, -40, 40, corner);
    const double* v = marker.vertex[(4 - (dir % 4 + 4) % 4) % 4];
    EXPECT_LT(std::hypot(corner[0] - v[0], corner[1] - v[1]), 1.0) << "dir " << dir;
    if (dir == -1) std::memcpy(three, out, sizeof out);
  }
  EXPECT_TRUE(sameBits(out, three, sizeof out));
  ASSERT_GE(arMarkerPose(&marker, moved, 80, out), 0.0);
  for (int r = 0; r < 3; r++) {
    for (int c = 0; c < 3; c++) EXPECT_EQ(out[r][c], three[r][c]);
    EXPECT_NEAR(out[r][3], three[r][3] - (moved[0] * three[r][0] + moved[1] * three[r][1]), 1e-9);
  }
}

TEST_F(MarkerPose, AttemptsStopAtTheFirstGoodFitAndTheLastOneCounts) {
  // At most 5 attempts, each continuing from the rotation the previous one left, stopping below
  // 1.0. Half a pixel off, one attempt fits and a second would still move the pose; with one
  // corner 6 pixels off, the quadrilateral is no square in any pose.
  for (double shift : {0.5, 6.0}) {
    double truth[3][4], out[3][4], replay[3][4], rotation[3][3], image[4][2], replayErr = -1;
    testPose(600, 30, 40, 20, 30, -20, truth);
    DetectedMarker marker = markerSeenAt(camera, truth, 80, kOrigin, 1);
    marker.vertex[2][0] += shift, marker.vertex[2][1] -= shift;
    drawEdgeLines(&marker);
    const double err = arMarkerPose(&marker, kOrigin, 80, out);
    ASSERT_EQ(arInitialRotation(&marker, camera.projection, rotation), 0);
    for (int k = 0; k < 4; k++) std::memcpy(image[k], marker.vertex[(k + 3) % 4], sizeof image[k]);
    const double model[4][2] = {{-40, 40}, {40, 40}, {40, -40}, {-40, -40}};
    int attempts = 0;
    do replayErr = arPoseFromPoints(rotation, image, model, 4, replay, camera.distortion, camera.projection);
    while (++attempts < 5 && replayErr >= 1.0);
    EXPECT_EQ(attempts, shift > 1 ? 5 : 1);
    EXPECT_TRUE(err == replayErr && sameBits(out, replay, sizeof out));
  }
}

TEST_F(MarkerPose, UnusableMarkersFailAndLeaveOutUntouched) {
  double truth[3][4];
  testPose(600, 30, 40, 20, 30, -20, truth);
  const DetectedMarker good = markerSeenAt(camera, truth, 80, kOrigin, 0);
  std::vector<DetectedMarker> bad(4, good);
  for (auto& v : bad[0].vertex) std::memcpy(v, good.vertex[0], sizeof v);  // collapsed: no edge lines
  bad[1].vertex[2][0] = kNaN;                                               // a corner that is no number
  drawEdgeLines(&bad[0]), drawEdgeLines(&bad[1]);
  std::memcpy(bad[2].line[2], good.line[0], sizeof good.line[0]);  // opposite edges on one line
  std::memcpy(bad[2].line[3], good.line[1], sizeof good.line[1]);
  std::memset(bad[3].line, 0, sizeof bad[3].line);
  CameraParam broken = camera;  // a camera matrix that cannot be inverted
  std::memset(broken.projection, 0, sizeof broken.projection);
  const double nowhere[2] = {std::numeric_limits<double>::infinity(), 0};
  const struct {
    const DetectedMarker* marker;
    const double* centre;
    double width;
    const CameraParam* camera;
  } cases[] = {{&bad[0], kOrigin, 80, &camera}, {&bad[1], kOrigin, 80, &camera}, {&bad[2], kOrigin, 80, &camera},
               {&bad[3], kOrigin, 80, &camera}, {&good, kOrigin, -80, &camera},   {&good, kOrigin, kNaN, &camera},
               {&good, nowhere, 80, &camera},   {&good, kOrigin, 80, &broken}};
  for (const auto& c : cases) {
    arCameraParamSetCurrent(c.camera);
    double out[3][4], untouched[3][4], ratio = 5;
    std::fill(&out[0][0], &out[0][0] + 12, 7.0);
    std::memcpy(untouched, out, sizeof out);
    EXPECT_EQ(arMarkerPose(c.marker, c.centre, c.width, out), -1.0) << &c - cases;
    EXPECT_EQ(arMarkerPoseRefined(c.marker, c.centre, c.width, out, &ratio), -1.0) << &c - cases;
    EXPECT_TRUE(sameBits(out, untouched, sizeof out) && ratio == 5) << &c - cases;
  }
}

// Refined poses: exact corners give the exact pose whichever tilt the estimate started from
// (the edge lines of the truth, or of its mirrored tilt).
TEST(MarkerPoseRefined, ExactCornersGiveTheTruePoseFromEitherTilt) {
  const struct { bool lens; double pose[6]; } cases[] = {
      {false, {400, 40, 10, 30, 60, -40}},   {true, {400, 40, 10, 30, 60, -40}},  {true, {700, 25, 120, 200, -150, 90}},
      {false, {1200, 15, 75, 300, 100, 60}}, {true, {1200, 8, 200, 45, -200, -120}}, {true, {500, 0, 0, 10, 0, 0}}};
  int dir = 0, startedOnTheMirror = 0;
  for (const auto& c : cases) {
    const CameraParam camera = shippedCamera(c.lens);
    arCameraParamSetCurrent(&camera);
    double truth[3][4], mirrored[3][4];
    testPose(c.pose[0], c.pose[1], c.pose[2], c.pose[3], c.pose[4], c.pose[5], truth);
    const double centre[3] = {truth[0][3], truth[1][3], truth[2][3]};
    arMirroredTilt(truth, centre, mirrored);
    for (const auto* lines : {truth, mirrored}) {
      DetectedMarker marker = markerSeenAt(camera, lines, 80, kOrigin, dir % 4);
      std::memcpy(marker.vertex, markerSeenAt(camera, truth, 80, kOrigin, dir++ % 4).vertex, sizeof marker.vertex);
      double estimate[3][4], refined[3][4], ratio = -1;
      ASSERT_GE(arMarkerPose(&marker, kOrigin, 80, estimate), 0);
      startedOnTheMirror += rotationAngleDeg(estimate, truth) > c.pose[1];
      const double err = arMarkerPoseRefined(&marker, kOrigin, 80, refined, &ratio);
      EXPECT_TRUE(err >= 0.0 && err < 1e-8 && ratio >= 0.0 && ratio <= 1.0 && rotationAngleDeg(refined, truth) < 1e-3 &&
                  translationDistance(refined, truth) < 1e-5 * c.pose[0]) << c.pose[0] << " " << err << " " << ratio;
    }
  }
  EXPECT_GE(startedOnTheMirror, 2);  // the cases include estimates that settled on the mirrored tilt
}

}  // namespace
