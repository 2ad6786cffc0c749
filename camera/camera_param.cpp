#include "camera/camera_param.h"

#include <cstdio>
#include <cstring>

CameraParam arCurrentCamera = {};
int32_t arFrameWidth = 0;
int32_t arFrameHeight = 0;

static_assert(sizeof(CameraParam) == kCameraParamFileRecordSize,
              "a camera record is read straight from its file layout");

namespace {

bool hostIsLittleEndian() {
  const uint16_t probe = 1;
  unsigned char first;
  std::memcpy(&first, &probe, 1);
  return first == 1;
}

// Reverses the bytes of one field in place; fields are at their natural alignment.
void reverseBytes(void* field, size_t size) {
  auto* b = static_cast<unsigned char*>(field);
  for (size_t i = 0; i < size / 2; i++) {
    const unsigned char t = b[i];
    b[i] = b[size - 1 - i];
    b[size - 1 - i] = t;
  }
}

void swapAllFields(CameraParam* p) {
  reverseBytes(&p->xsize, sizeof p->xsize);
  reverseBytes(&p->ysize, sizeof p->ysize);
  for (auto& row : p->projection)
    for (double& v : row) reverseBytes(&v, sizeof v);
  for (double& v : p->distortion) reverseBytes(&v, sizeof v);
}

}  // namespace

void arCameraParamFromBigEndian(CameraParam* param) {
  if (hostIsLittleEndian()) swapAllFields(param);
}

int arCameraParamRead(const char* file, int count, CameraParam* records) {
  if (count < 1) return -1;
  FILE* f = std::fopen(file, "rb");
  if (!f) return -1;
  for (int i = 0; i < count; i++) {
    if (std::fread(&records[i], kCameraParamFileRecordSize, 1, f) != 1) {
      std::fclose(f);
      return -1;
    }
    arCameraParamFromBigEndian(&records[i]);
  }
  std::fclose(f);
  return 0;
}

int arCameraParamWrite(const char* file, int count, const CameraParam* records) {
  if (count < 1) return -1;
  FILE* f = std::fopen(file, "wb");
  if (!f) return -1;
  bool ok = true;
  for (int i = 0; i < count && ok; i++) {
    CameraParam onDisk = records[i];
    arCameraParamFromBigEndian(&onDisk);  // the swap is its own inverse
    ok = std::fwrite(&onDisk, kCameraParamFileRecordSize, 1, f) == 1;
  }
  if (std::fclose(f) != 0) ok = false;
  return ok ? 0 : -1;
}

int arCameraParamResize(const CameraParam* source, int32_t xsize, int32_t ysize, CameraParam* out) {
  const double k = static_cast<double>(xsize) / static_cast<double>(source->xsize);
  out->xsize = xsize;
  out->ysize = ysize;
  for (int c = 0; c < 4; c++) {
    out->projection[0][c] = k * source->projection[0][c];
    out->projection[1][c] = k * source->projection[1][c];
    out->projection[2][c] = source->projection[2][c];
  }
  out->distortion[0] = k * source->distortion[0];
  out->distortion[1] = k * source->distortion[1];
  out->distortion[2] = source->distortion[2] / (k * k);
  out->distortion[3] = source->distortion[3];
  return 0;
}

int arCameraParamPrint(const CameraParam* param) {
  std::printf("--------------------------------------\n");
  std::printf("SIZE = %d, %d\n", param->xsize, param->ysize);
  std::printf("Distortion factor = %f %f %f %f\n", param->distortion[0], param->distortion[1],
              param->distortion[2], param->distortion[3]);
  for (int r = 0; r < 3; r++) {
    for (int c = 0; c < 4; c++) std::printf("%7.5f ", param->projection[r][c]);
    std::printf("\n");
  }
  std::printf("--------------------------------------\n");
  return 0;
}

int arCameraParamSetCurrent(const CameraParam* param) {
  arFrameWidth = param->xsize;
  arFrameHeight = param->ysize;
  arCurrentCamera = *param;
  return 0;
}
