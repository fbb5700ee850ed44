// Matrix inversion shared by the basis choice, the reaction enumeration and
// the stability test.
#pragma once
#include <functional>
#include <string_view>

namespace core {

constexpr int kMaxMatrixOrder = 200;

// INVRT: Gauss-Jordan inversion in place with partial pivoting by columns.
// `a` is stored by rows with leading dimension `dim` (element (i, j) at
// a[i*dim + j]); the leading `order` rows and columns are inverted.  At step
// k the pivot is the entry of largest magnitude in column k from row k down;
// rows are exchanged as recorded and the exchanges undone on the columns at
// the end.  Returns 0 on success, 1 when a pivot is below `tolerance` in
// magnitude (the matrix is then undefined), 2 when `dim` exceeds 200 (the
// message block goes to `out` when given).  Allocates nothing.
int INVRT(double* a, int dim, int order, double tolerance,
          const std::function<void(std::string_view)>* out = nullptr);

}  // namespace core
