// The bundled database loaded for tests, independently of the programs.
#pragma once
#include <memory>
#include <string>

#include "model/chemical_system.hpp"
#include "model/phase.hpp"

namespace testsupport {

struct BundledDatabase {
    std::unique_ptr<model::PhaseTable> table = std::make_unique<model::PhaseTable>();
    std::unique_ptr<model::ChemicalSystem> system = std::make_unique<model::ChemicalSystem>();
    std::string messages;  // what the loader wrote to its message unit
    bool ok = false;
};

// Loads data/thermo1988.dat for the chemical system of `elements` (the
// element line as typed), with the given water routine and diagram type, and
// `aqueousFile` (a path; data/empty.aqu when empty) as the aqueous data file.
BundledDatabase loadBundled(const std::string& elements, int waterRoutine = 1, int diagramType = 0,
                            const std::string& aqueousFile = "");

// The path of a file of data/.
std::string bundledFile(const std::string& name);

// 0-based index of the phase named `name` (blank-padding ignored), or -1.
int phaseIndex(const model::PhaseTable& table, const std::string& name);

}  // namespace testsupport
