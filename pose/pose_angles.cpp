#include "pose/pose_angles.h"

#include <cmath>

namespace {

// Tilts within this of 0 or pi are taken as "normal on the camera axis": there the azimuth is
// undefined (exactly on the axis the general formulas divide 0 by 0) and c carries the turn.
constexpr double kOnAxisTilt = 0.000001;
constexpr double kPi = 3.141592653589793;

// Pulls a (cosine, sine) pair that rounding pushed outside [-1, 1] back onto the circle.
void clampCosSin(double* cosine, double* sine) {
  if (*cosine > 1.0) {
    *cosine = 1.0;
    *sine = 0.0;
  } else if (*cosine < -1.0) {
    *cosine = -1.0;
    *sine = 0.0;
  } else if (*sine > 1.0) {
    *sine = 1.0;
    *cosine = 0.0;
  } else if (*sine < -1.0) {
    *sine = -1.0;
    *cosine = 0.0;
  }
}

double angleOf(double cosine, double sine) {
  clampCosSin(&cosine, &sine);
  const double angle = std::acos(cosine);
  return sine < 0.0 ? -angle : angle;
}

}  // namespace

void arAnglesToRotation(double a, double b, double c, double rotation[3][3]) {
  const double Sa = std::sin(a), Ca = std::cos(a);
  const double Sb = std::sin(b), Cb = std::cos(b);
  const double Sc = std::sin(c), Cc = std::cos(c);
  rotation[0][0] = Ca * Ca * Cb * Cc + Sa * Sa * Cc + Sa * Ca * Cb * Sc - Sa * Ca * Sc;
  rotation[0][1] = -Ca * Ca * Cb * Sc - Sa * Sa * Sc + Sa * Ca * Cb * Cc - Sa * Ca * Cc;
  rotation[0][2] = Ca * Sb;
  rotation[1][0] = Sa * Ca * Cb * Cc - Sa * Ca * Cc + Sa * Sa * Cb * Sc + Ca * Ca * Sc;
  rotation[1][1] = -Sa * Ca * Cb * Sc + Sa * Ca * Sc + Sa * Sa * Cb * Cc + Ca * Ca * Cc;
  rotation[1][2] = Sa * Sb;
  rotation[2][0] = -Ca * Sb * Cc - Sa * Sb * Sc;
  rotation[2][1] = Ca * Sb * Sc - Sa * Sb * Cc;
  rotation[2][2] = Cb;
}

void arRotationToAngles(double rotation[3][3], double* a, double* b, double* c) {
  if (rotation[2][2] > 1.0) {
    rotation[2][2] = 1.0;
  } else if (rotation[2][2] < -1.0) {
    rotation[2][2] = -1.0;
  }
  double tilt = std::acos(rotation[2][2]);
  const double Sb = std::sin(tilt);
  if (!(tilt >= kOnAxisTilt)) {
    // Normal along +z (facing away from the camera): R = Rz(c).
    *a = 0.0;
    tilt = 0.0;
    *c = angleOf(rotation[0][0], rotation[1][0]);
  } else if (tilt > kPi - kOnAxisTilt) {
    // Normal along -z, a marker seen square on: R = Ry(pi) * Rz(c) = rows (-cos c, sin c, 0),
    // (sin c, cos c, 0), (0, 0, -1).
    *a = 0.0;
    tilt = kPi;
    *c = angleOf(rotation[1][1], rotation[1][0]);
  } else {
    const double r02 = rotation[0][2], r12 = rotation[1][2];
    *a = angleOf(r02 / Sb, r12 / Sb);
    const double d = r02 * r02 + r12 * r12;
    const double sinC = (rotation[2][1] * r02 - rotation[2][0] * r12) / d;
    const double cosC = -(r02 * rotation[2][0] + r12 * rotation[2][1]) / d;
    *c = angleOf(cosC, sinC);
  }
  *b = tilt;
}

void arComposeProjection(double a, double b, double c, const double translation[3],
                         const double projection[3][4], double h[3][4]) {
  double rotation[3][3];
  arAnglesToRotation(a, b, c, rotation);
  for (int j = 0; j < 3; j++) {
    const double* p = projection[j];
    for (int i = 0; i < 3; i++) {
      h[j][i] = p[0] * rotation[0][i] + p[1] * rotation[1][i] + p[2] * rotation[2][i];
    }
    h[j][3] = p[0] * translation[0] + p[1] * translation[1] + p[2] * translation[2] + p[3];
  }
}
