// OpenGL matrices from the camera model and from marker poses. Both write 16 doubles in OpenGL's
// column-major order (row r, column c at index r + 4c), ready for glLoadMatrixd.
#pragma once

#include "camera/camera_param.h"

// The projection matrix that matches the undistorted background: a camera-space point (x right,
// y down, z forward) whose ideal image position is pixel (u, v) lands at normalised device
// coordinates (2u / (w - 1) - 1, 1 - 2v / (h - 1)) with w, h = camera->xsize, ysize; depths
// nearPlane .. farPlane (eye-space distances, > 0) map to -1 .. 1. m is left untouched when the
// camera matrix cannot be decomposed (with a message on standard output).
void arglCameraFrustum(const CameraParam* camera, double nearPlane, double farPlane, double m[16]);

// The model-view matrix of a marker-to-camera transform [R | t] (3 x 4, row-major): camera axes
// (y down, z forward) turned into eye axes (y up, z backward), and the translation multiplied by
// scale to turn marker units into scene units. A scale of exactly 0 leaves the translation as it
// is; the rotation is never scaled.
void arglPoseToModelView(const double transform[3][4], double m[16], double scale);
