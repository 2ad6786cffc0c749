// Helpers that build marker -> camera poses for synthetic scenes.
#pragma once

// A marker facing the camera at the given distance along the optical axis, then tilted by
// tiltDeg about the in-plane axis at tiltAxisDeg (measured from the marker's x axis towards y),
// spun by spinDeg about its own normal (counter-clockwise as seen by the camera), and moved by
// (offsetX, offsetY) in camera x (right) and y (down). With all angles 0 the marker stands
// upright: R = diag(1, -1, -1), t = (offsetX, offsetY, distance).
void simPoseLookAt(double distance, double tiltDeg, double tiltAxisDeg, double spinDeg,
                   double offsetX, double offsetY, double pose[3][4]);

// Projects a marker point (x, y, 0) through pose and camera matrix P to the ideal image point.
// Returns false when the point is not in front of the camera (depth <= 0).
bool simProjectMarkerPoint(const double pose[3][4], const double projection[3][4], double x,
                           double y, double* ix, double* iy);
