// arMarkerPoseRefined: Levenberg-Marquardt on the corners' reprojection error from two starts.
#include "pose/pose.h"

#include <Eigen/Cholesky>
#include <Eigen/Geometry>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "camera/camera_param.h"
#include "camera/distortion.h"
#include "pose/pose_refinement_internal.h"
#include "pose/pose_solve.h"

namespace {

using Vector2 = Eigen::Vector2d;
using Vector3 = Eigen::Vector3d;
using Vector6 = Eigen::Matrix<double, 6, 1>;
using Matrix3 = Eigen::Matrix3d;
using Matrix6 = Eigen::Matrix<double, 6, 6>;

constexpr int kMaxPoints = 8;
constexpr int kMaxIterations = 12;
constexpr double kInitialDamping = 1e-3;  // relative to each diagonal entry of the normal matrix
constexpr double kMaxDamping = 1e8;
// A nearly undamped step that lowers the error by less than this share ends the search: the
// pose is as good as the corners make it.
constexpr double kSettledDecrease = 1e-6;
constexpr double kConvergedStep = 1e-8;   // radians or translation units relative to the distance

struct Pose {
  Matrix3 r;
  Vector3 t;
};

Pose fromArray(const double pose[3][4]) {
  Pose p;
  for (int i = 0; i < 3; i++) {
    for (int j = 0; j < 3; j++) p.r(i, j) = pose[i][j];
    p.t(i) = pose[i][3];
  }
  return p;
}

void toArray(const Pose& p, double pose[3][4]) {
  for (int i = 0; i < 3; i++) {
    for (int j = 0; j < 3; j++) pose[i][j] = p.r(i, j);
    pose[i][3] = p.t(i);
  }
}

// The camera as the refinement sees it: the matrix P = [P3 | p4] and the lens model.
struct Camera {
  Matrix3 p3;
  Vector3 p4;
  const double* distortion;

  explicit Camera(const double projection[3][4], const double distortion[4]) : distortion(distortion) {
    for (int i = 0; i < 3; i++) {
      for (int j = 0; j < 3; j++) p3(i, j) = projection[i][j];
      p4(i) = projection[i][3];
    }
  }

  // Observed image point of camera point x, and its derivative by x when jacobian is given.
  // false when x is not in front of the camera.
  bool project(const Vector3& x, Vector2* observed, Eigen::Matrix<double, 2, 3>* jacobian) const {
    const Vector3 h = p3 * x + p4;
    if (!(h(2) > 0)) return false;
    const Vector2 ideal(h(0) / h(2), h(1) / h(2));
    arIdealToObserved(distortion, ideal(0), ideal(1), &(*observed)(0), &(*observed)(1));
    if (!jacobian) return true;
    Eigen::Matrix<double, 2, 3> dIdeal;
    dIdeal.row(0) = (p3.row(0) - ideal(0) * p3.row(2)) / h(2);
    dIdeal.row(1) = (p3.row(1) - ideal(1) * p3.row(2)) / h(2);
    double lens[2][2];
    arIdealToObservedJacobian(distortion, ideal(0), ideal(1), lens);
    *jacobian = Eigen::Map<const Eigen::Matrix<double, 2, 2, Eigen::RowMajor>>(&lens[0][0]) * dIdeal;
    return true;
  }
};

struct Problem {
  const Camera& camera;
  Vector3 model[kMaxPoints];
  Vector2 observed[kMaxPoints];
  int count;

  // Sum of squared residuals at pose; infinite when a point falls behind the camera. With normal
  // and gradient given, also the Gauss-Newton normal matrix and gradient for the update
  // (rotation about the camera axes, then translation).
  double evaluate(const Pose& pose, Matrix6* normal, Vector6* gradient) const {
    if (normal) normal->setZero(), gradient->setZero();
    double sum = 0;
    for (int k = 0; k < count; k++) {
      const Vector3 rotated = pose.r * model[k];
      Vector2 projected;
      Eigen::Matrix<double, 2, 3> dPoint;
      if (!camera.project(rotated + pose.t, &projected, normal ? &dPoint : nullptr)) return INFINITY;
      const Vector2 residual = projected - observed[k];
      sum += residual.squaredNorm();
      if (!normal) continue;
      Eigen::Matrix<double, 2, 6> j;
      Matrix3 cross;  // d(w x rotated)/dw = -[rotated]x
      cross << 0, rotated(2), -rotated(1), -rotated(2), 0, rotated(0), rotated(1), -rotated(0), 0;
      j.leftCols<3>() = dPoint * cross;
      j.rightCols<3>() = dPoint;
      *normal += j.transpose() * j;
      *gradient += j.transpose() * residual;
    }
    return sum;
  }
};

// Translation t that best maps the rotated model corners (X, Y, 0) onto their ideal image points
// through P: each point gives two equations linear in t, (P_row - u P_2) (r m + t) = 0, solved
// by least squares. false when they do not fix t or it lies behind the camera.
bool fitTranslation(const Matrix3& r, const double model[4][2], const double ideal[4][2], const double projection[3][4],
                    Vector3* t) {
  Eigen::Matrix<double, 8, 3> a;
  Eigen::Matrix<double, 8, 1> b;
  for (int k = 0; k < 4; k++) {
    const Vector3 w = r * Vector3(model[k][0], model[k][1], 0);
    for (int axis = 0; axis < 2; axis++) {
      const double u = ideal[k][axis];
      Vector3 row;
      for (int j = 0; j < 3; j++) row(j) = projection[axis][j] - u * projection[2][j];
      a.row(2 * k + axis) = row.transpose();
      b(2 * k + axis) = -(row.dot(w) + projection[axis][3] - u * projection[2][3]);
    }
  }
  const Matrix3 normal = a.transpose() * a;
  Eigen::LDLT<Matrix3> solver(normal);
  if (solver.info() != Eigen::Success) return false;
  *t = solver.solve(a.transpose() * b);
  return t->allFinite() && (*t)(2) > 0;
}

Pose updated(const Pose& pose, const Vector6& step) {
  Pose next = pose;
  const Vector3 w = step.head<3>();
  const double angle = w.norm();
  if (angle > 0) next.r = Eigen::AngleAxisd(angle, w / angle).toRotationMatrix() * pose.r;
  next.t = pose.t + step.tail<3>();
  return next;
}

}  // namespace

