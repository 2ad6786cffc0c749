#include "video/frame_exchange.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// A 3 x 2 frame whose pixel (x, y) has all four bytes equal to 10 * y + x + base.
std::vector<uint8_t> numbered(int base) {
  std::vector<uint8_t> frame(3 * 2 * 4);
  for (int y = 0; y < 2; y++) {
    for (int x = 0; x < 3; x++) {
      for (int c = 0; c < 4; c++) frame[(y * 3 + x) * 4 + c] = static_cast<uint8_t>(10 * y + x + base);
    }
  }
  return frame;
}

int pixel(const uint8_t* frame, int x, int y) { return frame[(y * 3 + x) * 4]; }

TEST(FrameCopy, MirrorsAsAskedAndSkipsRowPadding) {
  // Source rows 16 bytes apart (12 used), as decoders with aligned strides deliver them.
  std::vector<uint8_t> padded(2 * 16, 99);
  std::vector<uint8_t> frame = numbered(0);
  for (int y = 0; y < 2; y++) std::copy(&frame[y * 12], &frame[y * 12 + 12], &padded[y * 16]);
  struct Case {
    bool flipV, flipH;
    int expected[2][3];
  } cases[] = {
      {false, false, {{0, 1, 2}, {10, 11, 12}}},
      {true, false, {{10, 11, 12}, {0, 1, 2}}},
      {false, true, {{2, 1, 0}, {12, 11, 10}}},
      {true, true, {{12, 11, 10}, {2, 1, 0}}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out(3 * 2 * 4);
    arVideoCopyFrame(padded.data(), 16, 3, 2, c.flipV, c.flipH, out.data());
    for (int y = 0; y < 2; y++) {
      for (int x = 0; x < 3; x++) {
        EXPECT_EQ(pixel(out.data(), x, y), c.expected[y][x]) << c.flipV << c.flipH << " at " << x << "," << y;
      }
    }
  }
}

TEST(FrameExchange, TakeGivesOnlyTheNewestFrameOnce) {
  FrameExchange exchange;
  exchange.configure(3, 2, false, false);
  exchange.setAccepting(true);
  EXPECT_EQ(exchange.take(), nullptr) << "nothing published yet";
  for (int i = 1; i <= 5; i++) EXPECT_TRUE(exchange.publish(numbered(i * 20).data(), 12, 3, 2));
  uint8_t* frame = exchange.take();
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(pixel(frame, 0, 0), 100) << "a slow consumer gets the latest frame, not the first";
  exchange.release();
  EXPECT_EQ(exchange.take(), nullptr) << "no backlog: the older frames are gone";
  EXPECT_EQ(exchange.published(), 5u);
}

TEST(FrameExchange, HeldFrameStaysUntouchedWhileNewOnesArrive) {
  FrameExchange exchange;
  exchange.configure(3, 2, false, false);
  exchange.setAccepting(true);
  exchange.publish(numbered(1).data(), 12, 3, 2);
  uint8_t* held = exchange.take();
  ASSERT_NE(held, nullptr);
  for (int i = 2; i < 10; i++) exchange.publish(numbered(i * 10).data(), 12, 3, 2);
  EXPECT_EQ(pixel(held, 0, 0), 1);
  EXPECT_EQ(pixel(held, 2, 1), 13);
  EXPECT_EQ(exchange.take(), nullptr) << "one frame at a time: release first";
  exchange.release();
  uint8_t* next = exchange.take();
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(pixel(next, 0, 0), 90);
}

TEST(FrameExchange, DropsFramesWhileStoppedOfAnotherSizeOrAfterTheEnd) {
  FrameExchange exchange;
  exchange.configure(3, 2, false, false);
  EXPECT_FALSE(exchange.publish(numbered(1).data(), 12, 3, 2)) << "not accepting before start";
  exchange.setAccepting(true);
  EXPECT_FALSE(exchange.publish(numbered(1).data(), 8, 2, 2)) << "wrong size";
  exchange.publish(numbered(2).data(), 12, 3, 2);
  exchange.setAccepting(false);
  EXPECT_EQ(exchange.take(), nullptr) << "stopping drops the waiting frame";
  exchange.setAccepting(true);
  exchange.publish(numbered(3).data(), 12, 3, 2);
  exchange.finish();
  EXPECT_FALSE(exchange.finished()) << "the last frame is still to be taken";
  uint8_t* last = exchange.take();
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(pixel(last, 0, 0), 3);
  exchange.release();
  EXPECT_TRUE(exchange.finished());
  EXPECT_FALSE(exchange.publish(numbered(4).data(), 12, 3, 2));
  EXPECT_EQ(exchange.take(), nullptr);
}

TEST(FrameExchange, LosslessProducerWaitsSoEveryFrameArrivesInOrderWithItsTime) {
  FrameExchange exchange;
  exchange.configure(3, 2, false, false);
  exchange.setLossless(true);
  exchange.setAccepting(true);
  std::thread producer([&exchange] {
    for (int i = 0; i < 40; i++) exchange.publish(numbered(i).data(), 12, 3, 2, i * 0.5);
    exchange.finish();
  });
  std::vector<int> seen;
  double seconds = -1;
  while (uint8_t* frame = exchange.waitTake(std::chrono::seconds(5), &seconds)) {
    EXPECT_EQ(seconds, pixel(frame, 0, 0) * 0.5);
    seen.push_back(pixel(frame, 0, 0));
    exchange.release();
  }
  producer.join();
  ASSERT_EQ(seen.size(), 40u) << "no frame dropped";
  for (int i = 0; i < 40; i++) EXPECT_EQ(seen[i], i);

  // Stopping releases a producer waiting for a consumer that is gone.
  exchange.configure(3, 2, false, false);
  exchange.setLossless(true);
  exchange.setAccepting(true);
  exchange.publish(numbered(1).data(), 12, 3, 2);
  std::thread blocked([&exchange] { exchange.publish(numbered(2).data(), 12, 3, 2); });
  exchange.setAccepting(false);
  blocked.join();
}

}  // namespace
