// The capture calls on real GStreamer pipelines: generated test sources, clips and picture
// files written by the tests. No camera is needed.
#include <algorithm>
#include <filesystem>
#include <vector>

#include "tests/video/capture_helpers.h"
#include "tests/video/test_clips.h"

namespace {

constexpr int kClipW = 160, kClipH = 120;
constexpr Bgr kRed{0, 0, 255}, kGreen{0, 255, 0}, kBlue{255, 0, 0}, kWhite{255, 255, 255};

// A Motion-JPEG clip of numbered quadrant pictures, written once for the whole suite.
const std::string& numberedClip(int frames = 90) {
  static std::string path;
  static TempDir dir;
  if (path.empty()) {
    std::vector<Picture> pictures;
    for (int i = 0; i < frames; i++) pictures.push_back(makeQuadrantPicture(kClipW, kClipH, i));
    std::string error;
    if (writeClip(dir.file("numbered.avi"), pictures, kClipW, kClipH, 30, &error)) {
      path = dir.file("numbered.avi");
    } else {
      ADD_FAILURE() << "cannot write the test clip: " << error;
    }
  }
  return path;
}

void expectQuadrants(const uint8_t* frame, int w, int h, const Bgr (&expected)[4], const char* what) {
  for (int q = 0; q < 4; q++) {
    Bgr c = quadrantColour(frame, w, h, q);
    EXPECT_TRUE(near(c, expected[q], 40))
        << what << " quadrant " << q << ": got b" << c.b << " g" << c.g << " r" << c.r;
  }
}

using VideoCapture = CaptureTest;

TEST_F(VideoCapture, PipelineFramesHaveTheQueriedSizeInBlueGreenRedAlphaOrder) {
  ASSERT_EQ(openSources("<source type='pipeline' width='96' height='64' "
                        "pipeline='videotestsrc pattern=solid-color foreground-color=0xff204080'/>"),
            0);
  int w = 0, h = 0;
  ASSERT_EQ(arVideoInqSize(&w, &h), 0);
  EXPECT_EQ(w, 96);
  EXPECT_EQ(h, 64);
  ASSERT_EQ(arVideoCapStart(), 0);
  uint8_t* frame = waitFrame();
  ASSERT_NE(frame, nullptr);
  for (int i : {0, 48 * 96 + 40, 96 * 64 - 1}) {
    EXPECT_NEAR(frame[4 * i + 0], 0x80, 3) << "blue first";
    EXPECT_NEAR(frame[4 * i + 1], 0x40, 3);
    EXPECT_NEAR(frame[4 * i + 2], 0x20, 3);
    EXPECT_EQ(frame[4 * i + 3], 255);
  }
}

TEST_F(VideoCapture, ClipKeepsItsOrientationColoursAndSize) {
  ASSERT_FALSE(numberedClip().empty());
  ASSERT_EQ(openSources("<source type='file' file='" + numberedClip() + "'/>"), 0);
  int w = 0, h = 0;
  ASSERT_EQ(arVideoInqSize(&w, &h), 0);
  EXPECT_EQ(w, kClipW) << "a file keeps its own size";
  EXPECT_EQ(h, kClipH);
  arVideoCapStart();
  uint8_t* frame = waitFrame();
  ASSERT_NE(frame, nullptr);
  expectQuadrants(frame, w, h, {kRed, kGreen, kBlue, kWhite}, "as recorded");
  EXPECT_GE(readPictureIndex(frame, w, h), 0);
  arVideoClose();

  ASSERT_EQ(openSources("<source type='file' file='" + numberedClip() + "' width='80' height='200'/>"), 0);
  ASSERT_EQ(arVideoInqSize(&w, &h), 0);
  EXPECT_EQ(w, 80) << "scaled to the configured size";
  EXPECT_EQ(h, 200);
  arVideoCapStart();
  frame = waitFrame();
  ASSERT_NE(frame, nullptr);
  expectQuadrants(frame, w, h, {kRed, kGreen, kBlue, kWhite}, "scaled");
}

TEST_F(VideoCapture, FlipsMirrorTheFrame) {
  ASSERT_FALSE(numberedClip().empty());
  struct Case {
    const char* flips;
    Bgr expected[4];
  } cases[] = {
      {"flipV='true'", {kBlue, kWhite, kRed, kGreen}},
      {"flipH='true'", {kGreen, kRed, kWhite, kBlue}},
      {"flipV='true' flipH='true'", {kWhite, kBlue, kGreen, kRed}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(openSources("<source type='file' " + std::string(c.flips) + " file='" + numberedClip() + "'/>"), 0);
    arVideoCapStart();
    uint8_t* frame = waitFrame();
    ASSERT_NE(frame, nullptr) << c.flips;
    expectQuadrants(frame, kClipW, kClipH, c.expected, c.flips);
    arVideoClose();
  }
}

TEST_F(VideoCapture, SlowConsumerGetsTheLatestFrameNotABacklog) {
  ASSERT_FALSE(numberedClip().empty());
  ASSERT_EQ(openSources("<source type='file' file='" + numberedClip() + "'/>"), 0);
  arVideoCapStart();
  uint8_t* frame = waitFrame();
  ASSERT_NE(frame, nullptr);
  int first = readPictureIndex(frame, kClipW, kClipH);
  auto gotFirst = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(700));   // 21 frames at 30 fps
  EXPECT_EQ(arVideoGetImage(), nullptr) << "the held frame must be released first";
  arVideoCapNext();
  frame = waitFrame();
  ASSERT_NE(frame, nullptr);
  int late = readPictureIndex(frame, kClipW, kClipH);
  double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - gotFirst).count();
  EXPECT_GE(late - first, 8) << "after " << waited << " s the frame should be the current one";
  arVideoCapNext();
  frame = waitFrame();
  ASSERT_NE(frame, nullptr);
  int next = readPictureIndex(frame, kClipW, kClipH);
  EXPECT_GT(next, late);
  EXPECT_LE(next - late, 4) << "the frame after the latest, not an older queued one";
}

