#include "sim/synthetic_frame.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "camera/distortion.h"
#include "sim/frame_effects.h"
#include "sim/sim_pose.h"

namespace {

constexpr int kMaxFrameSide = 4096;
constexpr size_t kMaxMapFloats = 16u << 20;  // 64 MB
constexpr int kMaxSupersample = 8;
constexpr int kOutlineSamplesPerEdge = 24;    // outline points per marker edge for the bounding box
constexpr double kBoxMarginPixels = 2.0;      // covers the bulge of distorted edges between them
constexpr double kAmbiguousTopGapPixels = 3.0;

// Model corners k = 0..3 as multiples of the half width: top-left, top-right, bottom-right,
// bottom-left of the upright marker (y up).
constexpr double kCornerSign[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};

// How one marker is drawn this frame.
struct MarkerPlan {
  bool drawable = false;
  double planeFromIdeal[3][3];  // ideal image point (x, y, 1) -> homogeneous marker-plane point
  double half = 0;              // half the marker width
  double quarter = 0;           // half the interior width
  const SimImage* picture = nullptr;
  int x0 = 0, y0 = 0, x1 = -1, y1 = -1;  // pixel bounding box, inclusive
};

bool allFinite(const double* values, int count) {
  for (int i = 0; i < count; ++i)
    if (!std::isfinite(values[i])) return false;
  return true;
}

bool pictureUsable(const SimImage* image) {
  return image && image->width > 0 && image->height > 0 &&
         (image->channels == 1 || image->channels == 3 || image->channels == 4) &&
         image->pixels.size() == static_cast<size_t>(image->width) * image->height * image->channels;
}

// RGB of picture pixel (x, y); alpha is composited over white.
void pictureRgb(const SimImage& image, int x, int y, float rgb[3]) {
  const uint8_t* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * image.channels];
  if (image.channels == 1) {
    rgb[0] = rgb[1] = rgb[2] = p[0];
    return;
  }
  for (int c = 0; c < 3; ++c) rgb[c] = p[c];
  if (image.channels == 4) {
    const float alpha = p[3] / 255.0f;
    for (int c = 0; c < 3; ++c) rgb[c] = rgb[c] * alpha + 255.0f * (1 - alpha);
  }
}

// Squared scaled radius below which ideal -> observed is monotonic (where 1 - 3 p r^2 > 0),
// with a safety factor; infinite when the coefficient does not fold the image.
double monotonicRadiusSquared(const double distortion[4]) {
  const double p = distortion[2] / 100000000.0;
  if (!(p > 0)) return std::numeric_limits<double>::infinity();
  return 0.9 / (3 * p);
}

// Truth of a marker that is not drawn: no corners, no dir.
void resetTruth(const SimMarker& marker, SimMarkerTruth* t) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int k = 0; k < 4; ++k)
    t->observed[k][0] = t->observed[k][1] = t->ideal[k][0] = t->ideal[k][1] = nan;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) t->pose[r][c] = marker.pose[r][c];
  t->expectedDir = -1;
  t->fullyVisible = false;
  t->dirAmbiguous = false;
}

class Planner {
 public:
  Planner(const CameraParam& camera, int width, int height)
      : camera_(camera), width_(width), height_(height),
        foldRadiusSquared_(monotonicRadiusSquared(camera.distortion)) {}

