// Reading sources through frame by frame: every frame of a sequence and of a clip, in order,
// with its time, faster than the recorded rate.
#include "video/video_reader.h"

#include <chrono>

#include "tests/video/video_test_support.h"

namespace {

VideoConfig oneSource(VideoSourceType type, const std::string& file, int fps) {
  VideoSourceConfig source;
  source.type = type, source.file = file, source.fpsNum = fps;
  return VideoConfig{{source}};
}

// At 2 frames per second the recording lasts 10 s; read through, it takes a fraction of that.
TEST(VideoReader, DeliversEveryFrameOfSequencesAndClipsInOrderWithTheirTimes) {
  TempDir dir;
  writePngs(dir.file("pic%d.png"), 20, 100);  // three digits: names sort as numbers
  ASSERT_TRUE(writeClip(dir.file("pic%d.png"), 2, dir.file("clip.avi"), 100));
  std::string line;
  for (const auto& [type, file] : {std::pair{VideoSourceType::Sequence, dir.path()}, {VideoSourceType::File, dir.file("clip.avi")}}) {
    ArVideoReader reader;
    ASSERT_TRUE(reader.open(oneSource(type, file, 2), "test", &line)) << line;
    EXPECT_EQ(reader.width(), 64);
    EXPECT_NEAR(reader.duration(), 10, 0.05) << line;
    const auto start = std::chrono::steady_clock::now();
    int n = 0;
    double seconds = -1;
    for (const uint8_t* frame; (frame = reader.next(&seconds)); n++)
      EXPECT_TRUE(readPictureIndex(frame, 64, 48) == 100 + n && std::abs(seconds - n / 2.0) < 1e-3) << line << " " << n;
    EXPECT_EQ(n, 20) << line;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "not paced at the recorded rate";
  }
  ArVideoReader single;
  ASSERT_TRUE(single.open(oneSource(VideoSourceType::Sequence, dir.file("pic100.png"), 30), "test", &line));
  EXPECT_NE(line.find("(1 picture) "), std::string::npos) << line;
}

}  // namespace
