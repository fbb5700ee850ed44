// Databases: the index of a file (its phase headers) and the load of a
// chemical system, as the calculator does both.
#include <algorithm>
#include <bitset>
#include <cstdio>

#include "api/internal.hpp"
#include "calc/diagram_type.hpp"
#include "core/text.hpp"
#include "io/database.hpp"
#include "io/database_scan.hpp"

namespace pelkam {

// The public phase kinds are the model's.
static_assert(int{kMineral} == int{model::kMineral} &&
              int{kWater} == int{model::kWater} &&
              int{kCarbonDioxide} == int{model::kCarbonDioxide} &&
              int{kOxygenGas} == int{model::kOxygenGas} &&
              int{kHydrogenGas} == int{model::kHydrogenGas} &&
              int{kSulfurGas} == int{model::kSulfurGas} &&
              int{kOtherGas} == int{model::kAxisGas} &&
              int{kAqueousPlain} == int{model::kAqueousPlain} &&
              int{kAqueousHelgeson} == int{model::kAqueousHelgeson} &&
              int{kAqueousTanger} == int{model::kAqueousTanger});

namespace detail {
namespace {

// Opens the database file on the thermodynamic unit.
Result<void> openDatabase(io::Streams& streams, const std::string& path) {
    switch (streams.open(kThermoUnit, path, io::OpenMode::Existing)) {
        case 0: return {};
        case 1: return fileError("cannot open the database", path, "no such file");
        case 4: return fileError("cannot open the database", path, "not a regular file");
        default: return fileError("cannot read the database", path);
    }
}

std::string elementSymbol(const model::ChemicalSystem& system, int e) {
    return core::trimmed(system.elementSymbols[static_cast<std::size_t>(e)]);
}

std::vector<std::string> elementSymbols(const model::ChemicalSystem& system) {
    std::vector<std::string> out;
    for (int e = 0; e < system.elementCount; ++e) out.push_back(elementSymbol(system, e));
    return out;
}

}  // namespace

Result<std::shared_ptr<DatabaseData>> loadDatabaseData(const std::string& path, std::string_view elements,
                                                       const LoadOptions& options) {
    CapturedStreams captured;
    io::Streams& streams = captured.streams;
    if (Result<void> opened = openDatabase(streams, path); !opened) return opened.error();
    auto data = std::make_shared<DatabaseData>();
    data->file = path;
    data->options = options;
    const int type = static_cast<int>(options.diagramType);
    core::Status s = io::readElementHeader(streams, kThermoUnit, data->system, kMessagesUnit);
    if (s) s = io::setSystemLine(data->system, std::string(elements), type, streams, kMessagesUnit);
    if (s) {
        // No aqueous data file: an empty one stands in, should the system
        // name the element that calls for it.
        const bool scratch = options.aqueousFile.empty();
        const int code = scratch ? streams.open(kAqueousUnit, "aqueous.tmp", io::OpenMode::Scratch)
                                 : streams.open(kAqueousUnit, options.aqueousFile, io::OpenMode::Existing);
        if (code == 1) return fileError("cannot open the aqueous data file", options.aqueousFile, "no such file");
        if (code == 4) return fileError("cannot open the aqueous data file", options.aqueousFile, "not a regular file");
        if (code != 0) return fileError("cannot read the aqueous data file", options.aqueousFile);
    }
    if (s) {
        io::LoadOptions load;
        load.unitThermo = kThermoUnit;
        load.unitAqueous = kAqueousUnit;
        load.unitMessages = kMessagesUnit;
        load.diagramType = type;
        load.waterRoutine = options.routines.water;
        s = io::loadDatabase(load, streams, data->system, data->phases);
    }
    if (!s) return errorOf(s, captured.lines);

    DatabaseIndex& index = data->index;
    index.file = path;
    index.elements = elementSymbols(data->system);
    for (int i = 0; i < data->phases.count; ++i) {
        const model::PhaseRecord& p = data->phases[i];
        PhaseInfo info{core::trimmed(p.name), core::trimmed(p.abbreviation), p.kind, p.headerLine, {},
                       p.fromAqueousFile ? options.aqueousFile : path};
        const auto& row = data->system.stoichiometry[static_cast<std::size_t>(i)];
        info.composition.assign(row.begin(), row.begin() + data->system.elementCount);
        index.phases.push_back(std::move(info));
    }
    data->messages = std::move(captured.lines);
    return data;
}

}  // namespace detail

using detail::nameKey;

std::string phaseNameKey(std::string_view text) { return nameKey(text); }

const PhaseInfo* DatabaseIndex::find(std::string_view text) const {
    const std::string key = nameKey(text);
    for (const PhaseInfo& p : phases)
        if (nameKey(p.abbreviation) == key) return &p;
    for (const PhaseInfo& p : phases)
        if (nameKey(p.name) == key) return &p;
    return nullptr;
}

std::string formulaText(const PhaseInfo& phase, std::span<const std::string> elements) {
    const std::size_t n = std::min(elements.size(), phase.composition.size());
    std::string out;
    auto write = [&](std::size_t e) {
        char number[32];
        std::snprintf(number, sizeof number, "%.6g", phase.composition[e]);
        out += elements[e] + "(" + number + ")";
    };
    auto last = [&](std::size_t e) { return elements[e] == "O" || elements[e] == "H"; };
    for (std::size_t e = 0; e < n; ++e)
        if (phase.composition[e] != 0.0 && !last(e)) write(e);
    for (const char* symbol : {"O", "H"})
        for (std::size_t e = 0; e < n; ++e)
            if (phase.composition[e] != 0.0 && elements[e] == symbol) write(e);
    return out;
}

Result<DatabaseIndex> indexDatabase(const std::string& path, const std::string& aqueousFile) {
    detail::CapturedStreams captured;
    io::Streams& streams = captured.streams;
    if (Result<void> opened = detail::openDatabase(streams, path); !opened) return opened.error();
    auto system = std::make_unique<model::ChemicalSystem>();
    core::Status s = io::readElementHeader(streams, detail::kThermoUnit, *system, detail::kMessagesUnit);
    DatabaseIndex index;
    index.file = path;
    index.aqueousFile = aqueousFile;
    const std::string* file = &index.file;
    const auto visit = [&](const io::ScannedPhase& p) {
        PhaseInfo info{core::trimmed(p.name), core::trimmed(p.abbreviation), p.kind, p.line, {}, *file};
        info.composition.assign(p.coefficients.begin(), p.coefficients.begin() + system->elementCount);
        index.phases.push_back(std::move(info));
    };
    if (s) {
        index.elements = detail::elementSymbols(*system);
        s = io::scanPhaseHeaders(streams, detail::kThermoUnit, *system, detail::kMessagesUnit, visit);
    }
    // The aqueous data file holds species only: no element header.
    if (s && !aqueousFile.empty()) {
        switch (streams.open(detail::kAqueousUnit, aqueousFile, io::OpenMode::Existing)) {
            case 0: break;
            case 1: return detail::fileError("cannot open the aqueous data file", aqueousFile, "no such file");
            case 4: return detail::fileError("cannot open the aqueous data file", aqueousFile, "not a regular file");
            default: return detail::fileError("cannot read the aqueous data file", aqueousFile);
        }
        file = &index.aqueousFile;
        s = io::scanPhaseHeaders(streams, detail::kAqueousUnit, *system, detail::kMessagesUnit, visit);
    }
    if (!s) return detail::errorOf(s, captured.lines);
    index.messages = std::move(captured.lines);
    return index;
}

std::vector<std::string> systemElements(const DatabaseIndex& index, std::span<const PhaseInfo> phases) {
    using ElementSet = std::bitset<model::kMaxElements>;
    const std::size_t n = std::min(index.elements.size(), static_cast<std::size_t>(model::kMaxElements));
    auto elementsOf = [n](const PhaseInfo& p) {
        ElementSet s;
        for (std::size_t e = 0; e < n && e < p.composition.size(); ++e)
            if (p.composition[e] != 0.0) s.set(e);
        return s;
    };
    // The phases a P-T load can keep: minerals and the five gases it knows.
    std::vector<ElementSet> loadable;
    for (const PhaseInfo& p : index.phases)
        if (p.kind == kMineral || (p.kind >= kWater && p.kind <= kSulfurGas)) loadable.push_back(elementsOf(p));
    ElementSet chosen;
    bool aqueousFile = false;
    for (const PhaseInfo& p : phases) {
        chosen |= elementsOf(p);
        aqueousFile = aqueousFile || (!index.aqueousFile.empty() && p.file == index.aqueousFile);
    }
    // The aqueous data file is read for systems that hold the element that
    // calls for it, which counts only together with H and O.
    if (aqueousFile && n > static_cast<std::size_t>(kAqueousSwitchElement)) {
        chosen.set(kAqueousSwitchElement);
        for (std::size_t e = 0; e < n; ++e)
            if (index.elements[e] == "H" || index.elements[e] == "O") chosen.set(e);
    }
    auto fitting = [&](const ElementSet& system) {
        int count = 0;
        for (const ElementSet& p : loadable) count += (p & ~system).none() ? 1 : 0;
        return count;
    };
    for (std::size_t k = 0; k < loadable.size() && fitting(chosen) < 2; ++k) {
        const ElementSet wider = chosen | loadable[k];
        if (wider != chosen && static_cast<int>(wider.count()) <= kMaxComponents) chosen = wider;
    }
    std::vector<std::string> out;
    for (std::size_t e = 0; e < n; ++e)
        if (chosen.test(e)) out.push_back(index.elements[e]);
    return out;
}

Result<Database> loadDatabase(const std::string& path, std::string_view elements, const LoadOptions& options) {
    Result<std::shared_ptr<detail::DatabaseData>> data = detail::loadDatabaseData(path, elements, options);
    if (!data) return data.error();
    return Database(std::move(data.value()));
}

const std::string& Database::file() const { return data_->file; }
const std::vector<std::string>& Database::elements() const { return data_->index.elements; }
const LoadOptions& Database::options() const { return data_->options; }
int Database::phaseCount() const { return static_cast<int>(data_->index.phases.size()); }
const PhaseInfo& Database::phase(int index) const { return data_->index.phases[static_cast<std::size_t>(index)]; }
const std::vector<PhaseInfo>& Database::phases() const { return data_->index.phases; }
const std::vector<std::string>& Database::messages() const { return data_->messages; }
const DatabaseIndex& Database::index() const { return data_->index; }

int Database::find(std::string_view text) const {
    const PhaseInfo* p = data_->index.find(text);
    return p == nullptr ? -1 : static_cast<int>(p - data_->index.phases.data());
}

int Database::indexOf(const PhaseInfo& phase) const {
    const std::vector<PhaseInfo>& loaded = data_->index.phases;
    for (std::size_t i = 0; i < loaded.size(); ++i)
        if (loaded[i].sameHeader(phase)) return static_cast<int>(i);
    return -1;
}

}  // namespace pelkam
