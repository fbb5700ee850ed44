#include "model/range_events.hpp"

#include <cstdio>

#include "core/text.hpp"

namespace model {
namespace {

struct SourceText {
    const char* name;
    const char* range;
};

constexpr std::array<SourceText, kRangeSources> kTexts = {{
    {"Haar, Gallagher and Kell (1984) water equation", "usable where its density search settles on a root"},
    {"Kerrick and Jacobs (1981) modified Redlich-Kwong for H2O",
     "usable where its volume is a root of the equation and ln phi lies within +-100"},
    {"Kerrick and Jacobs (1981) modified Redlich-Kwong for CO2",
     "usable where its volume is a root of the equation and ln phi lies within +-100"},
    {"Kerrick and Jacobs (1981) H2O-CO2 mixing",
     "usable where the mixture's volume is a root of the equation and ln phi lies within +-100"},
    {"Holland and Powell (89) fugacity polynomial for H2O", "usable from 100 bar up"},
    {"Holland and Powell (89) fugacity polynomial for CO2", "usable from 100 bar up"},
    {"Kovan and Tessel (91) CO2 equation",
     "usable where its volume bisection converges and ln phi lies within +-700"},
    {"Redlich-Kwong equation of oxygen gas",
     "usable where the cubic has a root above the covolume and ln phi stays below 700"},
    {"Redlich-Kwong equation of hydrogen gas",
     "usable where the cubic has a root above the covolume and ln phi stays below 700"},
    {"Redlich-Kwong equation of sulfur gas",
     "usable where the cubic has a root above the covolume and ln phi stays below 700"},
    {"Gibbs energy of a phase", "a finite number"},
    {"Aqueous species routine (revised HKF without g function, the program's own dielectric constant)",
     "close to the full model where water is denser than 0.7 g/cm3"},
    {"Saturation mode of the activity diagram", "on the liquid side of the water saturation curve up to 374.136 C"},
}};

const SourceText& textOf(RangeSource s) {
    const auto i = static_cast<std::size_t>(s);
    return kTexts[i < kTexts.size() ? i : kTexts.size() - 1];
}

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

}  // namespace

const char* rangeRoutineName(RangeSource source) { return textOf(source).name; }
const char* rangeRoutineRange(RangeSource source) { return textOf(source).range; }

void RangeEvents::report(const RangeEvent& event) {
    if (!isNotice(event.source)) ++count_;
    bool first = false;
    if (event.source == RangeSource::PhaseEnergy) {
        if (event.phase >= 0 && event.phase < kMaxPhases) {
            bool& seen = phaseSeen_[static_cast<std::size_t>(event.phase)];
            first = !seen;
            seen = true;
        }
    } else {
        const auto s = static_cast<std::size_t>(event.source);
        if (s < sourceSeen_.size()) {
            first = !sourceSeen_[s];
            sourceSeen_[s] = true;
        }
    }
    if (first && firstCount_ < kCapacity) first_[static_cast<std::size_t>(firstCount_++)] = event;
}

void RangeEvents::clear() {
    count_ = 0;
    firstCount_ = 0;
    sourceSeen_.fill(false);
    phaseSeen_.fill(false);
}

std::string describeRangeEvent(const RangeEvent& event, const PhaseTable* table) {
    const std::string at = ", first at " + number(event.t) + " C and " + number(event.P) + " bar";
    if (event.source == RangeSource::PhaseEnergy) {
        std::string phase = "phase " + std::to_string(event.phase + 1);
        if (table != nullptr && event.phase >= 0 && event.phase < table->count)
            phase = std::string(core::rtrim((*table)[event.phase].name)) + " (" +
                    std::string(core::rtrim((*table)[event.phase].abbreviation)) + ")";
        return "Gibbs energy of " + phase + " is not a finite number" + at + ": check its values in the database";
    }
    if (event.source == RangeSource::AqueousLowDensity)
        return "Aqueous species evaluated in water less dense than " + number(kAqueousDensityLimit) +
               " g/cm3" + at + " (" + number(event.value) +
               " g/cm3): the routine (revised HKF without g function, the program's own dielectric constant) "
               "drifts there from the full model, by several kJ/mol for ions and by tens of kJ/mol below 0.6 "
               "g/cm3; read such values with care";
    if (event.source == RangeSource::AqueousAboveCritical)
        return "The saturation mode holds 222 bar above 374.136 C" + at +
               ": water is a low-density fluid there and no aqueous value is meaningful";
    const SourceText& s = textOf(event.source);
    return std::string(s.name) + " used outside its range (" + s.range + ")" + at;
}

}  // namespace model
