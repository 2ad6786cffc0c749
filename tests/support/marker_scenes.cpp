#include "tests/support/marker_scenes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>

#include "sim/sim_pose.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kIdentifiedRadius = 15;  // pixels between a report's centre and the marker's
constexpr double kCornerTolerance = 3;    // pixels; beyond it the corners or the dir are wrong
constexpr int kMargin = 5;                // pixels between a marker's corners and the frame edge
constexpr size_t kLogLimit = 2000;

// Signed distance of p from the line through a and b, positive on the side away from centre.
double outsideDistance(const double a[2], const double b[2], const double centre[2], const double p[2]) {
  const auto side = [&](const double q[2]) {
    return ((b[0] - a[0]) * (q[1] - a[1]) - (b[1] - a[1]) * (q[0] - a[0])) / std::hypot(b[0] - a[0], b[1] - a[1]);
  };
  return side(centre) < 0 ? side(p) : -side(p);
}

}  // namespace

MarkerScenes::MarkerScenes(const CameraParam& camera, const SceneSetup& setup) : camera_(camera), setup_(setup) {
  arCameraParamSetCurrent(&camera_);
  arResetPatternStore();
  arResetMarkerHistory();
  std::vector<std::string> files;  // the shipped patterns, in name order
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("Data/patterns", ec))
    if (entry.path().extension() == ".patt") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  if (files.size() < 4) error_ = "needs the shipped patterns in Data/patterns";
  for (size_t i = 0; i < files.size() && error_.empty(); i++) {
    if (arReadPatternFile(files[i].c_str()) != static_cast<int>(i)) error_ = "cannot load " + files[i];
    SimImage picture;
    if (!simPictureFromPatternFile(files[i], &picture, &error_)) break;
    pictures_.push_back(picture);
  }
  renderer_ = std::make_unique<SimRenderer>(camera_, setup.width, setup.height, setup.effects.supersample);
  if (error_.empty() && !renderer_->valid()) error_ = renderer_->error();
}

