#include "tools/patterns/printable_marker.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

SimImage whitePicture(int side) {
  SimImage image;
  image.width = image.height = side;
  image.channels = 1;
  image.pixels.assign(static_cast<size_t>(side) * side, 255);
  return image;
}

int grey(const SimImage& image, int x, int y) { return image.pixels[(static_cast<size_t>(y) * image.width + x) * 3]; }

TEST(PrintableMarker, EightyMillimetresAtThreeHundredDpiHasTheBorderWhereItBelongs) {
  PrintOptions options;  // 80 mm, 300 dpi, 10 mm margin
  SimImage page;
  bool captionDrawn = true;
  std::string cause;
  ASSERT_TRUE(makePrintableMarker(whitePicture(16), options, &page, &captionDrawn, &cause)) << cause;
  EXPECT_FALSE(captionDrawn);  // no caption asked for
  const int n = 945, m = 118;  // 80 mm and 10 mm at 300 dpi
  ASSERT_EQ(page.width, n + 2 * m);
  ASSERT_EQ(page.height, n + 2 * m);
  EXPECT_EQ(grey(page, m - 1, m + 100), 255);
  EXPECT_EQ(grey(page, m, m + 100), 0);
  EXPECT_EQ(grey(page, m + n - 1, m + 100), 0);
  EXPECT_EQ(grey(page, m + n, m + 100), 255);
  // The border is n / 4 = 236.25 pixels wide: pixel 236 of the marker is a quarter black.
  EXPECT_EQ(grey(page, m + 235, m + n / 2), 0);
  EXPECT_EQ(grey(page, m + 236, m + n / 2), 191);
  EXPECT_EQ(grey(page, m + 237, m + n / 2), 255);
  EXPECT_EQ(grey(page, m + 708, m + n / 2), 191);  // 3n/4 = 708.75
  EXPECT_EQ(grey(page, m + 709, m + n / 2), 0);
}

TEST(PrintableMarker, CaptionIsDrawnInTheBottomMarginWhenItFits) {
  PrintOptions options;
  options.caption = "hook 80 mm";
  SimImage page;
  bool captionDrawn = false;
  std::string cause;
  ASSERT_TRUE(makePrintableMarker(whitePicture(16), options, &page, &captionDrawn, &cause));
  EXPECT_TRUE(captionDrawn);
  int dark = 0;
  for (int y = 118 + 945; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x) dark += grey(page, x, y) < 128;
  EXPECT_GT(dark, 500);
  options.marginMm = 1;
  ASSERT_TRUE(makePrintableMarker(whitePicture(16), options, &page, &captionDrawn, &cause));
  EXPECT_FALSE(captionDrawn);
}

TEST(PrintableMarker, BadOptionsAreRefusedWithTheCause) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double size, dpi, margin;
    const char* cause;
  };
  for (const Case& c : {Case{80, 5, 10, "resolution"}, Case{80, nan, 10, "resolution"},
                        Case{0, 300, 10, "marker size"}, Case{1, 300, 10, "marker size"},
                        Case{nan, 300, 10, "marker size"}, Case{80, 300, -1, "margin"},
                        Case{2000, 2400, 10, "20000 pixels"}}) {
    PrintOptions options;
    options.sizeMm = c.size;
    options.dpi = c.dpi;
    options.marginMm = c.margin;
    SimImage page;
    bool captionDrawn;
    std::string cause;
    EXPECT_FALSE(makePrintableMarker(whitePicture(16), options, &page, &captionDrawn, &cause)) << c.cause;
    EXPECT_NE(cause.find(c.cause), std::string::npos) << cause;
  }
}

TEST(PrintableMarker, SvgHasExactMillimetreSizesAndOneSquarePerCell) {
  SimImage picture = whitePicture(16);
  picture.channels = 3;
  picture.pixels.assign(16 * 16 * 3, 255);
  picture.pixels[0] = 0x12;
  PrintOptions options;
  options.caption = "a <b> & c";
  const std::string svg = printableMarkerSvg(picture, options);
  EXPECT_NE(svg.find("width=\"100mm\" height=\"100mm\""), std::string::npos);
  EXPECT_NE(svg.find("<rect x=\"10\" y=\"10\" width=\"80\" height=\"80\" fill=\"#000000\"/>"), std::string::npos);
  EXPECT_NE(svg.find("<rect x=\"30\" y=\"30\" width=\"2.5\" height=\"2.5\" fill=\"#12ffff\"/>"), std::string::npos);
  size_t rects = 0;
  for (size_t at = svg.find("<rect"); at != std::string::npos; at = svg.find("<rect", at + 1)) ++rects;
  EXPECT_EQ(rects, 2u + 256u);
  EXPECT_NE(svg.find("a &lt;b&gt; &amp; c"), std::string::npos);
  EXPECT_EQ(printableMarkerSvg(whitePicture(8), options), "");
}

}  // namespace
