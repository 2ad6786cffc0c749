// Driving the capture calls from tests: configurations in temporary files, bounded waits and
// the messages the layer prints.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/test_files.h"
#include "video/video.h"
#include "video/video_internal.h"

// Closes whatever a test left open, so every test starts from a closed video layer.
class CaptureTest : public ::testing::Test {
 protected:
  void TearDown() override { arVideoClose(); }

  // Opens a configuration of the given <source> elements; the layer's messages go to *messages.
  int openSources(const std::string& sources, std::string* messages = nullptr) {
    std::string path = dir_.file("video.xml");
    writeText(path, "<video>" + sources + "</video>");
    ::testing::internal::CaptureStderr();
    int result = arVideoOpen(path.c_str());
    std::string text = ::testing::internal::GetCapturedStderr();
    if (messages) *messages = text;
    return result;
  }

  // Polls like the viewer does (never blocking) until a frame arrives; null after timeout.
  static uint8_t* waitFrame(double timeoutSeconds = 10) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (std::chrono::steady_clock::now() < end) {
      if (uint8_t* frame = arVideoGetImage()) return frame;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return nullptr;
  }

  // Takes and releases frames until the stream has ended (at most timeoutSeconds); the count.
  static int drainUntilEnded(double timeoutSeconds = 20) {
    int frames = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (!arVideoStreamEnded() && std::chrono::steady_clock::now() < end) {
      if (arVideoGetImage()) {
        frames++;
        arVideoCapNext();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return frames;
  }

  TempDir dir_;
};

// Lines of text that start with "video: ".
inline int videoLines(const std::string& text) {
  int count = 0;
  for (size_t at = text.find("video: "); at != std::string::npos; at = text.find("video: ", at + 1)) {
    if (at == 0 || text[at - 1] == '\n') count++;
  }
  return count;
}
