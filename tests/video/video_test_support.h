// Test pictures with a known layout, written as picture files and as clips encoded by a real
// GStreamer pipeline, and the capture calls driven as the viewer does: configurations in
// temporary files, bounded waits, the messages the layer prints.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/test_files.h"
#include "video/video.h"
#include "video/video_internal.h"

using Picture = std::vector<uint8_t>;  // BGRA, rows top to bottom

struct Bgr {
  int b, g, r;
};
constexpr Bgr kRed{0, 0, 255}, kGreen{0, 255, 0}, kBlue{255, 0, 0}, kWhite{255, 255, 255};

// Quadrants red (top left), green (top right), blue (bottom left) and white (bottom right), with
// a band across the middle carrying index as 8 black or white blocks (bit 0 at the left).
Picture makeQuadrantPicture(int width, int height, int index);
// The index of a quadrant picture as delivered; -1 when a block is neither black nor white.
int readPictureIndex(const uint8_t* bgra, int width, int height);
// Whether the quadrants' centres have the colours given (top left, top right, bottom left,
// bottom right) within 40 on every channel.
bool quadrantsAre(const uint8_t* bgra, int width, int height, const Bgr (&expected)[4]);

void writePng(const std::string& path, Picture picture, int width, int height);
// Quadrant pictures first .. first + count - 1 as PNG files named by a pattern with one %d.
void writePngs(const std::string& pattern, int count, int first = 0, int width = 64, int height = 48);
// Encodes the PNG files of a pattern with one %d, from first on, as a Motion-JPEG AVI clip at fps.
bool writeClip(const std::string& pngPattern, int fps, const std::string& path, int first = 0);

// Closes whatever a test left open, so that every test starts from a closed video layer.
class CaptureTest : public ::testing::Test {
 protected:
  void TearDown() override { arVideoClose(); }
  // Opens a configuration of the given <source> elements; the layer's messages go to *messages.
  int openSources(const std::string& sources, std::string* messages = nullptr);
  // Polls like the viewer (never blocking) until a frame arrives; null after the timeout.
  static uint8_t* waitFrame(double timeoutSeconds = 10);

  TempDir dir_;
};
