// Camera format choice and image-sequence listing, without a camera or a pipeline.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/test_files.h"
#include "video/gst_source_internal.h"

namespace {

// What a typical USB webcam offers: uncompressed YUY2 up to 640x480 at 30 fps but only 10 fps at
// 1280x720, and MJPEG at 30 fps for both. Raw video at the wanted size and rate comes first, then
// MJPEG at them, then the size at the camera's rate, then scaling; "" when nothing fits.
TEST(CameraFormat, PrefersRawVideoAtTheWantedSizeAndRateThenMjpeg) {
  std::string error;
  ASSERT_TRUE(arVideoGstInit(&error)) << error;
  const std::string webcam =
      "video/x-raw,format=YUY2,width=640,height=480,framerate={30/1,15/1};"
      "video/x-raw,format=YUY2,width=1280,height=720,framerate=10/1;"
      "video/x-raw,format=YUY2,width=320,height=240,framerate=[1/1,30/1];"
      "image/jpeg,width=1280,height=720,framerate=30/1;image/jpeg,width=640,height=480,framerate=30/1";
  const struct {
    std::string offered;
    int width, height, fps;
    std::string caps, label;
  } cases[] = {
      {webcam, 640, 480, 30, "video/x-raw,format=YUY2,width=640,height=480,framerate=30/1", "YUY2"},
      {webcam, 1280, 720, 30, "image/jpeg,width=1280,height=720,framerate=30/1", "MJPEG"},
      {webcam, 1280, 720, 60, "video/x-raw,format=YUY2,width=1280,height=720", "YUY2"},
      {webcam, 800, 600, 30, "video/x-raw,format=YUY2", "YUY2"},
      {"image/jpeg,width=1920,height=1080,framerate=30/1", 640, 480, 30, "image/jpeg", "MJPEG"},
      {"video/x-h264,width=640,height=480,framerate=30/1", 640, 480, 30, "", ""},
  };
  for (const auto& c : cases) {
    GstCaps* caps = gst_caps_from_string(c.offered.c_str());
    CameraFormat format;
    const bool chosen = arVideoChooseCameraFormat(caps, c.width, c.height, c.fps, 1, &format);
    gst_caps_unref(caps);
    EXPECT_EQ(chosen, !c.caps.empty()) << c.caps;
    EXPECT_EQ(chosen ? format.caps + " " + format.label : "", chosen ? c.caps + " " + c.label : "");
    EXPECT_EQ(chosen && format.mjpeg, c.label == "MJPEG") << c.caps;
    EXPECT_EQ(chosen && format.exactSize, c.caps.find("width") != std::string::npos) << c.caps;
  }
}

// Patterns count from 0 or 1 up to the first gap; folders list the pictures of the first kind
// by name; bad patterns and missing pictures are errors. (Patterns from 1 and single pictures
// play in the capture tests.)
TEST(ImageSequence, PatternsAndFoldersListTheirPicturesOrSayWhyNot) {
  TempDir dir, mixed, none;
  for (const char* name : {"f000.png", "f001.png", "f003.png", "notes.txt"}) writeText(dir.file(name), "x");
  for (const char* name : {"b.JPG", "a.jpeg", "c.png", "notes.txt"}) writeText(mixed.file(name), "x");
  const std::string oneConversion = "one integer conversion";
  const struct {
    std::string location, listed;  // file names, or the cause of the error
  } cases[] = {{dir.file("f%03i.png"), "f000.png f001.png "}, {mixed.path(), "a.jpeg b.JPG "},
               {dir.file("f%s.png"), oneConversion}, {dir.file("f%d%d.png"), oneConversion},
               {dir.file("f%123d.png"), oneConversion}, {dir.file("f%.png"), oneConversion},
               {dir.file("f%"), oneConversion}, {dir.file("f%ld.png"), oneConversion},
               {dir.file("f%04d.png"), "no picture matches"}, {dir.file("missing.png"), "no such file or folder"},
               {none.path(), "no .png or .jpg pictures in the folder"}, {dir.file("notes.txt"), "pictures must be .png or .jpg"}};
  for (const auto& c : cases) {
    std::vector<std::string> files = {"x"};
    std::string mime, error, listed;
    const bool ok = arVideoListSequence(c.location, &files, &mime, &error);
    for (const std::string& file : files) listed += std::filesystem::path(file).filename().string() + " ";
    const bool listing = c.listed.back() == ' ';
    EXPECT_EQ(ok, listing) << c.location << ": " << error;
    EXPECT_TRUE(listing ? listed == c.listed : files.empty() && error.find(c.listed) != std::string::npos) << c.location << ": " << listed << error;
  }
}

}  // namespace
