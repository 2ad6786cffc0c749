#include "tools/patterns/printable_marker.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

SimImage whitePicture(int side) { return SimImage{side, side, 1, std::vector<uint8_t>(static_cast<size_t>(side) * side, 255)}; }

int grey(const SimImage& image, int x, int y) { return image.pixels[(static_cast<size_t>(y) * image.width + x) * 3]; }

// 80 mm at 300 dpi is 945 pixels with 118-pixel (10 mm) margins. The border is n / 4 = 236.25
// pixels wide: pixel 236 of the marker is a quarter black, and so is pixel 708 (3n/4 = 708.75).
TEST(PrintableMarker, EightyMillimetresAtThreeHundredDpiHasTheBorderWhereItBelongsAndTheCaptionBelow) {
  PrintOptions options;
  SimImage page;
  bool captionDrawn = true;
  std::string cause;
  ASSERT_TRUE(makePrintableMarker(whitePicture(16), options, &page, &captionDrawn, &cause)) << cause;
  EXPECT_FALSE(captionDrawn) << "no caption asked for";
  const int n = 945, m = 118;
  ASSERT_TRUE(page.width == n + 2 * m && page.height == n + 2 * m) << page.width << "x" << page.height;
  const std::pair<int, int> row[] = {{m - 1, 255}, {m, 0}, {m + 235, 0}, {m + 236, 191}, {m + 237, 255},
                                     {m + 708, 191}, {m + 709, 0}, {m + n - 1, 0}, {m + n, 255}};
  for (auto [x, expected] : row) EXPECT_EQ(grey(page, x, m + n / 2), expected) << x - m;
  options.caption = "hook 80 mm";
  ASSERT_TRUE(makePrintableMarker(whitePicture(16), options, &page, &captionDrawn, &cause));
  int dark = 0;
  for (int y = m + n; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x) dark += grey(page, x, y) < 128;
  EXPECT_TRUE(captionDrawn && dark > 500) << dark;
  options.marginMm = 1;
  ASSERT_TRUE(makePrintableMarker(whitePicture(16), options, &page, &captionDrawn, &cause));
  EXPECT_FALSE(captionDrawn) << "no room in a 1 mm margin";
}

TEST(PrintableMarker, BadOptionsAreRefusedWithTheCause) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double size, dpi, margin;
    const char* cause;
  } cases[] = {{80, 5, 10, "resolution"}, {80, nan, 10, "resolution"}, {0, 300, 10, "marker size"}, {1, 300, 10, "marker size"},
               {nan, 300, 10, "marker size"}, {80, 300, -1, "margin"}, {2000, 2400, 10, "20000 pixels"}};
  for (const auto& c : cases) {
    PrintOptions options;
    options.sizeMm = c.size, options.dpi = c.dpi, options.marginMm = c.margin;
    SimImage page;
    bool captionDrawn;
    std::string cause;
    EXPECT_FALSE(makePrintableMarker(whitePicture(16), options, &page, &captionDrawn, &cause)) << c.cause;
    EXPECT_NE(cause.find(c.cause), std::string::npos) << cause;
  }
}

TEST(PrintableMarker, SvgHasExactMillimetreSizesAndOneSquarePerCell) {
  SimImage picture{16, 16, 3, std::vector<uint8_t>(16 * 16 * 3, 255)};
  picture.pixels[0] = 0x12;
  PrintOptions options;
  options.caption = "a <b> & c";
  const std::string svg = printableMarkerSvg(picture, options);
  for (const char* part : {"width=\"100mm\" height=\"100mm\"", "<rect x=\"10\" y=\"10\" width=\"80\" height=\"80\" fill=\"#000000\"/>",
                           "<rect x=\"30\" y=\"30\" width=\"2.5\" height=\"2.5\" fill=\"#12ffff\"/>", "a &lt;b&gt; &amp; c"})
    EXPECT_NE(svg.find(part), std::string::npos) << part;
  size_t rects = 0;
  for (size_t at = svg.find("<rect"); at != std::string::npos; at = svg.find("<rect", at + 1)) ++rects;
  EXPECT_EQ(rects, 2u + 256u);
  EXPECT_EQ(printableMarkerSvg(whitePicture(8), options), "");
}

}  // namespace
