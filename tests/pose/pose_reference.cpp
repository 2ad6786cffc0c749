#include "tests/pose/pose_reference.h"

#include "pose/pose_angles.h"

double referencePoseRefineRotation(double rotation[3][3], const double translation[3],
                                   const double projection[3][4], const double model[][3],
                                   const double observed[][2], int count) {
  double a0, b0, c0, step = 0.17453292519943295, minerr = 1e9, ma = 0, mb = 0, mc = 0;
  arRotationToAngles(rotation, &a0, &b0, &c0);
  bool centreWins = true;  // kept from the last pass in which some error was a number
  for (int pass = 0; pass < 10; pass++, a0 = ma, b0 = mb, c0 = mc) {
    minerr = 1e9;
    for (int t = 0; t < 27; t++) {  // each angle one step down, unchanged, one step up
      const double a1 = a0 + step * (t / 9 - 1), b1 = b0 + step * (t / 3 % 3 - 1), c1 = c0 + step * (t % 3 - 1);
      double h[3][4], err = 0.0;
      arComposeProjection(a1, b1, c1, translation, projection, h);
      for (int j = 0; j < count; j++) {
        const double* m = model[j];
        const double hx = h[0][0] * m[0] + h[0][1] * m[1] + h[0][2] * m[2] + h[0][3];
        const double hy = h[1][0] * m[0] + h[1][1] * m[1] + h[1][2] * m[2] + h[1][3];
        const double hz = h[2][0] * m[0] + h[2][1] * m[1] + h[2][2] * m[2] + h[2][3];
        const double dx = observed[j][0] - hx / hz, dy = observed[j][1] - hy / hz;
        err += dx * dx + dy * dy;
      }
      if (err < minerr) minerr = err, ma = a1, mb = b1, mc = c1, centreWins = t == 13;
    }
    if (centreWins) step *= 0.5;
  }
  arAnglesToRotation(ma, mb, mc, rotation);
  return minerr / count;
}
