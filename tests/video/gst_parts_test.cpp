// Camera format choice and image-sequence listing, without a camera or a pipeline.
#include <gtest/gtest.h>

#include "tests/test_files.h"
#include "video/gst_source_internal.h"

namespace {

// What a typical USB webcam offers: uncompressed YUY2 up to 640x480 at 30 fps but only 10 fps
// at 1280x720, and MJPEG at 30 fps for both.
const char* kWebcam =
    "video/x-raw,format=YUY2,width=640,height=480,framerate={30/1,15/1};"
    "video/x-raw,format=YUY2,width=1280,height=720,framerate=10/1;"
    "video/x-raw,format=YUY2,width=320,height=240,framerate=[1/1,30/1];"
    "image/jpeg,width=1280,height=720,framerate=30/1;"
    "image/jpeg,width=640,height=480,framerate=30/1";

CameraFormat choose(const char* offered, int w, int h, int fps, bool* ok = nullptr) {
  std::string error;
  EXPECT_TRUE(arVideoGstInit(&error)) << error;
  GstCaps* caps = gst_caps_from_string(offered);
  CameraFormat format;
  bool chosen = arVideoChooseCameraFormat(caps, w, h, fps, 1, &format);
  gst_caps_unref(caps);
  if (ok) *ok = chosen;
  return format;
}

TEST(CameraFormat, PrefersRawVideoAtTheWantedSizeAndRate) {
  CameraFormat f = choose(kWebcam, 640, 480, 30);
  EXPECT_FALSE(f.mjpeg);
  EXPECT_EQ(f.label, "YUY2");
  EXPECT_EQ(f.caps, "video/x-raw,format=YUY2,width=640,height=480,framerate=30/1");
  EXPECT_TRUE(f.exactSize);
  EXPECT_EQ(choose(kWebcam, 320, 240, 25).caps,
            "video/x-raw,format=YUY2,width=320,height=240,framerate=25/1");
}

TEST(CameraFormat, TakesMjpegWhenRawCannotKeepTheRate) {
  CameraFormat f = choose(kWebcam, 1280, 720, 30);
  EXPECT_TRUE(f.mjpeg);
  EXPECT_EQ(f.label, "MJPEG");
  EXPECT_EQ(f.caps, "image/jpeg,width=1280,height=720,framerate=30/1");
}

TEST(CameraFormat, FallsBackToTheSizeAtTheCamerasRateThenToScaling) {
  CameraFormat slow = choose(kWebcam, 1280, 720, 60);
  EXPECT_FALSE(slow.mjpeg);
  EXPECT_EQ(slow.caps, "video/x-raw,format=YUY2,width=1280,height=720");
  CameraFormat scaled = choose(kWebcam, 800, 600, 30);
  EXPECT_FALSE(scaled.exactSize);
  EXPECT_EQ(scaled.caps, "video/x-raw,format=YUY2");
  CameraFormat jpegOnly = choose("image/jpeg,width=1920,height=1080,framerate=30/1", 640, 480, 30);
  EXPECT_TRUE(jpegOnly.mjpeg);
  EXPECT_EQ(jpegOnly.caps, "image/jpeg");
}

TEST(CameraFormat, RefusesCamerasWithoutRawOrMjpeg) {
  bool ok = true;
  choose("video/x-h264,width=640,height=480,framerate=30/1", 640, 480, 30, &ok);
  EXPECT_FALSE(ok);
  choose("EMPTY", 640, 480, 30, &ok);
  EXPECT_FALSE(ok);
}

TEST(ImageSequence, PatternsCountFromZeroOrOneUpToTheFirstGap) {
  TempDir dir;
  for (const char* name : {"f001.png", "f002.png", "f003.png", "f005.png"}) writeText(dir.file(name), "x");
  std::vector<std::string> files;
  std::string mime, error;
  ASSERT_TRUE(arVideoListSequence(dir.file("f%03d.png"), &files, &mime, &error)) << error;
  EXPECT_EQ(files, (std::vector<std::string>{dir.file("f001.png"), dir.file("f002.png"), dir.file("f003.png")}));
  EXPECT_EQ(mime, "image/png");
  writeText(dir.file("f000.png"), "x");
  ASSERT_TRUE(arVideoListSequence(dir.file("f%03i.png"), &files, &mime, &error)) << error;
  EXPECT_EQ(files.front(), dir.file("f000.png"));
  EXPECT_EQ(files.size(), 4u);
  writeText(dir.file("100%-1.jpg"), "x");
  ASSERT_TRUE(arVideoListSequence(dir.file("100%%-%d.jpg"), &files, &mime, &error)) << error;
  EXPECT_EQ(files, std::vector<std::string>{dir.file("100%-1.jpg")});
  EXPECT_EQ(mime, "image/jpeg");
}

TEST(ImageSequence, FoldersListPicturesOfTheFirstKindByName) {
  TempDir dir;
  for (const char* name : {"b.JPG", "a.jpeg", "c.png", "notes.txt", "d.jpg"}) writeText(dir.file(name), "x");
  std::vector<std::string> files;
  std::string mime, error;
  ASSERT_TRUE(arVideoListSequence(dir.path(), &files, &mime, &error)) << error;
  EXPECT_EQ(files, (std::vector<std::string>{dir.file("a.jpeg"), dir.file("b.JPG"), dir.file("d.jpg")}));
  EXPECT_EQ(mime, "image/jpeg");
  ASSERT_TRUE(arVideoListSequence(dir.file("c.png"), &files, &mime, &error)) << error;
  EXPECT_EQ(files, std::vector<std::string>{dir.file("c.png")});
}

TEST(ImageSequence, BadPatternsAndMissingPicturesAreErrors) {
  TempDir dir;
  writeText(dir.file("notes.txt"), "x");
  std::vector<std::string> files;
  std::string mime, error;
  for (const char* pattern : {"f%s.png", "f%d%d.png", "f%123d.png", "f%.png", "f%", "f%ld.png"}) {
    EXPECT_FALSE(arVideoListSequence(dir.file(pattern), &files, &mime, &error)) << pattern;
    EXPECT_NE(error.find("one integer conversion"), std::string::npos) << pattern;
  }
  EXPECT_FALSE(arVideoListSequence(dir.file("f%04d.png"), &files, &mime, &error));
  EXPECT_NE(error.find("no picture matches"), std::string::npos) << error;
  EXPECT_FALSE(arVideoListSequence(dir.file("missing.png"), &files, &mime, &error));
  EXPECT_FALSE(arVideoListSequence(dir.path(), &files, &mime, &error));
  EXPECT_NE(error.find("no .png or .jpg"), std::string::npos) << error;
  EXPECT_FALSE(arVideoListSequence(dir.file("notes.txt"), &files, &mime, &error));
  EXPECT_NE(error.find(".png or .jpg"), std::string::npos) << error;
  EXPECT_TRUE(files.empty());
}

}  // namespace
