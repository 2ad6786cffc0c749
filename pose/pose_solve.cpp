#include "pose/pose_solve.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "camera/distortion.h"
#include "camera/matrix.h"
#include "pose/pose_angles.h"

namespace {

// The points of the current solve, overwritten by every solve.
double gCentredModel[kArPoseMaxPoints][3];   // model points moved to their bounding-box centre
double gObserved[kArPoseMaxPoints][2];       // image points in observed (distorted) pixels

constexpr double kInitialStep = 0.17453292519943295;  // 10 degrees in radians
constexpr int kRefinePasses = 10;
constexpr double kNoCandidateYet = 1000000000.0;

// The six work matrices of one translation solve, released together.
struct SolveMatrices {
  ArMatrix* a = nullptr;    // 2n x 3 linear system
  ArMatrix* at = nullptr;   // its transpose
  ArMatrix* b = nullptr;    // 2n x 1 right-hand side
  ArMatrix* n = nullptr;    // 3 x 3 normal matrix, inverted in place
  ArMatrix* c = nullptr;    // 3 x 1 At * b
  ArMatrix* t = nullptr;    // 3 x 1 translation

  explicit SolveMatrices(int count)
      : a(arMatrixCreate(2 * count, 3)), at(arMatrixCreate(3, 2 * count)),
        b(arMatrixCreate(2 * count, 1)), n(arMatrixCreate(3, 3)), c(arMatrixCreate(3, 1)),
        t(arMatrixCreate(3, 1)) {}
  ~SolveMatrices() {
    for (ArMatrix* m : {a, at, b, n, c, t})
      if (m) arMatrixRelease(m);
  }
  SolveMatrices(const SolveMatrices&) = delete;
  SolveMatrices& operator=(const SolveMatrices&) = delete;
  bool complete() const { return a && at && b && n && c && t; }
};

// Translation that best maps the rotated model points onto the observed points, from the
// linearised projection equations. false when the normal matrix is singular.
bool solveTranslation(const double rotation[3][3], const double model[][3], const double observed[][2],
                      int count, const double projection[3][4], SolveMatrices* m, double translation[3]) {
  const int rows = 2 * count;
  double* a = m->a->data;
  double* at = m->at->data;
  double* b = m->b->data;
  for (int j = 0; j < count; j++) {
    const double* p = model[j];
    const double wx = rotation[0][0] * p[0] + rotation[0][1] * p[1] + rotation[0][2] * p[2];
    const double wy = rotation[1][0] * p[0] + rotation[1][1] * p[1] + rotation[1][2] * p[2];
    const double wz = rotation[2][0] * p[0] + rotation[2][1] * p[1] + rotation[2][2] * p[2];
    const double ox = observed[j][0];
    const double oy = observed[j][1];
    double* rowX = a + (2 * j) * 3;
    double* rowY = a + (2 * j + 1) * 3;
    rowX[0] = projection[0][0];
    rowX[1] = projection[0][1];
    rowX[2] = projection[0][2] - ox;
    b[2 * j] = wz * ox - projection[0][0] * wx - projection[0][1] * wy - projection[0][2] * wz;
    rowY[0] = 0.0;
    rowY[1] = projection[1][1];
    rowY[2] = projection[1][2] - oy;
    b[2 * j + 1] = wz * oy - projection[1][1] * wy - projection[1][2] * wz;
    for (int k = 0; k < 3; k++) {
      at[k * rows + 2 * j] = rowX[k];
      at[k * rows + 2 * j + 1] = rowY[k];
    }
  }
  arMatrixMultiply(m->n, m->at, m->a);
  arMatrixMultiply(m->c, m->at, m->b);
  if (arMatrixInvertInPlace(m->n) < 0) return false;
  arMatrixMultiply(m->t, m->n, m->c);
  for (int k = 0; k < 3; k++) translation[k] = m->t->data[k];
  return true;
}

// Sines and cosines of the three candidate values of one angle in a pass.
struct AngleTrig {
  double value[3];
  double s[3];
  double c[3];
};

void candidateTrig(double centre, double step, AngleTrig* trig) {
  for (int t = -1; t <= 1; t++) {
    const double v = centre + step * t;
    trig->value[t + 1] = v;
    trig->s[t + 1] = std::sin(v);
    trig->c[t + 1] = std::cos(v);
  }
}

}  // namespace

double arPoseFromPoints(double rotation[3][3], const double image[][2], const double model[][2],
                        int count, double out[3][4], const double distortion[4],
                        const double projection[3][4]) {
  if (count < 1 || count > kArPoseMaxPoints) return kArPoseFailure;
  double xmin = 1e10, ymin = 1e10, xmax = -1e10, ymax = -1e10;
  for (int j = 0; j < count; j++) {
    if (model[j][0] > xmax) xmax = model[j][0];
    if (model[j][0] < xmin) xmin = model[j][0];
    if (model[j][1] > ymax) ymax = model[j][1];
    if (model[j][1] < ymin) ymin = model[j][1];
  }
  const double offX = -(xmin + xmax) * 0.5;
  const double offY = -(ymin + ymax) * 0.5;
  for (int j = 0; j < count; j++) {
    gCentredModel[j][0] = model[j][0] + offX;
    gCentredModel[j][1] = model[j][1] + offY;
    gCentredModel[j][2] = 0.0;
  }

  const double err = arPoseSolve(rotation, image, gCentredModel, count, out, distortion, projection);
  if (err == kArPoseFailure) return err;
  for (int r = 0; r < 3; r++) out[r][3] = out[r][0] * offX + out[r][1] * offY + out[r][3];
  return err;
}

