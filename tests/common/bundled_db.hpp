// The bundled database loaded for tests, independently of the programs.
#pragma once
#include <memory>
#include <string>

#include "thermodb/chemical_system.hpp"
#include "thermodb/phase.hpp"

namespace testsupport {

struct BundledDatabase {
    std::unique_ptr<thermodb::PhaseTable> table = std::make_unique<thermodb::PhaseTable>();
    std::unique_ptr<thermodb::ChemicalSystem> system = std::make_unique<thermodb::ChemicalSystem>();
    std::string messages;  // what the loader wrote to its message unit
    bool ok = false;
};

// Loads data/thermo1988.dat for the chemical system of `elements` (the
// element line as typed), with the given water routine and diagram type.
BundledDatabase loadBundled(const std::string& elements, int waterRoutine = 1, int diagramType = 0);

// The path of a file of data/.
std::string bundledFile(const std::string& name);

// 0-based index of the phase named `name` (blank-padding ignored), or -1.
int phaseIndex(const thermodb::PhaseTable& table, const std::string& name);

}  // namespace testsupport
