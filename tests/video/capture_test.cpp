// The capture calls on real GStreamer pipelines: generated test sources, clips and picture
// files written by the tests. No camera is needed.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/video/video_test_support.h"

namespace {

using VideoCapture = CaptureTest;

// A Motion-JPEG clip of numbered 160 x 120 quadrant pictures.
TEST_F(VideoCapture, ClipsKeepTheirSizeOrAreScaledAndMirrorAsAsked) {
  writePngs(dir_.file("n%d.png"), 10, 0, 160, 120);
  ASSERT_TRUE(writeClip(dir_.file("n%d.png"), 30, dir_.file("numbered.avi")));
  const struct {
    const char* attributes;
    int width, height;
    Bgr expected[4];
  } cases[] = {{"", 160, 120, {kRed, kGreen, kBlue, kWhite}},
               {"width='80' height='200'", 80, 200, {kRed, kGreen, kBlue, kWhite}},
               {"flipV='true'", 160, 120, {kBlue, kWhite, kRed, kGreen}},
               {"flipH='true'", 160, 120, {kGreen, kRed, kWhite, kBlue}},
               {"flipV='true' flipH='true'", 160, 120, {kWhite, kBlue, kGreen, kRed}}};
  for (const auto& c : cases) {
    ASSERT_EQ(openSources("<source type='file' " + std::string(c.attributes) + " file='" + dir_.file("numbered.avi") + "'/>"), 0);
    int w = 0, h = 0;
    ASSERT_EQ(arVideoInqSize(&w, &h), 0);
    EXPECT_TRUE(w == c.width && h == c.height) << c.attributes << ": " << w << "x" << h;
    arVideoCapStart();
    const uint8_t* frame = waitFrame();
    ASSERT_NE(frame, nullptr) << c.attributes;
    EXPECT_TRUE(quadrantsAre(frame, w, h, c.expected) && readPictureIndex(frame, w, h) >= 0) << c.attributes;
    arVideoClose();
  }
}

// Sequences from a pattern or a folder play in order to the end; a pipeline ends; a sequence
// whose pictures vanish while it plays (like a camera unplugged) stops. Either way frames stop,
// with one message saying why, and the stream cannot start again.
TEST_F(VideoCapture, StreamsThatEndOrFailGiveNullFromThenOnWithOneMessage) {
  const std::string pictures = dir_.file("pictures");
  const struct {
    std::string source, said;
    bool inOrder, vanish;
  } cases[] = {{"type='sequence' fps='20' file='" + pictures + "/p%d.png'", "video: sequence " + pictures + "/p%d.png ended", true, false},
               {"type='sequence' fps='20' file='" + pictures + "'", "video: sequence " + pictures + " ended", true, false},
               {"type='pipeline' pipeline='videotestsrc num-buffers=5'", "video: pipeline 'videotestsrc num-buffers=5' ended", false, false},
               {"type='sequence' fps='20' loop='true' file='" + pictures + "'", "stopped: cannot read picture", false, true}};
  for (const auto& c : cases) {
    std::filesystem::create_directory(pictures);
    writePngs(pictures + "/p%d.png", 3, 1);
    ASSERT_EQ(openSources("<source " + c.source + "/>"), 0);
    arVideoCapStart();
    std::vector<int> seen;
    ::testing::internal::CaptureStderr();
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         !arVideoStreamEnded() && std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(2)))
      if (const uint8_t* frame = arVideoGetImage()) {
        seen.push_back(readPictureIndex(frame, 64, 48)), arVideoCapNext();
        if (c.vanish) std::filesystem::remove_all(pictures);
      }
    const std::string messages = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(!c.inOrder || (std::is_sorted(seen.begin(), seen.end()) && seen.size() >= 2 && seen.back() == 3)) << c.source;
    EXPECT_EQ(arVideoGetImage(), nullptr) << "nothing after the end";
    EXPECT_TRUE(std::count(messages.begin(), messages.end(), '\n') == 1 && messages.find(c.said) != std::string::npos) << messages;
    EXPECT_TRUE(arVideoCapStop() == 0 && arVideoCapStart() == -1) << "an ended stream cannot start again";
    EXPECT_EQ(arVideoClose(), 0);
  }
}

TEST_F(VideoCapture, LoopingSequencesAndClipsStartAgain) {
  writePngs(dir_.file("p%d.png"), 10);
  ASSERT_TRUE(writeClip(dir_.file("p%d.png"), 30, dir_.file("short.avi")));
  for (const std::string& source : {"type='sequence' fps='30' file='" + dir_.file("p%d.png"), "type='file' file='" + dir_.file("short.avi")}) {
    ASSERT_EQ(openSources("<source loop='true' " + source + "'/>"), 0);
    arVideoCapStart();
    bool wrapped = false;
    for (int last = -1, i = 0; i < 40 && !wrapped; i++, arVideoCapNext()) {
      const uint8_t* frame = waitFrame(3);
      ASSERT_NE(frame, nullptr) << source << ": a looping source does not end";
      wrapped = readPictureIndex(frame, 64, 48) < last;
      last = readPictureIndex(frame, 64, 48);
    }
    EXPECT_TRUE(wrapped) << source;
    arVideoClose();
  }
}

