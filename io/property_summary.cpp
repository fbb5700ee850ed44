#include "io/property_summary.hpp"

#include <span>

#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "core/layout.hpp"

namespace io {
namespace {

using core::Layout;
using core::Status;
using core::Value;
using model::PhaseRecord;

// Where the printed columns come from.  The column order is the order of the
// headings; the slot behind each column follows the database data lines:
//
//   solids, gases    K0..K6 = K[0..6];  V1..V6 = V[1..6] (V1..V4 as held,
//                    i.e. multiplied by V0 for minerals)
//   disorder         T MIN, T MAX, D0, D1, D2, D4, D5, D6, V DIS
//                    (D3 is carried but not printed)
//   transitions      T TRAN, T REF, A SPIKE, B SPIKE, H TRANS, SLOPE,
//                    VOL TRANS, DV/DT, DV/DP
//   aqueous, kind -1 a1..a7 are the C8 values then the C9 values in line
//                    order, which is the order of the Cp expression:
//                    C8 fills K0, K5, K1, K4 and C9 fills K2, K6, K3.
//                    v1..v7 likewise: V8 fills V1, V2, V4, V5 and V9 fills
//                    V3, V6 and the seventh slot V[7].
//   aqueous, kind -2 A1..A4 = V[1..4] (V6 line, scaled on reading);
//   and kind -3      THETA = K0, C1 = K5, C2 = K2, W(con) = K1 (C6/C7 fields
//                    3, 1, 2, 4); Psi = K4 (C7 field 5)
constexpr std::array<int, 7> kPlainAqueousCp = {0, 5, 1, 4, 2, 6, 3};
constexpr std::array<int, 7> kPlainAqueousVolume = {1, 2, 4, 5, 3, 6, 7};

// A disorder record whose D0 and D1 are both this small selects the albite
// ordering model instead of a heat-capacity integral.
constexpr double kAlbiteModelLimit = 0.001;

bool isSolid(const PhaseRecord& p) { return p.kind == model::kMineral; }
bool isGas(const PhaseRecord& p) { return p.kind > 0; }
bool isAqueous(const PhaseRecord& p) {
    return p.kind == model::kAqueousPlain || p.kind == model::kAqueousHelgeson ||
           p.kind == model::kAqueousTanger;
}
bool hasTransition(const PhaseRecord& p) {
    for (int l : p.lambda)
        if (l > 0) return true;
    return false;
}

// Names are held 20 characters wide; a shorter one is still printed in full.
std::string_view nameOf(const PhaseRecord& p) { return p.name; }
std::string_view abbreviationOf(const PhaseRecord& p) { return p.abbreviation; }

// The report's records.  All layouts are parsed once per report.
struct Layouts {
    Layout title1{"('1',15X,' **********************************')"};
    Layout title2{"(16X,' *SUMMARY OF THE SYSTEM PROPERTIES*')"};
    Layout title3{"(16X,' **********************************')"};
    Layout elementCount{"(' There are',I4,' elements in the system. ')"};
    Layout elementHeading{"(' Their weights and symbols are: ')"};
    Layout elements{"(5(5X,F10.5,2X,A8))"};
    Layout compositionHeading{"(' The compositions of the SOLID PHASES are: ')"};
    // Fifteen coefficients per line; further ones continue under the first.
    Layout composition{"(1X,A20,1X,15F6.2,:/(22X,15F6.2))"};
    Layout compositionNameOnly{"(1X,A20)"};

    Layout solidHeading{"(' The properties of the SOLID PHASES are'/1X,38('*'))"};
    Layout gasHeading{"(' The properties of the GASES are'/1X,31('*'))"};
    Layout aqueousHeading{"(' The properties of the AQUEOUS SPECIES are'/1X,41('*'))"};