  // Builds the plan of one marker and fills its truth.
  MarkerPlan plan(const SimMarker& marker, SimMarkerTruth* truth) const {
    MarkerPlan plan;
    SimMarkerTruth local;
    SimMarkerTruth& t = truth ? *truth : local;
    resetTruth(marker, &t);
    if (!(marker.width > 0) || !std::isfinite(marker.width) || !allFinite(&marker.pose[0][0], 12))
      return plan;

    plan.half = marker.width / 2;
    plan.quarter = marker.width / 4;
    plan.picture = pictureUsable(marker.interior) ? marker.interior : nullptr;
    if (!invertPlaneMapping(marker.pose, plan.planeFromIdeal)) return plan;
    plan.drawable = true;

    fillCornerTruth(marker.pose, plan.half, &t);
    bool outlineSafe = true, insideFrame = true;
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (int edge = 0; edge < 4; ++edge) {
      const double* a = kCornerSign[edge];
      const double* b = kCornerSign[(edge + 1) % 4];
      for (int n = 0; n < kOutlineSamplesPerEdge; ++n) {
        const double f = static_cast<double>(n) / kOutlineSamplesPerEdge;
        const double mx = plan.half * (a[0] + (b[0] - a[0]) * f);
        const double my = plan.half * (a[1] + (b[1] - a[1]) * f);
        double ix, iy, ox, oy;
        if (!simProjectMarkerPoint(marker.pose, camera_.projection, mx, my, &ix, &iy) ||
            !belowFoldRadius(ix, iy)) {
          outlineSafe = false;
          continue;
        }
        arIdealToObserved(camera_.distortion, ix, iy, &ox, &oy);
        minX = std::min(minX, ox), maxX = std::max(maxX, ox);
        minY = std::min(minY, oy), maxY = std::max(maxY, oy);
        insideFrame = insideFrame && ox >= -0.5 && oy >= -0.5 && ox <= width_ - 0.5 && oy <= height_ - 0.5;
      }
    }
    t.fullyVisible = outlineSafe && insideFrame;
    if (!outlineSafe) {  // parts behind the camera or folded by the lens: test every pixel
      plan.x0 = plan.y0 = 0;
      plan.x1 = width_ - 1;
      plan.y1 = height_ - 1;
    } else {
      plan.x0 = std::max(0, static_cast<int>(std::floor(minX - kBoxMarginPixels)));
      plan.y0 = std::max(0, static_cast<int>(std::floor(minY - kBoxMarginPixels)));
      plan.x1 = std::min(width_ - 1, static_cast<int>(std::ceil(maxX + kBoxMarginPixels)));
      plan.y1 = std::min(height_ - 1, static_cast<int>(std::ceil(maxY + kBoxMarginPixels)));
    }
    return plan;
  }

 private:
  // Inverts the mapping marker plane (u, v, 1) -> ideal image point, which is
  // [P3 r1 | P3 r2 | P3 t + p4] for camera matrix P = [P3 | p4] and pose [r1 r2 r3 | t].
  bool invertPlaneMapping(const double pose[3][4], double out[3][3]) const {
    const auto& p = camera_.projection;
    double h[3][3];
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 2; ++c)
        h[r][c] = p[r][0] * pose[0][c] + p[r][1] * pose[1][c] + p[r][2] * pose[2][c];
      h[r][2] = p[r][0] * pose[0][3] + p[r][1] * pose[1][3] + p[r][2] * pose[2][3] + p[r][3];
    }
    const double adj[3][3] = {
        {h[1][1] * h[2][2] - h[1][2] * h[2][1], h[0][2] * h[2][1] - h[0][1] * h[2][2],
         h[0][1] * h[1][2] - h[0][2] * h[1][1]},
        {h[1][2] * h[2][0] - h[1][0] * h[2][2], h[0][0] * h[2][2] - h[0][2] * h[2][0],
         h[0][2] * h[1][0] - h[0][0] * h[1][2]},
        {h[1][0] * h[2][1] - h[1][1] * h[2][0], h[0][1] * h[2][0] - h[0][0] * h[2][1],
         h[0][0] * h[1][1] - h[0][1] * h[1][0]}};
    const double det = h[0][0] * adj[0][0] + h[0][1] * adj[1][0] + h[0][2] * adj[2][0];
    if (!(std::abs(det) > 0) || !std::isfinite(det)) return false;  // plane seen edge-on
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) out[r][c] = adj[r][c] / det;
    return allFinite(&out[0][0], 9);
  }

  bool belowFoldRadius(double ix, double iy) const {
    const double s = camera_.distortion[3];
    const double x = (ix - camera_.distortion[0]) * s, y = (iy - camera_.distortion[1]) * s;
    return x * x + y * y < foldRadiusSquared_;
  }

  void fillCornerTruth(const double pose[3][4], double half, SimMarkerTruth* t) const {
    bool allInFront = true;
    for (int k = 0; k < 4; ++k) {
      double ix, iy;
      if (!simProjectMarkerPoint(pose, camera_.projection, half * kCornerSign[k][0],
                                 half * kCornerSign[k][1], &ix, &iy)) {
        allInFront = false;
        continue;
      }
      t->ideal[k][0] = ix;
      t->ideal[k][1] = iy;
      arIdealToObserved(camera_.distortion, ix, iy, &t->observed[k][0], &t->observed[k][1]);
    }
    if (!allInFront) return;
    // The detector starts its corner list at the corner opposite the topmost one.
    int top = 0;
    for (int k = 1; k < 4; ++k) {
      const double y = t->observed[k][1], topY = t->observed[top][1];
      if (y < topY || (y == topY && t->observed[k][0] < t->observed[top][0])) top = k;
    }
    t->expectedDir = (top + 2) % 4;
    double secondY = 1e300;
    for (int k = 0; k < 4; ++k)
      if (k != top) secondY = std::min(secondY, t->observed[k][1]);
    t->dirAmbiguous = secondY - t->observed[top][1] < kAmbiguousTopGapPixels;
  }

  const CameraParam& camera_;
  int width_, height_;
  double foldRadiusSquared_;
};

