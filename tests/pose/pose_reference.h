// The rotation search written the plain way, one arComposeProjection per candidate: the yardstick
// that the library's faster search must match bit for bit (and the baseline of the benchmark).
#pragma once

double referencePoseRefineRotation(double rotation[3][3], const double translation[3],
                                   const double projection[3][4], const double model[][3],
                                   const double observed[][2], int count);
