// The viewer's GLUT shell: start-up, the callbacks that drive every frame, and the exit.
//
// Keys: Escape, Q and q quit. Released arrow keys change the size of every model: Left resets it
// to 1.0, Up raises it by 0.1, Down lowers it by 0.1 down to 0.1. t and T lower and raise the
// fixed threshold by 5 (switching to the fixed mode, from the threshold last used); m cycles the
// threshold modes fixed, auto, adaptive.
#pragma once

#include <cstdint>

#include "detect/detector_options.h"

constexpr int kWindowWidth = 640;    // the window is this size whatever the video size
constexpr int kWindowHeight = 480;
constexpr float kIdlePeriodSeconds = 0.02f;  // frames are taken at most once per this period
constexpr double kNearPlane = static_cast<double>(0.1f);  // scene units, the single-precision 0.1
constexpr double kFarPlane = 100.0;
constexpr double kBackgroundZoom = 1.0;

// Program entry: reads the options (--help prints the usage and returns 0 without a display; a
// bad option prints the usage to standard error and returns 2), returns 1 when start-up fails
// (after one line on standard error naming what failed); otherwise it runs the GLUT main loop
// and ends through quitProgram.
int runViewer(int argc, char** argv);

// The threshold keys: t, T and m change the detector options as described above; true when the
// key was one of them.
bool thresholdKey(unsigned char key, ArDetectorOptions* options, int lastThreshold);

// The idle pacing: true when a frame may be taken at now (milliseconds since start) given the
// time of the last tick that took one. Elapsed seconds are compared in single precision.
bool idleTickDue(int32_t nowMs, int32_t lastTickMs);

// One idle tick at time now: grabs and processes a frame when due. Returns true when a frame was
// grabbed and processed, so that the caller posts a redisplay.
bool idleTick(int32_t nowMs);

// The milliseconds of the last tick that took a frame.
int32_t lastTickMs();

// The GLUT callbacks, registered by runViewer.
void onDisplay();
void onReshape(int width, int height);
void onVisibility(int state);
void onKeyboard(unsigned char key, int x, int y);
void onSpecialKeyUp(int key, int x, int y);
void onIdle();

// Releases the background, stops and closes the video and ends the process with status 0.
[[noreturn]] void quitProgram();
