#include "tools/detect/frame_drawing.h"

#include <algorithm>
#include <cmath>

#include "camera/distortion.h"
#include "tools/common/text_boxes.h"

namespace {

constexpr double kLabelHeight = 10;    // pixels, capitals
constexpr double kStep = 0.5;          // pixels between dots along a line
constexpr uint8_t kAxisColours[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 80, 255}};

class Canvas {
 public:
  Canvas(const uint8_t* bgra, const CameraParam& camera) : camera_(camera) {
    image_.width = camera.xsize;
    image_.height = camera.ysize;
    image_.channels = 3;
    const size_t pixels = static_cast<size_t>(image_.width) * image_.height;
    image_.pixels.resize(pixels * 3);
    for (size_t i = 0; i < pixels; i++)
      for (int c = 0; c < 3; c++) image_.pixels[i * 3 + c] = bgra[i * 4 + 2 - c];
  }

  void fill(double x0, double y0, double x1, double y1, const uint8_t rgb[3]) {
    const int ix0 = std::max(0, static_cast<int>(std::lround(x0))), iy0 = std::max(0, static_cast<int>(std::lround(y0)));
    const int ix1 = std::min(image_.width, static_cast<int>(std::lround(x1)));
    const int iy1 = std::min(image_.height, static_cast<int>(std::lround(y1)));
    for (int y = iy0; y < iy1; y++)
      for (int x = ix0; x < ix1; x++) std::copy(rgb, rgb + 3, &image_.pixels[(static_cast<size_t>(y) * image_.width + x) * 3]);
  }

  // A line between two ideal points, drawn through the lens: dots every half pixel of the
  // ideal segment, each moved to where the camera sees it.
  void line(const double a[2], const double b[2], const uint8_t rgb[3]) {
    const double length = std::hypot(b[0] - a[0], b[1] - a[1]);
    const int steps = std::min(100000, static_cast<int>(std::ceil(length / kStep)) + 1);
    for (int i = 0; i <= steps; i++) {
      const double t = static_cast<double>(i) / steps;
      double ox, oy;
      arIdealToObserved(camera_.distortion, a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1]), &ox, &oy);
      fill(ox - 1, oy - 1, ox + 2, oy + 2, rgb);  // 3 x 3 pixels around the nearest one
    }
  }

  // The label centred above the marker's highest corner, clear of the outline.
  void label(const std::string& text, const double corners[4][2]) {
    double top = 1e30, sumX = 0;
    for (int i = 0; i < 4; i++) {
      double x, y;
      arIdealToObserved(camera_.distortion, corners[i][0], corners[i][1], &x, &y);
      top = std::min(top, y);
      sumX += x;
    }
    const double width = textWidth(text, kLabelHeight), height = kLabelHeight * 1.4;
    const double x = std::clamp(sumX / 4 - width / 2, 2.0, std::max(2.0, image_.width - width - 2));
    const double y = std::clamp(top - height - 6, 2.0, std::max(2.0, image_.height - height - 2));
    static const uint8_t black[3] = {0, 0, 0}, white[3] = {255, 255, 255};
    fill(x - 2, y - 2, x + width + 2, y + height + 1, black);
    for (const TextBox& box : textBoxes(text, x, y, kLabelHeight)) fill(box.x0, box.y0, box.x1, box.y1, white);
  }

  // Ideal image point of a point of the marker's own frame; false behind the camera.
  bool project(const double pose[3][4], double x, double y, double z, double out[2]) const {
    double camera[3];
    for (int r = 0; r < 3; r++) camera[r] = pose[r][0] * x + pose[r][1] * y + pose[r][2] * z + pose[r][3];
    double h[3];
    for (int r = 0; r < 3; r++)
      h[r] = camera_.projection[r][0] * camera[0] + camera_.projection[r][1] * camera[1] +
             camera_.projection[r][2] * camera[2] + camera_.projection[r][3];
    if (!(camera[2] > 0) || h[2] == 0) return false;
    out[0] = h[0] / h[2];
    out[1] = h[1] / h[2];
    return std::isfinite(out[0]) && std::isfinite(out[1]);
  }

  void axes(const DrawnMarker& m) {
    double origin[2];
    if (!project(m.pose, m.center[0], m.center[1], 0, origin)) return;
    for (int axis = 0; axis < 3; axis++) {
      double end[2];
      const double d[3] = {axis == 0 ? m.axisLength : 0, axis == 1 ? m.axisLength : 0, axis == 2 ? m.axisLength : 0};
      if (project(m.pose, m.center[0] + d[0], m.center[1] + d[1], d[2], end)) line(origin, end, kAxisColours[axis]);
    }
  }

  SimImage& image() { return image_; }

 private:
  const CameraParam& camera_;
  SimImage image_;
};

}  // namespace

SimImage drawDetections(const uint8_t* bgra, const CameraParam& camera, const std::vector<DrawnMarker>& markers) {
  Canvas canvas(bgra, camera);
  // Axes first, so that they do not hide the outlines; labels last, over everything.
  for (const DrawnMarker& m : markers)
    if (m.hasPose) canvas.axes(m);
  for (const DrawnMarker& m : markers) {
    const uint8_t* colour = m.identified ? kIdentifiedColour : kUnidentifiedColour;
    for (int i = 0; i < 4; i++) canvas.line(m.corners[i], m.corners[(i + 1) % 4], colour);
  }
  for (const DrawnMarker& m : markers)
    if (!m.label.empty()) canvas.label(m.label, m.corners);
  return std::move(canvas.image());
}