    Layout standardTitle{"(20X,'STANDARD STATE PROPERTIES')"};
    Layout standardColumns{
        "(37X,'ENTHALPY (J)',7X,'ENTROPY (J)',5X,'VOLUME (J/BAR)',5X,' LOG ACTIVITY')"};
    Layout standardColumnsGas{"(37X,'ENTHALPY (J)',7X,'ENTROPY (J)',6X,' LOG ACTIVITY')"};
    Layout standardLine{"(1X,A20,3X,'(',A8,')',F15.4,3X,F15.5,3X,F15.4,3X,F15.8)"};
    Layout standardLineGas{"(1X,A20,3X,'(',A8,')',F15.4,3X,F15.5,3X,F15.8)"};

    Layout heatTitle{"(20X,'HEAT CAPACITY TERMS')"};
    Layout heatColumns{
        "(30X,'K0',10X,'K1 (T**-.5)',4X,'K2 (T**-2)',3X,'K3 (T**-3)',3X,'K4 (T**-1)',7X,'K5 (T)',11X,"
        "'K6 (T**2)')"};
    Layout heatLine{"(1X,A20,1X,F15.5,F15.4,F15.1,F15.1,3(1X,G16.10))"};

    Layout volumeTitle{"(21X,'VOLUME EXPANSION/CONTRACTION TERMS')"};
    Layout volumeColumns{"(31X,'V1(T)',8X,'V2(T)',8X,'V3(P)',8X,'V4(P)',8X,'V5   ',8X,'V6   ')"};
    Layout volumeLine{"(1X,A20,8X,6(1X,D12.5))"};

    Layout disorderTitle{"(23X,'DISORDER PROPERTIES')"};
    Layout disorderColumns{
        "(21X,'T MIN  T MAX  D0',11X,'D1',11X,'D2',11X,'D4',11X,'D5',11X,'D6',11X,'V DIS')"};
    Layout disorderLine{"(1X,A20,1X,F6.1,1X,F6.1,7(1X,D12.5))"};
    Layout albiteNote{
        "(' ORDERING OF ALBITE RELATIVE TO HIGH ALBITE COMPUTED'/' WITH EQUATIONS OF SALJE ET AL. (1985)')"};

    Layout transitionTitle{"(20X,'TRANSITION PROPERTIES')"};
    Layout transitionColumns{
        "(21X,'T TRAN  T REF    A SPIKE',8X,'B SPIKE',5X,'H TRANS',5X,'SLOPE',8X,'VOL TRANS    DV/DT',8X,"
        "'DV/DP')"};
    Layout transitionLine{"(1X,A20,2X,F6.1,1X,F6.1,7(1X,D12.5))"};

    Layout solidEnd{"('  '/'  ')"};

    Layout waterNote{"(' WATER - VOLUMETRIC PROPERTIES CALCULATED USING',A)"};
    Layout co2Note{"(' CARBON DIOXIDE VOLUMETRIC PROPERTIES CALCULATED USING',A)"};
    Layout gasNote{
        "(1X,A20,' VOLUMETRIC PROPERTIES CALCULATED USING',' REDLICH-KWONG EQUATION OF STATE ')"};

    Layout plainCpTitle{
        "(20X,' Heat Capacity Terms ',5X,'Cp = a1 + a2 * T + a3 * T**2 + a4 * T / ',"
        "'(T - a5) + a6 / sqrt(T) + a7 / T**2')"};
    Layout plainCpColumns{"(19X,'a1',13X,'a2',13X,'a3',13X,'a4',13X,'a5',13X,'a6',13X,'a7')"};
    Layout plainVolumeTitle{
        "(20X,' Volume Terms ',5X,'V = v1 + v2 * T + v3 * T**2 + v4 * T / ','(T - v5) + v6 * P + v7 * P**2')"};
    Layout plainVolumeColumns{"(19X,'v1',13X,'v2',13X,'v3',13X,'v4',13X,'v5',13X,'v6',13X,'v7')"};
    Layout plainLine{"(1X,A,5X,7(D12.5,3X))"};

