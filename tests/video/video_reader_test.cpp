// Reading sources through frame by frame: every frame of a sequence and of a clip, in order,
// with its time, faster than the recorded rate.
#include "video/video_reader.h"

#include <gtest/gtest.h>

#include <chrono>

#include "tests/test_files.h"
#include "tests/video/test_clips.h"

namespace {

constexpr int kW = 64, kH = 48;

VideoConfig oneSource(VideoSourceType type, const std::string& file, int fps) {
  VideoSourceConfig source;
  source.type = type;
  source.file = file;
  source.fpsNum = fps;
  VideoConfig config;
  config.sources.push_back(source);
  return config;
}

TEST(VideoReader, DeliversEveryFrameOfSequencesAndClipsInOrderWithTheirTimes) {
  TempDir dir;
  // At 2 frames per second the recording lasts 10 s; read through, it takes a fraction of that.
  const int count = 20, fps = 2;
  std::vector<Picture> pictures;
  for (int i = 0; i < count; i++) {
    pictures.push_back(makeQuadrantPicture(kW, kH, i));
    ASSERT_TRUE(writePng(dir.file("pic" + std::to_string(100 + i) + ".png"), pictures.back(), kW, kH));
  }
  std::string error;
  ASSERT_TRUE(writeClip(dir.file("clip.avi"), pictures, kW, kH, fps, &error)) << error;
  struct Case {
    VideoSourceType type;
    std::string file;
  } cases[] = {{VideoSourceType::Sequence, dir.path()}, {VideoSourceType::File, dir.file("clip.avi")}};
  for (const Case& c : cases) {
    ArVideoReader reader;
    std::string line;
    ASSERT_TRUE(reader.open(oneSource(c.type, c.file, fps), "test", &line)) << line;
    EXPECT_EQ(reader.width(), kW);
    EXPECT_NEAR(reader.duration(), static_cast<double>(count) / fps, 0.05) << line;
    const auto start = std::chrono::steady_clock::now();
    int n = 0;
    double seconds = -1;
    while (const uint8_t* frame = reader.next(&seconds)) {
      EXPECT_EQ(readPictureIndex(frame, kW, kH), n) << line;
      EXPECT_NEAR(seconds, static_cast<double>(n) / fps, 1e-3) << line;
      n++;
    }
    EXPECT_EQ(n, count) << line;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "not paced at the recorded rate";
  }
  ArVideoReader single;
  std::string line;
  ASSERT_TRUE(single.open(oneSource(VideoSourceType::Sequence, dir.file("pic100.png"), 30), "test", &line));
  EXPECT_NE(line.find("(1 picture) "), std::string::npos) << line;
}

TEST(VideoReader, RefusesPngsWhoseColoursWouldDecodeWrongly) {
  TempDir dir;
  // Only the header matters: the sequence is refused before anything is decoded.
  std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                    0,    0,   0,   8,   0,    0,    0,    8,    16, 2};
  writeBytes(dir.file("deep.png"), png);
  ArVideoReader reader;
  std::string line;
  EXPECT_FALSE(reader.open(oneSource(VideoSourceType::Sequence, dir.path(), 30), "test", &line));
  EXPECT_NE(line.find(dir.file("deep.png") + " has 16 bits per colour sample"), std::string::npos) << line;
  EXPECT_EQ(reader.next(nullptr), nullptr);
}

}  // namespace
