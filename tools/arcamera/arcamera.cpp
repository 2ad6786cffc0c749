// arcamera: writes a camera parameter file from a pinhole camera and its lens distortion or from
// an OpenCV calibration, or prints an existing file record by record.
//
//   arcamera write FILE WIDTH HEIGHT FX FY CX CY DIST_CX DIST_CY DIST_F DIST_S
//   arcamera from-opencv FILE WIDTH HEIGHT FX FY CX CY K1 [K2 P1 P2 [K3]]
//   arcamera from-opencv FILE CALIBRATION [WIDTH HEIGHT]
//   arcamera print FILE
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "camera/camera_param.h"
#include "tools/arcamera/distortion_fit.h"
#include "tools/arcamera/opencv_camera.h"

namespace {

void printUsage(FILE* out) {
  std::fprintf(out,
               "usage: arcamera write FILE WIDTH HEIGHT FX FY CX CY DIST_CX DIST_CY DIST_F DIST_S\n"
               "       arcamera from-opencv FILE WIDTH HEIGHT FX FY CX CY K1 [K2 P1 P2 [K3]]\n"
               "       arcamera from-opencv FILE CALIBRATION [WIDTH HEIGHT]\n"
               "       arcamera print FILE\n"
               "\n"
               "write  makes a camera parameter file (one 136-byte big-endian record) for a pinhole\n"
               "       camera of WIDTH x HEIGHT pixels with focal lengths FX, FY and principal point\n"
               "       CX, CY (pixels), and a radial distortion with centre DIST_CX, DIST_CY (pixels),\n"
               "       coefficient DIST_F (in units of 1e-8) and scale DIST_S.\n"
               "from-opencv  makes a camera file from an OpenCV calibration: the numbers (image size,\n"
               "       focal lengths, principal point and the distortion coefficients k1, k2, p1, p2, k3\n"
               "       in OpenCV's order, missing ones 0) or a calibration file, YAML or XML as OpenCV\n"
               "       writes it or a ROS camera_info YAML (WIDTH HEIGHT when it holds no size). This\n"
               "       system's single radial coefficient, scale and distortion centre are fitted to\n"
               "       OpenCV's model over the image; the error left is printed in pixels.\n"
               "print  prints every whole record of FILE in the viewer's start-up format; a file whose\n"
               "       records are not plausible cameras is refused.\n"
               "\n"
               "Exit status: 0 on success, 1 when a file cannot be read or written or is refused, 2 on\n"
               "wrong usage.\n");
}

bool parseNumber(const char* text, const char* name, double* out) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(v)) {
    std::fprintf(stderr, "arcamera: %s must be a number, got \"%s\"\n", name, text);
    return false;
  }
  *out = v;
  return true;
}

int writeCamera(int argc, char** argv) {
  if (argc != 13) {
    std::fprintf(stderr, "arcamera: write takes a file name and 10 numbers\n");
    printUsage(stderr);
    return 2;
  }
  const char* names[10] = {"WIDTH", "HEIGHT", "FX", "FY", "CX", "CY", "DIST_CX", "DIST_CY", "DIST_F", "DIST_S"};
  double v[10];
  for (int i = 0; i < 10; i++)
    if (!parseNumber(argv[3 + i], names[i], &v[i])) return 2;
  if (v[0] < 1 || v[1] < 1 || v[0] != std::floor(v[0]) || v[1] != std::floor(v[1]) || v[0] > 65535 ||
      v[1] > 65535) {
    std::fprintf(stderr, "arcamera: WIDTH and HEIGHT must be whole numbers from 1 to 65535\n");
    return 2;
  }
  if (v[2] <= 0 || v[3] <= 0) {
    std::fprintf(stderr, "arcamera: FX and FY must be positive\n");
    return 2;
  }
  if (v[9] == 0) {
    std::fprintf(stderr, "arcamera: DIST_S must not be 0 (the distortion model divides by it)\n");
    return 2;
  }

  CameraParam p = {};
  p.xsize = static_cast<int32_t>(v[0]);
  p.ysize = static_cast<int32_t>(v[1]);
  p.projection[0][0] = v[2];
  p.projection[0][2] = v[4];
  p.projection[1][1] = v[3];
  p.projection[1][2] = v[5];
  p.projection[2][2] = 1.0;
  for (int i = 0; i < 4; i++) p.distortion[i] = v[6 + i];

  const char* file = argv[2];
  if (arCameraParamWrite(file, 1, &p) < 0) {
    std::fprintf(stderr, "arcamera: cannot write \"%s\": %s\n", file, std::strerror(errno));
    return 1;
  }
  std::printf("wrote %s:\n", file);
  arCameraParamPrint(&p);
  return 0;
}

