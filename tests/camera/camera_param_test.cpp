#include "camera/camera_param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/test_files.h"

namespace {

const CameraParam kSample = {
    640, 480, {{700.5, 0, 320, 0}, {0, 690.25, 240.5, 0}, {0, 0, 1, 0}}, {318.5, 242.0, 26.2, 0.98}};

bool same(const CameraParam& a, const CameraParam& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Records are big-endian on disk; reading stops at the records asked for, and a file that ends
// early fails but keeps the records read before.
TEST(CameraParamFile, BigEndianRecordsReadBackExactly) {
  TempDir dir;
  CameraParam two[2] = {kSample, kSample}, back[3];
  two[1].xsize = 320;
  const std::string path = dir.file("cam.dat");
  ASSERT_EQ(arCameraParamWrite(path.c_str(), 2, two), 0);
  const std::vector<unsigned char> bytes = readBytes(path);
  ASSERT_EQ(bytes.size(), 272u);
  // 640, 480, then 700.5 as an IEEE double: 40 85 E4 00 ...
  const unsigned char head[12] = {0, 0, 0x02, 0x80, 0, 0, 0x01, 0xE0, 0x40, 0x85, 0xE4, 0};
  EXPECT_EQ(std::memcmp(bytes.data(), head, sizeof head), 0);
  ASSERT_EQ(arCameraParamRead(path.c_str(), 1, back), 0);
  EXPECT_TRUE(same(back[0], kSample));
  EXPECT_EQ(arCameraParamRead(path.c_str(), 3, back), -1);
  EXPECT_TRUE(same(back[1], two[1]));
  writeBytes(dir.file("short.dat"), {bytes.begin(), bytes.begin() + 135});
  for (const std::string& bad : {dir.file("short.dat"), dir.file("missing.dat"), dir.path()})
    EXPECT_EQ(arCameraParamRead(bad.c_str(), 1, back), -1) << bad;
  EXPECT_EQ(arCameraParamRead(path.c_str(), 0, back), -1);
}

// Only the width ratio counts: the first two rows and the centre scale with it, the coefficient
// with its inverse square.
TEST(CameraParamResize, ScalesByTheWidthRatio) {
  const CameraParam half = {320, 100, {{350.25, 0, 160, 0}, {0, 345.125, 120.25, 0}, {0, 0, 1, 0}},
                            {159.25, 121.0, 26.2 * 4, 0.98}};
  CameraParam out, onlyHeight = kSample;
  onlyHeight.ysize = 100;
  arCameraParamResize(&kSample, 320, 100, &out);
  EXPECT_TRUE(same(out, half));
  arCameraParamResize(&kSample, 640, 100, &out);
  EXPECT_TRUE(same(out, onlyHeight));
}

TEST(CameraParam, PrintsTheDiagnosticLayoutAndBecomesCurrent) {
  testing::internal::CaptureStdout();
  arCameraParamPrint(&kSample);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "--------------------------------------\nSIZE = 640, 480\n"
            "Distortion factor = 318.500000 242.000000 26.200000 0.980000\n"
            "700.50000 0.00000 320.00000 0.00000 \n0.00000 690.25000 240.50000 0.00000 \n"
            "0.00000 0.00000 1.00000 0.00000 \n--------------------------------------\n");
  arCameraParamSetCurrent(&kSample);
  EXPECT_TRUE(arFrameWidth == 640 && arFrameHeight == 480 && same(arCurrentCamera, kSample));
}

TEST(CameraParamProblem, NamesEachUnusableRecord) {
  CameraParam shipped;
  ASSERT_EQ(arCameraParamRead("Data/camera_para.dat", 1, &shipped), 0);
  EXPECT_TRUE(arCameraParamProblem(&shipped) == nullptr && shipped.xsize == 640 && shipped.ysize == 480);
  const char* const size = "the image size is outside 1 to 8192 pixels";
  const char* const singular = "the camera matrix is singular";
  const struct { void (*spoil)(CameraParam&); const char* problem; /* null: usable */ } cases[] = {
      {[](CameraParam& p) { p.xsize = p.ysize = 8192; }, nullptr},
      {[](CameraParam& p) { p.xsize = 0; }, size},
      {[](CameraParam& p) { p.ysize = 8193; }, size},
      {[](CameraParam& p) { p.projection[0][0] = std::nan(""); },
       "the camera matrix holds a value that is not a finite number"},
      {[](CameraParam& p) { p.distortion[2] = HUGE_VAL; }, "the distortion holds a value that is not a finite number"},
      {[](CameraParam& p) { p.distortion[3] = 0; }, "the distortion scale is not positive"},
      {[](CameraParam& p) { std::memset(p.projection, 0, sizeof p.projection); }, singular},
      {[](CameraParam& p) { std::memcpy(p.projection[1], p.projection[0], sizeof p.projection[0]); }, singular},
  };
  for (const auto& c : cases) {
    CameraParam p = kSample;
    c.spoil(p);
    EXPECT_STREQ(arCameraParamProblem(&p), c.problem) << (&c - cases);
  }
}

}  // namespace
