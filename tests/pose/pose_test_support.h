// Markers with known poses for the pose tests: cameras, poses, and DetectedMarker records built
// by projecting the model corners through the camera and drawing the edge lines through them.
#pragma once

#include "camera/camera_param.h"
#include "detect/detected_marker.h"

// The shipped 640 x 480 camera read from Data/camera_para.dat; with lensDistortion false its
// distortion is switched off (coefficient 0, scale 1).
CameraParam shippedCamera(bool lensDistortion);

// Frontal upright marker at distance d, tilted by tiltDeg about the in-plane axis at
// tiltAxisDeg from the marker's x axis, spun by spinDeg about its normal, and moved by
// (offsetX, offsetY) across the view.
void testPose(double distance, double tiltDeg, double tiltAxisDeg, double spinDeg, double offsetX,
              double offsetY, double pose[3][4]);

// Ideal image position of the marker point (x, y, 0) under pose.
void projectMarkerPoint(const CameraParam& camera, const double pose[3][4], double x, double y,
                        double image[2]);

// A detected marker of side width centred at center, seen at pose, reported with dir: model
// corner k goes to vertex[(4 + k - dir) % 4], and line i runs through vertex i and vertex i + 1.
DetectedMarker markerSeenAt(const CameraParam& camera, const double pose[3][4], double width,
                            const double center[2], int dir);

// Recomputes the four edge lines through the marker's vertices (after moving them).
void drawEdgeLines(DetectedMarker* marker);

// Angle in degrees of the rotation between the rotation blocks of two poses.
double rotationAngleDeg(const double a[3][4], const double b[3][4]);
// Distance between the translations of two poses.
double translationDistance(const double a[3][4], const double b[3][4]);
