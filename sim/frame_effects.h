// Camera effects applied to a rendered frame held as floating-point RGB (grey levels 0..255,
// three values per pixel, rows top to bottom).
#pragma once

#include <cstdint>

// Gaussian blur with standard deviation sigma pixels (capped at 20); edges repeat the border
// pixel. sigma <= 0 does nothing.
void simBlurRgb(float* rgb, int width, int height, double sigma);

// Adds independent Gaussian noise of standard deviation sigma to every value, drawn from a
// generator started at seed, so the same seed gives the same noise. sigma <= 0 does nothing.
void simAddNoise(float* rgb, int count, double sigma, uint32_t seed);
