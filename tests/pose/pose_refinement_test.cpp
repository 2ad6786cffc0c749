// Refined poses: exact corners give the exact pose whichever tilt the estimate started from.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "pose/pose.h"
#include "pose/pose_refinement_internal.h"
#include "tests/pose/pose_test_support.h"

namespace {

const double kOrigin[2] = {0, 0};

struct PoseCase {
  bool lens;
  double distance, tilt, tiltAxis, spin, offsetX, offsetY;
};

const PoseCase kPoses[] = {
    {false, 400, 40, 10, 30, 60, -40},   {true, 400, 40, 10, 30, 60, -40},  {true, 700, 25, 120, 200, -150, 90},
    {false, 1200, 15, 75, 300, 100, 60}, {true, 1200, 8, 200, 45, -200, -120}, {true, 500, 0, 0, 10, 0, 0},
};

// The marker as the detector reports it when its corners are seen at truth, with edge lines
// taken from the pose `lines` (the truth, or its mirrored tilt to start the estimate there).
DetectedMarker seenMarker(const CameraParam& camera, const double truth[3][4], const double lines[3][4], int dir) {
  DetectedMarker marker = markerSeenAt(camera, lines, 80, kOrigin, dir);
  const DetectedMarker exact = markerSeenAt(camera, truth, 80, kOrigin, dir);
  std::memcpy(marker.vertex, exact.vertex, sizeof marker.vertex);
  return marker;
}

TEST(MarkerPoseRefined, ExactCornersGiveTheTruePoseFromEitherTilt) {
  int dir = 0, startedOnTheMirror = 0;
  for (const PoseCase& c : kPoses) {
    const CameraParam camera = shippedCamera(c.lens);
    arCameraParamSetCurrent(&camera);
    double truth[3][4], mirrored[3][4];
    testPose(c.distance, c.tilt, c.tiltAxis, c.spin, c.offsetX, c.offsetY, truth);
    const double centre[3] = {truth[0][3], truth[1][3], truth[2][3]};
    arMirroredTilt(truth, centre, mirrored);
    for (const auto* lines : {truth, mirrored}) {
      SCOPED_TRACE(testing::Message() << "distance " << c.distance << " tilt " << c.tilt << " lens " << c.lens
                                      << (lines == truth ? "" : ", edges of the mirrored tilt"));
      const DetectedMarker marker = seenMarker(camera, truth, lines, dir++ % 4);
      double estimate[3][4], refined[3][4], ratio = -1;
      ASSERT_GE(arMarkerPose(&marker, kOrigin, 80, estimate), 0);
      startedOnTheMirror += rotationAngleDeg(estimate, truth) > c.tilt;
      const double err = arMarkerPoseRefined(&marker, kOrigin, 80, refined, &ratio);
      EXPECT_GE(err, 0.0);
      EXPECT_LT(err, 1e-8);
      EXPECT_LT(rotationAngleDeg(refined, truth), 1e-3);
      EXPECT_LT(translationDistance(refined, truth), 1e-5 * c.distance);
      EXPECT_GE(ratio, 0.0);
      EXPECT_LE(ratio, 1.0);
    }
  }
  // The cases must include estimates that settled on the mirrored tilt.
  EXPECT_GE(startedOnTheMirror, 2);
}

TEST(MarkerPoseRefined, RefusesWhatTheEstimateRefuses) {
  const CameraParam camera = shippedCamera(false);
  arCameraParamSetCurrent(&camera);
  const DetectedMarker degenerate = {};
  double out[3][4] = {{7}}, ratio = 5;
  EXPECT_EQ(arMarkerPoseRefined(&degenerate, kOrigin, 80, out, &ratio), -1.0);
  EXPECT_EQ(out[0][0], 7);
  EXPECT_EQ(ratio, 5);
}

}  // namespace