void MarkerScenes::render(uint32_t seed, SceneFrame* frame, int* quarterTurns, const SimEffects* effects) const {
  const SceneSetup& s = setup_;
  const double f = camera_.projection[0][0], cx = camera_.projection[0][2], cy = camera_.projection[1][2];
  const bool byDistance = s.maxDistance > 0;
  std::mt19937 rng(seed);
  auto uniform = [&rng](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
  frame->markers.clear(), frame->patterns.clear();
  const size_t wanted = 1 + rng() % 4;
  std::vector<std::array<double, 3>> discs;
  for (int attempt = 0; attempt < 200 && frame->markers.size() < wanted; attempt++) {
    const double side = byDistance ? 0.0 : uniform(s.minSide, s.maxSide);
    const double distance = byDistance ? uniform(s.minDistance, s.maxDistance) : f * s.markerWidth / side;
    const double radius = (byDistance ? f * s.markerWidth / distance : side) * 0.75 + 4;
    const double u = uniform(radius, s.width - radius), v = uniform(radius, s.height - radius);
    bool overlaps = false;
    for (const auto& d : discs) overlaps = overlaps || std::hypot(d[0] - u, d[1] - v) < d[2] + radius;
    if (overlaps && !byDistance) continue;
    const int pattern = static_cast<int>(rng() % pictures_.size());
    for (int p : frame->patterns) overlaps = overlaps || (byDistance && p == pattern);
    if (overlaps) continue;
    SimMarker m{s.markerWidth, {}, &pictures_[pattern]};
    const double spin = byDistance ? 90.0 * (*quarterTurns % 4) + uniform(-40, 40) : uniform(0, 360);
    const double tiltAxis = uniform(0, 360), tilt = uniform(s.minTilt, s.maxTilt);
    simPoseLookAt(distance, tilt, tiltAxis, spin, (u - cx) * distance / f, (v - cy) * distance / f, m.pose);
    SimMarkerTruth t;
    renderer_->render(SimBackground(), &m, 1, s.effects, nullptr, &t);
    bool inside = t.fullyVisible;
    for (int k = 0; k < 4 && inside; k++)
      inside = t.observed[k][0] > kMargin - 1 && t.observed[k][0] < s.width - kMargin &&
               t.observed[k][1] > kMargin - 1 && t.observed[k][1] < s.height - kMargin;
    if (!inside) continue;
    if (byDistance) ++*quarterTurns;
    discs.push_back({u, v, radius});
    frame->markers.push_back(m), frame->patterns.push_back(pattern);
  }
  frame->truth.assign(frame->markers.size(), SimMarkerTruth{});
  frame->bgra.assign(static_cast<size_t>(s.width) * s.height * 4, 0);
  // Noise, and the direction of a light gradient or shadow, differ from frame to frame.
  SimEffects e = effects ? *effects : s.effects;
  e.seed += seed, e.lighting.seed += seed;
  renderer_->render(s.background, frame->markers.data(), static_cast<int>(frame->markers.size()), e,
                    frame->bgra.data(), frame->truth.data());
}

double SceneFigures::share(double PoseOutcome::*field, double limit, double nearest, double farthest) const {
  int in = 0, below = 0;
  for (const PoseOutcome& o : poses)
    if (o.distance >= nearest && o.distance < farthest) in++, below += o.*field < limit;
  return in ? static_cast<double>(below) / in : 0.0;
}

double SceneFigures::percentile(double PoseOutcome::*field, double p) const {
  std::vector<double> values;
  for (const PoseOutcome& o : poses) values.push_back(o.*field);
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  const size_t rank = static_cast<size_t>(std::ceil(p * values.size()));
  return values[std::min(values.size() - 1, rank > 0 ? rank - 1 : 0)];
}

void SceneFigures::print(const std::string& label) const {
  std::printf("%s: placed %d, identified %d (%.2f %%), correct %d (%.2f %%), false ids %d, corner RMS %.3f px, "
              "mean outward %+.3f px, dir as expected %d of %d\n",
              label.c_str(), placed, identified, placed ? 100.0 * identified / placed : 0.0, correct,
              100.0 * correctRate(), falseIds, cornerRms(), meanOutward(), dirAsExpected, unambiguous);
  if (poses.empty()) return;
  std::printf("  no pose %d\n", failedPoses);
  for (const auto& [name, field] : {std::pair{"fit error (px^2)", &PoseOutcome::fitError},
                                    {"rotation (deg)", &PoseOutcome::rotationDeg},
                                    {"translation (%)", &PoseOutcome::translationPercent}})
    std::printf("  %-17s median %.3f, 95th %.3f, worst %.3f\n", name, percentile(field, 0.5), percentile(field, 0.95),
                percentile(field, 1.0));
}

void scoreFrame(const MarkerScenes& scenes, uint32_t seed, const SceneFrame& frame, const SceneRun& run,
                SceneFigures* fig, ArDetectionStats* stats) {
  DetectedMarker* found = nullptr;
  int count = 0;
  std::string failures = arDetectMarkers(frame.bgra.data(), run.settings, &found, &count, stats) < 0 ? " detection failed" : "";
  const auto& truth = frame.truth;
  auto matches = [&](int j, size_t i) {
    double c[2] = {0, 0};
    for (int k = 0; k < 4; k++) c[0] += truth[i].observed[k][0] / 4, c[1] += truth[i].observed[k][1] / 4;
    return found[j].id == frame.patterns[i] && std::hypot(found[j].pos[0] - c[0], found[j].pos[1] - c[1]) < kIdentifiedRadius;
  };
  for (size_t i = 0; i < truth.size(); i++) {
    fig->placed++;
    int best = -1;
    for (int j = 0; j < count; j++)
      if (matches(j, i) && (best < 0 || found[j].cf > found[best].cf)) best = j;
    if (best < 0) {
      failures += " missed " + std::to_string(i);
      continue;
    }
    const DetectedMarker& m = found[best];
    fig->identified++;
    if (!truth[i].dirAmbiguous) fig->unambiguous++, fig->dirAsExpected += m.dir == truth[i].expectedDir;
    if (run.pose) {
      double p[3][4];
      const auto& t = truth[i].pose;
      const double distance = std::hypot(t[0][3], t[1][3], t[2][3]), err = run.pose(m, scenes.setup().markerWidth, p);
      if (err < 0) fig->failedPoses++;
      else fig->poses.push_back({distance, err, rotationAngleDeg(p, t), 100 * translationDistance(p, t) / distance});
    }
    if (m.dir < 0) {
      failures += " no dir " + std::to_string(i);
      continue;
    }
    double worst = 0, squares = 0, outward = 0, centre[2] = {0, 0};
    for (int k = 0; k < 4; k++) centre[0] += truth[i].ideal[k][0] / 4, centre[1] += truth[i].ideal[k][1] / 4;
    for (int k = 0; k < 4; k++) {  // model corner k is vertex (4 + k - dir) % 4
      const double* v = m.vertex[(4 + k - m.dir) % 4];
      const double* t = truth[i].ideal[k];
      const double d2 = std::pow(v[0] - t[0], 2) + std::pow(v[1] - t[1], 2);
      worst = std::max(worst, std::sqrt(d2));
      squares += d2;
      outward += (outsideDistance(truth[i].ideal[(k + 3) % 4], t, centre, v) +
                  outsideDistance(t, truth[i].ideal[(k + 1) % 4], centre, v)) / 2;
    }
    if (worst > kCornerTolerance) {
      failures += " wrong corners/dir " + std::to_string(i);
      continue;
    }
    fig->correct++, fig->cornerSquares += squares, fig->outwardSum += outward;
  }
  for (int j = 0; j < count; j++) {
    bool real = found[j].id < 0;  // an identified report must sit on a marker with that pattern
    for (size_t i = 0; i < truth.size(); i++) real = real || matches(j, i);
    if (!real) fig->falseIds++, failures += " false id " + std::to_string(found[j].id);
  }
  if (!failures.empty() && fig->log.size() < kLogLimit) fig->log += "frame " + std::to_string(seed) + ":" + failures + "\n";
}

std::vector<SceneFigures> scoreScenes(const MarkerScenes& scenes, int frames, uint32_t seedBase,
                                      const std::vector<SceneRun>& runs) {
  std::vector<SceneFigures> figures(runs.size());
  SceneFrame frame;
  int quarterTurns = 0;
  arCameraParamSetCurrent(&scenes.camera());
  for (int n = 0; n < frames; n++) {
    const uint32_t seed = seedBase + static_cast<uint32_t>(n);
    scenes.render(seed, &frame, &quarterTurns);
    for (size_t r = 0; r < runs.size(); r++) {
      arResetMarkerHistory();  // the frames are unrelated
      scoreFrame(scenes, seed, frame, runs[r], &figures[r]);
    }
  }
  return figures;
}

double rotationAngleDeg(const double a[3][4], const double b[3][4]) {
  double trace = 0;
  for (int i = 0; i < 3; i++)
    for (int k = 0; k < 3; k++) trace += a[k][i] * b[k][i];
  return std::acos(std::fmax(-1.0, std::fmin(1.0, (trace - 1) / 2))) / (kPi / 180.0);
}

double translationDistance(const double a[3][4], const double b[3][4]) {
  return std::hypot(a[0][3] - b[0][3], a[1][3] - b[1][3], a[2][3] - b[2][3]);
}

int framesForBuild(int count, int sanitizerDivisor) {
#if defined(__SANITIZE_ADDRESS__)
  return std::max(1, count / sanitizerDivisor);
#else
  (void)sanitizerDivisor;
  return count;
#endif
}
