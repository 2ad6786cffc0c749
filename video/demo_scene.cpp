#include "video/demo_scene.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <system_error>

#include "sim/sim_pose.h"
#include "sim/synthetic_frame.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMarkerWidth = 80;       // mm
constexpr double kNearest = 400;          // mm
constexpr double kFarthest = 900;         // mm
constexpr double kMaxTilt = 40;           // degrees
constexpr double kMaxSway = 30;           // degrees of turn about the normal, either way
constexpr double kWander = 0.08;          // of the cell's shorter side, either way
constexpr double kFill = 0.72;            // of the cell's shorter side the marker may cover
constexpr double kSmallest = 40;          // pixels: the side of a marker at its farthest
constexpr int kMaxMarkers = 12;
constexpr int kMaxSide = 4096;            // pixels, as large as the synthetic renderer draws
constexpr int kSupersample = 2;           // per axis: smooth edges at a quarter of the cost of 4

// Uniform in [low, high) from the standard-defined mt19937 sequence, so the scene is the same
// with every standard library.
double uniform(std::mt19937& rng, double low, double high) {
  return low + (high - low) * (static_cast<double>(rng()) / 4294967296.0);
}

double wave(double t, double period, double phase) { return std::sin(2 * kPi * t / period + phase); }

struct Grid {
  int cols = 1, rows = 1;
  double cellW = 0, cellH = 0;
  double nearest = kNearest;   // mm; a marker this close still fits its cell
  double farthest = kFarthest; // mm; a marker this far is still large enough to be found
  bool usable() const { return nearest <= 0.8 * farthest; }
};

// The closest distance at which a marker, turned and tilted as far as it goes, still covers at
// most kFill of a cell: its outline spans at most sqrt(2) sides, and a 40 degree tilt brings
// its near edge up to 0.5 * sqrt(2) * sin(40) sides closer.
Grid gridFor(int count, int width, int height, double focal) {
  Grid g;
  g.cols = std::max(1, static_cast<int>(std::ceil(std::sqrt(count * static_cast<double>(width) / height))));
  g.rows = (count + g.cols - 1) / g.cols;
  g.cellW = static_cast<double>(width) / g.cols;
  g.cellH = static_cast<double>(height) / g.rows;
  double span = std::sqrt(2.0) * kMarkerWidth;
  double closer = 0.5 * span * std::sin(kMaxTilt * kPi / 180);
  double fit = focal * span / (kFill * std::min(g.cellW, g.cellH)) + closer;
  g.nearest = std::max(kNearest, fit);
  g.farthest = std::min(kFarthest, focal * kMarkerWidth / kSmallest);
  return g;
}

std::vector<std::string> listPatterns(const std::string& folder, std::string* error) {
  std::vector<std::string> files;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) {
    *error = "demo scene: cannot read the pattern folder " + folder + ": " + ec.message();
    return files;
  }
  for (const auto& entry : it) {
    if (entry.path().extension() == ".patt" && entry.is_regular_file(ec)) {
      files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) *error = "demo scene: no .patt files in " + folder;
  return files;
}

}  // namespace

struct DemoScene::Motion {
  double cellX = 0, cellY = 0;     // cell centre, pixels
  double cellSize = 0;             // shorter side of the cell, pixels
  double nearest = kNearest, farthest = kFarthest;
  double distPeriod = 1, distPhase = 0;
  double tiltPeriod = 1, tiltPhase = 0;
  double axisBase = 0, axisPeriod = 1;
  double spinBase = 0, spinPeriod = 1, spinPhase = 0;
  double wanderPeriodX = 1, wanderPhaseX = 0, wanderPeriodY = 1, wanderPhaseY = 0;
};

DemoScene::DemoScene() = default;
DemoScene::~DemoScene() = default;
DemoScene::DemoScene(DemoScene&&) noexcept = default;
DemoScene& DemoScene::operator=(DemoScene&&) noexcept = default;

