// Test access to the steps of the pose refinement.
#pragma once

// The pose whose tilt is mirrored about the line of sight to the point `centre` (camera
// coordinates): the marker plane turned so that its image stays the same to first order, the
// other solution of a square seen from afar. Translation kept.
void arMirroredTilt(const double pose[3][4], const double centre[3], double mirrored[3][4]);

// Levenberg-Marquardt on the reprojection error of count model points (X, Y, 0) against their
// observed (distorted) image points, through the camera matrix and its lens model, starting from
// pose and replacing it. Returns the mean squared error per point in observed pixels squared;
// -1.0 (pose untouched) when count is outside 3 .. 8 or the start puts a point behind the camera.
double arRefinePoseFrom(double pose[3][4], const double model[][2], const double observed[][2], int count,
                        const double projection[3][4], const double distortion[4]);