TEST_F(VideoCapture, GetImageReturnsNullWhenNoNewFrameIsReady) {
  std::string pictures = dir_.file("slow");
  std::filesystem::create_directory(pictures);
  for (int i = 0; i < 2; i++) {
    ASSERT_TRUE(writePng(pictures + "/p" + std::to_string(i) + ".png", makeQuadrantPicture(64, 48, i), 64, 48));
  }
  // Two pictures a second: the next frame is half a second away.
  ASSERT_EQ(openSources("<source type='sequence' fps='2' loop='true' file='" + pictures + "'/>"), 0);
  EXPECT_EQ(arVideoGetImage(), nullptr) << "before start";
  arVideoCapStart();
  ASSERT_NE(waitFrame(), nullptr);
  arVideoCapNext();
  EXPECT_EQ(arVideoGetImage(), nullptr);
  auto before = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; i++) arVideoGetImage();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2))
      << "asking for a frame never waits (for a frame due every 500 ms)";
}

TEST_F(VideoCapture, ImageSequencesPlayInOrderFromPatternOrFolder) {
  for (int i = 0; i < 3; i++) {
    ASSERT_TRUE(writePng(dir_.file("pic" + std::to_string(i) + ".png"), makeQuadrantPicture(64, 48, i + 1), 64, 48));
  }
  for (const std::string& file : {dir_.file("pic%d.png"), dir_.path()}) {
    std::string messages;
    ASSERT_EQ(openSources("<source type='sequence' fps='20' file='" + file + "'/>", &messages), 0) << messages;
    EXPECT_NE(messages.find("(3 pictures)"), std::string::npos) << messages;
    arVideoCapStart();
    std::vector<int> seen;
    ::testing::internal::CaptureStderr();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!arVideoStreamEnded() && std::chrono::steady_clock::now() < deadline) {
      if (uint8_t* frame = arVideoGetImage()) {
        seen.push_back(readPictureIndex(frame, 64, 48));
        arVideoCapNext();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::string end = ::testing::internal::GetCapturedStderr();
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << file;
    EXPECT_EQ(seen.back(), 3) << "the last picture is delivered before the end";
    EXPECT_EQ(videoLines(end), 1) << end;
    EXPECT_NE(end.find("ended"), std::string::npos) << end;
    EXPECT_EQ(arVideoGetImage(), nullptr) << "nothing after the end";
    EXPECT_EQ(arVideoCapStop(), 0);
    EXPECT_EQ(arVideoClose(), 0);
  }
}

TEST_F(VideoCapture, LoopingSequencesAndClipsStartAgain) {
  for (int i = 0; i < 3; i++) {
    ASSERT_TRUE(writePng(dir_.file("pic" + std::to_string(i) + ".png"), makeQuadrantPicture(64, 48, i + 1), 64, 48));
  }
  ASSERT_EQ(openSources("<source type='sequence' fps='30' loop='true' file='" + dir_.file("pic%d.png") + "'/>"), 0);
  arVideoCapStart();
  int frames = 0;
  bool wrapped = false;
  for (int last = 0; frames < 60 && !wrapped; frames++) {
    uint8_t* frame = waitFrame(3);
    ASSERT_NE(frame, nullptr) << "a looping sequence does not end";
    int index = readPictureIndex(frame, 64, 48);
    wrapped = index < last;
    last = index;
    arVideoCapNext();
  }
  EXPECT_TRUE(wrapped);
  arVideoClose();

  // A short clip: 10 numbered frames at 30 fps, played more than once.
  std::vector<Picture> pictures;
  for (int i = 0; i < 10; i++) pictures.push_back(makeQuadrantPicture(64, 48, i));
  std::string error;
  ASSERT_TRUE(writeClip(dir_.file("short.avi"), pictures, 64, 48, 30, &error)) << error;
  ASSERT_EQ(openSources("<source type='file' loop='true' file='" + dir_.file("short.avi") + "'/>"), 0);
  arVideoCapStart();
  wrapped = false;
  for (int last = -1, i = 0; i < 40 && !wrapped; i++, arVideoCapNext()) {
    uint8_t* frame = waitFrame(3);
    ASSERT_NE(frame, nullptr) << "a looping clip does not end";
    int index = readPictureIndex(frame, 64, 48);
    wrapped = index < last;
    last = index;
  }
  EXPECT_TRUE(wrapped) << "the clip starts again after its last frame";
}

TEST_F(VideoCapture, AStreamThatEndsGivesNullFromThenOnWithOneMessage) {
  ASSERT_EQ(openSources("<source type='pipeline' pipeline='videotestsrc num-buffers=5'/>"), 0);
  arVideoCapStart();
  ::testing::internal::CaptureStderr();
  int frames = drainUntilEnded();
  EXPECT_TRUE(arVideoStreamEnded());
  EXPECT_EQ(arVideoGetImage(), nullptr);
  std::string messages = ::testing::internal::GetCapturedStderr();
  EXPECT_GE(frames, 1);
  EXPECT_LE(frames, 5);
  EXPECT_EQ(videoLines(messages), 1) << messages;
  EXPECT_NE(messages.find("video: pipeline 'videotestsrc num-buffers=5' ended"), std::string::npos) << messages;
  EXPECT_EQ(arVideoCapStop(), 0);
  EXPECT_EQ(arVideoCapStart(), -1) << "an ended stream cannot start again";
  EXPECT_EQ(arVideoClose(), 0);
}

TEST_F(VideoCapture, AFailureWhileRunningStopsFramesWithOneMessage) {
  std::string pictures = dir_.file("vanishing");
  std::filesystem::create_directory(pictures);
  for (int i = 0; i < 2; i++) {
    ASSERT_TRUE(writePng(pictures + "/p" + std::to_string(i) + ".png", makeQuadrantPicture(64, 48, i), 64, 48));
  }
  ASSERT_EQ(openSources("<source type='sequence' fps='20' loop='true' file='" + pictures + "'/>"), 0);
  arVideoCapStart();
  ASSERT_NE(waitFrame(), nullptr);
  arVideoCapNext();
  ::testing::internal::CaptureStderr();
  std::filesystem::remove_all(pictures);   // like a camera unplugged: reading fails on the next loop
  drainUntilEnded();
  EXPECT_TRUE(arVideoStreamEnded());
  EXPECT_EQ(arVideoGetImage(), nullptr);
  std::string messages = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(videoLines(messages), 1) << messages;
  EXPECT_NE(messages.find("stopped: "), std::string::npos) << messages;
  EXPECT_NE(messages.find("cannot read picture"), std::string::npos) << messages;
  EXPECT_EQ(arVideoCapStop(), 0);
  EXPECT_EQ(arVideoClose(), 0);
}

TEST_F(VideoCapture, CallsOutOfOrderAreHarmless) {
  int w = -7, h = -7;
  EXPECT_EQ(arVideoInqSize(&w, &h), -1) << "nothing open";
  EXPECT_EQ(w, -7);
  EXPECT_EQ(arVideoGetImage(), nullptr);
  EXPECT_EQ(arVideoCapNext(), 0);
  EXPECT_EQ(arVideoCapStart(), -1);
  EXPECT_EQ(arVideoCapStop(), -1);
  EXPECT_EQ(arVideoClose(), -1);

  const std::string source = "<source type='pipeline' width='32' height='24' pipeline='videotestsrc'/>";
  ASSERT_EQ(openSources(source), 0);
  std::string messages;
  EXPECT_LT(openSources(source, &messages), 0) << "open twice";
  EXPECT_NE(messages.find("already open"), std::string::npos) << messages;
  EXPECT_EQ(arVideoGetImage(), nullptr) << "get before start";
  EXPECT_EQ(arVideoCapNext(), 0) << "next before get";
  EXPECT_EQ(arVideoCapStop(), 0) << "stop before start";
  EXPECT_EQ(arVideoCapStart(), 0);
  EXPECT_EQ(arVideoCapStart(), 0) << "start twice";
  ASSERT_NE(waitFrame(), nullptr);
  EXPECT_EQ(arVideoCapStop(), 0);
  EXPECT_EQ(arVideoGetImage(), nullptr) << "stopped";
  EXPECT_EQ(arVideoCapStart(), 0) << "restart after stop";
  arVideoCapNext();
  EXPECT_NE(waitFrame(), nullptr);
  EXPECT_EQ(arVideoClose(), 0);
  EXPECT_EQ(arVideoClose(), -1) << "close twice";
  EXPECT_EQ(arVideoGetImage(), nullptr);
  ASSERT_EQ(openSources(source), 0) << "open again after close";
}

TEST_F(VideoCapture, SourcesAreTriedInOrderAndTheFallbackIsNamedOnOneLine) {
  std::string messages;
  ASSERT_EQ(openSources("<source type='camera' device='/dev/video99'/>"
                        "<source type='pipeline' width='32' height='24' pipeline='videotestsrc'/>",
                        &messages),
            0);
  EXPECT_EQ(videoLines(messages), 1) << messages;
  EXPECT_NE(messages.find("video: camera /dev/video99: "), std::string::npos) << messages;
  EXPECT_NE(messages.find("; using pipeline 'videotestsrc' 32x24"), std::string::npos) << messages;
  int w = 0, h = 0;
  arVideoInqSize(&w, &h);
  EXPECT_EQ(w, 32);
}

// Every bad input: a negative result and one line naming the file or device and the cause.
TEST_F(VideoCapture, BadInputFailsToOpenWithOneLineNamingTheCause) {
  writeText(dir_.file("notes.avi"), "these are not video frames\n");
  writeText(dir_.file("broken.png"), "not a png either");
  struct Case {
    std::string sources;
    std::string expected;
  } cases[] = {
      {"<source type='webcam'/>", "unknown source type 'webcam'"},
      {"<source type='camera' device='/dev/video99'/>", "camera /dev/video99: "},
      {"<source type='camera' device='/dev/null'/>", "camera /dev/null: "},
      {"<source type='file' file='" + dir_.file("missing.avi") + "'/>",
       "file " + dir_.file("missing.avi") + ": no such file"},
      {"<source type='file' file='" + dir_.path() + "'/>", "file " + dir_.path() + ": not a readable file"},
      {"<source type='file' file='" + dir_.file("notes.avi") + "'/>", "file " + dir_.file("notes.avi") + ": "},
      {"<source type='sequence' file='" + dir_.file("none%03d.png") + "'/>", "no picture matches"},
      {"<source type='sequence' file='" + dir_.file("broken.png") + "'/>", "sequence " + dir_.file("broken.png") + ": "},
      {"<source type='pipeline' pipeline='nosuchelement'/>", "pipeline 'nosuchelement': invalid pipeline"},
      {"<source type='pipeline' pipeline='videotestsrc !'/>", "pipeline 'videotestsrc !': invalid pipeline"},
      {"<source type='pipeline' pipeline='audiotestsrc'/>", "pipeline 'audiotestsrc': "},
  };
  for (const Case& c : cases) {
    std::string messages;
    EXPECT_LT(openSources(c.sources, &messages), 0) << c.sources;
    EXPECT_EQ(videoLines(messages), 1) << messages;
    EXPECT_NE(messages.find(c.expected), std::string::npos) << c.sources << "\n" << messages;
    EXPECT_EQ(arVideoClose(), -1) << "nothing stays open after a failure";
  }

  std::string messages;
  ::testing::internal::CaptureStderr();
  EXPECT_LT(arVideoOpen(dir_.file("missing.xml").c_str()), 0);
  messages = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(messages, "video: cannot open configuration " + dir_.file("missing.xml") + ": No such file or directory\n");
  writeText(dir_.file("bad.xml"), "<video><source type='camera'></video>");
  ::testing::internal::CaptureStderr();
  EXPECT_LT(arVideoOpen(dir_.file("bad.xml").c_str()), 0);
  messages = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("video: " + dir_.file("bad.xml") + ": not a valid XML document"), std::string::npos)
      << messages;
  ::testing::internal::CaptureStderr();
  EXPECT_LT(arVideoOpen(nullptr), 0);
  EXPECT_EQ(videoLines(::testing::internal::GetCapturedStderr()), 1);
}

}  // namespace
