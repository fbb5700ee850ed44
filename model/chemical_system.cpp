#include "model/chemical_system.hpp"

#include <cctype>

namespace model {

int ChemicalSystem::find(const std::string& symbol) const {
    constexpr std::size_t kWidth = 8;
    for (int i = 0; i < elementCount; ++i) {
        const std::string& have = elementSymbols[static_cast<std::size_t>(i)];
        bool same = true;
        for (std::size_t k = 0; k < kWidth && same; ++k) {
            char a = k < symbol.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(symbol[k]))) : ' ';
            char b = k < have.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(have[k]))) : ' ';
            same = a == b;
        }
        if (same) return i;
    }
    return -1;
}

}  // namespace model
