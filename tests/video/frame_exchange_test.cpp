#include "video/frame_exchange.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// A 3 x 2 frame whose pixel (x, y) has all four bytes equal to 10 * y + x + base.
std::vector<uint8_t> numbered(int base) {
  std::vector<uint8_t> frame(3 * 2 * 4);
  for (size_t i = 0; i < frame.size(); i++) frame[i] = static_cast<uint8_t>(i / 12 * 10 + i % 12 / 4 + base);
  return frame;
}

int pixel(const uint8_t* frame, int x = 0, int y = 0) { return frame ? frame[(y * 3 + x) * 4] : -1; }

// The exchange of 3 x 2 frames, accepting them; publish(n) hands over numbered(n).
class FrameExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    exchange_.configure(3, 2, false, false);
    exchange_.setAccepting(true);
  }
  bool publish(int base, double seconds = -1) { return exchange_.publish(numbered(base).data(), 12, 3, 2, seconds); }
  FrameExchange exchange_;
};

// Source rows 16 bytes apart (12 used), as decoders with aligned strides deliver them.
TEST(FrameCopy, MirrorsAsAskedAndSkipsRowPadding) {
  std::vector<uint8_t> padded(2 * 16, 99), frame = numbered(0), out(3 * 2 * 4);
  for (int y = 0; y < 2; y++) std::copy(&frame[y * 12], &frame[y * 12 + 12], &padded[y * 16]);
  for (int flips = 0; flips < 4; flips++) {
    arVideoCopyFrame(padded.data(), 16, 3, 2, flips & 1, flips & 2, out.data());
    for (int i = 0; i < 6; i++)
      EXPECT_EQ(pixel(out.data(), i % 3, i / 3), (flips & 1 ? 1 - i / 3 : i / 3) * 10 + (flips & 2 ? 2 - i % 3 : i % 3)) << flips << i;
  }
}

// A slow consumer gets the latest frame, once, untouched while newer ones arrive; no backlog.
TEST_F(FrameExchangeTest, TakeGivesTheNewestFrameOnceAndKeepsItUntilReleased) {
  EXPECT_EQ(exchange_.take(), nullptr) << "nothing published yet";
  for (int i = 1; i <= 5; i++) EXPECT_TRUE(publish(i * 20));
  const uint8_t* held = exchange_.take();
  for (int i = 6; i < 10; i++) publish(i * 20);
  EXPECT_TRUE(pixel(held) == 100 && pixel(held, 2, 1) == 112) << "the newest frame, untouched since";
  EXPECT_EQ(exchange_.take(), nullptr) << "one frame at a time: release first";
  exchange_.release();
  EXPECT_EQ(pixel(exchange_.take()), 180);
  exchange_.release();
  EXPECT_EQ(exchange_.take(), nullptr) << "no backlog: the older frames are gone";
  EXPECT_EQ(exchange_.published(), 9u);
}

TEST_F(FrameExchangeTest, DropsFramesWhileStoppedOfAnotherSizeOrAfterTheEnd) {
  EXPECT_FALSE(exchange_.publish(numbered(1).data(), 8, 2, 2)) << "wrong size";
  publish(2);
  exchange_.setAccepting(false);
  EXPECT_FALSE(publish(2)) << "not accepting";
  EXPECT_EQ(exchange_.take(), nullptr) << "stopping drops the waiting frame";
  exchange_.setAccepting(true);
  publish(3);
  exchange_.finish();
  EXPECT_FALSE(exchange_.finished()) << "the last frame is still to be taken";
  EXPECT_EQ(pixel(exchange_.take()), 3);
  exchange_.release();
  EXPECT_TRUE(exchange_.finished());
  EXPECT_FALSE(publish(4));
  EXPECT_EQ(exchange_.take(), nullptr);
}

TEST_F(FrameExchangeTest, LosslessProducerWaitsSoEveryFrameArrivesInOrderWithItsTime) {
  exchange_.setLossless(true);
  std::thread producer([this] {
    for (int i = 0; i < 40; i++) publish(i, i * 0.5);
    exchange_.finish();
  });
  int count = 0;
  double seconds = -1;
  for (uint8_t* frame; (frame = exchange_.waitTake(std::chrono::seconds(5), &seconds)); count++, exchange_.release())
    EXPECT_TRUE(pixel(frame) == count && seconds == count * 0.5) << count << ": " << pixel(frame) << " at " << seconds;
  producer.join();
  EXPECT_EQ(count, 40) << "no frame dropped";

  // Stopping releases a producer waiting for a consumer that is gone.
  SetUp();
  exchange_.setLossless(true);
  publish(1);
  std::thread blocked([this] { publish(2); });
  exchange_.setAccepting(false);
  blocked.join();
}

}  // namespace
