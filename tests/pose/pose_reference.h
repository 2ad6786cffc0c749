// The rotation search written the plain way, one arComposeProjection per candidate: the library's
// faster search must match it bit for bit.
#pragma once

double referencePoseRefineRotation(double rotation[3][3], const double translation[3],
                                   const double projection[3][4], const double model[][3],
                                   const double observed[][2], int count);