    Layout helgesonTitle{"(21X,'Volume and Heat Capacity Terms (from Helgeson',' et al, 1981)')"};
    Layout tangerTitle{"(21X,'Volume and Heat Capacity Terms (from Tanger',' et al)')"};
    Layout helgesonColumns{
        "(18X,'A1',13X,'A2',12X,'A3',13X,'A4',9X,'THETA',9X,'C1',12X,'C2',11X,'W(con)')"};
    Layout tangerColumns{
        "(18X,'A1',13X,'A2',12X,'A3',13X,'A4',9X,'THETA',9X,'C1',12X,'C2',11X,'W(con)',5X,'Psi')"};
    // The units of the two forms' parameters, each under its column: in the
    // older form a3 and a4 multiply T/(T - theta), in the revised form a2 and
    // a4 multiply ln((psi + P)/(psi + 1)) and a3, a4 are divided by T - theta;
    // omega is an energy in both.
    Layout helgesonUnits{
        "(14X,'(j/m/bar)',5X,'(j/m/bar**2)',4X,'(j/m/bar)',5X,'(j/m/bar**2)',4X,'(K)',6X,'(j/m/deg)',6X,"
        "'(j/m/deg)',8X,'(j/m)')"};
    Layout tangerUnits{
        "(14X,'(j/m/bar)',8X,'(j/m)',6X,'(j*K/m/bar)',6X,'(j*K/m)',8X,'(K)',6X,'(j/m/deg)',6X,"
        "'(j*K/m)',10X,'(j/m)',6X,'bars')"};
    Layout helgesonLine{"(1X,A20,4X,4(D12.5,3X),F6.2,3(3X,D12.5))"};
    Layout tangerLine{"(1X,A20,4X,4(D12.5,3X),F6.2,3(3X,D12.5),5X,F8.1)"};

    bool ok() const {
        for (const Layout* l :
             {&title1, &title2, &title3, &elementCount, &elementHeading, &elements, &compositionHeading,
              &composition, &compositionNameOnly, &solidHeading, &gasHeading, &aqueousHeading, &standardTitle,
              &standardColumns, &standardColumnsGas, &standardLine, &standardLineGas, &heatTitle, &heatColumns,
              &heatLine, &volumeTitle, &volumeColumns, &volumeLine, &disorderTitle, &disorderColumns,
              &disorderLine, &albiteNote, &transitionTitle, &transitionColumns, &transitionLine, &solidEnd,
              &waterNote, &co2Note, &gasNote, &plainCpTitle, &plainCpColumns, &plainVolumeTitle,
              &plainVolumeColumns, &plainLine, &helgesonTitle, &tangerTitle, &helgesonColumns, &tangerColumns,
              &helgesonUnits, &tangerUnits, &helgesonLine, &tangerLine})
            if (!l->ok()) return false;
        return true;
    }
};

// Writes records to one unit and remembers the first failure.
class Writer {
public:
    Writer(Streams& streams, int unit) : streams_(streams), unit_(unit) {}

