#include "render/summary_reactions.hpp"

#include <filesystem>
#include <fstream>

#include "core/text.hpp"

namespace render {
namespace {

constexpr std::string_view kReaction = "1  REACTION: ";
constexpr std::string_view kNumber = " THIS CURVE IS NUMBER";
constexpr std::string_view kPlotFile = "**** Current plotfile = ";

std::string baseName(std::string_view name) {
    return std::filesystem::path(std::string(core::trim(name))).filename().string();
}

struct Section {
    std::string plotName;
    std::vector<SummaryCurve> curves;
};

}  // namespace

const std::string* SummaryReactions::reactionOf(int number) const {
    for (const SummaryCurve& c : curves)
        if (c.number == number) return &c.reaction;
    return nullptr;
}

core::Status readSummaryReactions(const std::string& path, const std::string& plotName, SummaryReactions& out) {
    out = SummaryReactions{};
    std::ifstream in(path);
    if (!in) {
        core::Status s = core::Status::error("cannot open the summary file", "no such file or not readable");
        s.file = path;
        return s;
    }
    std::vector<Section> sections(1);
    std::string line, pending;
    bool havePending = false;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::string_view l = core::rtrim(line);
        if (l.substr(0, kPlotFile.size()) == kPlotFile) {
            sections.push_back({baseName(l.substr(kPlotFile.size())), {}});
            havePending = false;
        } else if (l.substr(0, kReaction.size()) == kReaction) {
            pending = std::string(core::trim(l.substr(kReaction.size())));
            havePending = true;
        } else if (l.substr(0, kNumber.size()) == kNumber) {
            const std::string digits(core::trim(l.substr(kNumber.size())));
            char* end = nullptr;
            const long n = std::strtol(digits.c_str(), &end, 10);
            if (digits.empty() || *end != '\0' || n <= 0 || n > 1000000) {
                core::Status s = core::Status::error("unreadable curve number in the summary file");
                s.file = path;
                s.line = lineNo;
                s.value = digits;
                return s;
            }
            if (havePending) sections.back().curves.push_back({static_cast<int>(n), pending});
            havePending = false;
        }
    }
    const std::string want = baseName(plotName);
    const Section* chosen = nullptr;
    for (const Section& s : sections)
        if (!want.empty() && core::equalBlind(s.plotName, want)) chosen = &s;  // the last run of that name
    if (chosen == nullptr) {
        int withCurves = 0;
        for (const Section& s : sections)
            if (!s.curves.empty()) {
                ++withCurves;
                chosen = &s;
            }
        if (withCurves > 1) {
            for (const Section& s : sections) out.curves.insert(out.curves.end(), s.curves.begin(), s.curves.end());
            return core::Status::success();
        }
    }
    if (chosen != nullptr) out.curves = chosen->curves;
    return core::Status::success();
}

}  // namespace render
