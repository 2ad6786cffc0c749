// Principal component analysis of a point set, built on a Householder tridiagonalisation and
// an implicit-shift QR eigen-solver for symmetric matrices.
#pragma once

#include "camera/matrix.h"

// Turns x into a Householder reflector and returns the negated signed norm. A zero vector is
// left as it is and gives negative zero.
double arVectorHouseholder(ArVector* x);

// Reduces the symmetric n x n matrix a (only its upper triangle is read) to tridiagonal form:
// diagonal into d (length n), off-diagonal into e (length n - 1), and the accumulated orthogonal
// transform into a. -1 unless a is square and the lengths fit.
int arMatrixTridiagonalize(ArMatrix* a, ArVector* d, ArVector* e);

// Eigenvalues of the symmetric matrix a into ev, in descending order; row k of a becomes the
// unit eigenvector of ev[k]. -1 when a is not square, n < 2, ev does not have length n, or the
// work vector cannot be allocated.
int arMatrixEigenQR(ArMatrix* a, ArVector* ev);

// Principal axes of the rows of input (rows x cols) taken as points. With m = min(rows, cols):
// evec (m x cols) gets the unit directions as rows, strongest first; ev (length m) their
// eigenvalues normalised to sum 1; mean (length cols) the centroid. input is not changed.
// -1 on a shape mismatch, when rows < 2 or cols < 2, or when a step fails (outputs written
// before the failure stay written).
int arMatrixPrincipalAxes(const ArMatrix* input, ArMatrix* evec, ArVector* ev, ArVector* mean);
