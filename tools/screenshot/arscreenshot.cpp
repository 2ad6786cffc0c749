// arscreenshot: saves a rectangle of an X display as a PNG, for example the viewer's window on a
// virtual display.
//
//   arscreenshot OUT.png [X Y WIDTH HEIGHT]     (default: the whole screen)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stb_image_write.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void printUsage(FILE* out) {
  std::fprintf(out,
               "usage: arscreenshot OUT.png [X Y WIDTH HEIGHT]\n"
               "Saves the whole screen of the X display in DISPLAY, or the given rectangle of it, as a PNG.\n");
}

bool parseInt(const char* text, int* out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < 0 || v > 65535) return false;
  *out = static_cast<int>(v);
  return true;
}

// Position of the lowest set bit and the width of a channel mask, to read any TrueColor layout.
void maskShift(unsigned long mask, int* shift, int* bits) {
  *shift = 0;
  *bits = 0;
  if (!mask) return;
  while (!(mask & 1)) {
    mask >>= 1;
    (*shift)++;
  }
  while (mask & 1) {
    mask >>= 1;
    (*bits)++;
  }
}

uint8_t channel(unsigned long pixel, unsigned long mask) {
  int shift, bits;
  maskShift(mask, &shift, &bits);
  if (bits == 0) return 0;
  const unsigned long v = (pixel & mask) >> shift;
  return static_cast<uint8_t>(v * 255 / ((1ul << bits) - 1));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    printUsage(stdout);
    return 0;
  }
  if (argc != 2 && argc != 6) {
    printUsage(stderr);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    const char* name = std::getenv("DISPLAY");
    std::fprintf(stderr, "arscreenshot: cannot open the X display \"%s\"\n", name ? name : "(DISPLAY unset)");
    return 1;
  }
  const Window root = DefaultRootWindow(display);
  XWindowAttributes attributes;
  XGetWindowAttributes(display, root, &attributes);
  int x = 0, y = 0, width = attributes.width, height = attributes.height;
  if (argc == 6 && (!parseInt(argv[2], &x) || !parseInt(argv[3], &y) || !parseInt(argv[4], &width) ||
                    !parseInt(argv[5], &height) || width == 0 || height == 0 || x + width > attributes.width ||
                    y + height > attributes.height)) {
    std::fprintf(stderr, "arscreenshot: the rectangle must be whole numbers inside the %dx%d screen\n",
                 attributes.width, attributes.height);
    XCloseDisplay(display);
    return 2;
  }
  XImage* image = XGetImage(display, root, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
                            AllPlanes, ZPixmap);
  if (!image) {
    std::fprintf(stderr, "arscreenshot: cannot read the screen\n");
    XCloseDisplay(display);
    return 1;
  }
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (int j = 0; j < height; j++)
    for (int i = 0; i < width; i++) {
      const unsigned long p = XGetPixel(image, i, j);
      uint8_t* out = &rgb[(static_cast<size_t>(j) * width + i) * 3];
      out[0] = channel(p, image->red_mask);
      out[1] = channel(p, image->green_mask);
      out[2] = channel(p, image->blue_mask);
    }
  XDestroyImage(image);
  XCloseDisplay(display);
  if (!stbi_write_png(argv[1], width, height, 3, rgb.data(), width * 3)) {
    std::fprintf(stderr, "arscreenshot: cannot write \"%s\"\n", argv[1]);
    return 1;
  }
  return 0;
}
