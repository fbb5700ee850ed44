#include "intersect/perturb.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/layout.hpp"
#include "core/text.hpp"
#include "io/composition_file.hpp"

namespace intersect {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSmallest = 1e-4;       // the smallest value F6.4 writes
constexpr double kClosedSum = 5e-3;      // a site whose values add up to 1 within this is closed
constexpr int kValueWidth = 6, kFirstValueColumn = 6;

core::Status failure(const std::string& what, const std::string& why, const std::string& file, int line, int field,
                        const std::string& value) {
    core::Status s = core::Status::error(what, why);
    s.file = file;
    s.line = line;
    s.field = field;
    s.value = value;
    return s;
}

// SplitMix64: spreads consecutive seeds over the generator's state.
std::uint64_t mix(std::uint64_t z) {
    z += 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

// A site fraction in six columns as the formula utility writes it: ".0600 ",
// "1.000 ".
std::string valueField(double v) {
    if (v >= 0.99995) return "1.000 ";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    return std::string(buf + 1) + " ";  // without the leading 0
}

}  // namespace

Random::Random(std::uint64_t seed) : engine_(mix(seed)) {}

double Random::normal() {
    if (haveSpare_) {
        haveSpare_ = false;
        return spare_;
    }
    // Uniform numbers in (0, 1] from the top 53 bits.
    auto uniform = [&] { return (static_cast<double>(engine_() >> 11) + 1.0) * 0x1.0p-53; };
    const double u = uniform(), v = uniform();
    const double r = std::sqrt(-2.0 * std::log(u));
    spare_ = r * std::sin(2 * kPi * v);
    haveSpare_ = true;
    return r * std::cos(2 * kPi * v);
}

std::uint64_t runSeed(std::uint64_t seed, int run) { return mix(seed ^ mix(static_cast<std::uint64_t>(run) + 1)); }

core::Status parseUncertainties(std::span<const std::string> lines, const std::string& fileName,
                                   Uncertainties& out) {
    out.absolute.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string l(core::rtrim(lines[i]));
        const int lineNo = static_cast<int>(i) + 1;
        if (core::isBlank(l) || core::trim(l).front() == '#') continue;
        Uncertainties::Entry e;
        e.code = core::pad(l, 4);
        e.line = lineNo;
        if (core::isBlank(e.code))
            return failure("unreadable uncertainty line", "columns 1-4 must hold the model's code", fileName, lineNo, 1,
                           l);
        std::size_t at = std::min<std::size_t>(l.size(), 4);
        if (at < l.size() && l[at] != ' ')
            return failure("unreadable uncertainty line", "column 5 must be blank (the code has four columns)",
                           fileName, lineNo, 1, l.substr(0, std::min<std::size_t>(l.size(), 8)));
        int field = 1;
        while (at < l.size()) {
            const std::size_t from = l.find_first_not_of(' ', at);
            if (from == std::string::npos) break;
            std::size_t to = l.find(' ', from);
            if (to == std::string::npos) to = l.size();
            const std::string text = l.substr(from, to - from);
            ++field;
            char* end = nullptr;
            const double v = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0' || !std::isfinite(v) || v < 0)
                return failure("unreadable uncertainty", "an uncertainty must be a number of at least 0", fileName,
                               lineNo, field, text);
            if (e.sd.size() >= static_cast<std::size_t>(io::kMaxCompositionValues))
                return failure("too many uncertainties", "a value line holds at most 24 site fractions", fileName,
                               lineNo, field, text);
            e.sd.push_back(v);
            at = to;
        }
        for (const Uncertainties::Entry& other : out.absolute)
            if (other.code == e.code)
                return failure("model listed twice", "line " + std::to_string(other.line) + " lists it already",
                               fileName, lineNo, 1, e.code);
        out.absolute.push_back(std::move(e));
    }
    return core::Status::success();
}

core::Status perturbComposition(std::span<const std::string> lines, const std::string& fileName,
                                   const std::vector<ModelSites>& models, const Uncertainties& uncertainties,
                                   Random& rng, std::vector<std::string>& out) {
    out.assign(lines.begin(), lines.end());
    for (const ModelSites& m : models) {
        int count = 0;
        for (int n : m.cationsPerSite) count += n;
        if (count <= 0) continue;
        io::CompositionValues v;
        core::Status s = io::findComposition(lines, fileName, m.code, count, v);
        if (!s) {
            if (s.what.rfind("ZUN file missing compositions for ", 0) == 0) continue;  // the run says so if it needs it
            s.code = core::StatusCode::Error;
            return s;
        }
        const Uncertainties::Entry* abs = nullptr;
        for (const Uncertainties::Entry& e : uncertainties.absolute)
            if (e.code == core::pad(m.code, 4)) abs = &e;
        std::array<double, io::kMaxCompositionValues> p{};
        for (int k = 0; k < count; ++k) {
            const double x = v.values[static_cast<std::size_t>(k)];
            const double sd = abs != nullptr && static_cast<std::size_t>(k) < abs->sd.size()
                                  ? abs->sd[static_cast<std::size_t>(k)]
                                  : uncertainties.relative * x;
            const double e = rng.normal();  // drawn for every value, so that each keeps its numbers
            p[static_cast<std::size_t>(k)] = x > 0 ? std::clamp(x + sd * e, kSmallest, 1.0) : 0.0;
        }
        // Sites whose fractions add up to 1 keep their sum.
        int from = 0;
        for (int n : m.cationsPerSite) {
            double before = 0, after = 0;
            for (int k = from; k < from + n; ++k) {
                before += v.values[static_cast<std::size_t>(k)];
                after += p[static_cast<std::size_t>(k)];
            }
            if (n >= 2 && std::fabs(before - 1) <= kClosedSum && after > 0)
                for (int k = from; k < from + n; ++k) p[static_cast<std::size_t>(k)] *= before / after;
            from += n;
        }
        std::string& line = out[static_cast<std::size_t>(v.line - 1)];
        std::string text = core::pad(line, static_cast<std::size_t>(kFirstValueColumn - 1));
        for (int k = 0; k < count; ++k) text += valueField(p[static_cast<std::size_t>(k)]);
        const std::size_t end = static_cast<std::size_t>(kFirstValueColumn - 1 + count * kValueWidth);
        if (line.size() > end) text += line.substr(end);  // what follows the values stays
        line = std::string(core::rtrim(text));
    }
    return core::Status::success();
}

}  // namespace intersect
