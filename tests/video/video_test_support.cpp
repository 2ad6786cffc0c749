#include "tests/video/video_test_support.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

Picture makeQuadrantPicture(int width, int height, int index) {
  Picture picture(static_cast<size_t>(width) * height * 4, 255);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      const bool band = y >= height * 5 / 12 && y < height * 7 / 12, right = x >= width / 2, bottom = y >= height / 2;
      const Bgr c = band ? ((index >> (x * 8 / width)) & 1 ? kWhite : Bgr{0, 0, 0})
                         : bottom ? (right ? kWhite : kBlue) : (right ? kGreen : kRed);
      uint8_t* p = &picture[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = static_cast<uint8_t>(c.b), p[1] = static_cast<uint8_t>(c.g), p[2] = static_cast<uint8_t>(c.r);
    }
  return picture;
}

int readPictureIndex(const uint8_t* bgra, int width, int height) {
  int index = 0;
  for (int bit = 0; bit < 8; bit++) {
    const uint8_t* p = bgra + (static_cast<size_t>(height / 2) * width + (2 * bit + 1) * width / 16) * 4;
    const int level = (p[0] + p[1] + p[2]) / 3;
    if (level > 70 && level <= 180) return -1;
    index |= (level > 180) << bit;
  }
  return index;
}

bool quadrantsAre(const uint8_t* bgra, int width, int height, const Bgr (&expected)[4]) {
  for (int q = 0; q < 4; q++) {
    const uint8_t* p = bgra + (static_cast<size_t>((q < 2 ? 1 : 3) * height / 4) * width + (q % 2 ? 3 : 1) * width / 4) * 4;
    if (std::abs(p[0] - expected[q].b) > 40 || std::abs(p[1] - expected[q].g) > 40 || std::abs(p[2] - expected[q].r) > 40)
      return false;
  }
  return true;
}

void writePng(const std::string& path, Picture picture, int width, int height) {
  for (size_t p = 0; p < picture.size(); p += 4) std::swap(picture[p], picture[p + 2]);  // stb writes RGBA
  ASSERT_TRUE(stbi_write_png(path.c_str(), width, height, 4, picture.data(), width * 4)) << path;
}

void writePngs(const std::string& pattern, int count, int first, int width, int height) {
  for (int i = first; i < first + count; i++) {
    char name[512];
    std::snprintf(name, sizeof name, pattern.c_str(), i);
    writePng(name, makeQuadrantPicture(width, height, i), width, height);
  }
}

bool writeClip(const std::string& pngPattern, int fps, const std::string& path, int first) {
  return std::system(("gst-launch-1.0 -q multifilesrc location='" + pngPattern + "' start-index=" +
                      std::to_string(first) + " caps=image/png,framerate=" +
                      std::to_string(fps) + "/1 ! pngdec ! videoconvert ! jpegenc quality=90 ! avimux ! filesink "
                      "location='" + path + "'").c_str()) == 0;
}

int CaptureTest::openSources(const std::string& sources, std::string* messages) {
  writeText(dir_.file("video.xml"), "<video>" + sources + "</video>");
  ::testing::internal::CaptureStderr();
  const int result = arVideoOpen(dir_.file("video.xml").c_str());
  const std::string text = ::testing::internal::GetCapturedStderr();
  if (messages) *messages = text;
  return result;
}

uint8_t* CaptureTest::waitFrame(double timeoutSeconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  for (; std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(2)))
    if (uint8_t* frame = arVideoGetImage()) return frame;
  return nullptr;
}
