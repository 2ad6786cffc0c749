// Rotations of a marker as three angles, and the camera matrix of a marker at given angles.
//
// The angles (a, b, c), in radians, describe R = Rz(a) * Ry(b) * Rz(c - a): b is the tilt of the
// marker normal (the third column of R) away from the camera axis and a its azimuth. Rotations
// are row-major 3 x 3; camera matrices 3 x 4.
#pragma once

// R = Rz(a) * Ry(b) * Rz(c - a), written out entry by entry.
void arAnglesToRotation(double a, double b, double c, double rotation[3][3]);

// Angles of a rotation: b in [0, pi], a and c in [-pi, pi]. rotation(2, 2) is clamped to
// [-1, 1] in place. When the normal lies on the camera axis (b within 1e-6 of 0 or of pi,
// the latter a marker seen square on) a is 0, b is 0 or pi, and the whole turn goes into c.
void arRotationToAngles(double rotation[3][3], double* a, double* b, double* c);

// h = P3 * [R(a, b, c) | t] + [0 | column 3 of P], where P3 is the left 3 x 3 block of the
// camera matrix P: the image projection of a marker posed at those angles and translation.
void arComposeProjection(double a, double b, double c, const double translation[3],
                         const double projection[3][4], double h[3][4]);
