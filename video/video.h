// The video-capture calls: one process-wide video source (a camera, a video file, an image
// sequence, a custom capture pipeline or the built-in demo scene) chosen by a configuration file.
//
// All calls are meant for one thread (the viewer's GUI thread) and never block it for frame
// delivery: frames are captured on background threads and handed over newest-first. Calls made
// out of order (next before get, get before start, close twice, open twice) are harmless.
// Messages go to standard error, one line each, prefixed "video: ".
#pragma once

#include <cstdint>

// Reads the configuration file at config (backslashes are taken as folder separators) and opens
// the first of its sources that works, printing one line naming the source in use. 0 on success;
// negative when the file is missing or malformed, no source opens, or a source is already open
// (each failure prints one line naming the file or device and the cause).
int arVideoOpen(const char* config);

// The frame size in pixels of the open source. 0, or -1 (outputs untouched) when nothing is open.
int arVideoInqSize(int* width, int* height);

// Starts delivering frames. 0, or -1 when nothing is open or the source cannot start.
int arVideoCapStart();

// The newest frame not yet returned: width * height pixels of 4 bytes in blue, green, red, alpha
// order, rows top to bottom without gaps. Null when no new frame is ready, capture is not
// running, the stream has ended or failed, or the previous frame has not been released with
// arVideoCapNext. The frame stays valid until the next arVideoCapNext or arVideoClose (a stop
// leaves it alone). Never waits for a frame.
uint8_t* arVideoGetImage();

// Releases the frame last returned by arVideoGetImage. 0; harmless when no frame is held.
int arVideoCapNext();

// Stops delivering frames (arVideoCapStart resumes). 0, or -1 when nothing is open.
int arVideoCapStop();

// Stops capture and releases the source. 0, or -1 when nothing is open.
int arVideoClose();
