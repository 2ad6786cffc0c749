#include "camera/camera_param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tests/test_files.h"

namespace {

CameraParam sampleCamera() {
  CameraParam p = {};
  p.xsize = 640;
  p.ysize = 480;
  const double proj[3][4] = {{700.5, 0, 320, 0}, {0, 690.25, 240.5, 0}, {0, 0, 1, 0}};
  std::memcpy(p.projection, proj, sizeof proj);
  p.distortion[0] = 318.5;
  p.distortion[1] = 242.0;
  p.distortion[2] = 26.2;
  p.distortion[3] = 0.98;
  return p;
}

TEST(CameraParamFile, BigEndianLayoutOnDisk) {
  TempDir dir;
  const std::string path = dir.file("cam.dat");
  CameraParam p = sampleCamera();
  ASSERT_EQ(arCameraParamWrite(path.c_str(), 1, &p), 0);
  const std::vector<unsigned char> bytes = readBytes(path);
  ASSERT_EQ(bytes.size(), 136u);
  const unsigned char head[8] = {0x00, 0x00, 0x02, 0x80, 0x00, 0x00, 0x01, 0xE0};
  EXPECT_EQ(std::memcmp(bytes.data(), head, 8), 0);
  // 700.5 as a big-endian IEEE double is 40 85 E4 00 00 00 00 00.
  const unsigned char first[8] = {0x40, 0x85, 0xE4, 0x00, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(std::memcmp(bytes.data() + 8, first, 8), 0);

  CameraParam back;
  ASSERT_EQ(arCameraParamRead(path.c_str(), 1, &back), 0);
  EXPECT_EQ(std::memcmp(&back, &p, sizeof p), 0);
}

TEST(CameraParamFile, ShortFileMissingFileAndDirectory) {
  TempDir dir;
  CameraParam p = sampleCamera();
  const std::string full = dir.file("full.dat");
  ASSERT_EQ(arCameraParamWrite(full.c_str(), 1, &p), 0);
  std::vector<unsigned char> bytes = readBytes(full);
  bytes.pop_back();
  const std::string shortFile = dir.file("short.dat");
  writeBytes(shortFile, bytes);
  CameraParam out;
  EXPECT_EQ(arCameraParamRead(shortFile.c_str(), 1, &out), -1);
  EXPECT_EQ(arCameraParamRead(dir.file("missing.dat").c_str(), 1, &out), -1);
  EXPECT_EQ(arCameraParamRead(dir.path().c_str(), 1, &out), -1);
  EXPECT_EQ(arCameraParamRead(full.c_str(), 0, &out), -1);
}

TEST(CameraParamFile, ReadsOnlyTheRecordsAskedFor) {
  TempDir dir;
  CameraParam two[2] = {sampleCamera(), sampleCamera()};
  two[1].xsize = 320;
  const std::string path = dir.file("two.dat");
  ASSERT_EQ(arCameraParamWrite(path.c_str(), 2, two), 0);
  CameraParam first;
  ASSERT_EQ(arCameraParamRead(path.c_str(), 1, &first), 0);
  EXPECT_EQ(first.xsize, 640);
  CameraParam both[3];
  EXPECT_EQ(arCameraParamRead(path.c_str(), 3, both), -1);
  EXPECT_EQ(both[1].xsize, 320);  // records read before the failure stay filled
}

TEST(CameraParamResize, HalfSize) {
  const CameraParam p = sampleCamera();
  CameraParam half;
  ASSERT_EQ(arCameraParamResize(&p, 320, 240, &half), 0);
  EXPECT_EQ(half.xsize, 320);
  EXPECT_EQ(half.ysize, 240);
  for (int c = 0; c < 4; c++) {
    EXPECT_EQ(half.projection[0][c], p.projection[0][c] * 0.5);
    EXPECT_EQ(half.projection[1][c], p.projection[1][c] * 0.5);
    EXPECT_EQ(half.projection[2][c], p.projection[2][c]);
  }
  EXPECT_EQ(half.distortion[0], p.distortion[0] * 0.5);
  EXPECT_EQ(half.distortion[1], p.distortion[1] * 0.5);
  EXPECT_EQ(half.distortion[2], p.distortion[2] * 4);
  EXPECT_EQ(half.distortion[3], p.distortion[3]);
}

TEST(CameraParamResize, OnlyTheWidthRatioCounts) {
  const CameraParam p = sampleCamera();
  CameraParam out;
  ASSERT_EQ(arCameraParamResize(&p, 640, 240, &out), 0);
  EXPECT_EQ(out.ysize, 240);
  CameraParam expected = p;
  expected.ysize = 240;
  EXPECT_EQ(std::memcmp(&out, &expected, sizeof out), 0);
}

TEST(CameraParamPrint, ExactText) {
  CameraParam p = sampleCamera();
  testing::internal::CaptureStdout();
  arCameraParamPrint(&p);
  const std::string text = testing::internal::GetCapturedStdout();
  EXPECT_EQ(text,
            "--------------------------------------\n"
            "SIZE = 640, 480\n"
            "Distortion factor = 318.500000 242.000000 26.200000 0.980000\n"
            "700.50000 0.00000 320.00000 0.00000 \n"
            "0.00000 690.25000 240.50000 0.00000 \n"
            "0.00000 0.00000 1.00000 0.00000 \n"
            "--------------------------------------\n");
}

TEST(CameraParamCurrent, SetsFrameSizeAndCopy) {
  CameraParam p = sampleCamera();
  p.xsize = 800;
  p.ysize = 600;
  arCameraParamSetCurrent(&p);
  EXPECT_EQ(arFrameWidth, 800);
  EXPECT_EQ(arFrameHeight, 600);
  EXPECT_EQ(std::memcmp(&arCurrentCamera, &p, sizeof p), 0);
}

TEST(ShippedCamera, IsA640By480Webcam) {
  CameraParam p;
  ASSERT_EQ(arCameraParamRead("Data/camera_para.dat", 1, &p), 0);
  EXPECT_EQ(p.xsize, 640);
  EXPECT_EQ(p.ysize, 480);
  EXPECT_EQ(readBytes("Data/camera_para.dat").size(), 136u);
  EXPECT_EQ(arCameraParamProblem(&p), nullptr);
}

TEST(CameraParamProblem, NamesEachUnusableRecord) {
  const struct {
    const char* name;
    void (*spoil)(CameraParam&);
    const char* problem;  // null: usable
  } cases[] = {
      {"sample", [](CameraParam&) {}, nullptr},
      {"zero size", [](CameraParam& p) { p.xsize = p.ysize = 0; }, "the image size is outside 1 to 8192 pixels"},
      {"too tall", [](CameraParam& p) { p.ysize = 8193; }, "the image size is outside 1 to 8192 pixels"},
      {"nan focal length", [](CameraParam& p) { p.projection[0][0] = std::nan(""); },
       "the camera matrix holds a value that is not a finite number"},
      {"infinite translation", [](CameraParam& p) { p.projection[2][3] = HUGE_VAL; },
       "the camera matrix holds a value that is not a finite number"},
      {"nan coefficient", [](CameraParam& p) { p.distortion[2] = std::nan(""); },
       "the distortion holds a value that is not a finite number"},
      {"zero scale", [](CameraParam& p) { p.distortion[3] = 0; }, "the distortion scale is not positive"},
      {"all zero", [](CameraParam& p) { p = CameraParam{640, 480, {}, {0, 0, 0, 1}}; }, "the camera matrix is singular"},
      {"equal rows", [](CameraParam& p) { std::memcpy(p.projection[1], p.projection[0], sizeof p.projection[0]); },
       "the camera matrix is singular"},
  };
  for (const auto& c : cases) {
    CameraParam p = sampleCamera();
    c.spoil(p);
    const char* problem = arCameraParamProblem(&p);
    EXPECT_STREQ(problem, c.problem) << c.name;
  }
}

}  // namespace
