#include "video/video_config.h"

#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace {

bool parse(const std::string& text, VideoConfig* config, std::string* error) {
  return arVideoParseConfig(text.data(), text.size(), "test.xml", config, error);
}

VideoSourceConfig parseOne(const std::string& sourceElement) {
  VideoConfig config;
  std::string error;
  EXPECT_TRUE(parse("<video>" + sourceElement + "</video>", &config, &error)) << error;
  return config.sources.empty() ? VideoSourceConfig{} : config.sources[0];
}

std::string parseError(const std::string& text) {
  VideoConfig config;
  config.sources.resize(1);
  std::string error;
  EXPECT_FALSE(parse(text, &config, &error)) << text;
  EXPECT_TRUE(config.sources.empty()) << "a failed parse hands out no sources: " << text;
  return error;
}

TEST(VideoConfig, SourcesAreKeptInOrderWithTheirLines) {
  VideoConfig config;
  std::string error;
  ASSERT_TRUE(parse("<?xml version=\"1.0\"?>\n<!-- fallback order -->\n<video>\n"
                    "  <source type=\"camera\"/>\n  <source type=\"demo\"/>\n</video>\n",
                    &config, &error))
      << error;
  ASSERT_EQ(config.sources.size(), 2u);
  EXPECT_EQ(config.sources[0].type, VideoSourceType::Camera);
  EXPECT_EQ(config.sources[0].line, 4);
  EXPECT_EQ(config.sources[1].type, VideoSourceType::Demo);
  EXPECT_EQ(config.sources[1].line, 5);
}

TEST(VideoConfig, CameraDefaultsToTheFirstCameraAt640x480And30Fps) {
  VideoSourceConfig s = parseOne("<source type='camera'/>");
  EXPECT_EQ(s.device, "auto");
  EXPECT_EQ(s.width, 640);
  EXPECT_EQ(s.height, 480);
  EXPECT_EQ(s.fpsNum, 30);
  EXPECT_EQ(s.fpsDen, 1);
  EXPECT_FALSE(s.flipV);
  EXPECT_FALSE(s.flipH);
}

TEST(VideoConfig, CameraIndexBecomesADevicePath) {
  EXPECT_EQ(parseOne("<source type='camera' device='2'/>").device, "/dev/video2");
  EXPECT_EQ(parseOne("<source type='camera' device='/dev/video5'/>").device, "/dev/video5");
}

TEST(VideoConfig, AllOptionsAreRead) {
  VideoSourceConfig s = parseOne(
      "<source type='file' file='clips\\walk.avi' width='320' height='240' fps='29.97' "
      "flipV='true' flipH='yes' loop='1'/>");
  EXPECT_EQ(s.type, VideoSourceType::File);
  EXPECT_EQ(s.file, "clips/walk.avi");
  EXPECT_EQ(s.width, 320);
  EXPECT_EQ(s.height, 240);
  EXPECT_EQ(s.fpsNum, 29970);
  EXPECT_EQ(s.fpsDen, 1000);
  EXPECT_TRUE(s.flipV);
  EXPECT_TRUE(s.flipH);
  EXPECT_TRUE(s.loop);

  VideoSourceConfig file = parseOne("<source type='file' file='a.avi'/>");
  EXPECT_EQ(file.width, 0) << "a file keeps its own size unless one is given";
  EXPECT_EQ(file.fpsNum, 0);
  EXPECT_FALSE(file.loop);

  EXPECT_EQ(parseOne("<source type='sequence' file='img%03d.png'/>").fpsNum, 30);
  EXPECT_EQ(parseOne("<source type='pipeline' pipeline='videotestsrc ! videoflip'/>").pipeline,
            "videotestsrc ! videoflip");

  VideoSourceConfig demo = parseOne(
      "<source type='demo' motion='still' seed='7' patterns='my\\patterns' camera='cam.dat'/>");
  EXPECT_EQ(demo.motion, DemoMotion::Still);
  EXPECT_EQ(demo.seed, 7u);
  EXPECT_EQ(demo.patterns, "my/patterns");
  EXPECT_EQ(demo.camera, "cam.dat");
  EXPECT_EQ(demo.width, 640);
  EXPECT_EQ(demo.height, 480);
  EXPECT_EQ(demo.lighting.gain, 1.0);

  VideoSourceConfig lit = parseOne(
      "<source type='demo' seed='3' gain='0.35' black='40' gradient='0.5' shadow='0.6' exposure='2.5'/>");
  EXPECT_EQ(lit.lighting.gain, 0.35);
  EXPECT_EQ(lit.lighting.black, 40.0);
  EXPECT_EQ(lit.lighting.gradient, 0.5);
  EXPECT_EQ(lit.lighting.shadow, 0.6);
  EXPECT_EQ(lit.lighting.exposure, 2.5);
  EXPECT_EQ(lit.lighting.seed, 3u);
}