// Colour of the scene behind the markers at pixel (x, y).
void backgroundRgb(const SimBackground& background, int x, int y, int width, int height, float rgb[3]) {
  if (background.kind == SimBackgroundKind::Gradient) {
    const float f = width > 1 ? static_cast<float>(x) / (width - 1) : 0.0f;
    rgb[0] = rgb[1] = rgb[2] = background.grey + (background.grey2 - background.grey) * f;
    return;
  }
  if (background.kind == SimBackgroundKind::Texture && pictureUsable(background.texture)) {
    // Bilinear sample of the texture stretched over the whole frame.
    const SimImage& tex = *background.texture;
    const double u = std::clamp((x + 0.5) * tex.width / width - 0.5, 0.0, tex.width - 1.0);
    const double v = std::clamp((y + 0.5) * tex.height / height - 0.5, 0.0, tex.height - 1.0);
    const int u0 = static_cast<int>(u), v0 = static_cast<int>(v);
    const int u1 = std::min(u0 + 1, tex.width - 1), v1 = std::min(v0 + 1, tex.height - 1);
    const float fu = static_cast<float>(u - u0), fv = static_cast<float>(v - v0);
    float a[3], b[3], c[3], d[3];
    pictureRgb(tex, u0, v0, a);
    pictureRgb(tex, u1, v0, b);
    pictureRgb(tex, u0, v1, c);
    pictureRgb(tex, u1, v1, d);
    for (int k = 0; k < 3; ++k)
      rgb[k] = (a[k] * (1 - fu) + b[k] * fu) * (1 - fv) + (c[k] * (1 - fu) + d[k] * fu) * fv;
    return;
  }
  rgb[0] = rgb[1] = rgb[2] = background.grey;
}

// Colour of marker-plane point (u, v) (origin at the marker centre, y up); false outside it.
bool markerRgb(const MarkerPlan& plan, double u, double v, float rgb[3]) {
  if (!(std::abs(u) <= plan.half && std::abs(v) <= plan.half)) return false;
  if (std::abs(u) > plan.quarter || std::abs(v) > plan.quarter) {
    rgb[0] = rgb[1] = rgb[2] = 0;
    return true;
  }
  if (!plan.picture) {
    rgb[0] = rgb[1] = rgb[2] = 255;
    return true;
  }
  const SimImage& pic = *plan.picture;
  const double side = 2 * plan.quarter;
  const int column = std::clamp(static_cast<int>((u + plan.quarter) / side * pic.width), 0, pic.width - 1);
  const int row = std::clamp(static_cast<int>((plan.quarter - v) / side * pic.height), 0, pic.height - 1);
  pictureRgb(pic, column, row, rgb);
  return true;
}

