#include "camera/principal_axes.h"

#include <cmath>

namespace {

// A view owns nothing: it points into another array and is never released.
ArVector viewOf(double* data, int32_t length) { return ArVector{data, length}; }

constexpr double kEigenTolerance = 1.0e-6;
constexpr double kEigenFloor = 1.0e-16;
constexpr int kMaxSweeps = 100;

}  // namespace

double arVectorHouseholder(ArVector* x) {
  double s = std::sqrt(arVectorDot(x, x));
  if (s == 0.0) return -s;
  if (x->data[0] < 0.0) s = -s;
  x->data[0] += s;
  const double t = 1.0 / std::sqrt(x->data[0] * s);
  for (int32_t i = 0; i < x->length; i++) x->data[i] *= t;
  return -s;
}

int arMatrixTridiagonalize(ArMatrix* a, ArVector* d, ArVector* e) {
  const int32_t n = a->rows;
  if (a->cols != n || d->length != n || e->length != n - 1) return -1;
  double* m = a->data;
  auto at = [m, n](int32_t r, int32_t c) -> double& { return m[r * n + c]; };

  for (int32_t k = 0; k < n - 2; k++) {
    double* v = m + k * n;
    d->data[k] = v[k];
    ArVector tail = viewOf(v + k + 1, n - k - 1);
    e->data[k] = arVectorHouseholder(&tail);
    if (e->data[k] == 0.0) continue;

    for (int32_t i = k + 1; i < n; i++) {
      double s = 0.0;
      for (int32_t j = k + 1; j < i; j++) s += at(j, i) * v[j];
      for (int32_t j = i; j < n; j++) s += at(i, j) * v[j];
      d->data[i] = s;
    }
    ArVector dTail = viewOf(d->data + k + 1, n - k - 1);
    const double t = arVectorDot(&tail, &dTail) / 2.0;
    for (int32_t i = n - 1; i > k; i--) {
      const double p = v[i];
      d->data[i] -= t * p;
      const double q = d->data[i];
      for (int32_t j = i; j < n; j++) at(i, j) -= p * d->data[j] + q * v[j];
    }
  }

  if (n >= 2) {
    d->data[n - 2] = at(n - 2, n - 2);
    e->data[n - 2] = at(n - 2, n - 1);
  }
  if (n >= 1) d->data[n - 1] = at(n - 1, n - 1);

  for (int32_t k = n - 1; k >= 0; k--) {
    double* v = m + k * n;
    if (k < n - 2) {
      for (int32_t i = k + 1; i < n; i++) {
        ArVector vTail = viewOf(v + k + 1, n - k - 1);
        ArVector rowTail = viewOf(m + i * n + k + 1, n - k - 1);
        const double t = arVectorDot(&vTail, &rowTail);
        for (int32_t j = k + 1; j < n; j++) at(i, j) -= t * v[j];
      }
    }
    for (int32_t j = 0; j < n; j++) v[j] = 0.0;
    v[k] = 1.0;
  }
  return 0;
}

