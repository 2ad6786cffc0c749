#include "tools/patterns/printable_marker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "sim/pattern_picture.h"
#include "tools/common/text_boxes.h"
#include "tools/patterns/marker_image.h"


namespace {

constexpr int kMaxSidePixels = 20000;
constexpr double kCaptionMaxHeightMm = 3.0;
constexpr double kCaptionMinMarginMm = 4.0;

void fillRect(SimImage* image, double x0, double y0, double x1, double y1, uint8_t value) {
  const int ix0 = std::max(0, static_cast<int>(std::lround(x0)));
  const int iy0 = std::max(0, static_cast<int>(std::lround(y0)));
  const int ix1 = std::min(image->width, static_cast<int>(std::lround(x1)));
  const int iy1 = std::min(image->height, static_cast<int>(std::lround(y1)));
  for (int y = iy0; y < iy1; ++y)
    for (int x = ix0; x < ix1; ++x)
      for (int c = 0; c < 3; ++c) image->pixels[(static_cast<size_t>(y) * image->width + x) * 3 + c] = value;
}

// Draws text with its top-left corner at (x, y), capitals height pixels tall; false when it
// does not fit in maxWidth.
bool drawCaption(SimImage* image, const std::string& text, double x, double y, double height, double maxWidth) {
  if (textWidth(text, height) > maxWidth) return false;
  for (const TextBox& box : textBoxes(text, x, y, height)) fillRect(image, box.x0, box.y0, box.x1, box.y1, 0);
  return true;
}

}  // namespace

int printPixels(double mm, double dpi) { return static_cast<int>(std::lround(mm / 25.4 * dpi)); }

bool checkPrintOptions(const PrintOptions& options, std::string* cause) {
  if (!(options.dpi >= 10 && options.dpi <= 2400)) {
    *cause = "resolution must be 10 to 2400 dpi";
    return false;
  }
  if (!(options.sizeMm > 0) || printPixels(options.sizeMm, options.dpi) < 16) {
    *cause = "marker size must give at least 16 pixels at this resolution";
    return false;
  }
  if (!(options.marginMm >= 0 && options.marginMm <= 1000)) {
    *cause = "margin must be 0 to 1000 mm";
    return false;
  }
  const double side = printPixels(options.sizeMm, options.dpi) + 2.0 * printPixels(options.marginMm, options.dpi);
  if (side > kMaxSidePixels) {
    *cause = "the page would be wider than 20000 pixels; lower the size or the resolution";
    return false;
  }
  return true;
}

bool makePrintableMarker(const SimImage& interior, const PrintOptions& options, SimImage* out,
                         bool* captionDrawn, std::string* cause) {
  if (!checkPrintOptions(options, cause)) return false;
  if (interior.width < 1 || interior.height < 1) {
    *cause = "empty interior picture";
    return false;
  }
  const int n = printPixels(options.sizeMm, options.dpi);
  const int margin = printPixels(options.marginMm, options.dpi);
  out->width = out->height = n + 2 * margin;
  out->channels = 3;
  out->pixels.assign(static_cast<size_t>(out->width) * out->height * 3, 255);
  // The border edges fall at n/4 and 3n/4, in general between pixels: each pixel is mixed
  // from black and the interior by the share of its area inside the interior.
  const double q0 = n / 4.0, q1 = 3 * n / 4.0;
  const double toSourceX = interior.width / (q1 - q0), toSourceY = interior.height / (q1 - q0);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const double ax = std::max(static_cast<double>(i), q0), bx = std::min(i + 1.0, q1);
      const double ay = std::max(static_cast<double>(j), q0), by = std::min(j + 1.0, q1);
      double rgb[3] = {0, 0, 0};
      if (bx > ax && by > ay) {
        averageRgb(interior, (ax - q0) * toSourceX, (ay - q0) * toSourceY, (bx - q0) * toSourceX,
                   (by - q0) * toSourceY, rgb);
        for (double& v : rgb) v *= (bx - ax) * (by - ay);
      }
      uint8_t* p = &out->pixels[(static_cast<size_t>(j + margin) * out->width + i + margin) * 3];
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(std::clamp(std::lround(rgb[c]), 0L, 255L));
    }
  *captionDrawn = false;
  if (!options.caption.empty() && options.marginMm >= kCaptionMinMarginMm) {
    const double height = std::min(kCaptionMaxHeightMm / 25.4 * options.dpi, margin * 0.4);
    *captionDrawn = drawCaption(out, options.caption, margin, margin + n + (margin - height) / 2, height, n);
  }
  return true;
}

std::string printableMarkerSvg(const SimImage& picture16, const PrintOptions& options) {
  if (picture16.width != kArPatternGrid || picture16.height != kArPatternGrid || picture16.channels != 3) return "";
  const double size = options.sizeMm, margin = options.marginMm, page = size + 2 * margin;
  const double cell = size / 2 / kArPatternGrid, inner = margin + size / 4;
  char line[256];
  std::string svg;
  std::snprintf(line, sizeof line,
                "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%gmm\" height=\"%gmm\" "
                "viewBox=\"0 0 %g %g\" shape-rendering=\"crispEdges\">\n",
                page, page, page, page);
  svg += line;
  std::snprintf(line, sizeof line, "<rect width=\"%g\" height=\"%g\" fill=\"#ffffff\"/>\n", page, page);
  svg += line;
  std::snprintf(line, sizeof line, "<rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"#000000\"/>\n",
                margin, margin, size, size);
  svg += line;
  for (int r = 0; r < kArPatternGrid; ++r)
    for (int s = 0; s < kArPatternGrid; ++s) {
      const uint8_t* p = &picture16.pixels[(r * kArPatternGrid + s) * 3];
      std::snprintf(line, sizeof line,
                    "<rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"#%02x%02x%02x\"/>\n",
                    inner + s * cell, inner + r * cell, cell, cell, p[0], p[1], p[2]);
      svg += line;
    }
  if (!options.caption.empty() && margin >= kCaptionMinMarginMm) {
    std::string escaped;
    for (char ch : options.caption) {
      if (ch == '<') escaped += "&lt;";
      else if (ch == '>') escaped += "&gt;";
      else if (ch == '&') escaped += "&amp;";
      else if (ch == '"') escaped += "&quot;";
      else if (static_cast<unsigned char>(ch) >= 32) escaped += ch;
    }
    std::snprintf(line, sizeof line, "<text x=\"%g\" y=\"%g\" font-family=\"sans-serif\" font-size=\"%g\">",
                  margin, margin + size + margin / 2 + 1, std::min(kCaptionMaxHeightMm * 1.4, margin * 0.5));
    svg += line + escaped + "</text>\n";
  }
  svg += "</svg>\n";
  return svg;
}