    void record(const Layout& layout, std::initializer_list<Value> values = {}) {
        if (failed_) return;
        if (!streams_.write_record(unit_, layout, std::span<const Value>(values.begin(), values.size())))
            failed_ = true;
    }
    void record(const Layout& layout, std::span<const Value> values) {
        if (failed_) return;
        if (!streams_.write_record(unit_, layout, values)) failed_ = true;
    }
    void empty(int lines = 1) {
        for (int i = 0; i < lines && !failed_; ++i)
            if (!streams_.writeLine(unit_, "")) failed_ = true;
    }
    bool failed() const { return failed_; }

private:
    Streams& streams_;
    int unit_;
    bool failed_ = false;
};

Status invalid(const std::string& why) {
    Status s = Status::error("cannot write the property summary", why);
    return s;
}

// Every reference the report follows must lie inside its table.
Status checkInputs(const model::ChemicalSystem& sys, const model::PhaseTable& phases, int phaseCount) {
    if (phaseCount < 0 || phaseCount > phases.count || phaseCount > model::kMaxPhases)
        return invalid("phase count " + std::to_string(phaseCount) + " outside 0.." +
                       std::to_string(phases.count));
    if (sys.elementCount < 0 || sys.elementCount > model::kMaxElements)
        return invalid("element count " + std::to_string(sys.elementCount) + " outside 0.." +
                       std::to_string(model::kMaxElements));
    for (int i = 0; i < phaseCount; ++i) {
        const PhaseRecord& p = phases[i];
        const std::string where = "phase " + std::to_string(i + 1) + " (" + p.name + ")";
        if (p.disorder < 0 || p.disorder > phases.disorderCount || p.disorder > model::kMaxDisorderRecords)
            return invalid(where + ": disorder record " + std::to_string(p.disorder) + " does not exist");
        for (int l : p.lambda)
            if (l < 0 || l > phases.lambdaCount || l > model::kMaxLambdaRecords)
                return invalid(where + ": transition record " + std::to_string(l) + " does not exist");
    }
    return Status::success();
}

bool selectsAlbiteOrdering(const model::DisorderRecord& d) {
    return std::fabs(d.D[0]) < kAlbiteModelLimit && std::fabs(d.D[1]) < kAlbiteModelLimit;
}

void writeTitleAndElements(Writer& w, const Layouts& f, const model::ChemicalSystem& sys) {
    w.record(f.title1);
    w.record(f.title2);
    w.record(f.title3);
    w.empty();

    w.empty();
    w.record(f.elementCount, {static_cast<long long>(sys.elementCount)});
    w.record(f.elementHeading);
    w.empty();
    if (sys.elementCount == 0) return;
    std::array<Value, 2 * model::kMaxElements> values;
    std::size_t n = 0;
    for (int e = 0; e < sys.elementCount; ++e) {
        values[n++] = sys.atomicWeights[static_cast<std::size_t>(e)];
        values[n++] = std::string_view(sys.elementSymbols[static_cast<std::size_t>(e)]);
    }
    w.record(f.elements, std::span<const Value>(values.data(), n));
}

void writeCompositions(Writer& w, const Layouts& f, const model::ChemicalSystem& sys,
                       const model::PhaseTable& phases, int phaseCount) {
    w.empty(2);
    w.record(f.compositionHeading);
    w.empty();
    std::array<Value, 1 + model::kMaxElements> values;
    for (int i = 0; i < phaseCount; ++i) {
        const auto& row = sys.stoichiometry[static_cast<std::size_t>(i)];
        std::size_t n = 0;
        values[n++] = nameOf(phases[i]);
        for (int e = 0; e < sys.elementCount; ++e) values[n++] = row[static_cast<std::size_t>(e)];
        w.record(n == 1 ? f.compositionNameOnly : f.composition, std::span<const Value>(values.data(), n));
    }
}

void writeStandardState(Writer& w, const Layouts& f, const PhaseRecord& p, double logActivity, bool withVolume) {
    if (withVolume)
        w.record(f.standardLine, {nameOf(p), abbreviationOf(p), p.H, p.S, p.V0, logActivity});
    else
        w.record(f.standardLineGas, {nameOf(p), abbreviationOf(p), p.H, p.S, logActivity});
}

template <class Pick>
void writeStandardBlock(Writer& w, const Layouts& f, const model::PhaseTable& phases,
                        std::span<const double> logActivity, int phaseCount, bool withVolume, Pick pick) {
    w.empty();
    w.record(f.standardTitle);
    w.record(withVolume ? f.standardColumns : f.standardColumnsGas);
    w.empty();
    for (int i = 0; i < phaseCount; ++i)
        if (pick(phases[i])) writeStandardState(w, f, phases[i], logActivity[static_cast<std::size_t>(i)], withVolume);
}

template <class Pick>
void writeHeatCapacityBlock(Writer& w, const Layouts& f, const model::PhaseTable& phases, int phaseCount,
                            Pick pick) {
    w.empty(3);
    w.record(f.heatTitle);
    w.record(f.heatColumns);
    w.empty();
    for (int i = 0; i < phaseCount; ++i) {
        const PhaseRecord& p = phases[i];
        if (!pick(p)) continue;
        w.record(f.heatLine, {nameOf(p), p.K[0], p.K[1], p.K[2], p.K[3], p.K[4], p.K[5], p.K[6]});
    }
}

void writeSolids(Writer& w, const Layouts& f, const model::PhaseTable& phases, std::span<const double> logActivity,
                 int phaseCount) {
    w.empty(2);
    w.record(f.solidHeading);
    writeStandardBlock(w, f, phases, logActivity, phaseCount, true, isSolid);
    writeHeatCapacityBlock(w, f, phases, phaseCount, isSolid);

    w.empty(3);
    w.record(f.volumeTitle);
    w.empty();
    w.record(f.volumeColumns);
    w.empty();
    for (int i = 0; i < phaseCount; ++i) {
        const PhaseRecord& p = phases[i];
        if (!isSolid(p)) continue;
        w.record(f.volumeLine, {nameOf(p), p.V[1], p.V[2], p.V[3], p.V[4], p.V[5], p.V[6]});
    }

    bool anyDisorder = false, anyTransition = false;
    for (int i = 0; i < phaseCount; ++i) {
        if (!isSolid(phases[i])) continue;
        anyDisorder = anyDisorder || phases[i].disorder > 0;
        anyTransition = anyTransition || hasTransition(phases[i]);
    }

    if (anyDisorder) {
        w.empty(3);
        w.record(f.disorderTitle);
        w.record(f.disorderColumns);
        w.empty();
        for (int i = 0; i < phaseCount; ++i) {
            const PhaseRecord& p = phases[i];
            if (!isSolid(p) || p.disorder == 0) continue;
            const model::DisorderRecord& d = phases.disorderOf(p);
            // The note stands for the phases whose Gibbs energy takes the
            // ordering model; their D values are not heat-capacity terms.
            if (selectsAlbiteOrdering(d)) {
                w.record(f.albiteNote);
                continue;
            }
            w.record(f.disorderLine,
                     {nameOf(p), d.TMIN, d.TMAX, d.D[0], d.D[1], d.D[2], d.D[4], d.D[5], d.D[6], d.VDIS});
        }
    }

    if (anyTransition) {
        w.empty(3);
        w.record(f.transitionTitle);
        w.record(f.transitionColumns);
        w.empty();
        for (int i = 0; i < phaseCount; ++i) {
            const PhaseRecord& p = phases[i];
            if (!isSolid(p)) continue;
            for (int l : p.lambda) {
                if (l == 0) continue;
                const model::LambdaRecord& t = phases.lambda(l);
                w.record(f.transitionLine, {nameOf(p), t.TTRAN, t.TREF, t.ASPIKE, t.BSPIKE, t.HTRANS, t.SLOPE,
                                            t.VOLTRANS, t.DVDT, t.DVDP});
            }
        }
    }
    w.record(f.solidEnd);
}

void writeGases(Writer& w, const Layouts& f, const model::PhaseTable& phases, std::span<const double> logActivity,
                int phaseCount,
                const model::FluidModelChoice& fluid) {
    w.empty(2);
    w.record(f.gasHeading);
    writeStandardBlock(w, f, phases, logActivity, phaseCount, false, isGas);
    writeHeatCapacityBlock(w, f, phases, phaseCount, isGas);

    for (int i = 0; i < phaseCount; ++i) {
        const PhaseRecord& p = phases[i];
        if (!isGas(p)) continue;
        if (p.kind == model::kWater) {
            std::string_view routine;
            switch (fluid.water) {
                case 1: routine = " HAAR EQUATION OF STATE "; break;
                case 2: routine = " L.D. KELSO REDLICH-KWONG "; break;
                case 3: routine = " KERRICK AND JACOBS REDLICH-KWONG "; break;
                default: continue;
            }
            w.empty();
            w.record(f.waterNote, {routine});
        } else if (p.kind == model::kCarbonDioxide) {
            std::string_view routine;
            switch (fluid.co2) {
                case 2: routine = " L.D. KELSO REDLICH-KWONG "; break;
                case 3: routine = " KERRICK AND JACOBS REDLICH-KWONG "; break;
                default: continue;
            }
            w.empty();
            w.record(f.co2Note, {routine});
        } else if (p.kind != model::kAxisGas) {
            // An axis gas only carries an activity: no equation of state is used for it.
            w.empty();
            w.record(f.gasNote, {nameOf(p)});
        }
    }
}

void writeAqueous(Writer& w, const Layouts& f, const model::PhaseTable& phases, std::span<const double> logActivity,
                  int phaseCount) {
    w.empty(2);
    w.record(f.aqueousHeading);
    writeStandardBlock(w, f, phases, logActivity, phaseCount, true, isAqueous);

    bool plain = false, helgeson = false, tanger = false;
    for (int i = 0; i < phaseCount; ++i) {
        plain = plain || phases[i].kind == model::kAqueousPlain;
        helgeson = helgeson || phases[i].kind == model::kAqueousHelgeson;
        tanger = tanger || phases[i].kind == model::kAqueousTanger;
    }

    if (plain) {
        auto writeTerms = [&](const Layout& title, const Layout& columns, bool cp) {
            w.empty(3);
            w.record(title);
            w.record(columns);
            for (int i = 0; i < phaseCount; ++i) {
                const PhaseRecord& p = phases[i];
                if (p.kind != model::kAqueousPlain) continue;
                std::array<Value, 8> values;
                values[0] = nameOf(p);
                for (std::size_t k = 0; k < 7; ++k)
                    values[k + 1] = cp ? p.K[static_cast<std::size_t>(kPlainAqueousCp[k])]
                                       : p.V[static_cast<std::size_t>(kPlainAqueousVolume[k])];
                w.record(f.plainLine, values);
            }
        };
        writeTerms(f.plainCpTitle, f.plainCpColumns, true);
        writeTerms(f.plainVolumeTitle, f.plainVolumeColumns, false);
    }

    auto writeRevised = [&](int kind, const Layout& title, const Layout& columns, const Layout& units,
                            const Layout& line) {
        w.empty(3);
        w.record(title);
        w.record(columns);
        w.record(units);
        for (int i = 0; i < phaseCount; ++i) {
            const PhaseRecord& p = phases[i];
            if (p.kind != kind) continue;
            std::array<Value, 10> values = {nameOf(p), p.V[1], p.V[2], p.V[3], p.V[4],
                                            p.K[0],    p.K[5], p.K[2], p.K[1], p.K[4]};
            const std::size_t n = kind == model::kAqueousTanger ? 10 : 9;
            w.record(line, std::span<const Value>(values.data(), n));
        }
    };
    if (helgeson)
        writeRevised(model::kAqueousHelgeson, f.helgesonTitle, f.helgesonColumns, f.helgesonUnits,
                     f.helgesonLine);
    if (tanger)
        writeRevised(model::kAqueousTanger, f.tangerTitle, f.tangerColumns, f.tangerUnits, f.tangerLine);
}

}  // namespace

Status writePropertySummary(Streams& streams, int unit, const model::ChemicalSystem& sys,
                            const model::PhaseTable& phases, std::span<const double> logActivity,
                            const model::FluidModelChoice& fluid, int phaseCount) {
    if (Status s = checkInputs(sys, phases, phaseCount); !s) return s;
    if (logActivity.size() < static_cast<std::size_t>(phaseCount)) return invalid("fewer log activities than phases");
    if (!streams.isOpen(unit)) return invalid("unit " + std::to_string(unit) + " is not open");
    const Layouts f;
    if (!f.ok()) return invalid("a record layout of the report does not parse");

    bool solids = false, gases = false, aqueous = false;
    for (int i = 0; i < phaseCount; ++i) {
        solids = solids || isSolid(phases[i]);
        gases = gases || isGas(phases[i]);
        aqueous = aqueous || isAqueous(phases[i]);
    }

    Writer w(streams, unit);
    writeTitleAndElements(w, f, sys);
    if (solids) {
        writeCompositions(w, f, sys, phases, phaseCount);
        writeSolids(w, f, phases, logActivity, phaseCount);
    }
    if (gases) writeGases(w, f, phases, logActivity, phaseCount, fluid);
    if (aqueous) writeAqueous(w, f, phases, logActivity, phaseCount);

    if (w.failed()) {
        Status s = Status::error("cannot write the property summary",
                                 "a record could not be written to unit " + std::to_string(unit));
        s.file = streams.name(unit);
        return s;
    }
    return Status::success();
}

}  // namespace io