// Topmost marker colour at ideal point (ix, iy) among the plans covering pixel x, later over
// earlier; false when no marker is there.
bool topMarkerRgb(const std::vector<const MarkerPlan*>& rowPlans, int x, double ix, double iy, float rgb[3]) {
  for (auto it = rowPlans.rbegin(); it != rowPlans.rend(); ++it) {
    const MarkerPlan& plan = **it;
    if (x < plan.x0 || x > plan.x1) continue;
    const double(*m)[3] = plan.planeFromIdeal;
    const double w = m[2][0] * ix + m[2][1] * iy + m[2][2];
    if (!(w > 0)) continue;  // behind the camera
    const double u = (m[0][0] * ix + m[0][1] * iy + m[0][2]) / w;
    const double v = (m[1][0] * ix + m[1][1] * iy + m[1][2]) / w;
    if (markerRgb(plan, u, v, rgb)) return true;
  }
  return false;
}

uint8_t toByte(float value) {
  if (!(value >= 0)) return 0;
  return static_cast<uint8_t>(std::clamp(std::floor(value + 0.5f), 0.0f, 255.0f));
}

}  // namespace

SimRenderer::SimRenderer(const CameraParam& camera, int width, int height)
    : SimRenderer(camera, width, height, 3) {}

SimRenderer::SimRenderer(const CameraParam& camera, int width, int height, int mapSupersample)
    : camera_(camera), width_(width), height_(height), mapSupersample_(mapSupersample) {
  if (width < 1 || width > kMaxFrameSide || height < 1 || height > kMaxFrameSide) {
    error_ = "frame size " + std::to_string(width) + " x " + std::to_string(height) +
             " outside 1..4096";
  } else if (mapSupersample < 1 || mapSupersample > kMaxSupersample) {
    error_ = "supersampling factor " + std::to_string(mapSupersample) + " outside 1..8";
  } else if (!allFinite(&camera.projection[0][0], 12) || !allFinite(camera.distortion, 4) ||
             camera.distortion[3] == 0) {
    error_ = "camera matrix or distortion not usable (non-finite values or zero scale)";
  }
  if (!error_.empty()) {
    width_ = height_ = mapSupersample_ = 0;
    return;
  }
  // Stored as offsets from the observed sample, so floats keep about 1e-6 pixel.
  const int s = mapSupersample_;
  if (static_cast<size_t>(width_) * s * height_ * s * 2 > kMaxMapFloats) {
    mapSupersample_ = 0;  // too large to keep: computed on the fly
    return;
  }
  mapOffset_.resize(static_cast<size_t>(width_) * s * height_ * s * 2);
  size_t index = 0;
  for (int row = 0; row < height_ * s; ++row) {
    const double oy = row / s - 0.5 + (row % s + 0.5) / s;
    for (int column = 0; column < width_ * s; ++column) {
      const double ox = column / s - 0.5 + (column % s + 0.5) / s;
      double ix, iy;
      arObservedToIdeal(camera_.distortion, ox, oy, &ix, &iy);
      mapOffset_[index++] = static_cast<float>(ix - ox);
      mapOffset_[index++] = static_cast<float>(iy - oy);
    }
  }
}

void SimRenderer::sampleIdeal(int x, int y, int i, int j, int s, double* ix, double* iy) const {
  const double ox = x - 0.5 + (i + 0.5) / s;
  const double oy = y - 0.5 + (j + 0.5) / s;
  if (s == mapSupersample_) {
    const size_t index = ((static_cast<size_t>(y) * s + j) * width_ * s + static_cast<size_t>(x) * s + i) * 2;
    *ix = ox + mapOffset_[index];
    *iy = oy + mapOffset_[index + 1];
    return;
  }
  double exactX, exactY;
  arObservedToIdeal(camera_.distortion, ox, oy, &exactX, &exactY);
  *ix = ox + static_cast<float>(exactX - ox);
  *iy = oy + static_cast<float>(exactY - oy);
}

void SimRenderer::render(const SimBackground& background, const SimMarker* markers, int count,
                         const SimEffects& effects, uint8_t* bgra, SimMarkerTruth* truth) const {
  renderScene(background, markers, count, effects, bgra, truth, true);
}

