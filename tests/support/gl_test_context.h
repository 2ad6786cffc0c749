// A real OpenGL context for tests: an X window with a double-buffered RGBA visual and a depth
// buffer on the display in DISPLAY (scripts/test starts Xvfb with Mesa's software renderer).
// Tests draw into the back buffer and read it back with readPixels before any swap.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

class GlTestContext {
 public:
  // Opens the display, creates a width x height window and makes its context current.
  GlTestContext(int width, int height);
  ~GlTestContext();
  GlTestContext(const GlTestContext&) = delete;
  GlTestContext& operator=(const GlTestContext&) = delete;

  // False when no display or no suitable visual is available; error() says why.
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // RGBA bytes of the back buffer, rows top to bottom (row 0 is the top of the window).
  std::vector<uint8_t> readPixels() const;

 private:
  struct Impl;
  Impl* impl_ = nullptr;
  bool ok_ = false;
  std::string error_;
  int width_;
  int height_;
};

// The name of the GL call site in a failed check, with glGetError's code.
std::string glErrorString(const char* where);

// Without a display (DISPLAY unset) GL tests are skipped; with one, a context that cannot be
// made is a failure, so that a broken setup never passes silently.
#define AR_REQUIRE_GL(ctx)                                                  \
  do {                                                                      \
    if (!(ctx).ok()) {                                                      \
      if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << (ctx).error(); \
      FAIL() << (ctx).error();                                              \
    }                                                                       \
  } while (0)