bool DemoScene::load(const DemoSceneSettings& settings, std::string* error) {
  settings_ = settings;
  if (settings.width < 1 || settings.height < 1 || settings.width > kMaxSide || settings.height > kMaxSide) {
    *error = "demo scene: the frame size must be at most 4096x4096";
    return false;
  }
  CameraParam shipped{};
  if (arCameraParamRead(settings.camera.c_str(), 1, &shipped) != 0) {
    *error = "demo scene: cannot read the camera file " + settings.camera;
    return false;
  }
  if (const char* problem = arCameraParamProblem(&shipped)) {
    *error = "demo scene: the camera file " + settings.camera + " cannot be used: " + problem;
    return false;
  }
  arCameraParamResize(&shipped, settings.width, settings.height, &camera_);
  patternFiles_ = listPatterns(settings.patterns, error);
  if (patternFiles_.empty()) return false;
  if (patternFiles_.size() > static_cast<size_t>(kMaxMarkers)) patternFiles_.resize(kMaxMarkers);

  pictures_.assign(patternFiles_.size(), SimImage());
  for (size_t i = 0; i < patternFiles_.size(); i++) {
    std::string png = std::filesystem::path(patternFiles_[i]).replace_extension(".png").string();
    std::string cause;
    std::error_code ec;
    bool ok = std::filesystem::exists(png, ec) ? simLoadImage(png, &pictures_[i], &cause)
                                               : simPictureFromPatternFile(patternFiles_[i], &pictures_[i], &cause);
    if (!ok) {
      *error = "demo scene: " + cause;
      return false;
    }
  }

  renderer_ = std::make_unique<SimRenderer>(camera_, settings.width, settings.height, kSupersample);
  if (!renderer_->valid()) {
    *error = "demo scene: " + renderer_->error();
    return false;
  }

  // Fewer markers when the frame is too small for all of them at the farthest distance.
  const double focal = camera_.projection[0][0];
  int count = static_cast<int>(patternFiles_.size());
  Grid grid = gridFor(count, settings.width, settings.height, focal);
  while (count > 1 && !grid.usable()) grid = gridFor(--count, settings.width, settings.height, focal);
  if (!grid.usable()) {
    *error = "demo scene: the frame is too small to show a marker";
    return false;
  }
  patternFiles_.resize(count);
  pictures_.resize(count);

  std::mt19937 rng(settings.seed);
  std::vector<int> cells(grid.cols * grid.rows);
  for (size_t i = 0; i < cells.size(); i++) cells[i] = static_cast<int>(i);
  for (size_t i = cells.size(); i > 1; i--) std::swap(cells[i - 1], cells[rng() % i]);
  motions_.assign(count, Motion());
  for (int i = 0; i < count; i++) {
    Motion& m = motions_[i];
    m.cellX = (cells[i] % grid.cols + 0.5) * grid.cellW;
    m.cellY = (cells[i] / grid.cols + 0.5) * grid.cellH;
    m.cellSize = std::min(grid.cellW, grid.cellH);
    m.nearest = grid.nearest;
    m.farthest = grid.farthest;
    m.distPeriod = uniform(rng, 7, 13);
    m.distPhase = uniform(rng, 0, 2 * kPi);
    m.tiltPeriod = uniform(rng, 5, 9);
    m.tiltPhase = uniform(rng, 0, 2 * kPi);
    m.axisBase = uniform(rng, 0, 360);
    m.axisPeriod = uniform(rng, 11, 17);
    m.spinBase = uniform(rng, 0, 360);
    m.spinPeriod = uniform(rng, 8, 14);
    m.spinPhase = uniform(rng, 0, 2 * kPi);
    m.wanderPeriodX = uniform(rng, 6, 12);
    m.wanderPhaseX = uniform(rng, 0, 2 * kPi);
    m.wanderPeriodY = uniform(rng, 6, 12);
    m.wanderPhaseY = uniform(rng, 0, 2 * kPi);
  }
  return true;
}

std::vector<DemoSceneMarker> DemoScene::markersAt(double t) const {
  if (settings_.motion == DemoMotion::Still || !std::isfinite(t)) t = 0;
  const double(&p)[3][4] = camera_.projection;
  std::vector<DemoSceneMarker> markers(motions_.size());
  for (size_t i = 0; i < motions_.size(); i++) {
    const Motion& m = motions_[i];
    double mid = 0.5 * (m.nearest + m.farthest), half = 0.5 * (m.farthest - m.nearest);
    double distance = mid + half * wave(t, m.distPeriod, m.distPhase);
    double tilt = kMaxTilt * wave(t, m.tiltPeriod, m.tiltPhase);
    double axis = m.axisBase + 45 * wave(t, m.axisPeriod, 0);
    double spin = m.spinBase + kMaxSway * wave(t, m.spinPeriod, m.spinPhase);
    double u = m.cellX + kWander * m.cellSize * wave(t, m.wanderPeriodX, m.wanderPhaseX);
    double v = m.cellY + kWander * m.cellSize * wave(t, m.wanderPeriodY, m.wanderPhaseY);
    // The camera point at this depth that projects (without distortion) to pixel (u, v).
    double y = (v - p[1][2]) * distance / p[1][1];
    double x = ((u - p[0][2]) * distance - p[0][1] * y) / p[0][0];
    markers[i].patternFile = patternFiles_[i];
    markers[i].width = kMarkerWidth;
    simPoseLookAt(distance, tilt, axis, spin, x, y, markers[i].pose);
  }
  return markers;
}

void DemoScene::render(double t, uint8_t* bgra) const {
  std::vector<DemoSceneMarker> placed = markersAt(t);
  std::vector<SimMarker> markers(placed.size());
  for (size_t i = 0; i < placed.size(); i++) {
    markers[i].width = placed[i].width;
    std::copy(&placed[i].pose[0][0], &placed[i].pose[0][0] + 12, &markers[i].pose[0][0]);
    markers[i].interior = &pictures_[i];
  }
  SimBackground background;
  background.kind = SimBackgroundKind::Gradient;
  background.grey = 150;     // well above the detection threshold, so only markers are dark
  background.grey2 = 215;
  SimEffects effects;
  effects.supersample = kSupersample;
  effects.seed = settings_.seed;
  effects.lighting = settings_.lighting;
  renderer_->render(background, markers.data(), static_cast<int>(markers.size()), effects, bgra, nullptr);
}
