// Scene light and exposure: levels of black ink, a grey background and white paper under each
// lighting, and the seeded gradient and shadow edge.
#include "sim/lighting.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sim/synthetic_frame.h"
#include "tests/sim/sim_test_scene.h"

namespace {

constexpr int kWidth = 120, kHeight = 90;

// Levels of a flat frame of the given grey under lighting, from the darkest to the lightest pixel.
std::pair<int, int> levelRange(const SimLighting& lighting, uint8_t grey, Frame* frame = nullptr) {
  static const SimRenderer renderer(pinholeCamera(), kWidth, kHeight);
  SimBackground background;
  background.grey = grey;
  SimEffects effects;
  effects.lighting = lighting;
  Frame local(kWidth, kHeight);
  Frame& out = frame ? *frame : local;
  renderer.render(background, nullptr, 0, effects, out.bgra.data(), nullptr);
  int low = 255, high = 0;
  for (int y = 0; y < kHeight; y++)
    for (int x = 0; x < kWidth; x++) low = std::min(low, out.at(x, y)), high = std::max(high, out.at(x, y));
  return {low, high};
}

TEST(SimLighting, InkBackgroundAndPaperLevels) {
  struct Case {
    const char* name;
    SimLighting lighting;
    int black, grey, white;  // uniform lighting: every pixel of a flat 0, 128 and 255 frame
  };
  auto with = [](double gain, double black, double exposure) {
    SimLighting l;
    l.gain = gain, l.black = black, l.exposure = exposure;
    return l;
  };
  const Case cases[] = {
      {"studio", SimLighting(), 0, 128, 255},
      {"dim room", with(0.35, 0, 1), 0, 45, 89},
      {"washed-out print", with(1, 110, 1), 110, 183, 255},
      {"over-exposed", with(1, 40, 3), 120, 255, 255},
      {"clipped gain", with(2, 0, 1), 0, 255, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int i = 0;
    for (auto [level, want] : {std::pair{0, c.black}, {128, c.grey}, {255, c.white}}) {
      EXPECT_EQ(levelRange(c.lighting, static_cast<uint8_t>(level)), std::make_pair(want, want)) << i++;
    }
  }
}

TEST(SimLighting, GradientAndShadowFollowTheirSeed) {
  SimLighting gradient;
  gradient.gradient = 0.8;
  Frame a(kWidth, kHeight), b(kWidth, kHeight), c(kWidth, kHeight);
  // The light falls from 1 at one frame corner to 0.2 at the opposite one.
  EXPECT_EQ(levelRange(gradient, 255, &a), std::make_pair(51, 255));
  levelRange(gradient, 255, &b);
  gradient.seed = 2;
  levelRange(gradient, 255, &c);
  EXPECT_EQ(a.bgra, b.bgra);
  EXPECT_NE(a.bgra, c.bgra);

  SimLighting shadow;
  shadow.shadow = 0.5;
  for (uint32_t seed : {1u, 2u, 3u}) {
    shadow.seed = seed;
    Frame f(kWidth, kHeight);
    EXPECT_EQ(levelRange(shadow, 200, &f), std::make_pair(100, 200));
    // A hard edge: apart from the antialiased pixels along it, every pixel is lit or shadowed,
    // and the edge runs through the central half, so each side takes a good part of the frame.
    int lit = 0, shaded = 0;
    for (int y = 0; y < kHeight; y++)
      for (int x = 0; x < kWidth; x++) lit += f.at(x, y) == 200, shaded += f.at(x, y) == 100;
    EXPECT_GT(lit + shaded, kWidth * kHeight - 2 * (kWidth + kHeight)) << seed;
    EXPECT_GT(std::min(lit, shaded), kWidth * kHeight / 8) << seed;
  }
}

}  // namespace
