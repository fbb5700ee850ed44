// The library from C++: the curve of muscovite + quartz = K-feldspar +
// sillimanite + H2O on a P-T diagram, traced with kyanite and andalusite
// competing for the Al2SiO5, and a few points of it with the reaction's Gibbs
// energy there (which is zero on the curve).
//
// Usage: example_trace_muscovite [DATABASE]   (default: data/thermo1988.dat)
#include <cstdio>
#include <string>

#include "pelkam/pelkam.hpp"

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "data/thermo1988.dat";

    // The phases of the system K-Al-Si-O-H, loaded as the calculator loads them.
    pelkam::Result<pelkam::Database> database = pelkam::loadDatabase(path, "K AL SI O H");
    if (!database) {
        std::fprintf(stderr, "%s\n", database.error().describe().c_str());
        return 1;
    }

    // The reaction, its phases found by abbreviation and its balance checked.
    pelkam::Result<pelkam::ReactionText> text = pelkam::parseReaction("Ms + Qz = Kfs + Sil + H2O");
    if (!text) {
        std::fprintf(stderr, "%s\n", text.error().describe().c_str());
        return 1;
    }
    pelkam::Result<pelkam::Reaction> reaction = pelkam::balanceReaction(database->index(), *text);
    if (!reaction) {
        std::fprintf(stderr, "%s\n", reaction.error().describe().c_str());
        return 1;
    }

    // Its curve from 400 to 900 C and 1 to 10,000 bar in pure H2O fluid.
    pelkam::CurveWindow window;
    window.type = pelkam::DiagramType::PT;
    window.xMin = 400, window.xMax = 900, window.yMin = 1, window.yMax = 10000;
    const std::string competing[] = {"Ky", "And"};
    pelkam::Result<pelkam::Curve> curve = pelkam::traceReaction(*database, *reaction, window, competing);
    if (!curve) {
        std::fprintf(stderr, "%s\n", curve.error().describe().c_str());
        return 1;
    }

    std::printf("%s\n", curve->reaction.c_str());
    pelkam::Evaluator evaluator(*database);
    for (const pelkam::CurveStretch& stretch : curve->stretches) {
        std::printf("%s stretch of %zu points\n", stretch.stable ? "stable" : "metastable", stretch.points.size());
        // The first, middle and last points of the stretch.
        const std::size_t n = stretch.points.size();
        for (std::size_t k : {std::size_t{0}, n / 2, n - 1}) {
            const pelkam::CurvePoint& p = stretch.points[k];
            const pelkam::Point at{p.x, p.y, std::nullopt};
            std::printf("  T %8.2f C  P %9.2f bar  dG %8.3f J\n", p.x, p.y, evaluator.reactionGibbs(*reaction, at));
        }
    }
    return curve->stretches.empty() ? 1 : 0;
}
