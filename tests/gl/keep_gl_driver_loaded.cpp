// Keeps Mesa's driver loaded until the process ends. Every GlTestContext closes its X display, and
// closing the last display that used GLX unloads the driver; the driver's own process-lifetime
// allocations then show up in the leak check with an unknown module, which no suppression can
// name. One display that stays open (reachable from a static, so not a leak itself) keeps the
// driver mapped, and scripts/lsan.supp hides its allocations by library name.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

// After gtest: X11 defines macros (None, Bool) that gtest's names collide with.
#include <GL/glx.h>
#include <X11/Xlib.h>

namespace {

class KeepGlDriverLoaded : public ::testing::Environment {
 public:
  void SetUp() override {
    // A busy Xvfb refuses a connection now and then (see openGlTestContext); try for a while.
    for (int attempt = 1; !display_ && attempt <= 40 && std::getenv("DISPLAY"); attempt++) {
      display_ = XOpenDisplay(nullptr);
      if (!display_) std::this_thread::sleep_for(std::chrono::milliseconds(25 * attempt));
    }
    if (!display_) return;
    int attributes[] = {GLX_RGBA, None};
    XVisualInfo* visual = glXChooseVisual(display_, DefaultScreen(display_), attributes);  // loads the driver
    if (visual) XFree(visual);
  }

 private:
  static Display* display_;
};

Display* KeepGlDriverLoaded::display_ = nullptr;

const auto* const environment = ::testing::AddGlobalTestEnvironment(new KeepGlDriverLoaded);

}  // namespace
