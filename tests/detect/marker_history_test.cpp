#include "detect/marker_history.h"

#include <gtest/gtest.h>

#include "detect/detection.h"
#include "detect/marker_history_internal.h"

namespace {

// A square marker of side 30 centred at (cx, cy); its vertex list starts `shift` corners on
// from the top-left.
DetectedMarker marker(int32_t id, double cf, int32_t dir, double cx, double cy, int32_t area = 1000, int shift = 0) {
  DetectedMarker m = {};
  m.area = area, m.id = id, m.dir = dir, m.cf = cf, m.pos[0] = cx, m.pos[1] = cy;
  const double corners[4][2] = {{cx - 15, cy - 15}, {cx + 15, cy - 15}, {cx + 15, cy + 15}, {cx - 15, cy + 15}};
  for (int k = 0; k < 4; k++) m.vertex[k][0] = corners[(k + shift) % 4][0], m.vertex[k][1] = corners[(k + shift) % 4][1];
  return m;
}

// Runs one frame with the given markers; returns the list as reported.
std::vector<DetectedMarker> frame(std::vector<DetectedMarker> markers, int32_t capacity = 30) {
  int32_t count = static_cast<int32_t>(markers.size());
  markers.resize(capacity);
  arUpdateMarkerHistory(markers.data(), &count, capacity);
  markers.resize(count);
  return markers;
}

const MarkerHistory& history() { return *arMarkerHistoryView(); }

class MarkerHistoryTest : public testing::Test {
  void SetUp() override { arResetMarkerHistory(); }
  void TearDown() override { arResetMarkerHistory(); }
};

// A remembered marker is refreshed by a weaker sighting (which takes its confidence), then
// recalled unchanged for the two frames it is missed, and gone in the third.
TEST_F(MarkerHistoryTest, MissedMarkerIsRecalledForTwoFramesThenDropped) {
  frame({marker(3, 0.9, 1, 100, 100)});
  frame({});
  ASSERT_EQ(frame({marker(3, 0.8, 2, 102, 100)}).size(), 1u);
  EXPECT_TRUE(history().entries[0].age == 1 && history().entries[0].marker.cf == 0.9);
  for (int missed = 1; missed <= 3; missed++) {
    auto out = frame({});
    ASSERT_EQ(out.size(), missed < 3 ? 1u : 0u);
    EXPECT_TRUE(missed == 3 || (out[0].id == 3 && out[0].cf == 0.9 && out[0].dir == 1 && out[0].pos[0] == 102 &&
                                history().entries[0].age == missed + 1)) << missed;
  }
  EXPECT_EQ(history().count, 0);
}

TEST_F(MarkerHistoryTest, OnlyAWeakerNearMarkerInheritsIdConfidenceAndARederivedDirection) {
  for (int shift = 0; shift < 4; shift++) {
    arResetMarkerHistory();
    frame({marker(5, 0.8, 1, 200, 150)});
    // Vertex k remembered is vertex (k - shift) now, so dir moves by the shift.
    auto out = frame({marker(2, 0.4, 3, 203, 151, 1050, (4 - shift) % 4)});
    EXPECT_TRUE(out.size() == 1 && out[0].id == 5 && out[0].cf == 0.8 && out[0].dir == (1 - shift + 4) % 4) << shift;
  }
  for (double cf : {0.75, 0.7}) {  // stronger or as strong: keeps its own identity
    arResetMarkerHistory();
    frame({marker(5, 0.7, 1, 200, 150)});
    auto out = frame({marker(2, cf, 3, 200, 150)});
    EXPECT_TRUE(out.size() == 1 && out[0].id == 2 && out[0].dir == 3) << cf;
  }
  arResetMarkerHistory();
  frame({marker(5, 0.9, 0, 200, 150)});
  auto out = frame({marker(1, 0.3, 0, 210, 150), marker(2, 0.3, 0, 204, 150)});  // the nearer inherits
  EXPECT_TRUE(out.size() == 2 && out[0].id == -1 && out[1].id == 5);
}

TEST_F(MarkerHistoryTest, NearnessWindowOnAreaRatioAndCentreDistance) {
  // Current area 1000: ratios 0.7 .. 1.43 and squared distance / 1000 below 0.5 count as near.
  const struct {
    int32_t rememberedArea;
    double dx;
    bool near;
  } cases[] = {{700, 0, true}, {699, 0, false}, {1430, 0, true}, {1431, 0, false}, {1000, 22.3, true}, {1000, 22.37, false}};
  for (const auto& c : cases) {
    arResetMarkerHistory();
    frame({marker(5, 0.9, 0, 100, 100, c.rememberedArea)});
    auto out = frame({marker(-1, 0.2, -1, 100 + c.dx, 100, 1000)});
    // Recalled only when nothing near was seen.
    EXPECT_TRUE(out[0].id == (c.near ? 5 : -1) && out.size() == (c.near ? 1u : 2u)) << c.rememberedArea << " " << c.dx;
  }
}

TEST_F(MarkerHistoryTest, FloorEntriesAndRecallLimits) {
  // Below confidence 0.5 a marker is reported unidentified and not remembered.
  auto out = frame({marker(4, 0.45, 2, 100, 100), marker(6, 0.5, 0, 300, 100)});
  EXPECT_TRUE(out.size() == 2 && out[0].id == -1 && out[0].cf == 0.45 && out[1].id == 6);
  // One entry per id, the later marker; entries keep their order when others age out.
  frame({marker(7, 0.9, 0, 100, 100), marker(7, 0.8, 1, 400, 300)});
  frame({marker(8, 0.9, 0, 500, 100)});
  frame({marker(8, 0.9, 0, 500, 100)});
  ASSERT_EQ(history().count, 2);
  EXPECT_TRUE(history().entries[0].marker.id == 7 && history().entries[0].marker.pos[0] == 400);
  EXPECT_EQ(history().entries[1].marker.id, 8);
  // Recall stops when the list is full.
  arResetMarkerHistory();
  std::vector<DetectedMarker> many, others;
  for (int i = 0; i < 20; i++) many.push_back(marker(10 + i, 0.9, 0, 50 + 100 * i, 50));
  frame(many);
  for (int i = 0; i < 15; i++) others.push_back(marker(30 + i, 0.9, 0, 50 + 100 * i, 400));
  out = frame(others);
  EXPECT_TRUE(out.size() == 30 && out[15].id == 10 && out[29].id == 24);
}

}  // namespace
