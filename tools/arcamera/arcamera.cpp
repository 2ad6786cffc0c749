// arcamera: writes a camera parameter file from a pinhole camera and its lens distortion, or
// prints an existing file record by record.
//
//   arcamera write FILE WIDTH HEIGHT FX FY CX CY DIST_CX DIST_CY DIST_F DIST_S
//   arcamera print FILE
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "camera/camera_param.h"

namespace {

void printUsage(FILE* out) {
  std::fprintf(out,
               "usage: arcamera write FILE WIDTH HEIGHT FX FY CX CY DIST_CX DIST_CY DIST_F DIST_S\n"
               "       arcamera print FILE\n"
               "\n"
               "write  makes a camera parameter file (one 136-byte big-endian record) for a pinhole\n"
               "       camera of WIDTH x HEIGHT pixels with focal lengths FX, FY and principal point\n"
               "       CX, CY (pixels), and a radial distortion with centre DIST_CX, DIST_CY (pixels),\n"
               "       coefficient DIST_F (in units of 1e-8) and scale DIST_S.\n"
               "print  prints every whole record of FILE in the viewer's start-up format.\n");
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
  if (size % kCameraParamFileRecordSize != 0) {
    std::fprintf(stderr, "arcamera: note: \"%s\" has %ld bytes after its last whole record\n", file,
                 size % kCameraParamFileRecordSize);
  }
  std::vector<CameraParam> records(count);
  if (arCameraParamRead(file, count, records.data()) < 0) {
    std::fprintf(stderr, "arcamera: cannot read \"%s\"\n", file);
    return 1;
  }
  for (const CameraParam& p : records) arCameraParamPrint(&p);
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
  std::fprintf(stderr, "arcamera: unknown command \"%s\"\n", argv[1]);
  printUsage(stderr);
  return 2;
}