int printCamera(int argc, char** argv) {
  if (argc != 3) {
    printUsage(stderr);
    return 2;
  }
  const char* file = argv[2];
  FILE* f = std::fopen(file, "rb");
  if (!f) {
    std::fprintf(stderr, "arcamera: cannot open \"%s\": %s\n", file, std::strerror(errno));
    return 1;
  }
  long size = -1;
  if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
  std::fclose(f);
  if (size < kCameraParamFileRecordSize) {
    std::fprintf(stderr, "arcamera: \"%s\" is not a camera file: it holds %ld bytes, a record needs %d\n",
                 file, size < 0 ? 0L : size, kCameraParamFileRecordSize);
    return 1;
  }
  const int count = static_cast<int>(size / kCameraParamFileRecordSize);
  std::vector<CameraParam> records(count);
  if (arCameraParamRead(file, count, records.data()) < 0) {
    std::fprintf(stderr, "arcamera: cannot read \"%s\"\n", file);
    return 1;
  }
  for (int i = 0; i < count; i++) {
    if (const char* problem = arCameraParamProblem(&records[i])) {
      std::fprintf(stderr, "arcamera: \"%s\" is not a camera file: record %d is not plausible: %s\n", file, i + 1,
                   problem);
      return 1;
    }
  }
  if (size % kCameraParamFileRecordSize != 0) {
    std::fprintf(stderr, "arcamera: note: \"%s\" has %ld bytes after its last whole record\n", file,
                 size % kCameraParamFileRecordSize);
  }
  for (const CameraParam& p : records) arCameraParamPrint(&p);
  return 0;
}

bool isNumber(const char* text) {
  char* end = nullptr;
  std::strtod(text, &end);
  return end != text && *end == '\0';
}

bool parseSize(const char* width, const char* height, OpenCvCamera* camera) {
  double w, h;
  if (!parseNumber(width, "WIDTH", &w) || !parseNumber(height, "HEIGHT", &h)) return false;
  if (w < 1 || h < 1 || w > 8192 || h > 8192 || w != std::floor(w) || h != std::floor(h)) {
    std::fprintf(stderr, "arcamera: WIDTH and HEIGHT must be whole numbers from 1 to 8192\n");
    return false;
  }
  camera->width = static_cast<int>(w);
  camera->height = static_cast<int>(h);
  return true;
}

// The OpenCV camera of the from-opencv arguments; the exit status on failure, else 0.
int openCvCameraFromArguments(int argc, char** argv, OpenCvCamera* camera) {
  const int values = argc - 3;
  if (argc >= 4 && !isNumber(argv[3])) {
    if (argc != 4 && argc != 6) {
      std::fprintf(stderr, "arcamera: from-opencv takes a calibration file and, when it holds no size, WIDTH HEIGHT\n");
      return 2;
    }
    std::ifstream in(argv[3], std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
      std::fprintf(stderr, "arcamera: cannot read \"%s\": %s\n", argv[3], std::strerror(errno));
      return 1;
    }
    std::string error;
    if (!parseOpenCvCalibration(text, camera, &error)) {
      std::fprintf(stderr, "arcamera: \"%s\": %s\n", argv[3], error.c_str());
      return 1;
    }
    if (argc == 6 && !parseSize(argv[4], argv[5], camera)) return 2;
    if (camera->width == 0) {
      std::fprintf(stderr, "arcamera: \"%s\" gives no image size (image_width, image_height); add WIDTH HEIGHT\n", argv[3]);
      return 2;
    }
    return 0;
  }
  if (values != 7 && values != 10 && values != 11) {
    std::fprintf(stderr, "arcamera: from-opencv takes a file name and 7, 10 or 11 numbers, or a calibration file\n");
    printUsage(stderr);
    return 2;
  }
  const char* names[11] = {"WIDTH", "HEIGHT", "FX", "FY", "CX", "CY", "K1", "K2", "P1", "P2", "K3"};
  double v[11] = {};
  for (int i = 2; i < values; i++)
    if (!parseNumber(argv[3 + i], names[i], &v[i])) return 2;
  if (!parseSize(argv[3], argv[4], camera)) return 2;
  camera->fx = v[2], camera->fy = v[3], camera->cx = v[4], camera->cy = v[5];
  camera->k[0] = v[6], camera->k[1] = v[7], camera->p[0] = v[8], camera->p[1] = v[9], camera->k[2] = v[10];
  return 0;
}

int fromOpenCv(int argc, char** argv) {
  OpenCvCamera opencv;
  if (const int status = openCvCameraFromArguments(argc, argv, &opencv)) return status;
  DistortionFit fit;
  std::string error;
  if (!fitDistortion(opencv, &fit, &error)) {
    std::fprintf(stderr, "arcamera: cannot convert the OpenCV camera: %s\n", error.c_str());
    return 1;
  }
  const char* file = argv[2];
  if (arCameraParamWrite(file, 1, &fit.camera) < 0) {
    std::fprintf(stderr, "arcamera: cannot write \"%s\": %s\n", file, std::strerror(errno));
    return 1;
  }
  std::printf("wrote %s:\n", file);
  arCameraParamPrint(&fit.camera);
  std::printf("distortion fitted to OpenCV's over the %dx%d image (%d points): RMS %.3f px, worst %.3f px at (%.0f, %.0f)\n",
              opencv.width, opencv.height, fit.points, fit.rms, fit.worst, fit.worstAt[0], fit.worstAt[1]);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    printUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "write") == 0) return writeCamera(argc, argv);
  if (std::strcmp(argv[1], "print") == 0) return printCamera(argc, argv);
  if (std::strcmp(argv[1], "from-opencv") == 0) {
    if (argc < 4) {
      printUsage(stderr);
      return 2;
    }
    return fromOpenCv(argc, argv);
  }
  std::fprintf(stderr, "arcamera: unknown command \"%s\"\n", argv[1]);
  printUsage(stderr);
  return 2;
}
