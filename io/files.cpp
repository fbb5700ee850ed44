#include "io/files.hpp"

#include <filesystem>

#include "core/text.hpp"
#include "io/streams.hpp"

namespace io {
namespace fs = std::filesystem;

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace

std::string findConfigFile(const std::string& dir) {
    fs::path base = dir.empty() ? fs::path(".") : fs::path(dir);
    std::error_code ec;
    for (const char* n : kConfigNames)
        if (fs::is_regular_file(base / n, ec)) return (base / n).string();
    for (const auto& entry : fs::directory_iterator(base, ec)) {
        if (!entry.is_regular_file(ec)) continue;
        if (lower(entry.path().filename().string()) == "pelkam.fig") return entry.path().string();
    }
    return {};
}

std::string resolveInputName(const std::string& name) {
    std::string trimmed(core::trim(name));
    if (trimmed.empty() || isConsoleName(trimmed)) return trimmed;
    std::error_code ec;
    fs::path p(trimmed);
    if (fs::exists(p, ec)) return trimmed;
    fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    std::string want = lower(p.filename().string());
    std::string found;
    int matches = 0;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        if (lower(entry.path().filename().string()) == want) {
            found = p.has_parent_path() ? (dir / entry.path().filename()).string() : entry.path().filename().string();
            ++matches;
        }
    }
    return matches == 1 ? found : trimmed;
}

}  // namespace io
