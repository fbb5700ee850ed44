// Polynomials in two variables with terms up to a total degree.
#pragma once

namespace core {

// sum over i + j < N of c[i][j] x^i y^j, by Horner's rule in y inside
// Horner's rule in x (the order of the arithmetic is fixed: callers rely on
// the same bits).
template <int N>
double triangularPolynomial(const double (&c)[N][N], double x, double y) {
    double sum = 0.0;
    for (int i = N - 1; i >= 0; --i) {
        double row = 0.0;
        for (int j = N - 1 - i; j >= 0; --j) row = row * y + c[i][j];
        sum = sum * x + row;
    }
    return sum;
}

}  // namespace core