int arMatrixEigenQR(ArMatrix* a, ArVector* ev) {
  const int32_t n = a->rows;
  if (a->cols != n || n < 2 || ev->length != n) return -1;
  ArVector* work = arVectorCreate(n);
  if (!work) return -1;
  double* w = work->data;
  double* d = ev->data;
  ArVector offDiagonal = viewOf(w + 1, n - 1);
  if (arMatrixTridiagonalize(a, ev, &offDiagonal) < 0) {
    arMatrixRelease(work);
    return -1;
  }
  w[0] = 0.0;

  for (int32_t h = n - 1; h > 0; h--) {
    int32_t j = h;
    while (j > 0 && std::fabs(w[j]) > kEigenTolerance * (std::fabs(d[j - 1]) + std::fabs(d[j]))) j--;
    if (j == h) continue;

    int sweeps = 0;
    do {
      if (++sweeps > kMaxSweeps) break;
      double g = (d[h - 1] - d[h]) / 2.0;
      double t = w[h] * w[h];
      double s = std::sqrt(g * g + t);
      if (g < 0.0) s = -s;
      double x = d[j] - d[h] + t / (g + s);
      double y = w[j + 1];
      for (int32_t k = j; k < h; k++) {
        double c;
        if (std::fabs(x) >= std::fabs(y)) {
          if (std::fabs(x) > kEigenFloor) {
            t = -y / x;
            c = 1.0 / std::sqrt(t * t + 1.0);
            s = t * c;
          } else {
            c = 1.0;
            s = 0.0;
          }
        } else {
          t = -x / y;
          s = 1.0 / std::sqrt(t * t + 1.0);
          c = t * s;
        }
        g = d[k] - d[k + 1];
        t = (g * s + 2.0 * c * w[k + 1]) * s;
        d[k] -= t;
        d[k + 1] += t;
        if (k > j) w[k] = c * w[k] - s * y;
        w[k + 1] += s * (c * g - 2.0 * s * w[k + 1]);

        double* rowK = a->data + k * n;
        double* rowK1 = a->data + (k + 1) * n;
        for (int32_t i = 0; i < n; i++) {
          const double xi = rowK[i];
          const double yi = rowK1[i];
          rowK[i] = c * xi - s * yi;
          rowK1[i] = s * xi + c * yi;
        }
        if (k < h - 1) {
          x = w[k + 1];
          y = -s * w[k + 2];
          w[k + 2] *= c;
        }
      }
    } while (std::fabs(w[h]) > kEigenTolerance * (std::fabs(d[h - 1]) + std::fabs(d[h])));
  }

  for (int32_t k = 0; k < n - 1; k++) {
    int32_t best = k;
    for (int32_t i = k + 1; i < n; i++)
      if (d[i] > d[best]) best = i;
    if (best == k) continue;
    const double t = d[k];
    d[k] = d[best];
    d[best] = t;
    double* r1 = a->data + k * n;
    double* r2 = a->data + best * n;
    for (int32_t i = 0; i < n; i++) {
      const double u = r1[i];
      r1[i] = r2[i];
      r2[i] = u;
    }
  }
  arMatrixRelease(work);
  return 0;
}

