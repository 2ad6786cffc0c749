// Steps of the principal component analysis, exposed for tests only.
#pragma once

#include "camera/matrix.h"

// mean = average of the rows of x. -1 if x has no rows or columns or mean.length != x.cols.
int arPcaColumnMean(const ArMatrix* x, ArVector* mean);
// Subtracts mean from every row of x. -1 if mean.length != x.cols.
int arPcaCentre(ArMatrix* x, const ArVector* mean);
// out(i, j) = sum over k of x(i, k) * x(j, k). -1 unless out is rows x rows.
int arPcaRowGram(const ArMatrix* x, ArMatrix* out);
// out(i, j) = sum over k of x(k, i) * x(k, j). -1 unless out is cols x cols.
int arPcaColumnGram(const ArMatrix* x, ArMatrix* out);
// Eigenvectors of x^T x from those of x x^T (u, eigenvalues ev). -1 on a shape mismatch.
int arPcaDualEigenvectors(const ArMatrix* x, const ArMatrix* u, ArMatrix* evec, ArVector* ev);
