// Small dense double-precision matrices and vectors shared by detection and pose estimation.
//
// Records and their element arrays live on the heap and are owned by whoever created them.
// Routines that return int give 0 on success and -1 on failure (a shape mismatch or an
// exhausted allocation); creators return null when memory runs out. Nothing here prints.
#pragma once

#include <cstdint>

// Row-major matrix: element (r, c) is data[r * cols + c]. The element pointer comes first in
// both records so that one release routine serves either kind.
struct ArMatrix {
  double* data;  // rows * cols elements, owned; not initialised on creation
  int32_t rows;
  int32_t cols;
};

struct ArVector {
  double* data;  // length elements, owned unless the record is a view into other storage
  int32_t length;
};

// New matrix of rows x cols uninitialised doubles, or null (negative sizes or no memory).
ArMatrix* arMatrixCreate(int32_t rows, int32_t cols);
// New vector of length uninitialised doubles, or null.
ArVector* arVectorCreate(int32_t length);
// Frees the elements, then the record; returns 0. Never give it null or a view.
int arMatrixRelease(ArMatrix* m);
int arMatrixRelease(ArVector* v);

// -1 unless dest and source have the same shape; otherwise copies every element.
int arMatrixCopyInto(ArMatrix* dest, const ArMatrix* source);
// New matrix holding a copy of source, or null.
ArMatrix* arMatrixClone(const ArMatrix* source);
// dest = a * b, each element summed from 0.0 in index order. -1 (dest untouched) on a shape
// mismatch. dest must be distinct from a and b.
int arMatrixMultiply(ArMatrix* dest, const ArMatrix* a, const ArMatrix* b);

// Largest dimension the in-place inverse handles (its permutation table has this many entries).
constexpr int32_t kArMaxInvertDimension = 50;

// Gauss-Jordan inverse with row pivoting, in place. The dimension and the row stride are both
// m->rows. -1 when a pivot is at most 1e-10 (the matrix is then left partly reduced), when the
// dimension is 0, or when it is above kArMaxInvertDimension (the matrix is then untouched).
int arMatrixInvertInPlace(ArMatrix* m);

// Sum of x[i] * y[i] in index order. Vectors of different lengths are a programming error.
double arVectorDot(const ArVector* x, const ArVector* y);
