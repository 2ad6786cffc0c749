// The two in-plane axes of a marker: pointing each the right way, and making them perpendicular.
#pragma once

// Negates direction (3 doubles, camera coordinates) when, seen through the camera matrix P,
// it runs against the image edge from start to end (ideal pixels). A point on the ray of start,
// 10 units out, is moved along direction and both ends are projected with the left 3 x 3 block
// of P. A direction perpendicular to the edge in the image is kept as it is.
// 0, or -1 with direction untouched when the left 3 x 3 block of P cannot be inverted or a
// point projects to infinity.
int arOrientAxis(double direction[3], const double start[2], const double end[2],
                 const double projection[3][4]);

// Turns two unit directions u and v into perpendicular unit vectors in the plane they span,
// each turned by the same angle (towards or away from the other), so that the pair keeps its
// bisectors. 0; or -1 with u and v untouched when they are parallel or no real solution exists
// (possible only for inputs that are not unit vectors). Axes that are perpendicular already,
// to within rounding, come back (nearly) unchanged.
int arOrthogonalizeAxes(double u[3], double v[3]);
