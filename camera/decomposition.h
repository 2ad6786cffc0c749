// Splits a 3 x 4 camera matrix into intrinsic and extrinsic parts.
#pragma once

// source = lambda * K * T with K upper-triangular, K(2, 2) = 1, column 3 of K zero, and T a
// rotation (left 3 x 3 block, orthonormal rows) followed by a translation column. Always returns
// 0; a degenerate source (a zero-length row) yields non-finite entries.
int arParamDecompMat(const double source[3][4], double intrinsic[3][4], double extrinsic[3][4]);
