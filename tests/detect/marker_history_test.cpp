#include "detect/marker_history.h"

#include <gtest/gtest.h>

#include <cmath>

#include "detect/marker_history_internal.h"

namespace {

// A square marker record of side `side` centred at (cx, cy); vertex k starts at the top-left
// corner shifted by `shift` places.
DetectedMarker marker(int32_t id, double cf, int32_t dir, double cx, double cy, int32_t area = 1000,
                      int shift = 0) {
  DetectedMarker m = {};
  m.area = area;
  m.id = id;
  m.dir = dir;
  m.cf = cf;
  m.pos[0] = cx;
  m.pos[1] = cy;
  const double h = 15;
  const double corners[4][2] = {{cx - h, cy - h}, {cx + h, cy - h}, {cx + h, cy + h}, {cx - h, cy + h}};
  for (int k = 0; k < 4; k++) {
    m.vertex[k][0] = corners[(k + shift) % 4][0];
    m.vertex[k][1] = corners[(k + shift) % 4][1];
  }
  return m;
}

class MarkerHistoryTest : public testing::Test {
 protected:
  void SetUp() override { arResetMarkerHistory(); }
  void TearDown() override { arResetMarkerHistory(); }

  // Runs one frame with the given markers; returns the list as reported.
  std::vector<DetectedMarker> frame(std::vector<DetectedMarker> markers, int32_t capacity = 30) {
    markers.resize(capacity);
    int32_t count = 0;
    while (count < capacity && markers[count].area > 0) count++;
    arUpdateMarkerHistory(markers.data(), &count, capacity);
    markers.resize(count);
    return markers;
  }
};

TEST_F(MarkerHistoryTest, MissedMarkerIsReportedForTwoFramesThenDropped) {
  auto first = frame({marker(3, 0.9, 1, 100, 100)});
  ASSERT_EQ(first.size(), 1u);
  for (int missed = 1; missed <= 2; missed++) {
    auto out = frame({});
    ASSERT_EQ(out.size(), 1u) << missed;
    EXPECT_EQ(out[0].id, 3);
    EXPECT_EQ(out[0].cf, 0.9);
    EXPECT_EQ(out[0].dir, 1);
    EXPECT_EQ(out[0].pos[0], 100);
    EXPECT_EQ(arMarkerHistoryView()->entries[0].age, missed + 1);
  }
  EXPECT_TRUE(frame({}).empty());
  EXPECT_EQ(arMarkerHistoryView()->count, 0);
}

TEST_F(MarkerHistoryTest, RefreshResetsTheAge) {
  frame({marker(3, 0.9, 1, 100, 100)});
  frame({});
  frame({});
  auto out = frame({marker(3, 0.8, 2, 102, 100)});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(arMarkerHistoryView()->entries[0].age, 1);
  EXPECT_EQ(arMarkerHistoryView()->entries[0].marker.cf, 0.9);  // inherited, then stored
  frame({});
  frame({});
  EXPECT_EQ(frame({}).size(), 0u);
}

TEST_F(MarkerHistoryTest, WeakMarkerInheritsIdConfidenceAndACarriedDirection) {
  for (int shift = 0; shift < 4; shift++) {
    SCOPED_TRACE(shift);
    arResetMarkerHistory();
    frame({marker(5, 0.8, 1, 200, 150)});
    // The same square, its vertices listed from another corner: vertex k of the remembered
    // marker is vertex (k - shift) of the new one, so the direction moves by the shift.
    auto out = frame({marker(2, 0.4, 3, 203, 151, 1050, (4 - shift) % 4)});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].id, 5);
    EXPECT_EQ(out[0].cf, 0.8);
    EXPECT_EQ(out[0].dir, (1 - shift + 4) % 4);
  }
}

TEST_F(MarkerHistoryTest, StrongerCurrentMarkerKeepsItsOwnIdentity) {
  frame({marker(5, 0.7, 1, 200, 150)});
  auto out = frame({marker(2, 0.75, 3, 200, 150)});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].id, 2);
  EXPECT_EQ(out[0].dir, 3);
}

