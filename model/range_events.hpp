// Points where a fluid routine gives no usable value (outside its range: a
// value held at a limit, a search that gave up) and where a phase's Gibbs
// energy is not a finite number; and notices of points where a routine gives
// a value of doubtful accuracy (aqueous species in low-density water).
//
// The routines themselves only flag such results; the callers that evaluate
// a point (the fluid dispatcher, the phase and reaction energies) report them
// into a RangeEvents collector owned by the run and reached through the
// GibbsContext.  The collector keeps the first event of every routine (and of
// every phase), in the order they happened, and counts all of them, so that
// a caller can tell whether an evaluation met one.  Notices are kept the
// same way but not counted: the value is used all the same.
#pragma once
#include <array>
#include <string>

#include "model/phase.hpp"

namespace model {

enum class RangeSource : unsigned char {
    HaarWater,            // Haar, Gallagher and Kell (1984): the density search gave up
    KerrickJacobsH2O,     // modified Redlich-Kwong, pure H2O
    KerrickJacobsCO2,     // modified Redlich-Kwong, pure CO2
    KerrickJacobsMixing,  // the Kerrick and Jacobs (1981) H2O-CO2 mixture
    HollandPowellH2O,     // the Holland and Powell (89) polynomial, H2O
    HollandPowellCO2,     // the Holland and Powell (89) polynomial, CO2
    KovanTesselCO2,       // the Kovan and Tessel (91) CO2 equation
    RedlichKwongO2,       // Redlich-Kwong of oxygen gas
    RedlichKwongH2,       // Redlich-Kwong of hydrogen gas
    RedlichKwongS2,       // Redlich-Kwong of sulfur gas
    PhaseEnergy,          // a phase's Gibbs energy is not a finite number
    // Notices (the value is used): an aqueous species evaluated in water less
    // dense than kAqueousDensityLimit; the saturation mode of an activity
    // diagram above the critical temperature with aqueous species in the run.
    AqueousLowDensity,
    AqueousAboveCritical,
};
constexpr int kRangeSources = 13;

// Water density (g/cm3) below which the aqueous routines drift far from the
// full revised-HKF model (several kJ/mol for ions below 0.7, tens of kJ/mol
// below 0.6).
constexpr double kAqueousDensityLimit = 0.7;

// Whether events of `source` are notices: kept, but not counted as unusable.
constexpr bool isNotice(RangeSource source) {
    return source == RangeSource::AqueousLowDensity || source == RangeSource::AqueousAboveCritical;
}

// One event: what met it and where (t in degrees C, P in bar).
struct RangeEvent {
    RangeSource source = RangeSource::HaarWater;
    double t = 0;
    double P = 0;
    int phase = -1;  // 0-based phase index, for PhaseEnergy
    double value = 0;  // the water density (g/cm3), for AqueousLowDensity
};

// The routine's name and the range in which it gives usable values, as the
// messages print them.
const char* rangeRoutineName(RangeSource source);
const char* rangeRoutineRange(RangeSource source);

class RangeEvents {
public:
    // Counts the event (unless it is a notice); keeps it when it is the first
    // of its routine (of its phase, for PhaseEnergy).
    void report(const RangeEvent& event);
    // Every event reported since the last clear(), notices left out.
    long count() const { return count_; }
    // The first events, in the order they happened.
    int firstCount() const { return firstCount_; }
    const RangeEvent& first(int i) const { return first_[static_cast<std::size_t>(i)]; }
    void clear();

private:
    static constexpr int kCapacity = kRangeSources + kMaxPhases;
    long count_ = 0;
    int firstCount_ = 0;
    std::array<RangeEvent, kCapacity> first_{};
    std::array<bool, kRangeSources> sourceSeen_{};
    std::array<bool, kMaxPhases> phaseSeen_{};
};

// The message of an event: the routine and its range (or the phase, named
// from `table` when given), and the point, e.g.
//   "Holland and Powell (89) fugacity polynomial for H2O used outside its
//    range (usable from 100 bar up), first at 600.00 C and 1.00 bar"
std::string describeRangeEvent(const RangeEvent& event, const PhaseTable* table);

}  // namespace model
