// Seeded frames of the shipped markers rendered through a camera with known truth, and the
// figures of detection and pose on them: the end-to-end harness of the tracking tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "camera/camera_param.h"
#include "detect/detection.h"
#include "sim/synthetic_frame.h"
#include "tests/shipped_data.h"

// How the markers of a scene are sized, posed and lit.
struct SceneSetup {
  int width = 640, height = 480;  // frame pixels
  // Size of each marker: with maxDistance 0, the side in pixels of the whole marker seen
  // frontally, drawn from minSide .. maxSide, spun 0 .. 360 degrees, patterns may repeat. With
  // maxDistance > 0, the distance in mm from minDistance .. maxDistance, spins cycling through the
  // four quarter turns +-40 degrees, each pattern at most once per frame.
  double minSide = 60, maxSide = 250;
  double minDistance = 0, maxDistance = 0;
  double minTilt = 0, maxTilt = 50;  // degrees
  double markerWidth = 80;           // mm: side of the whole printed marker
  SimBackground background;
  SimEffects effects = [] { SimEffects e; e.supersample = 2; return e; }();  // antialiased edges, quick rendering
};

// One rendered frame and what it shows.
struct SceneFrame {
  std::vector<uint8_t> bgra;
  std::vector<SimMarker> markers;
  std::vector<int> patterns;  // pattern store id (= shipped pattern index) of each marker
  std::vector<SimMarkerTruth> truth;
};

// Renders the seeded scenes of a setup through a camera. Loading makes the camera current and
// fills a fresh pattern store with the shipped patterns, in name order.
class MarkerScenes {
 public:
  MarkerScenes(const CameraParam& camera, const SceneSetup& setup);
  // Empty when the scenes can be rendered; otherwise why not.
  const std::string& error() const { return error_; }
  const SceneSetup& setup() const { return setup_; }
  const CameraParam& camera() const { return camera_; }

  // Frame `seed`: 1 to 4 markers that do not overlap, fully inside the frame with a 5-pixel
  // margin. *quarterTurns counts the markers placed so far in a run of distance scenes, whose
  // spins cycle through the quarter turns; the same seed and count give the same frame. With
  // effects given, they are used instead of the setup's.
  void render(uint32_t seed, SceneFrame* frame, int* quarterTurns, const SimEffects* effects = nullptr) const;

 private:
  CameraParam camera_;
  SceneSetup setup_;
  std::vector<SimImage> pictures_;
  std::unique_ptr<SimRenderer> renderer_;
  std::string error_;
};

// Distance in mm, fit error in pixels squared per corner, rotation error in degrees, translation
// error in % of the distance.
struct PoseOutcome {
  double distance, fitError, rotationDeg, translationPercent;
};

struct SceneFigures {
  int placed = 0;        // markers rendered
  int identified = 0;    // reported with their pattern id, centred within 15 px of the marker
  int correct = 0;       // ... and with a dir that puts every corner within 3 px of its own
  int falseIds = 0;      // reports with a pattern id but on no marker of that pattern
  int unambiguous = 0;   // identified markers whose dir the truth fixes; of those:
  int dirAsExpected = 0;
  int failedPoses = 0;
  double cornerSquares = 0;  // over the corners of correct markers, ideal pixels squared
  double outwardSum = 0;     // ... and their signed distance outside the true edges, pixels
  std::vector<PoseOutcome> poses;  // one per identified marker whose pose was computed
  std::string log;                 // what went wrong, frame by frame (first 2000 characters)

  double correctRate() const { return placed ? static_cast<double>(correct) / placed : 0.0; }
  double cornerRms() const { return correct ? std::sqrt(cornerSquares / (4 * correct)) : 0.0; }
  double meanOutward() const { return correct ? outwardSum / (4 * correct) : 0.0; }
  // Share of the pose outcomes between the distances whose field is below limit.
  double share(double PoseOutcome::*field, double limit, double nearest = 0, double farthest = 1e9) const;
  double percentile(double PoseOutcome::*field, double p) const;
  void print(const std::string& label) const;
};

// Estimates the pose of a detected marker of side width centred on the origin; returns the fit
// error or a negative value when no pose comes out.
using ScenePose = std::function<double(const DetectedMarker& marker, double width, double pose[3][4])>;

// One way to detect the markers of the scenes and, with a pose function, estimate their poses.
struct SceneRun {
  std::string name;
  ArDetectorSettings settings;
  ScenePose pose;
};

// Detects frame `seed` of the scenes as the run says (with the cross-frame memory as it stands) and
// adds what it reported, scored against the truth, to *fig; *stats gets the detection's stats.
void scoreFrame(const MarkerScenes& scenes, uint32_t seed, const SceneFrame& frame, const SceneRun& run,
                SceneFigures* fig, ArDetectionStats* stats = nullptr);

// Renders frames seedBase .. seedBase + frames - 1 and runs each run on every frame, with a fresh
// cross-frame memory; returns the figures of each run against the truth.
std::vector<SceneFigures> scoreScenes(const MarkerScenes& scenes, int frames, uint32_t seedBase,
                                      const std::vector<SceneRun>& runs);

// Angle of the rotation between the rotation parts of two transforms, degrees; distance between
// their translations.
double rotationAngleDeg(const double a[3][4], const double b[3][4]);
double translationDistance(const double a[3][4], const double b[3][4]);

// The sanitizer build renders fewer frames: count / divisor, at least 1.
int framesForBuild(int count, int sanitizerDivisor);
