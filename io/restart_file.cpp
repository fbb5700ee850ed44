#include "io/restart_file.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/layout.hpp"

namespace io {

std::vector<std::string> reactionRowRecords(std::span<const double> coefficients) {
    static const core::Layout layout("(16F8.1)");  // parsed once, never changed
    double largest = 0.0;
    for (double c : coefficients) largest = std::max(largest, std::fabs(c));
    double scale = 1.0;
    while (largest * scale >= 99999.95) scale /= 10.0;
    std::vector<core::Value> values;
    values.reserve(coefficients.size());
    for (double c : coefficients) values.emplace_back(c * scale);
    if (values.empty()) return {};
    return core::write_text(layout, values);
}

}  // namespace io
