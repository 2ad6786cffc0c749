// Pose of a set of model points in the plane Z = 0 from their image points: a linear solve for
// the translation at a fixed rotation, and a coarse-to-fine search over the rotation angles.
//
// The points of the current solve live in two process-wide work arrays of kArPoseMaxPoints
// points each (the centred model points and the observed image points), so only one solve may
// run at a time. Camera matrices P are 3 x 4 and row-major; rotations 3 x 3; a pose out is
// [R | t] from model coordinates to camera coordinates.
//
// Fit errors are mean squared reprojection errors per point in pixels squared (>= 0); a failure
// is reported as kArPoseFailure with rotation and out left as they were.
#pragma once

// Capacity of the point work arrays; larger point counts are refused.
constexpr int kArPoseMaxPoints = 500;

// Fit error reported when a pose cannot be computed.
constexpr double kArPoseFailure = -1.0;

// Pose of count model points model[j] = (X, Y) in the plane Z = 0 seen at the ideal image points
// image[j]. The model points are centred on their bounding box for the solve and the
// translation is moved back to the caller's origin afterwards. rotation is the starting guess
// and receives the refined rotation. kArPoseFailure when count is outside 1 .. kArPoseMaxPoints
// or the solve fails.
double arPoseFromPoints(double rotation[3][3], const double image[][2], const double model[][2],
                        int count, double out[3][4], const double distortion[4],
                        const double projection[3][4]);

// The same with model points (X, Y, Z) already centred. The image points are distorted with
// arIdealToObserved and compared with the plain projection through P: two passes of a linear
// translation solve (which uses only P(0, 0..2) and P(1, 1..2)) followed by the rotation search.
// Returns the second pass's error; kArPoseFailure when count is outside 1 .. kArPoseMaxPoints,
// a work matrix cannot be allocated or the normal equations are singular.
double arPoseSolve(double rotation[3][3], const double image[][2], const double model[][3],
                   int count, double out[3][4], const double distortion[4],
                   const double projection[3][4]);

// Ten passes of a 3 x 3 x 3 grid search around the angles of rotation (step 10 degrees, halved
// after every pass in which the centre candidate wins; on equal errors the candidate met first
// wins) with the translation held fixed. rotation receives the best candidate. Returns the last
// pass's smallest summed squared error divided by count (1e9 / count when every candidate's
// error is not a number). count must be at least 1.
double arPoseRefineRotation(double rotation[3][3], const double translation[3],
                            const double projection[3][4], const double model[][3],
                            const double observed[][2], int count);
