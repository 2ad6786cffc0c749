// Pose of a detected square marker: the transform from marker coordinates to camera coordinates.
//
// Marker coordinates: the marker lies in the plane Z = 0, x to the right and y up on the upright
// printed marker. Camera coordinates: x right, y down, z forward. The camera is arCurrentCamera.
#pragma once

#include "detect/detected_marker.h"

// Estimates the pose of marker, a square of side width (any length unit; the translation comes
// out in that unit) centred at center = (cx, cy) in its own plane. Its model corners
// (cx - w/2, cy + w/2), (cx + w/2, cy + w/2), (cx + w/2, cy - w/2), (cx - w/2, cy - w/2)
// (top-left, top-right, bottom-right, bottom-left) are matched to the image corners
// vertex[(4 + k - dir) % 4], k = 0 .. 3.
// Writes [R | t] into out and returns the fit error, the mean squared distance per corner in
// pixels squared (below 1.0 for a good fit; a poor fit is still returned). Returns -1.0 and
// leaves out untouched when no pose can be computed (degenerate corners or edge lines, a width
// that is not a positive number, a centre that is not finite).
// Uses process-wide work storage: one call at a time.
double arMarkerPose(const DetectedMarker* marker, const double center[2], double width,
                    double out[3][4]);

// The marker's pose carried to the least reprojection error: from the rotation of its edge lines
// (as arMarkerPose starts) with the translation that fits it best, and from the same pose with the
// tilt mirrored about the line of sight (a square seen from afar looks nearly the same both ways),
// Levenberg-Marquardt moves the pose until the four model corners, projected through the camera
// matrix and its lens model, land on the observed (distorted) corners; the one with the lower
// error is kept. arMarkerPose's angle search is not needed for this start. Returns that error, the
// mean squared distance per corner in observed pixels squared, and writes its pose to out.
// *ambiguityRatio (if given) receives the kept error divided by the other one, 0 .. 1: near 0 the
// tilt is certain, near 1 both tilts fit the corners alike (1 as well when both fit exactly). -1.0
// with out untouched where arMarkerPose fails (degenerate edge lines, a width that is not a
// positive number, a centre that is not finite) or neither start can be refined (a corner would
// lie behind the camera).
double arMarkerPoseRefined(const DetectedMarker* marker, const double center[2], double width, double out[3][4],
                           double* ambiguityRatio);

// Starting rotation of a marker from the vanishing points of its two pairs of opposite edges,
// seen through the camera matrix P (3 x 4). Column 0 of rotation is the marker's x axis,
// column 1 its y axis, column 2 their cross product. 0, or -1 (rotation untouched) when the
// edges give no usable pair of axes.
int arInitialRotation(const DetectedMarker* marker, const double projection[3][4],
                      double rotation[3][3]);