TEST(VideoConfig, MalformedDocumentsAreRejectedWithTheCause) {
  EXPECT_NE(parseError("").find("empty"), std::string::npos);
  EXPECT_NE(parseError("<video><source type='demo'></video>").find("test.xml: not a valid XML"),
            std::string::npos);
  EXPECT_NE(parseError("<camera/>").find("one <video> element"), std::string::npos);
  EXPECT_NE(parseError("<video/><video/>").find("one <video> element"), std::string::npos);
  EXPECT_NE(parseError("<video></video>").find("no <source>"), std::string::npos);
  EXPECT_NE(parseError("<video>\n<camera/></video>").find("test.xml line 2: unexpected element <camera>"),
            std::string::npos);
}

TEST(VideoConfig, BadSourcesNameTheLineAndTheCause) {
  struct Case {
    const char* source;
    const char* cause;
  } cases[] = {
      {"<source/>", "no type attribute"},
      {"<source type='webcam'/>", "unknown source type 'webcam'"},
      {"<source type='camera' fsp='30'/>", "attribute 'fsp' does not apply to a camera source"},
      {"<source type='camera' loop='true'/>", "attribute 'loop' does not apply"},
      {"<source type='camera' device=''/>", "empty device"},
      {"<source type='camera' width='640'/>", "width and height must be given together"},
      {"<source type='camera' width='0' height='480'/>", "whole numbers from 1 to 8192"},
      {"<source type='camera' width='64O' height='480'/>", "whole numbers"},
      {"<source type='camera' width='99999999999999999999' height='1'/>", "whole numbers"},
      {"<source type='camera' fps='0'/>", "fps must be a number above 0"},
      {"<source type='camera' fps='nan'/>", "fps must be"},
      {"<source type='camera' fps='30fps'/>", "fps must be"},
      {"<source type='camera' flipV='maybe'/>", "flipV must be true or false"},
      {"<source type='file'/>", "needs a non-empty file attribute"},
      {"<source type='sequence' file=''/>", "needs a non-empty file attribute"},
      {"<source type='pipeline'/>", "needs a non-empty pipeline attribute"},
      {"<source type='demo' motion='fast'/>", "motion must be smooth or still"},
      {"<source type='demo' seed='-1'/>", "seed must be"},
      {"<source type='demo' patterns=''/>", "non-empty patterns"},
      {"<source type='demo' gain='9'/>", "gain must be a number from 0 to 8 (got '9')"},
      {"<source type='demo' exposure='0.5'/>", "exposure must be a number from 1 to 16"},
      {"<source type='demo' black='dark'/>", "black must be a number"},
      {"<source type='camera' gain='1'/>", "attribute 'gain' does not apply to a camera source"},
  };
  for (const Case& c : cases) {
    // After a valid source, so that a failure must also drop what was read before it.
    std::string error = parseError("<video><source type='demo'/>\n\n" + std::string(c.source) + "</video>");
    EXPECT_NE(error.find("test.xml line 3: "), std::string::npos) << c.source << " -> " << error;
    EXPECT_NE(error.find(c.cause), std::string::npos) << c.source << " -> " << error;
  }
}

TEST(VideoConfig, ReadsFilesNamedWithBackslashes) {
  TempDir dir;
  writeText(dir.file("video.xml"), "<video><source type='camera' device='1'/></video>");
  VideoConfig config;
  std::string error;
  ASSERT_TRUE(arVideoReadConfig((dir.path() + "\\video.xml").c_str(), &config, &error)) << error;
  EXPECT_EQ(config.sources.at(0).device, "/dev/video1");
  EXPECT_EQ(arVideoConfigPath("Data\\WDM_camera_flipV.xml"), "Data/WDM_camera_flipV.xml");
}

TEST(VideoConfig, UnreadableFilesNameTheFileAndTheCause) {
  TempDir dir;
  VideoConfig config;
  std::string error;
  EXPECT_FALSE(arVideoReadConfig(dir.file("missing.xml").c_str(), &config, &error));
  EXPECT_EQ(error, "cannot open configuration " + dir.file("missing.xml") + ": No such file or directory");
  EXPECT_FALSE(arVideoReadConfig(dir.path().c_str(), &config, &error));
  EXPECT_NE(error.find(dir.path()), std::string::npos) << error;
}

TEST(VideoConfig, TheShippedConfigurationTriesACameraThenTheDemo) {
  VideoConfig config;
  std::string error;
  ASSERT_TRUE(arVideoReadConfig("Data\\WDM_camera_flipV.xml", &config, &error)) << error;
  ASSERT_EQ(config.sources.size(), 2u);
  EXPECT_EQ(config.sources[0].type, VideoSourceType::Camera);
  EXPECT_EQ(config.sources[0].device, "auto");
  EXPECT_EQ(config.sources[1].type, VideoSourceType::Demo);
  for (const VideoSourceConfig& s : config.sources) {
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 480);
  }
}

}  // namespace
