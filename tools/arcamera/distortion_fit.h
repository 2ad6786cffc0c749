// This system's lens distortion (one radial coefficient, a scale and a centre) fitted to an
// OpenCV camera by least squares over the image.
#pragma once

#include "camera/camera_param.h"
#include "tools/arcamera/opencv_camera.h"

struct DistortionFit {
  CameraParam camera;     // the OpenCV camera matrix and the fitted distortion, at the image size
  double rms = 0;         // pixels: the fitted model against OpenCV's over the image
  double worst = 0;       // pixels
  double worstAt[2] = {0, 0};  // observed pixel where the worst difference is
  int points = 0;         // grid points the fit used
};

// Fits over a grid of observed pixels covering the image (each taken back to its ideal point
// by OpenCV's model), minimising the squared distance between where this system's model and
// OpenCV's put each ideal point. The error figures come from arIdealToObserved on the result.
// false when the camera is unusable (see openCvCameraProblem) or OpenCV's model cannot be
// inverted over the image (wildly large coefficients); *error says which.
bool fitDistortion(const OpenCvCamera& camera, DistortionFit* out, std::string* error);
