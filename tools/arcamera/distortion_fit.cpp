#include "tools/arcamera/distortion_fit.h"

#include <Eigen/Dense>

#include <cmath>
#include <vector>

#include "camera/distortion.h"

namespace {

constexpr int kGridX = 41, kGridY = 31;   // observed points across and down the image
constexpr int kIterations = 50;

struct Pair {
  double ideal[2], observed[2];
};

// The ideal point OpenCV's model sends to the observed one, by Newton's method from the
// observed point; false when it does not converge.
bool undistort(const OpenCvCamera& c, double ox, double oy, double out[2]) {
  double u = ox, v = oy;
  for (int i = 0; i < 50; i++) {
    double fu, fv, du1, dv1, du2, dv2;
    constexpr double h = 1e-4;
    openCvDistort(c, u, v, &fu, &fv);
    fu -= ox, fv -= oy;
    if (std::hypot(fu, fv) < 1e-10) break;
    openCvDistort(c, u + h, v, &du1, &dv1);
    openCvDistort(c, u, v + h, &du2, &dv2);
    const double j11 = (du1 - ox - fu) / h, j21 = (dv1 - oy - fv) / h;
    const double j12 = (du2 - ox - fu) / h, j22 = (dv2 - oy - fv) / h;
    const double det = j11 * j22 - j12 * j21;
    if (!(std::fabs(det) > 1e-12)) return false;
    u -= (j22 * fu - j12 * fv) / det;
    v -= (j11 * fv - j21 * fu) / det;
  }
  double fu, fv;
  openCvDistort(c, u, v, &fu, &fv);
  out[0] = u, out[1] = v;
  return std::isfinite(u) && std::isfinite(v) && std::hypot(fu - ox, fv - oy) < 1e-6;
}

// The model o = c + a d - b' (|d| / L)^2 d with d = i - c: scale a = s and b' = p s^3 L^2. L, the
// image's longer side, keeps the four unknowns of similar size.
struct Model {
  double cx, cy, a, b;
  void observe(const double i[2], double length, double o[2]) const {
    const double dx = i[0] - cx, dy = i[1] - cy, r2 = (dx * dx + dy * dy) / (length * length);
    o[0] = cx + a * dx - b * r2 * dx;
    o[1] = cy + a * dy - b * r2 * dy;
  }
};

double squaredError(const Model& m, const std::vector<Pair>& pairs, double length) {
  double sum = 0;
  for (const Pair& p : pairs) {
    double o[2];
    m.observe(p.ideal, length, o);
    sum += (o[0] - p.observed[0]) * (o[0] - p.observed[0]) + (o[1] - p.observed[1]) * (o[1] - p.observed[1]);
  }
  return sum;
}

// Gauss-Newton with step halving; the problem is linear in a and b and smooth in the centre.
Model fit(const std::vector<Pair>& pairs, double length, Model m) {
  const Eigen::Index n = static_cast<Eigen::Index>(pairs.size());
  double error = squaredError(m, pairs, length);
  for (int it = 0; it < kIterations; it++) {
    Eigen::MatrixXd jacobian(2 * n, 4);
    Eigen::VectorXd residual(2 * n);
    for (Eigen::Index k = 0; k < n; k++) {
      const Pair& p = pairs[k];
      const double dx = (p.ideal[0] - m.cx) / length, dy = (p.ideal[1] - m.cy) / length, r2 = dx * dx + dy * dy;
      double o[2];
      m.observe(p.ideal, length, o);
      residual(2 * k) = o[0] - p.observed[0];
      residual(2 * k + 1) = o[1] - p.observed[1];
      jacobian.row(2 * k) << 1 - m.a + m.b * (2 * dx * dx + r2), 2 * m.b * dx * dy, dx * length, -r2 * dx * length;
      jacobian.row(2 * k + 1) << 2 * m.b * dx * dy, 1 - m.a + m.b * (2 * dy * dy + r2), dy * length, -r2 * dy * length;
    }
    const Eigen::Vector4d step = jacobian.colPivHouseholderQr().solve(-residual);
    bool improved = false;
    for (double t = 1; t > 1e-4 && !improved; t /= 2) {
      const Model next{m.cx + t * step(0), m.cy + t * step(1), m.a + t * step(2), m.b + t * step(3)};
      const double e = squaredError(next, pairs, length);
      if (e < error) m = next, error = e, improved = true;
    }
    if (!improved || step.norm() < 1e-12) break;
  }
  return m;
}

}  // namespace

bool fitDistortion(const OpenCvCamera& camera, DistortionFit* out, std::string* error) {
  *out = DistortionFit();
  *error = openCvCameraProblem(camera);
  if (!error->empty()) return false;
  std::vector<Pair> pairs;
  for (int j = 0; j < kGridY; j++)
    for (int i = 0; i < kGridX; i++) {
      Pair p;
      p.observed[0] = (camera.width - 1) * i / (kGridX - 1.0);
      p.observed[1] = (camera.height - 1) * j / (kGridY - 1.0);
      if (undistort(camera, p.observed[0], p.observed[1], p.ideal)) pairs.push_back(p);
    }
  if (pairs.size() < static_cast<size_t>(kGridX * kGridY) * 9 / 10) {
    *error = "OpenCV's distortion cannot be undone over the image with these coefficients";
    return false;
  }
  const double length = std::max(camera.width, camera.height);
  const Model m = fit(pairs, length, Model{camera.cx, camera.cy, 1, 0});

  CameraParam& p = out->camera;
  p = CameraParam();
  p.xsize = camera.width;
  p.ysize = camera.height;
  p.projection[0][0] = camera.fx, p.projection[0][1] = camera.skew, p.projection[0][2] = camera.cx;
  p.projection[1][1] = camera.fy, p.projection[1][2] = camera.cy;
  p.projection[2][2] = 1;
  // b' = p s^3 L^2 and the file keeps p in units of 1e-8.
  p.distortion[0] = m.cx;
  p.distortion[1] = m.cy;
  p.distortion[2] = m.b / (m.a * m.a * m.a * length * length) * 1e8;
  p.distortion[3] = m.a;

  double sum = 0;
  for (const Pair& pair : pairs) {
    double o[2];
    arIdealToObserved(p.distortion, pair.ideal[0], pair.ideal[1], &o[0], &o[1]);
    const double d = std::hypot(o[0] - pair.observed[0], o[1] - pair.observed[1]);
    sum += d * d;
    if (d > out->worst) out->worst = d, out->worstAt[0] = pair.observed[0], out->worstAt[1] = pair.observed[1];
  }
  out->points = static_cast<int>(pairs.size());
  out->rms = std::sqrt(sum / pairs.size());
  if (const char* problem = arCameraParamProblem(&p)) {
    *error = std::string("the fitted camera is not usable: ") + problem;
    return false;
  }
  return true;
}