void SimRenderer::renderScene(const SimBackground& background, const SimMarker* markers, int count,
                              const SimEffects& effects, uint8_t* bgra, SimMarkerTruth* truth,
                              bool boundToBoxes) const {
  if (!markers) count = 0;
  count = std::max(count, 0);
  if (!valid()) {
    for (int m = 0; truth && m < count; ++m) resetTruth(markers[m], &truth[m]);
    return;
  }
  std::vector<MarkerPlan> plans;
  Planner planner(camera_, width_, height_);
  for (int m = 0; m < count; ++m) {
    plans.push_back(planner.plan(markers[m], truth ? &truth[m] : nullptr));
    if (!boundToBoxes && plans.back().drawable) {
      plans.back().x0 = plans.back().y0 = 0;
      plans.back().x1 = width_ - 1;
      plans.back().y1 = height_ - 1;
    }
  }
  if (!bgra) return;

  const int s = std::clamp(effects.supersample, 1, kMaxSupersample);
  const float perSample = 1.0f / (s * s);
  const bool postProcess = effects.blurSigma > 0 || effects.noiseSigma > 0;
  std::vector<float> work(postProcess ? static_cast<size_t>(width_) * height_ * 3 : 0);
  const double gradient =
      std::isfinite(effects.brightnessGradient) ? std::clamp(effects.brightnessGradient, -2.0, 2.0) : 0.0;
  const double diagonal = std::max(1, width_ - 1 + height_ - 1);
  const SimLightField lightField(effects.lighting, width_, height_);

  std::vector<const MarkerPlan*> rowPlans;
  for (int y = 0; y < height_; ++y) {
    rowPlans.clear();
    for (const MarkerPlan& plan : plans)
      if (plan.drawable && y >= plan.y0 && y <= plan.y1) rowPlans.push_back(&plan);
    for (int x = 0; x < width_; ++x) {
      float back[3], sum[3] = {0, 0, 0};
      backgroundRgb(background, x, y, width_, height_, back);
      bool covered = false;
      for (const MarkerPlan* plan : rowPlans) covered = covered || (x >= plan->x0 && x <= plan->x1);
      if (!covered) {
        std::copy_n(back, 3, sum);
      } else {
        for (int j = 0; j < s; ++j)
          for (int i = 0; i < s; ++i) {
            double ix, iy;
            sampleIdeal(x, y, i, j, s, &ix, &iy);
            float rgb[3];
            const float* sample = topMarkerRgb(rowPlans, x, ix, iy, rgb) ? rgb : back;
            sum[0] += sample[0], sum[1] += sample[1], sum[2] += sample[2];
          }
        for (float& v : sum) v *= perSample;
      }
      const float light = static_cast<float>(1 + gradient * ((x + y) / diagonal - 0.5));
      const float lit = std::max(light, 0.0f);
      float out[3] = {sum[0] * lit, sum[1] * lit, sum[2] * lit};
      if (!lightField.identity()) lightField.apply(out, x, y);
      const size_t pixel = static_cast<size_t>(y) * width_ + x;
      if (postProcess) {
        for (int c = 0; c < 3; c++) work[pixel * 3 + c] = out[c];
      } else {
        bgra[pixel * 4 + 0] = toByte(out[2]);
        bgra[pixel * 4 + 1] = toByte(out[1]);
        bgra[pixel * 4 + 2] = toByte(out[0]);
        bgra[pixel * 4 + 3] = 255;
      }
    }
  }
  if (!postProcess) return;
  simBlurRgb(work.data(), width_, height_, effects.blurSigma);
  simAddNoise(work.data(), width_ * height_ * 3, effects.noiseSigma, effects.seed);
  for (size_t pixel = 0; pixel < static_cast<size_t>(width_) * height_; ++pixel) {
    bgra[pixel * 4 + 0] = toByte(work[pixel * 3 + 2]);
    bgra[pixel * 4 + 1] = toByte(work[pixel * 3 + 1]);
    bgra[pixel * 4 + 2] = toByte(work[pixel * 3 + 0]);
    bgra[pixel * 4 + 3] = 255;
  }
}
