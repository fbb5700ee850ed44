#include "core/text.hpp"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace core {

std::string pad(std::string_view s, std::size_t n) {
    std::string out(s.substr(0, n));
    out.resize(n, ' ');
    return out;
}

std::string nameField(std::string_view name, std::size_t n) {
    std::string_view t = rtrim(name);
    return t.size() > n ? std::string(t) : pad(t, n);
}

std::string_view rtrim(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string_view trim(std::string_view s) {
    s = rtrim(s);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool isBlank(std::string_view s) { return rtrim(s).empty(); }

bool equalBlind(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool startsBlind(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && equalBlind(s.substr(0, prefix.size()), prefix);
}

std::size_t findBlanks(std::string_view s, std::size_t count, std::size_t from) {
    if (count == 0) return from;
    std::size_t run = 0;
    for (std::size_t i = from; i < s.size(); ++i) {
        if (s[i] == ' ') {
            if (++run == count) return i + 1 - count;
        } else {
            run = 0;
        }
    }
    return std::string_view::npos;
}

std::string trimmed(std::string_view s) { return std::string(trim(s)); }

bool parseDecimal(std::string_view text, double& out) {
    if (text.empty()) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E')) return false;
    const std::string s(text);
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

}  // namespace core
