// The camera model: image size, 3 x 4 camera matrix and radial lens distortion, its file
// format, and the process-wide current camera that detection and pose estimation read.
#pragma once

#include <cstdint>

struct CameraParam {
  int32_t xsize;             // image width in pixels the record is valid for
  int32_t ysize;             // image height in pixels
  double projection[3][4];   // camera point (X, Y, Z, 1) -> homogeneous ideal image point
  double distortion[4];      // centre x, centre y (pixels), coefficient f (used as f / 1e8), scale s
};

// Size of one record in a camera file: two int32 and sixteen doubles, all big-endian.
constexpr int kCameraParamFileRecordSize = 136;

// The current camera, written only by arCameraParamSetCurrent; zero until start-up sets it.
extern CameraParam arCurrentCamera;
extern int32_t arFrameWidth;   // frame bounds for labelling, contour tracing and sampling
extern int32_t arFrameHeight;

// Reads count records from the start of file into records[0 .. count-1]. 0 when all were read;
// -1 when count < 1, the file cannot be opened, or it ends before a whole record (records read
// before stay filled). Prints nothing; the caller decides what to report.
int arCameraParamRead(const char* file, int count, CameraParam* records);

// Writes count records to file in the same big-endian layout, replacing the file.
// 0, or -1 when the file cannot be written completely.
int arCameraParamWrite(const char* file, int count, const CameraParam* records);

// Converts every field of a record read from a file from big-endian to host order, in place.
void arCameraParamFromBigEndian(CameraParam* param);

// Rescales source to a new size by the width ratio k = xsize / source.xsize (the height ratio
// plays no part). out must be distinct from source. Returns 0.
int arCameraParamResize(const CameraParam* source, int32_t xsize, int32_t ysize, CameraParam* out);

// Writes the record to standard output in the diagnostic layout. Returns 0.
int arCameraParamPrint(const CameraParam* param);

// Why the record cannot serve as a camera, as a short phrase ("the camera matrix is singular"),
// or null when it can: the image size is within 1 to 8192 pixels, every value is finite, the
// distortion scale is positive and the left 3 x 3 block of the camera matrix is invertible.
const char* arCameraParamProblem(const CameraParam* param);

// Makes param the current camera: arCurrentCamera, arFrameWidth, arFrameHeight. Returns 0.
int arCameraParamSetCurrent(const CameraParam* param);
