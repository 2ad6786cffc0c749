// The radial lens-distortion model in both directions.
//
// With centre c = (d[0], d[1]), scale s = d[3] and p = d[2] / 1e8, an ideal (undistorted) point
// i is observed at o = c + x * (1 - p * |x|^2), where x = s * (i - c). The observed offset is
// not divided by s again.
#pragma once

// Ideal -> observed, in closed form. Returns 0.
int arIdealToObserved(const double distortion[4], double ix, double iy, double* ox, double* oy);

// Observed -> ideal, by exactly three Newton steps started at the observed radius (no
// convergence test). Returns 0.
int arObservedToIdeal(const double distortion[4], double ox, double oy, double* ix, double* iy);

// Derivative of arIdealToObserved at the ideal point (ix, iy): observed offset = jacobian * ideal
// offset for small offsets, row-major 2 x 2. Returns 0.
int arIdealToObservedJacobian(const double distortion[4], double ix, double iy, double jacobian[2][2]);