TEST_F(MarkerHistoryTest, OnlyTheNearestOfSeveralCurrentMarkersInherits) {
  frame({marker(5, 0.9, 0, 200, 150)});
  auto out = frame({marker(1, 0.3, 0, 210, 150), marker(2, 0.3, 0, 204, 150)});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].id, -1);
  EXPECT_EQ(out[1].id, 5);
}

TEST_F(MarkerHistoryTest, ConfidenceFloorUnidentifiesWeakMarkersWithoutMemory) {
  auto out = frame({marker(4, 0.45, 2, 100, 100), marker(6, 0.5, 0, 300, 100)});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].id, -1);
  EXPECT_EQ(out[0].cf, 0.45);
  EXPECT_EQ(out[1].id, 6);  // exactly the floor stays identified
  EXPECT_EQ(arMarkerHistoryView()->count, 1);
}

TEST_F(MarkerHistoryTest, NearnessWindowOnAreaRatioAndCentreDistance) {
  struct Case {
    int32_t rememberedArea;
    double dx;
    bool near;
  };
  // Current area 1000: ratios 0.7 .. 1.43 and squared distance / 1000 below 0.5 count as near.
  const Case cases[] = {{700, 0, true},   {699, 0, false}, {1430, 0, true},
                        {1431, 0, false}, {1000, 22.3, true}, {1000, 22.37, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rememberedArea << " " << c.dx);
    arResetMarkerHistory();
    frame({marker(5, 0.9, 0, 100, 100, c.rememberedArea)});
    auto out = frame({marker(-1, 0.2, -1, 100 + c.dx, 100, 1000)});
    EXPECT_EQ(out[0].id, c.near ? 5 : -1);
    EXPECT_EQ(out.size(), c.near ? 1u : 2u);  // a remembered marker far from everything is recalled
  }
}

TEST_F(MarkerHistoryTest, RememberedMarkerIsNotRecalledNextToAnyCurrentMarker) {
  frame({marker(5, 0.9, 0, 100, 100)});
  auto out = frame({marker(-1, 0.95, -1, 101, 100)});  // more confident, unidentified
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].id, -1);
}

TEST_F(MarkerHistoryTest, TwoMarkersWithOneIdAreBothReportedAndTheLaterIsRemembered) {
  auto out = frame({marker(7, 0.9, 0, 100, 100), marker(7, 0.8, 1, 400, 300)});
  ASSERT_EQ(out.size(), 2u);
  ASSERT_EQ(arMarkerHistoryView()->count, 1);
  EXPECT_EQ(arMarkerHistoryView()->entries[0].marker.pos[0], 400);
}

TEST_F(MarkerHistoryTest, RecallStopsWhenTheListIsFull) {
  std::vector<DetectedMarker> many;
  for (int i = 0; i < 10; i++) many.push_back(marker(i, 0.9, 0, 50 + 100 * i, 50));
  frame(many);
  std::vector<DetectedMarker> others;
  for (int i = 0; i < 8; i++) others.push_back(marker(20 + i, 0.9, 0, 50 + 100 * i, 400));
  auto out = frame(others, 12);
  ASSERT_EQ(out.size(), 12u);
  EXPECT_EQ(out[8].id, 0);
  EXPECT_EQ(out[11].id, 3);
}

TEST_F(MarkerHistoryTest, EntriesKeepTheirOrderWhenOthersAgeOut) {
  frame({marker(1, 0.9, 0, 100, 100), marker(2, 0.9, 0, 300, 100)});
  frame({marker(2, 0.9, 0, 300, 100)});
  frame({marker(3, 0.9, 0, 500, 100)});
  frame({marker(3, 0.9, 0, 500, 100)});  // entry 1 reaches age 4 here
  const MarkerHistory* h = arMarkerHistoryView();
  ASSERT_EQ(h->count, 2);
  EXPECT_EQ(h->entries[0].marker.id, 2);
  EXPECT_EQ(h->entries[0].age, 3);
  EXPECT_EQ(h->entries[1].marker.id, 3);
}

}  // namespace