namespace {

// mean = average of the rows of x. -1 if x has no rows or columns or mean.length != x.cols.
int arPcaColumnMean(const ArMatrix* x, ArVector* mean) {
  const int32_t r = x->rows, c = x->cols;
  if (r <= 0 || c <= 0 || mean->length != c) return -1;
  for (int32_t j = 0; j < c; j++) mean->data[j] = 0.0;
  for (int32_t i = 0; i < r; i++)
    for (int32_t j = 0; j < c; j++) mean->data[j] += x->data[i * c + j];
  for (int32_t j = 0; j < c; j++) mean->data[j] /= r;
  return 0;
}

// Subtracts mean from every row of x. -1 if mean.length != x.cols.
int arPcaCentre(ArMatrix* x, const ArVector* mean) {
  const int32_t r = x->rows, c = x->cols;
  if (mean->length != c) return -1;
  for (int32_t i = 0; i < r; i++)
    for (int32_t j = 0; j < c; j++) x->data[i * c + j] -= mean->data[j];
  return 0;
}

// out(i, j) = sum over k of x(i, k) * x(j, k). -1 unless out is rows x rows.
int arPcaRowGram(const ArMatrix* x, ArMatrix* out) {
  const int32_t r = x->rows, c = x->cols;
  if (out->rows != r || out->cols != r) return -1;
  for (int32_t i = 0; i < r; i++) {
    for (int32_t j = 0; j < r; j++) {
      double& o = out->data[i * r + j];
      if (j < i) {
        o = out->data[j * r + i];
        continue;
      }
      o = 0.0;
      for (int32_t k = 0; k < c; k++) o += x->data[i * c + k] * x->data[j * c + k];
    }
  }
  return 0;
}

// out(i, j) = sum over k of x(k, i) * x(k, j). -1 unless out is cols x cols.
int arPcaColumnGram(const ArMatrix* x, ArMatrix* out) {
  const int32_t r = x->rows, c = x->cols;
  if (out->rows != c || out->cols != c) return -1;
  for (int32_t i = 0; i < c; i++) {
    for (int32_t j = 0; j < c; j++) {
      double& o = out->data[i * c + j];
      if (j < i) {
        o = out->data[j * c + i];
        continue;
      }
      o = 0.0;
      for (int32_t k = 0; k < r; k++) o += x->data[k * c + i] * x->data[k * c + j];
    }
  }
  return 0;
}

// Eigenvectors of x^T x from those of x x^T (u, eigenvalues ev). -1 on a shape mismatch.
int arPcaDualEigenvectors(const ArMatrix* x, const ArMatrix* u, ArMatrix* evec, ArVector* ev) {
  const int32_t r = x->rows, c = x->cols;
  if (r <= 0 || c <= 0 || u->rows != r || u->cols != r || evec->rows != r || evec->cols != c ||
      ev->length != r)
    return -1;
  int32_t i = 0;
  for (; i < r; i++) {
    if (ev->data[i] < kEigenFloor) break;
    const double f = 1.0 / std::sqrt(std::fabs(ev->data[i]));
    for (int32_t j = 0; j < c; j++) {
      double s = 0.0;
      for (int32_t k = 0; k < r; k++) s += u->data[i * r + k] * x->data[k * c + j];
      evec->data[i * c + j] = f * s;
    }
  }
  for (; i < r; i++) {
    ev->data[i] = 0.0;
    for (int32_t j = 0; j < c; j++) evec->data[i * c + j] = 0.0;
  }
  return 0;
}

int principalAxesCore(const ArMatrix* x, ArMatrix* evec, ArVector* ev) {
  const int32_t rows = x->rows, cols = x->cols;
  const int32_t m = rows < cols ? rows : cols;
  if (rows < 2 || cols < 2 || evec->cols != cols || evec->rows != m || ev->length != m) return -1;
  ArMatrix* u = arMatrixCreate(m, m);
  if (!u) return -1;

  int result = rows < cols ? arPcaRowGram(x, u) : arPcaColumnGram(x, u);
  if (result == 0) result = arMatrixEigenQR(u, ev);
  if (result == 0) {
    if (rows < cols) {
      result = arPcaDualEigenvectors(x, u, evec, ev);
    } else {
      int32_t i = 0;
      for (; i < m; i++) {
        if (ev->data[i] < kEigenFloor) break;
        for (int32_t j = 0; j < cols; j++) evec->data[i * cols + j] = u->data[i * m + j];
      }
      for (; i < m; i++) {
        ev->data[i] = 0.0;
        for (int32_t j = 0; j < cols; j++) evec->data[i * cols + j] = 0.0;
      }
    }
  }
  arMatrixRelease(u);
  return result;
}

}  // namespace

int arMatrixPrincipalAxes(const ArMatrix* input, ArMatrix* evec, ArVector* ev, ArVector* mean) {
  const int32_t rows = input->rows, cols = input->cols;
  const int32_t m = rows < cols ? rows : cols;
  if (rows < 2 || cols < 2 || evec->rows != m || evec->cols != cols || ev->length != m ||
      mean->length != cols)
    return -1;

  ArMatrix* x = arMatrixClone(input);
  if (!x) return -1;
  const double srow = std::sqrt(static_cast<double>(rows));
  if (arPcaColumnMean(x, mean) < 0 || arPcaCentre(x, mean) < 0) {
    arMatrixRelease(x);
    return -1;
  }
  const int32_t count = rows * cols;
  for (int32_t i = 0; i < count; i++) x->data[i] /= srow;

  const int result = principalAxesCore(x, evec, ev);
  arMatrixRelease(x);

  double sum = 0.0;
  for (int32_t i = 0; i < ev->length; i++) sum += ev->data[i];
  for (int32_t i = 0; i < ev->length; i++) ev->data[i] /= sum;
  return result;
}