double arPoseSolve(double rotation[3][3], const double image[][2], const double model[][3],
                   int count, double out[3][4], const double distortion[4],
                   const double projection[3][4]) {
  if (count < 1 || count > kArPoseMaxPoints) return kArPoseFailure;
  for (int j = 0; j < count; j++) {
    arIdealToObserved(distortion, image[j][0], image[j][1], &gObserved[j][0], &gObserved[j][1]);
  }
  SolveMatrices matrices(count);
  if (!matrices.complete()) return kArPoseFailure;

  // Work on a copy so that a failed solve leaves the caller's rotation as it was.
  double work[3][3];
  std::memcpy(work, rotation, sizeof work);
  double translation[3];
  double err = 0.0;
  for (int pass = 0; pass < 2; pass++) {
    if (!solveTranslation(work, model, gObserved, count, projection, &matrices, translation)) {
      return kArPoseFailure;
    }
    err = arPoseRefineRotation(work, translation, projection, model, gObserved, count);
  }

  std::memcpy(rotation, work, sizeof work);
  for (int r = 0; r < 3; r++) {
    for (int c = 0; c < 3; c++) out[r][c] = work[r][c];
    out[r][3] = translation[r];
  }
  return err;
}

// The grid search evaluates 27 rotations per pass. Rather than calling arComposeProjection for
// each, it takes the sines and cosines of the 3 values of each angle once per pass and shares
// the products that the rotation formula repeats; every product is formed in the same order
// as in arAnglesToRotation and arComposeProjection, so the results are bit-identical to them.
double arPoseRefineRotation(double rotation[3][3], const double translation[3],
                            const double projection[3][4], const double model[][3],
                            const double observed[][2], int count) {
  double a0, b0, c0;
  arRotationToAngles(rotation, &a0, &b0, &c0);
  const double(*p)[4] = projection;
  // Column 3 of every candidate's projection: the translation does not change in the search.
  double h3[3];
  for (int j = 0; j < 3; j++) {
    h3[j] = p[j][0] * translation[0] + p[j][1] * translation[1] + p[j][2] * translation[2] + p[j][3];
  }

  double step = kInitialStep;
  double ma = 0.0, mb = 0.0, mc = 0.0;
  int s1 = 0, s2 = 0, s3 = 0;
  double minerr = kNoCandidateYet;
  for (int pass = 0; pass < kRefinePasses; pass++) {
    minerr = kNoCandidateYet;
    AngleTrig ta, tb, tc;
    candidateTrig(a0, step, &ta);
    candidateTrig(b0, step, &tb);
    candidateTrig(c0, step, &tc);
    for (int i1 = 0; i1 < 3; i1++) {
      const double Sa = ta.s[i1], Ca = ta.c[i1];
      const double CaCa = Ca * Ca, SaSa = Sa * Sa, SaCa = Sa * Ca;
      for (int i2 = 0; i2 < 3; i2++) {
        const double Sb = tb.s[i2], Cb = tb.c[i2];
        const double CaCaCb = CaCa * Cb, SaSaCb = SaSa * Cb, SaCaCb = SaCa * Cb;
        const double CaSb = Ca * Sb, SaSb = Sa * Sb;
        for (int i3 = 0; i3 < 3; i3++) {
          const double Sc = tc.s[i3], Cc = tc.c[i3];
          double r[3][3];
          r[0][0] = CaCaCb * Cc + SaSa * Cc + SaCaCb * Sc - SaCa * Sc;
          r[0][1] = -CaCaCb * Sc - SaSa * Sc + SaCaCb * Cc - SaCa * Cc;
          r[0][2] = CaSb;
          r[1][0] = SaCaCb * Cc - SaCa * Cc + SaSaCb * Sc + CaCa * Sc;
          r[1][1] = -SaCaCb * Sc + SaCa * Sc + SaSaCb * Cc + CaCa * Cc;
          r[1][2] = SaSb;
          r[2][0] = -CaSb * Cc - SaSb * Sc;
          r[2][1] = CaSb * Sc - SaSb * Cc;
          r[2][2] = Cb;
          double h[3][4];
          for (int j = 0; j < 3; j++) {
            for (int i = 0; i < 3; i++) h[j][i] = p[j][0] * r[0][i] + p[j][1] * r[1][i] + p[j][2] * r[2][i];
            h[j][3] = h3[j];
          }

          double err = 0.0;
          for (int k = 0; k < count; k++) {
            const double* m = model[k];
            const double hx = h[0][0] * m[0] + h[0][1] * m[1] + h[0][2] * m[2] + h[0][3];
            const double hy = h[1][0] * m[0] + h[1][1] * m[1] + h[1][2] * m[2] + h[1][3];
            const double hz = h[2][0] * m[0] + h[2][1] * m[1] + h[2][2] * m[2] + h[2][3];
            const double dx = observed[k][0] - hx / hz;
            const double dy = observed[k][1] - hy / hz;
            err += dx * dx + dy * dy;
          }
          if (err < minerr) {
            minerr = err;
            ma = ta.value[i1];
            mb = tb.value[i2];
            mc = tc.value[i3];
            s1 = i1 - 1;
            s2 = i2 - 1;
            s3 = i3 - 1;
          }
        }
      }
    }
    if (s1 == 0 && s2 == 0 && s3 == 0) step *= 0.5;
    a0 = ma;
    b0 = mb;
    c0 = mc;
  }
  arAnglesToRotation(ma, mb, mc, rotation);
  return minerr / count;
}