TEST_F(VideoCapture, CallsOutOfOrderAreHarmless) {
  int w = -7, h = -7;
  EXPECT_TRUE(arVideoInqSize(&w, &h) == -1 && w == -7) << "nothing open";
  EXPECT_TRUE(!arVideoGetImage() && !arVideoCapNext() && arVideoCapStart() == -1 && arVideoCapStop() == -1);
  EXPECT_EQ(arVideoClose(), -1);
  const std::string source = "<source type='pipeline' width='32' height='24' pipeline='videotestsrc'/>";
  ASSERT_EQ(openSources(source), 0);
  EXPECT_EQ(arVideoGetImage(), nullptr) << "before start";
  std::string messages;
  EXPECT_LT(openSources(source, &messages), 0) << "open twice";
  EXPECT_NE(messages.find("already open"), std::string::npos) << messages;
  EXPECT_TRUE(!arVideoCapNext() && !arVideoCapStop()) << "next before get, stop before start";
  EXPECT_TRUE(!arVideoCapStart() && !arVideoCapStart()) << "start twice";
  ASSERT_NE(waitFrame(), nullptr);
  EXPECT_EQ(arVideoCapStop(), 0);
  EXPECT_EQ(arVideoGetImage(), nullptr) << "stopped";
  EXPECT_EQ(arVideoCapStart(), 0) << "restart after stop";
  arVideoCapNext();
  EXPECT_NE(waitFrame(), nullptr);
  EXPECT_TRUE(arVideoClose() == 0 && arVideoClose() == -1 && !arVideoGetImage()) << "close twice";
  EXPECT_EQ(openSources(source), 0) << "open again after close";
}

// Every bad input: a negative result and one line naming the file or device and the cause. The
// first source that opens is used, and the causes of those before it lead its line.
TEST_F(VideoCapture, BadSourcesAreNamedOnOneLineWithTheCause) {
  const std::string d = dir_.path() + "/";
  writeText(d + "notes.avi", "these are not video frames\n");
  writeText(d + "broken.png", "not a png either");
  writeText(d + "zeros.dat", std::string(136, '\0'));
  writeText(d + "bad.xml", "<video><source type='camera'></video>");
  const struct {
    std::string sources, said;
    int result = -1;
  } cases[] = {
      {"<source type='webcam'/>", "unknown source type 'webcam'"},
      {"<source type='camera' device='/dev/null'/>", "camera /dev/null: "},
      {"<source type='file' file='" + d + "missing.avi'/>", "file " + d + "missing.avi: no such file"},
      {"<source type='file' file='" + d + "'/>", "file " + d + ": not a readable file"},
      {"<source type='file' file='" + d + "notes.avi'/>", "file " + d + "notes.avi: "},
      {"<source type='sequence' file='" + d + "broken.png'/>", "sequence " + d + "broken.png: "},
      {"<source type='pipeline' pipeline='nosuchelement'/>", "pipeline 'nosuchelement': invalid pipeline"},
      {"<source type='pipeline' pipeline='audiotestsrc'/>", "pipeline 'audiotestsrc': "},
      {"<source type='demo' patterns='" + d + "'/>", "no .patt files in " + d},
      {"<source type='demo' camera='" + d + "zeros.dat'/>", d + "zeros.dat cannot be used: the image size is outside"},
      {"<source type='demo' width='32' height='32'/>", "too small"},
      {"<source type='camera' device='/dev/video99'/><source type='pipeline' width='32' height='24' "
       "pipeline='videotestsrc'/>", "video: camera /dev/video99: no such device; using pipeline 'videotestsrc' 32x24", 0},
  };
  for (const auto& c : cases) {
    std::string messages;
    EXPECT_EQ(openSources(c.sources, &messages), c.result) << c.sources;
    EXPECT_TRUE(std::count(messages.begin(), messages.end(), '\n') == 1 && messages.find(c.said) != std::string::npos)
        << c.sources << "\n" << messages;
    EXPECT_EQ(arVideoClose(), c.result) << "nothing stays open after a failure";
  }
  for (const auto& [file, said] : {std::pair{d + "missing.xml", "cannot open configuration " + d + "missing.xml: No such file"},
                                   {d + "bad.xml", d + "bad.xml: not a valid XML document"}}) {
    ::testing::internal::CaptureStderr();
    EXPECT_LT(arVideoOpen(file.c_str()), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr().find("video: " + said), 0u) << file;
  }
}

}  // namespace
