#include "tests/support/gl_test_context.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <unistd.h>

#include <cstdio>

namespace {

// One connection for the whole test process, never closed: closing it unloads Mesa's driver,
// whose process-lifetime allocations would then show up as leaks from an unknown module.
Display* sharedDisplay() {
  static Display* display = [] {
    // A busy X server can refuse a connection for a moment; try a few times before giving up.
    for (int attempt = 0; attempt < 20; attempt++) {
      if (Display* d = XOpenDisplay(nullptr)) return d;
      usleep(100000);
    }
    return static_cast<Display*>(nullptr);
  }();
  return display;
}

}  // namespace

struct GlTestContext::Impl {
  Display* display = nullptr;
  Window window = 0;
  Colormap colormap = 0;
  GLXContext context = nullptr;
};

GlTestContext::GlTestContext(int width, int height) : width_(width), height_(height) {
  impl_ = new Impl;
  impl_->display = sharedDisplay();
  if (!impl_->display) {
    error_ = "cannot open the X display (DISPLAY is unset or no X server); GL tests run under xvfb-run";
    return;
  }
  int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                      GLX_DEPTH_SIZE, 16, None};
  const int screen = DefaultScreen(impl_->display);
  XVisualInfo* visual = glXChooseVisual(impl_->display, screen, attributes);
  if (!visual) {
    error_ = "no double-buffered RGB visual with depth on this display";
    return;
  }
  const Window root = RootWindow(impl_->display, screen);
  impl_->colormap = XCreateColormap(impl_->display, root, visual->visual, AllocNone);
  XSetWindowAttributes swa = {};
  swa.colormap = impl_->colormap;
  swa.event_mask = StructureNotifyMask;
  impl_->window = XCreateWindow(impl_->display, root, 0, 0, width, height, 0, visual->depth, InputOutput,
                                visual->visual, CWColormap | CWEventMask, &swa);
  impl_->context = glXCreateContext(impl_->display, visual, nullptr, True);
  XFree(visual);
  if (!impl_->context) {
    error_ = "glXCreateContext failed";
    return;
  }
  XMapWindow(impl_->display, impl_->window);
  // Wait until the window is mapped, so that its framebuffer exists at full size.
  XEvent event;
  do XNextEvent(impl_->display, &event);
  while (event.type != MapNotify);
  if (!glXMakeCurrent(impl_->display, impl_->window, impl_->context)) {
    error_ = "glXMakeCurrent failed";
    return;
  }
  glViewport(0, 0, width, height);
  glDrawBuffer(GL_BACK);
  glReadBuffer(GL_BACK);
  ok_ = true;
}

GlTestContext::~GlTestContext() {
  if (impl_->display) {
    if (impl_->context) {
      glXMakeCurrent(impl_->display, None, nullptr);
      glXDestroyContext(impl_->display, impl_->context);
    }
    if (impl_->window) XDestroyWindow(impl_->display, impl_->window);
    if (impl_->colormap) XFreeColormap(impl_->display, impl_->colormap);
    XSync(impl_->display, False);
  }
  delete impl_;
}

std::vector<uint8_t> GlTestContext::readPixels() const {
  std::vector<uint8_t> bottomUp(static_cast<size_t>(width_) * height_ * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  std::vector<uint8_t> topDown(bottomUp.size());
  const size_t stride = static_cast<size_t>(width_) * 4;
  for (int y = 0; y < height_; y++)
    std::copy(bottomUp.begin() + (height_ - 1 - y) * stride, bottomUp.begin() + (height_ - y) * stride,
              topDown.begin() + y * stride);
  return topDown;
}

std::string glErrorString(const char* where) {
  const GLenum e = glGetError();
  if (e == GL_NO_ERROR) return std::string();
  char buf[128];
  std::snprintf(buf, sizeof buf, "%s: GL error 0x%04X", where, e);
  return buf;
}
