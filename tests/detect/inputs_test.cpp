// What callers hand to detection: frames in other pixel layouts and detector options.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "detect/bgra_frame.h"
#include "detect/detector_options.h"

namespace {

using Convert = int (*)(const uint8_t*, int, int, int, std::vector<uint8_t>*);

// 2 x 2 pictures with one byte of padding after each row; pixel i has colour 10 * i + channel.
TEST(BgraFrame, EachLayoutGivesBlueGreenRedAndAlphaRowByRow) {
  const struct {
    Convert convert;
    std::vector<uint8_t> picture, bgra;
  } cases[] = {
      {arBgraFrameFromGrey, {10, 20, 99, 30, 40, 99}, {10, 10, 10, 255, 20, 20, 20, 255, 30, 30, 30, 255, 40, 40, 40, 255}},
      {arBgraFrameFromRgb, {10, 11, 12, 20, 21, 22, 99, 30, 31, 32, 40, 41, 42, 99},
       {12, 11, 10, 255, 22, 21, 20, 255, 32, 31, 30, 255, 42, 41, 40, 255}},
      {arBgraFrameFromRgba, {10, 11, 12, 13, 20, 21, 22, 23, 99, 30, 31, 32, 33, 40, 41, 42, 43, 99},
       {12, 11, 10, 13, 22, 21, 20, 23, 32, 31, 30, 33, 42, 41, 40, 43}},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> frame(3, 7);
    const int rowBytes = static_cast<int>(c.picture.size()) / 2;
    ASSERT_EQ(c.convert(c.picture.data(), 2, 2, rowBytes, &frame), 0);
    EXPECT_EQ(frame, c.bgra);
    const uint8_t* storage = frame.data();  // the next frame of the same size goes into the same storage
    ASSERT_EQ(c.convert(c.picture.data(), 2, 2, rowBytes, &frame), 0);
    EXPECT_EQ(frame.data(), storage);
  }
}

TEST(BgraFrame, RefusedPicturesLeaveTheFrameUntouched) {
  const uint8_t rgb[12] = {};
  std::vector<uint8_t> frame(5, 7);
  const struct {
    const uint8_t* picture;
    int width, height, rowBytes;
    std::vector<uint8_t>* frame;
  } cases[] = {{nullptr, 2, 2, 6, &frame}, {rgb, 2, 2, 6, nullptr}, {rgb, 0, 2, 6, &frame},
               {rgb, 2, -1, 6, &frame},    {rgb, 2, 2, 5, &frame},  {rgb, 1 << 30, 1, 1 << 30, &frame}};  // rows overlap; width overflows
  for (const auto& c : cases) {
    EXPECT_EQ(arBgraFrameFromRgb(c.picture, c.width, c.height, c.rowBytes, c.frame), -1) << c.width << " " << c.rowBytes;
    EXPECT_EQ(frame, std::vector<uint8_t>(5, 7));
  }
}

// Each row's words parsed in turn, as a program's option loop does, up to the first word that is
// not a detector option (result 0) or is a bad one (-1, naming the option and the value).
TEST(DetectorOptions, ModesThresholdsLimitsRefinementAndBadValues) {
  const struct {
    std::vector<const char*> words;
    int result, limit;
    const char* text;  // the mode text, or a part of the error
    bool refine;
  } cases[] = {
      {{}, 0, 30, "fixed 100", false},
      {{"--threshold", "0"}, 1, 30, "fixed 0", false},
      {{"--threshold", "255"}, 1, 30, "fixed 255", false},
      {{"--threshold", "auto"}, 1, 256, "auto", false},
      {{"--refine", "--threshold", "adaptive"}, 1, 256, "adaptive", true},
      {{"--threshold", "auto", "--threshold", "90"}, 1, 30, "fixed 90", false},
      {{"--max-candidates", "64", "--threshold", "adaptive"}, 1, 64, "adaptive", false},
      {{"--threshold", "auto", "--max-candidates", "1024"}, 1, 1024, "auto", false},
      {{"--refined"}, 0, 30, "", false},
      {{"picture.png"}, 0, 30, "", false},
      {{"--threshold"}, -1, 30, "--threshold needs a value", false},
      {{"--threshold", "256"}, -1, 30, "--threshold takes a number from 0 to 255, auto or adaptive (got '256')", false},
      {{"--threshold", "-1"}, -1, 30, "(got '-1')", false},
      {{"--threshold", "10x"}, -1, 30, "(got '10x')", false},
      {{"--max-candidates", "0"}, -1, 30, "--max-candidates takes a number from 1 to 1024 (got '0')", false},
      {{"--max-candidates", "1025"}, -1, 30, "(got '1025')", false},
  };
  for (const auto& c : cases) {
    std::vector<const char*> argv = {"program"};
    argv.insert(argv.end(), c.words.begin(), c.words.end());
    ArDetectorOptions options;
    std::string error;
    int index = 1, result = 0;
    while (index < static_cast<int>(argv.size()) &&
           (result = arParseDetectorOption(static_cast<int>(argv.size()), argv.data(), &index, &options, &error)) > 0) {
    }
    const ArDetectorSettings& s = options.settings;
    EXPECT_EQ(result, c.result) << c.text;
    EXPECT_EQ(index, c.result > 0 ? static_cast<int>(argv.size()) : 1) << c.text;
    EXPECT_EQ(s.maxCandidates, c.limit) << c.text;
    EXPECT_NE((c.result < 0 ? error : arThresholdModeText(s)).find(c.text), std::string::npos) << c.text << ": " << error;
    EXPECT_TRUE(options.refine == c.refine && s.refineCorners == c.refine && s.refineIdentification == c.refine) << c.text;
  }
  ArDetectorOptions options;
  for (auto mode : {ArThresholdMode::Auto, ArThresholdMode::Adaptive, ArThresholdMode::Fixed}) arSetThresholdMode(&options, mode);
  EXPECT_EQ(options.settings.maxCandidates, 30);
  for (const char* option : {"--max-candidates N", "--refine", "--threshold"})
    EXPECT_NE(std::string(arDetectorOptionsUsage()).find(option), std::string::npos) << option;
}

}  // namespace
