#include <cmath>

#include "camera/camera_param.h"

namespace {

constexpr int32_t kMaxImageSide = 8192;
// The 3 x 3 block is singular when its determinant is this small against the product of its
// row lengths (the volume it would have with orthogonal rows).
constexpr double kSingularVolumeRatio = 1e-9;

double rowLength(const double row[4]) { return std::sqrt(row[0] * row[0] + row[1] * row[1] + row[2] * row[2]); }

}  // namespace

const char* arCameraParamProblem(const CameraParam* param) {
  if (param->xsize < 1 || param->xsize > kMaxImageSide || param->ysize < 1 || param->ysize > kMaxImageSide)
    return "the image size is outside 1 to 8192 pixels";
  for (const auto& row : param->projection)
    for (double v : row)
      if (!std::isfinite(v)) return "the camera matrix holds a value that is not a finite number";
  for (double v : param->distortion)
    if (!std::isfinite(v)) return "the distortion holds a value that is not a finite number";
  if (!(param->distortion[3] > 0.0)) return "the distortion scale is not positive";
  const double (*p)[4] = param->projection;
  const double det = p[0][0] * (p[1][1] * p[2][2] - p[1][2] * p[2][1]) -
                     p[0][1] * (p[1][0] * p[2][2] - p[1][2] * p[2][0]) +
                     p[0][2] * (p[1][0] * p[2][1] - p[1][1] * p[2][0]);
  const double volume = rowLength(p[0]) * rowLength(p[1]) * rowLength(p[2]);
  if (!(std::fabs(det) > kSingularVolumeRatio * volume)) return "the camera matrix is singular";
  return nullptr;
}
