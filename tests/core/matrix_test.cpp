// Matrix inversion: inverse times matrix is the identity, singular matrices
// are refused, order 1, and the dimension limit.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/matrix.hpp"

namespace core {
namespace {

// A random matrix made well conditioned by a dominant diagonal, with its rows
// shuffled so that the pivot search has to exchange rows.
std::vector<double> randomMatrix(int n, int dim, std::mt19937& rng) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> a(static_cast<std::size_t>(dim) * dim, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) a[i * dim + j] = u(rng) + (i == j ? n + 1.0 : 0.0);
    for (int i = n - 1; i > 0; --i) {
        const int k = std::uniform_int_distribution<int>(0, i)(rng);
        for (int j = 0; j < n; ++j) std::swap(a[i * dim + j], a[k * dim + j]);
    }
    return a;
}

double maxDeviationFromIdentity(const std::vector<double>& inv, const std::vector<double>& a, int n, int dim) {
    double worst = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double s = 0.0;
            for (int k = 0; k < n; ++k) s += inv[i * dim + k] * a[k * dim + j];
            worst = std::max(worst, std::fabs(s - (i == j ? 1.0 : 0.0)));
        }
    return worst;
}

TEST(Invrt, InverseTimesMatrixIsIdentity) {
    std::mt19937 rng(20240611);
    for (int n : {2, 3, 5, 8, 15, 40}) {
        for (int dim : {n, n + 3}) {
            const std::vector<double> a = randomMatrix(n, dim, rng);
            std::vector<double> inv = a;
            ASSERT_EQ(INVRT(inv.data(), dim, n, 1e-8), 0) << "order " << n;
            EXPECT_LT(maxDeviationFromIdentity(inv, a, n, dim), 1e-12) << "order " << n << " dim " << dim;
            // Storage beyond the leading order is not touched.
            for (int i = 0; i < dim; ++i)
                for (int j = 0; j < dim; ++j) {
                    if (i >= n || j >= n) {
                        EXPECT_EQ(inv[i * dim + j], a[i * dim + j]);
                    }
                }
        }
    }
}

TEST(Invrt, SingularMatrixGivesOne) {
    std::vector<double> a = {1, 2, 3, 2, 4, 6, 1, 0, 1};  // second row twice the first
    EXPECT_EQ(INVRT(a.data(), 3, 3, 1e-6), 1);
    // Singular to the tolerance: a pivot below it.
    std::vector<double> small = {1, 0, 0, 1e-7};
    EXPECT_EQ(INVRT(small.data(), 2, 2, 1e-6), 1);
    // A zero on the diagonal needs row exchanges, undone on the columns.
    std::vector<double> p = {0, 2, 0, 0, 0, 3, 4, 0, 0};
    ASSERT_EQ(INVRT(p.data(), 3, 3, 1e-8), 0);
    const std::vector<double> inverse = {0, 0, 0.25, 0.5, 0, 0, 0, 1.0 / 3.0, 0};
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(p[i], inverse[i], 1e-15) << i;
}

TEST(Invrt, OrderOneIsTheReciprocal) {
    double a = 4.0;
    EXPECT_EQ(INVRT(&a, 1, 1, 1e-6), 0);
    EXPECT_EQ(a, 0.25);
    double b = -2e-7;
    EXPECT_EQ(INVRT(&b, 1, 1, 1e-6), 1);
    double c = 1e-6;  // not above the tolerance
    EXPECT_EQ(INVRT(&c, 1, 1, 1e-6), 1);
}

TEST(Invrt, DimensionAbove200IsRefusedWithTheMessage) {
    std::vector<std::string> lines;
    std::function<void(std::string_view)> out = [&](std::string_view l) { lines.emplace_back(l); };
    std::vector<double> a(201 * 201, 0.0);
    for (int i = 0; i < 201; ++i) a[i * 201 + i] = 1.0;
    EXPECT_EQ(INVRT(a.data(), 201, 201, 1e-6, &out), 2);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "1   *****************************************");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], " MATRIX PASSED TO INVRT MUST HAVE A DIMENSION LESS ");
    EXPECT_EQ(lines[3], " THAN OR EQUAL TO 200   THE MATRIX PASSED TO INVRT ");
    EXPECT_EQ(lines[4], " HAS A DIMENSION OF  201 .");
    EXPECT_EQ(a[0], 1.0);  // untouched

    // Order 200 is still inverted; without a callback the refusal is silent.
    std::mt19937 rng(7);
    std::vector<double> big = randomMatrix(200, 200, rng);
    std::vector<double> inv = big;
    EXPECT_EQ(INVRT(inv.data(), 200, 200, 1e-8), 0);
    EXPECT_LT(maxDeviationFromIdentity(inv, big, 200, 200), 1e-11);
    EXPECT_EQ(INVRT(a.data(), 201, 5, 1e-6), 2);
    // An order larger than the storage is refused too.
    EXPECT_EQ(INVRT(a.data(), 2, 3, 1e-6), 2);
}

}  // namespace
}  // namespace core
