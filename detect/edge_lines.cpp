#include "detect/edge_lines.h"

#include "camera/distortion.h"
#include "camera/matrix.h"
#include "camera/principal_axes.h"

namespace {

// Leaves this fraction of a side, plus half a point, out at each end: the contour bends there.
constexpr double kEdgeTrim = 0.05;

struct SideFit {
  ArMatrix* points = nullptr;
  ArMatrix* evec = nullptr;
  ArVector* ev = nullptr;
  ArVector* mean = nullptr;
  ~SideFit() {
    if (points) arMatrixRelease(points);
    if (evec) arMatrixRelease(evec);
    if (ev) arMatrixRelease(ev);
    if (mean) arMatrixRelease(mean);
  }
};

int fitSide(const int32_t* contourX, const int32_t* contourY, int32_t s0, int32_t e0, const double distortion[4],
            double line[3]) {
  const double trim = (e0 - s0 + 1) * kEdgeTrim + 0.5;
  const int32_t s = static_cast<int32_t>(s0 + trim);
  const int32_t e = static_cast<int32_t>(e0 - trim);
  const int32_t n = e - s + 1;
  if (n < 2) return -1;

  SideFit fit;
  fit.points = arMatrixCreate(n, 2);
  fit.evec = arMatrixCreate(2, 2);
  fit.ev = arVectorCreate(2);
  fit.mean = arVectorCreate(2);
  if (!fit.points || !fit.evec || !fit.ev || !fit.mean) return -1;
  for (int32_t i = 0; i < n; i++) {
    double* row = fit.points->data + 2 * i;
    arObservedToIdeal(distortion, contourX[s + i], contourY[s + i], &row[0], &row[1]);
  }
  if (arMatrixPrincipalAxes(fit.points, fit.evec, fit.ev, fit.mean) < 0) return -1;
  const double ex = fit.evec->data[0];
  const double ey = fit.evec->data[1];
  line[0] = ey;
  line[1] = -ex;
  line[2] = -(line[0] * fit.mean->data[0] + line[1] * fit.mean->data[1]);
  return 0;
}

}  // namespace

int arFitEdgeLines(const int32_t* contourX, const int32_t* contourY, const int32_t cornerIndex[5],
                   const double distortion[4], double line[4][3], double vertex[4][2]) {
  for (int i = 0; i < 4; i++) {
    if (fitSide(contourX, contourY, cornerIndex[i], cornerIndex[i + 1], distortion, line[i]) < 0) return -1;
  }
  for (int i = 0; i < 4; i++) {
    const double* l1 = line[(i + 3) % 4];
    const double* l2 = line[i];
    const double w = l2[1] * l1[0] - l1[1] * l2[0];
    if (w == 0.0) return -1;
    vertex[i][0] = (l1[1] * l2[2] - l2[1] * l1[2]) / w;
    vertex[i][1] = (l1[2] * l2[0] - l2[2] * l1[0]) / w;
  }
  return 0;
}
