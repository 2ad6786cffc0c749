#include "camera/matrix.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

ArMatrix* arMatrixCreate(int32_t rows, int32_t cols) {
  if (rows < 0 || cols < 0) return nullptr;
  auto* m = new (std::nothrow) ArMatrix{nullptr, rows, cols};
  if (!m) return nullptr;
  const size_t count = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  // One element at least, so that a 0 x 0 matrix still has a releasable array.
  m->data = new (std::nothrow) double[count > 0 ? count : 1];
  if (!m->data) {
    delete m;
    return nullptr;
  }
  return m;
}

ArVector* arVectorCreate(int32_t length) {
  if (length < 0) return nullptr;
  auto* v = new (std::nothrow) ArVector{nullptr, length};
  if (!v) return nullptr;
  v->data = new (std::nothrow) double[length > 0 ? length : 1];
  if (!v->data) {
    delete v;
    return nullptr;
  }
  return v;
}

int arMatrixRelease(ArMatrix* m) {
  delete[] m->data;
  delete m;
  return 0;
}

int arMatrixRelease(ArVector* v) {
  delete[] v->data;
  delete v;
  return 0;
}

int arMatrixCopyInto(ArMatrix* dest, const ArMatrix* source) {
  if (dest->rows != source->rows || dest->cols != source->cols) return -1;
  const int32_t count = source->rows * source->cols;
  for (int32_t i = 0; i < count; i++) dest->data[i] = source->data[i];
  return 0;
}

ArMatrix* arMatrixClone(const ArMatrix* source) {
  ArMatrix* copy = arMatrixCreate(source->rows, source->cols);
  if (!copy) return nullptr;
  if (arMatrixCopyInto(copy, source) < 0) {
    arMatrixRelease(copy);
    return nullptr;
  }
  return copy;
}

int arMatrixMultiply(ArMatrix* dest, const ArMatrix* a, const ArMatrix* b) {
  if (a->cols != b->rows || dest->rows != a->rows || dest->cols != b->cols) return -1;
  for (int32_t r = 0; r < dest->rows; r++) {
    for (int32_t c = 0; c < dest->cols; c++) {
      double& out = dest->data[r * dest->cols + c];
      out = 0.0;
      for (int32_t i = 0; i < a->cols; i++) out += a->data[r * a->cols + i] * b->data[i * b->cols + c];
    }
  }
  return 0;
}

namespace {

void swapRows(double* m, int32_t n, int32_t r1, int32_t r2) {
  double* a = m + r1 * n;
  double* b = m + r2 * n;
  for (int32_t j = 0; j < n; j++) {
    const double t = a[j];
    a[j] = b[j];
    b[j] = t;
  }
}

void swapColumns(double* m, int32_t n, int32_t c1, int32_t c2) {
  for (int32_t i = 0; i < n; i++) {
    const double t = m[i * n + c1];
    m[i * n + c1] = m[i * n + c2];
    m[i * n + c2] = t;
  }
}

}  // namespace

int arMatrixInvertInPlace(ArMatrix* m) {
  const int32_t n = m->rows;
  if (n <= 0 || n > kArMaxInvertDimension) return -1;
  double* a = m->data;
  if (n == 1) {
    a[0] = 1.0 / a[0];
    return 0;
  }

  int32_t perm[kArMaxInvertDimension];
  for (int32_t k = 0; k < n; k++) perm[k] = k;

  // Each step works on column 0 and shifts the rows left, so the inverse builds up from the right.
  for (int32_t k = 0; k < n; k++) {
    double best = 0.0;
    int32_t ip = k;
    for (int32_t i = k; i < n; i++) {
      const double v = std::fabs(a[i * n]);
      if (v > best) {
        best = v;
        ip = i;
      }
    }
    if (best <= 1.0e-10) return -1;

    const int32_t t = perm[ip];
    perm[ip] = perm[k];
    perm[k] = t;
    swapRows(a, n, ip, k);

    double* pivot = a + k * n;
    const double w = pivot[0];
    for (int32_t j = 1; j < n; j++) pivot[j - 1] = pivot[j] / w;
    pivot[n - 1] = 1.0 / w;

    for (int32_t i = 0; i < n; i++) {
      if (i == k) continue;
      double* row = a + i * n;
      const double wi = row[0];
      for (int32_t j = 1; j < n; j++) row[j - 1] = row[j] - wi * pivot[j - 1];
      row[n - 1] = -wi * pivot[n - 1];
    }
  }

  for (int32_t k = 0; k < n; k++) {
    int32_t j = k;
    while (j < n && perm[j] != k) j++;
    perm[j] = perm[k];
    swapColumns(a, n, j, k);
  }
  return 0;
}

double arVectorDot(const ArVector* x, const ArVector* y) {
  if (x->length != y->length) {
    // No caller passes vectors of different lengths; going on would read past the shorter one.
    std::fprintf(stderr, "arVectorDot: vectors of lengths %d and %d\n", x->length, y->length);
    std::abort();
  }
  double sum = 0.0;
  for (int32_t i = 0; i < x->length; i++) sum += x->data[i] * y->data[i];
  return sum;
}