void arMirroredTilt(const double pose[3][4], const double centre[3], double mirrored[3][4]) {
  // Reflecting the marker through the plane across the line of sight keeps its image under a
  // distant view; a reflection of a plane figure is the figure turned over, so R' = M R diag(1, 1, -1).
  const Vector3 sight = Vector3(centre[0], centre[1], centre[2]).normalized();
  const Matrix3 reflect = Matrix3::Identity() - 2 * sight * sight.transpose();
  Pose p = fromArray(pose);
  p.r = reflect * p.r * Eigen::Vector3d(1, 1, -1).asDiagonal();
  toArray(p, mirrored);
}

double arRefinePoseFrom(double pose[3][4], const double model[][2], const double observed[][2], int count,
                        const double projection[3][4], const double distortion[4]) {
  if (count < 3 || count > kMaxPoints) return kArPoseFailure;
  const Camera camera(projection, distortion);
  Problem problem{camera, {}, {}, count};
  for (int k = 0; k < count; k++) {
    problem.model[k] = Vector3(model[k][0], model[k][1], 0);
    problem.observed[k] = Vector2(observed[k][0], observed[k][1]);
  }
  Pose current = fromArray(pose);
  Matrix6 normal;
  Vector6 gradient;
  double cost = problem.evaluate(current, &normal, &gradient);
  if (!std::isfinite(cost)) return kArPoseFailure;
  const double scale = std::max(1.0, current.t.norm());
  // Damping scales each diagonal entry, so that rotation (pixels per radian) and translation
  // (pixels per unit) are damped alike whatever their scales.
  double damping = kInitialDamping;
  for (int iteration = 0; iteration < kMaxIterations && cost > 0; iteration++) {
    Matrix6 damped = normal;
    damped.diagonal() *= 1 + damping;
    const Vector6 step = -damped.llt().solve(gradient);
    if (!step.allFinite()) break;
    const Pose next = updated(current, step);
    Matrix6 nextNormal;
    Vector6 nextGradient;
    const double nextCost = problem.evaluate(next, &nextNormal, &nextGradient);
    if (nextCost < cost) {
      const bool settled = damping <= kInitialDamping && cost - nextCost < kSettledDecrease * cost;
      current = next;
      cost = nextCost;
      normal = nextNormal;
      gradient = nextGradient;
      damping *= 0.1;
      if (settled || (step.head<3>().norm() < kConvergedStep && step.tail<3>().norm() < kConvergedStep * scale)) break;
    } else {
      damping *= 10;
      if (damping > kMaxDamping) break;
    }
  }
  toArray(current, pose);
  return cost / count;
}

double arMarkerPoseRefined(const DetectedMarker* marker, const double center[2], double width, double out[3][4],
                           double* ambiguityRatio) {
  if (!(width > 0) || !std::isfinite(width) || !std::isfinite(center[0]) || !std::isfinite(center[1]))
    return kArPoseFailure;
  const CameraParam& camera = arCurrentCamera;
  double rotation[3][3];
  if (arInitialRotation(marker, camera.projection, rotation) < 0) return kArPoseFailure;

  // Corners about the marker centre, matched as arMarkerPose matches them.
  const int dir = ((marker->dir % 4) + 4) % 4;
  const double h = width * 0.5;
  const double model[4][2] = {{-h, h}, {h, h}, {h, -h}, {-h, -h}};
  double ideal[4][2], observed[4][2];
  for (int k = 0; k < 4; k++) {
    const double* v = marker->vertex[(4 + k - dir) % 4];
    ideal[k][0] = v[0], ideal[k][1] = v[1];
    arIdealToObserved(camera.distortion, v[0], v[1], &observed[k][0], &observed[k][1]);
  }
  // The start: the rotation of the edge lines and the translation that fits it best. The
  // refinement needs no more than that, so the angle search of arMarkerPose is left out.
  Pose centred;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) centred.r(i, j) = rotation[i][j];
  if (!fitTranslation(centred.r, model, ideal, camera.projection, &centred.t)) return kArPoseFailure;
  double candidates[2][3][4];
  toArray(centred, candidates[0]);
  const double sight[3] = {centred.t(0), centred.t(1), centred.t(2)};
  arMirroredTilt(candidates[0], sight, candidates[1]);

  double errors[2];
  for (int c = 0; c < 2; c++)
    errors[c] = arRefinePoseFrom(candidates[c], model, observed, 4, camera.projection, camera.distortion);
  if (errors[0] < 0 && errors[1] < 0) return kArPoseFailure;
  const int best = errors[1] >= 0 && (errors[0] < 0 || errors[1] < errors[0]) ? 1 : 0;
  const double other = errors[1 - best];
  if (ambiguityRatio) *ambiguityRatio = other < 0 ? 0.0 : other > 0 ? errors[best] / other : 1.0;

  Pose result = fromArray(candidates[best]);
  result.t -= result.r * Vector3(center[0], center[1], 0);
  double pose[3][4];
  toArray(result, pose);
  for (const double* v = &pose[0][0]; v < &pose[0][0] + 12; v++)
    if (!std::isfinite(*v)) return kArPoseFailure;
  std::memcpy(out, pose, sizeof pose);
  return errors[best];
}
