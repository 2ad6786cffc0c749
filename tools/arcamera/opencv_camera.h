// Cameras calibrated with OpenCV: the pinhole matrix and distortion coefficients as OpenCV
// writes them (cv::FileStorage YAML or XML) or as a ROS camera_info YAML holds them, and OpenCV's
// distortion model.
#pragma once

#include <string>

struct OpenCvCamera {
  int width = 0, height = 0;         // image size in pixels the calibration is for
  double fx = 0, fy = 0, cx = 0, cy = 0, skew = 0;   // camera matrix, pixels
  double k[6] = {0, 0, 0, 0, 0, 0};  // radial: k1, k2, k3 over 1 + k4 r^2 + k5 r^4 + k6 r^6
  double p[2] = {0, 0};              // tangential p1, p2
};

// The observed (distorted) pixel of an ideal pixel (u, v), by OpenCV's model: normalised
// x = (u - cx) / fx ... with radial, rational and tangential terms, back through the matrix.
void openCvDistort(const OpenCvCamera& camera, double u, double v, double* ou, double* ov);

// Why the camera cannot be used, as a phrase ("fx is not positive"), or empty when it can.
std::string openCvCameraProblem(const OpenCvCamera& camera);

// Reads a calibration from text: cv::FileStorage YAML (with its "%YAML:1.0" line and
// "!!opencv-matrix" tags) or XML, or ROS camera_info YAML (distortion model plumb_bob or
// rational_polynomial). The matrix is camera_matrix (also cameraMatrix or K), the coefficients
// distortion_coefficients (also distCoeffs or D; 4, 5 or 8 of them, or 12 or 14 whose extra
// thin-prism and tilt terms are 0), the size image_width and image_height. A missing size is
// left 0. false with *error giving the cause (the caller adds the file name).
bool parseOpenCvCalibration(const std::string& text, OpenCvCamera* out, std::string* error);
