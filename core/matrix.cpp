#include "core/matrix.hpp"

#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

namespace core {

namespace {

void say(const std::function<void(std::string_view)>* out, std::string_view line) {
    if (out != nullptr && *out) (*out)(line);
}

}  // namespace

int INVRT(double* a, int dim, int order, double tolerance, const std::function<void(std::string_view)>* out) {
    if (dim > kMaxMatrixOrder) {
        char last[48];
        std::snprintf(last, sizeof last, " HAS A DIMENSION OF %4d .", dim);
        say(out, "1   *****************************************");
        say(out, "");
        say(out, " MATRIX PASSED TO INVRT MUST HAVE A DIMENSION LESS ");
        say(out, " THAN OR EQUAL TO 200   THE MATRIX PASSED TO INVRT ");
        say(out, last);
        return 2;
    }
    // An order the storage cannot hold is refused rather than read past the
    // end of the matrix; an empty matrix is its own inverse.
    if (a == nullptr || order > dim) return 2;
    if (order <= 0) return 0;

    if (order == 1) {
        if (!(std::fabs(a[0]) > tolerance)) return 1;
        a[0] = 1.0 / a[0];
        return 0;
    }

    std::array<int, kMaxMatrixOrder> pivotRow{};
    const auto at = [a, dim](int i, int j) -> double& { return a[static_cast<std::size_t>(i) * dim + j]; };

    for (int k = 0; k < order; ++k) {
        // Pivot: the largest entry of column k from row k down.
        int p = k;
        double best = std::fabs(at(k, k));
        for (int i = k + 1; i < order; ++i) {
            const double v = std::fabs(at(i, k));
            if (v > best) {
                best = v;
                p = i;
            }
        }
        // A NaN pivot counts as singular as well.
        if (!(best >= tolerance)) return 1;
        pivotRow[static_cast<std::size_t>(k)] = p;
        if (p != k)
            for (int j = 0; j < order; ++j) std::swap(at(k, j), at(p, j));

        const double pivot = at(k, k);
        at(k, k) = 1.0;
        for (int j = 0; j < order; ++j) at(k, j) /= pivot;
        for (int i = 0; i < order; ++i) {
            if (i == k) continue;
            const double f = at(i, k);
            if (f == 0.0) continue;
            at(i, k) = 0.0;
            for (int j = 0; j < order; ++j) at(i, j) -= f * at(k, j);
        }
    }
    // The row exchanges of the matrix become column exchanges of its inverse,
    // undone in reverse order.
    for (int k = order - 1; k >= 0; --k) {
        const int p = pivotRow[static_cast<std::size_t>(k)];
        if (p != k)
            for (int i = 0; i < order; ++i) std::swap(at(i, k), at(i, p));
    }
    return 0;
}

}  // namespace core
