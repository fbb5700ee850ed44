// The independent reference sets of the aqueous species (copies in
// tests/fixtures/model of the project's shared reference files):
// aqueous-reference-values.csv, chemical potentials (J/mol, log a = 0) with
// the water density and dielectric constant used; aqueous-logk-values.csv,
// log K of reactions among minerals, water and aqueous species.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct AqueousReference {
    std::string file;     // aqueous-hkf.aqu or aqueous-hkf81-fit.aqu
    std::string species;  // name as in the file
    std::string tText, pText;  // as written
    double t = 0, P = 0;  // degrees C, bar
    double mu = 0;        // J/mol
    double rho = 0, eps = 0;  // g/cm3 and dielectric constant; 0 for the electron
};
std::vector<AqueousReference> readAqueousReferences();

struct LogKReference {
    std::string reaction;  // e.g. "1.5 Kfs + H+ = 0.5 Ms + 3 Qz + K+"
    std::string tText, pText;
    double t = 0, P = 0;
    double logK = 0;  // the program convention (this database, Haar water)
};
std::vector<LogKReference> readLogKReferences();

// The terms of a reaction written "a X + b Y = c Z" (blanks around + and =):
// (name upper-cased, coefficient; reactants negative).  "H2(g)" becomes the
// hydrogen gas abbreviation "H2".
std::vector<std::pair<std::string, double>> reactionTerms(const std::string& text);

// The reaction as pelkam-props reads it (hydrogen gas written "H2").
std::string propsReaction(const std::string& text);

}  // namespace testsupport
