// What callers hand to detection: frames in other pixel layouts and detector options.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "detect/bgra_frame.h"
#include "detect/detector_options.h"

namespace {

using Convert = int (*)(const uint8_t*, int, int, int, std::vector<uint8_t>*);

// 2 x 2 pictures with one byte of padding after each row; pixel i has colour 10 * i + channel.
TEST(BgraFrame, EachLayoutGivesBlueGreenRedAndAlphaRowByRowAndBadPicturesAreRefused) {
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
  // No picture, no frame, no width, negative height, overlapping rows, a row too wide to count.
  const uint8_t rgb[12] = {};
  std::vector<uint8_t> frame(5, 7);
  const int sizes[][3] = {{2, 2, 6}, {2, 2, 6}, {0, 2, 6}, {2, -1, 6}, {2, 2, 5}, {1 << 30, 1, 1 << 30}};
  for (int i = 0; i < 6; i++) {
    EXPECT_EQ(arBgraFrameFromRgb(i ? rgb : nullptr, sizes[i][0], sizes[i][1], sizes[i][2], i == 1 ? nullptr : &frame), -1) << i;
    EXPECT_EQ(frame, std::vector<uint8_t>(5, 7)) << i;
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
      {{"--threshold", "255"}, 1, 30, "fixed 255", false},
      {{"--refine", "--threshold", "adaptive"}, 1, 256, "adaptive", true},
      {{"--threshold", "auto", "--threshold", "0"}, 1, 30, "fixed 0", false},
      {{"--max-candidates", "64", "--threshold", "auto"}, 1, 64, "auto", false},
      {{"--max-candidates", "1024"}, 1, 1024, "fixed 100", false},
      {{"--refined"}, 0, 30, "", false},
      {{"--threshold"}, -1, 30, "--threshold needs a value", false},
      {{"--threshold", "256"}, -1, 30, "--threshold takes a number from 0 to 255, auto or adaptive (got '256')", false},
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
    EXPECT_TRUE(result == c.result && index == (c.result > 0 ? static_cast<int>(argv.size()) : 1)) << c.text;
    EXPECT_EQ(s.maxCandidates, c.limit) << c.text;
    EXPECT_NE((c.result < 0 ? error : arThresholdModeText(s)).find(c.text), std::string::npos) << c.text << ": " << error;
    EXPECT_TRUE(options.refine == c.refine && s.refineCorners == c.refine && s.refineIdentification == c.refine) << c.text;
  }
  EXPECT_NE(std::string(arDetectorOptionsUsage()).find("--max-candidates N"), std::string::npos);
}

}  // namespace
