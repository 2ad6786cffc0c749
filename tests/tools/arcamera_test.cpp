// arcamera from-opencv and print as a user runs them: OpenCV cameras given as numbers and as the
// files OpenCV and ROS write, checked against OpenCV's distortion model written out here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "camera/camera_param.h"
#include "camera/distortion.h"
#include "tests/test_files.h"
#include "tests/tools/tool_run.h"

namespace {

// OpenCV's pinhole camera with radial (k1, k2, k3) and tangential (p1, p2) distortion.
struct Reference {
  double fx, fy, cx, cy, k1, k2, p1, p2, k3;
  void distort(double u, double v, double* ou, double* ov) const {
    const double x = (u - cx) / fx, y = (v - cy) / fy, r2 = x * x + y * y;
    const double radial = 1 + k1 * r2 + k2 * r2 * r2 + k3 * r2 * r2 * r2;
    *ou = fx * (x * radial + 2 * p1 * x * y + p2 * (r2 + 2 * x * x)) + cx;
    *ov = fy * (y * radial + p1 * (r2 + 2 * y * y) + 2 * p2 * x * y) + cy;
  }
  std::string numbers() const {
    char text[256];
    std::snprintf(text, sizeof text, "640 480 %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g", fx, fy, cx, cy,
                  k1, k2, p1, p2, k3);
    return text;
  }
};

// The largest distance, over ideal points spread across the image, between where the camera
// file and OpenCV put them.
double largestDeparture(const CameraParam& camera, const Reference& r) {
  double worst = 0;
  // Ideal points beyond the image too: barrel distortion pulls them into its corners.
  for (double v = -150; v <= 630; v += 3.1)
    for (double u = -150; u <= 790; u += 3.1) {
      double ou, ov, ex, ey;
      r.distort(u, v, &ex, &ey);
      if (ex < 0 || ey < 0 || ex > 639 || ey > 479) continue;  // only what the image shows
      arIdealToObserved(camera.distortion, u, v, &ou, &ov);
      worst = std::max(worst, std::hypot(ou - ex, ov - ey));
    }
  return worst;
}

// The worst error arcamera printed.
double printedWorst(const std::string& out) {
  const size_t at = out.find("worst ");
  return at == std::string::npos ? -1 : std::atof(out.c_str() + at + 6);
}

// Cameras with k1 alone are reproduced within 0.05 pixels; with the full model the departure
// between the fit's grid points may exceed the printed worst a little.
TEST(ArcameraFromOpenCv, ReproducesOpenCvDistortionWithinThePrintedErrorFromNumbersOrFiles) {
  TempDir dir;
  const Reference cases[] = {{554.3, 554.3, 321, 237.5, -0.12, 0, 0, 0, 0},
                             {800, 800, 300, 250, 0.08, 0, 0, 0, 0},
                             {600, 590, 322, 236, -0.28, 0.09, 0.001, -0.0008, -0.01}};
  for (const Reference& c : cases) {
    const ToolRun run = runTool("arcamera/arcamera", "from-opencv " + dir.file("cam.dat") + " " + c.numbers());
    ASSERT_EQ(run.status, 0) << c.numbers() << ": " << run.output;
    const double printed = printedWorst(run.out);
    CameraParam camera{};
    ASSERT_EQ(arCameraParamRead(dir.file("cam.dat").c_str(), 1, &camera), 0);
    EXPECT_TRUE(camera.projection[0][0] == c.fx && camera.projection[1][2] == c.cy) << c.numbers();
    const double departure = largestDeparture(camera, c);
    EXPECT_LT(departure, c.k2 == 0 ? 0.05 : printed * 1.05 + 0.01) << c.numbers() << ", printed " << printed;
    EXPECT_GT(departure, printed * 0.5) << c.numbers() << ": the printed error is the real one";
  }
  // The last camera as written by OpenCV (YAML and XML) and by ROS gives the same file.
  writeText(dir.file("opencv.yml"),
            "%YAML:1.0\n---\nimage_width: 640\nimage_height: 480\ncamera_matrix: !!opencv-matrix\n   rows: 3\n"
            "   cols: 3\n   dt: d\n   data: [ 6.0e+02, 0., 3.22e+02, 0., 5.9e+02, 2.36e+02, 0., 0., 1. ]\n"
            "distortion_coefficients: !!opencv-matrix\n   rows: 5\n   cols: 1\n   dt: d\n"
            "   data: [ -2.8e-01, 9.0e-02, 1.0e-03, -8.0e-04, -1.0e-02 ]\n");
  writeText(dir.file("opencv.xml"),
            "<?xml version=\"1.0\"?>\n<opencv_storage>\n<image_width>640</image_width>\n"
            "<image_height>480</image_height>\n<camera_matrix type_id=\"opencv-matrix\">\n  <rows>3</rows>\n"
            "  <cols>3</cols>\n  <dt>d</dt>\n  <data>\n    600. 0. 322. 0. 590. 236. 0. 0. 1.</data></camera_matrix>\n"
            "<distortion_coefficients type_id=\"opencv-matrix\">\n  <rows>5</rows>\n  <cols>1</cols>\n  <dt>d</dt>\n"
            "  <data>\n    -0.28 0.09 0.001 -0.0008 -0.01</data></distortion_coefficients>\n</opencv_storage>\n");
  writeText(dir.file("ros.yaml"),
            "image_width: 640\nimage_height: 480\ncamera_name: webcam\ncamera_matrix:\n  rows: 3\n  cols: 3\n"
            "  data: [600, 0, 322, 0, 590, 236, 0, 0, 1]\ndistortion_model: plumb_bob\ndistortion_coefficients:\n"
            "  rows: 1\n  cols: 5\n  data: [-0.28, 0.09, 0.001, -0.0008, -0.01]\n"
            "rectification_matrix:\n  rows: 3\n  cols: 3\n  data: [1, 0, 0, 0, 1, 0, 0, 0, 1]\n");
  for (const char* name : {"opencv.yml", "opencv.xml", "ros.yaml"}) {
    const ToolRun run = runTool("arcamera/arcamera", "from-opencv " + dir.file("file.dat") + " " + dir.file(name));
    ASSERT_EQ(run.status, 0) << name << ": " << run.output;
    EXPECT_EQ(readBytes(dir.file("file.dat")), readBytes(dir.file("cam.dat"))) << name;
  }
}

TEST(ArcameraFromOpenCv, BadInputFailsWithOneLineNamingTheFileAndTheCause) {
  TempDir dir;
  const std::string matrix = "camera_matrix:\n  rows: 3\n  cols: 3\n  data: [600, 0, 320, 0, 600, 240, 0, 0, 1]\n";
  writeText(dir.file("nomatrix.yaml"), "image_width: 640\nimage_height: 480\n");
  writeText(dir.file("fisheye.yaml"), "distortion_model: equidistant\n" + matrix);
  writeText(dir.file("nosize.yaml"), matrix + "distortion_coefficients:\n  rows: 1\n  cols: 4\n  data: [0, 0, 0, 0]\n");
  writeText(dir.file("twobythree.yaml"), "camera_matrix:\n  rows: 2\n  cols: 3\n  data: [600, 0, 320, 0, 600, 240]\n"
                                         "distortion_coefficients:\n  rows: 1\n  cols: 4\n  data: [0, 0, 0, 0]\n");
  writeText(dir.file("word.xml"), "<opencv_storage><camera_matrix><rows>3</rows><cols>3</cols><data>600 x</data>"
                                  "</camera_matrix></opencv_storage>");
  writeText(dir.file("broken.yaml"), "camera_matrix: [unclosed\n");
  const std::string out = dir.file("out.dat");
  const struct {
    std::string arguments, expected;
    int status;
  } cases[] = {
      {"from-opencv " + out + " " + dir.file("missing.yml"), dir.file("missing.yml") + "\": No such file", 1},
      {"from-opencv " + out + " " + dir.file("nomatrix.yaml"), "nomatrix.yaml\": no camera_matrix with rows, cols and data", 1},
      {"from-opencv " + out + " " + dir.file("fisheye.yaml"), "distortion model \"equidistant\" cannot be converted", 1},
      {"from-opencv " + out + " " + dir.file("nosize.yaml"), "gives no image size (image_width, image_height); add WIDTH HEIGHT", 2},
      {"from-opencv " + out + " " + dir.file("twobythree.yaml") + " 640 480", "the camera matrix is not 3 x 3", 1},
      {"from-opencv " + out + " " + dir.file("word.xml"), "holds \"x\", which is not a number", 1},
      {"from-opencv " + out + " " + dir.file("broken.yaml"), "broken.yaml\": not a valid calibration YAML", 1},
      {"from-opencv " + out + " 640 480 -600 600 320 240 0.1", "the focal lengths fx and fy must be positive", 1},
      {"from-opencv " + out + " 640 480 600 600 320 240", "takes a file name and 7, 10 or 11 numbers", 2},
      {"from-opencv " + out + " 640 0 600 600 320 240 0.1", "WIDTH and HEIGHT must be whole numbers from 1 to 8192", 2},
      {"print README.md", "\"README.md\" is not a camera file: record 1 is not plausible: the image size", 1},
  };
  for (const auto& c : cases) {
    const ToolRun run = runTool("arcamera/arcamera", c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << ": " << run.output;
    const std::string firstLine = run.err.substr(0, run.err.find('\n'));
    EXPECT_NE(firstLine.find(c.expected), std::string::npos) << c.arguments << ": " << run.err;
    if (c.status == 1) {
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    EXPECT_FALSE(std::ifstream(out).good()) << c.arguments;
  }
}

}  // namespace
