#include "detect/detector_options.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Parsed {
  int result, index;
  ArDetectorOptions options;
  std::string error;
};

// Parses every word of words in turn, as a program's option loop would; stops at the first word
// that is not a detector option or is a bad one.
Parsed parse(std::vector<const char*> words) {
  words.insert(words.begin(), "program");
  Parsed p{0, 1, {}, {}};
  while (p.index < static_cast<int>(words.size())) {
    p.result = arParseDetectorOption(static_cast<int>(words.size()), words.data(), &p.index, &p.options, &p.error);
    if (p.result <= 0) break;
  }
  return p;
}

TEST(DetectorOptions, ModesThresholdsAndCandidateLimits) {
  struct Case {
    std::vector<const char*> words;
    ArThresholdMode mode;
    int threshold, limit;
    const char* text;
  } cases[] = {
      {{}, ArThresholdMode::Fixed, 100, 30, "fixed 100"},
      {{"--threshold", "0"}, ArThresholdMode::Fixed, 0, 30, "fixed 0"},
      {{"--threshold", "255"}, ArThresholdMode::Fixed, 255, 30, "fixed 255"},
      {{"--threshold", "auto"}, ArThresholdMode::Auto, 100, 256, "auto"},
      {{"--threshold", "adaptive"}, ArThresholdMode::Adaptive, 100, 256, "adaptive"},
      {{"--threshold", "auto", "--threshold", "90"}, ArThresholdMode::Fixed, 90, 30, "fixed 90"},
      {{"--max-candidates", "64", "--threshold", "adaptive"}, ArThresholdMode::Adaptive, 100, 64, "adaptive"},
      {{"--threshold", "auto", "--max-candidates", "1024"}, ArThresholdMode::Auto, 100, 1024, "auto"},
  };
  for (const Case& c : cases) {
    const Parsed p = parse(c.words);
    SCOPED_TRACE(c.text);
    EXPECT_EQ(p.index, static_cast<int>(c.words.size()) + 1);
    EXPECT_EQ(p.options.settings.thresholdMode, c.mode);
    EXPECT_EQ(p.options.settings.threshold, c.threshold);
    EXPECT_EQ(p.options.settings.maxCandidates, c.limit);
    EXPECT_EQ(arThresholdModeText(p.options.settings), c.text);
  }
}

TEST(DetectorOptions, OtherWordsAreLeftAndBadValuesNamed) {
  struct Case {
    std::vector<const char*> words;
    int result;
    const char* error;
  } cases[] = {
      {{"--refined"}, 0, ""},
      {{"picture.png"}, 0, ""},
      {{"--threshold"}, -1, "--threshold needs a value"},
      {{"--threshold", "256"}, -1, "--threshold takes a number from 0 to 255, auto or adaptive (got '256')"},
      {{"--threshold", "-1"}, -1, "(got '-1')"},
      {{"--threshold", "10x"}, -1, "(got '10x')"},
      {{"--max-candidates", "0"}, -1, "--max-candidates takes a number from 1 to 1024 (got '0')"},
      {{"--max-candidates", "1025"}, -1, "(got '1025')"},
  };
  for (const Case& c : cases) {
    const Parsed p = parse(c.words);
    EXPECT_EQ(p.result, c.result) << c.words[0];
    EXPECT_EQ(p.index, 1) << c.words[0];
    EXPECT_NE(p.error.find(c.error), std::string::npos) << p.error;
  }
  ArDetectorOptions options;
  for (auto mode : {ArThresholdMode::Auto, ArThresholdMode::Adaptive, ArThresholdMode::Fixed}) arSetThresholdMode(&options, mode);
  EXPECT_EQ(options.settings.maxCandidates, 30);
  EXPECT_NE(std::string(arDetectorOptionsUsage()).find("--max-candidates N"), std::string::npos);
}

TEST(DetectorOptions, RefineTurnsOnEveryRefinement) {
  const Parsed p = parse({"--refine", "--threshold", "90"});
  EXPECT_EQ(p.index, 4);
  EXPECT_TRUE(p.options.refine && p.options.settings.refineCorners && p.options.settings.refineIdentification);
  EXPECT_EQ(p.options.settings.threshold, 90);
  const Parsed plain = parse({});
  EXPECT_FALSE(plain.options.refine || plain.options.settings.refineCorners || plain.options.settings.refineIdentification);
  EXPECT_NE(std::string(arDetectorOptionsUsage()).find("--refine"), std::string::npos);
}

}  // namespace
