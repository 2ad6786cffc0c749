#include "video/video_config.h"

#include <gtest/gtest.h>

#include <tuple>

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

// A source's fields as one line: type device file pipeline WxH num/den flipV flipH loop.
std::string fields(const VideoSourceConfig& s) {
  return std::string(arVideoSourceTypeName(s.type)) + " " + s.device + " " + s.file + " " + s.pipeline + " " +
         std::to_string(s.width) + "x" + std::to_string(s.height) + " " + std::to_string(s.fpsNum) + "/" +
         std::to_string(s.fpsDen) + " " + std::to_string(s.flipV) + std::to_string(s.flipH) + std::to_string(s.loop);
}

TEST(VideoConfig, SourcesAreReadInOrderWithTheirLinesDefaultsAndOptions) {
  VideoConfig config;
  std::string error;
  ASSERT_TRUE(parse("<?xml version=\"1.0\"?>\n<!-- fallback order -->\n<video>\n"
                    "  <source type=\"camera\"/>\n  <source type=\"demo\"/>\n</video>\n", &config, &error)) << error;
  ASSERT_EQ(config.sources.size(), 2u);
  EXPECT_EQ(config.sources[0].line * 10 + config.sources[1].line, 45);
  const std::pair<const char*, const char*> cases[] = {
      {"<source type='camera'/>", "camera auto   640x480 30/1 000"},
      {"<source type='camera' device='2'/>", "camera /dev/video2   640x480 30/1 000"},
      {"<source type='camera' device='/dev/video5'/>", "camera /dev/video5   640x480 30/1 000"},
      {"<source type='file' file='clips\\walk.avi' width='320' height='240' fps='29.97' flipV='true' flipH='yes' "
       "loop='1'/>", "file auto clips/walk.avi  320x240 29970/1000 111"},
      {"<source type='file' file='a.avi'/>", "file auto a.avi  0x0 0/1 000"},
      {"<source type='sequence' file='img%03d.png' flipV='off'/>", "sequence auto img%03d.png  0x0 30/1 000"},
      {"<source type='pipeline' pipeline='videotestsrc ! videoflip'/>", "pipeline auto  videotestsrc ! videoflip 0x0 0/1 000"},
      {"<source type='demo'/>", "demo auto   640x480 30/1 000"},
  };
  for (const auto& [source, expected] : cases) EXPECT_EQ(fields(parseOne(source)), expected) << source;

  const VideoSourceConfig demo = parseOne("<source type='demo' motion='still' seed='7' patterns='my\\patterns' "
                                          "camera='cam.dat' gain='0.35' black='40' gradient='0.5' shadow='0.6' exposure='2.5'/>");
  EXPECT_TRUE(demo.motion == DemoMotion::Still && demo.seed == 7u && demo.lighting.seed == 7u);
  EXPECT_EQ(demo.patterns + " " + demo.camera, "my/patterns cam.dat");
  const SimLighting& l = demo.lighting;
  EXPECT_TRUE(l.gain == 0.35 && l.black == 40 && l.gradient == 0.5 && l.shadow == 0.6 && l.exposure == 2.5);
  EXPECT_EQ(parseOne("<source type='demo'/>").lighting.gain, 1.0);
}

TEST(VideoConfig, MalformedDocumentsAndBadSourcesAreRejectedWithTheLineAndTheCause) {
  const std::pair<std::string, std::string> documents[] = {
      {"", "test.xml: not a valid XML document (the file is empty)"},
      {"<video><source type='demo'></video>", "test.xml: not a valid XML"},
      {"<camera/>", "one <video> element"},
      {"<video></video>", "no <source>"},
      {"<video>\n<camera/></video>", "test.xml line 2: unexpected element <camera>"}};
  const char* const sources[][2] = {
      {"<source/>", "no type attribute"},
      {"<source type='webcam'/>", "unknown source type 'webcam'"},
      {"<source type='camera' fsp='30'/>", "attribute 'fsp' does not apply to a camera source"},
      {"<source type='camera' device=''/>", "empty device"},
      {"<source type='camera' width='640'/>", "width and height must be given together"},
      {"<source type='camera' width='0' height='480'/>", "whole numbers from 1 to 8192"},
      {"<source type='camera' width='640' height='8193'/>", "whole numbers from 1 to 8192"},
      {"<source type='camera' width='99999999999999999999' height='1'/>", "whole numbers"},
      {"<source type='camera' fps='0'/>", "fps must be a number above 0 and at most 1000"},
      {"<source type='camera' fps='1000.5'/>", "fps must be"},
      {"<source type='camera' flipV='maybe'/>", "flipV must be true or false"},
      {"<source type='file'/>", "needs a non-empty file attribute"},
      {"<source type='pipeline'/>", "needs a non-empty pipeline attribute"},
      {"<source type='demo' motion='fast'/>", "motion must be smooth or still"},
      {"<source type='demo' seed='-1'/>", "seed must be"},
      {"<source type='demo' patterns=''/>", "non-empty patterns"},
      {"<source type='demo' gain='9'/>", "gain must be a number from 0 to 8 (got '9')"},
  };
  std::vector<std::tuple<std::string, std::string, std::string>> cases;
  for (const auto& [text, cause] : documents) cases.push_back({text, "test.xml", cause});
  // After a valid source, so that a failure must also drop what was read before it.
  for (const auto& s : sources) cases.push_back({std::string("<video><source type='demo'/>\n\n") + s[0] + "</video>", "test.xml line 3: ", s[1]});
  for (const auto& [text, where, cause] : cases) {
    VideoConfig config;
    config.sources.resize(1);
    std::string error;
    EXPECT_FALSE(parse(text, &config, &error)) << text;
    EXPECT_TRUE(config.sources.empty()) << "a failed parse hands out no sources: " << text;
    EXPECT_TRUE(error.find(where) == 0 && error.find(cause) != std::string::npos) << text << " -> " << error;
  }
}

TEST(VideoConfig, FilesAreNamedWithEitherSlashAndUnreadableOnesNamedWithTheCause) {
  TempDir dir;
  writeText(dir.file("video.xml"), "<video><source type='camera' device='1'/></video>");
  VideoConfig config;
  std::string error;
  ASSERT_TRUE(arVideoReadConfig((dir.path() + "\\video.xml").c_str(), &config, &error)) << error;
  EXPECT_EQ(config.sources.at(0).device, "/dev/video1");
  ASSERT_TRUE(arVideoReadConfig("Data\\WDM_camera_flipV.xml", &config, &error)) << error;
  ASSERT_EQ(config.sources.size(), 2u);  // the shipped one: a camera, else the demo, at 640x480
  EXPECT_EQ(fields(config.sources[0]), "camera auto   640x480 30/1 000");
  EXPECT_EQ(fields(config.sources[1]), "demo auto   640x480 30/1 000");
  EXPECT_FALSE(arVideoReadConfig(dir.file("missing.xml").c_str(), &config, &error));
  EXPECT_EQ(error, "cannot open configuration " + dir.file("missing.xml") + ": No such file or directory");
  EXPECT_FALSE(arVideoReadConfig(dir.path().c_str(), &config, &error));
  EXPECT_NE(error.find(dir.path()), std::string::npos) << error;
}

}  // namespace
