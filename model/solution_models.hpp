// Solid-solution models of a run and the end-member activity terms that the
// phase Gibbs energy adds.  Units: P bar, T K, energies J/mol.
#pragma once
#include <array>
#include <string>

namespace model {

constexpr int kMaxModels = 12;
constexpr int kMaxSites = 5;
constexpr int kMaxCations = 6;
constexpr int kMaxEndMembers = 8;
constexpr int kMaxMixingModels = 5;
constexpr int kMaxInteractionTerms = 20;
constexpr int kMaxReciprocalSets = 4;
constexpr int kMaxReciprocalTerms = 4;

struct SiteDefinition {
    int multiplicity = 0;
    int cationCount = 0;
    std::array<std::string, kMaxCations> cations;  // two characters each
};

struct EndMemberDefinition {
    std::string name = std::string(20, ' ');
    double unused = 0;
    // Per site: the cations of the end-member (cation number 1..6 and count n)
    // and the divisor r = multiplicity div n of each cation (1 when absent).
    std::array<int, kMaxSites> entries{};
    std::array<std::array<int, kMaxCations>, kMaxSites> cation{};
    std::array<std::array<int, kMaxCations>, kMaxSites> count{};
    std::array<std::array<double, kMaxCations + 1>, kMaxSites> divisor{};
};

struct MixingModelEntry {
    std::string keyword = std::string(8, ' ');
    std::string description = std::string(30, ' ');
};

struct InteractionTerm {
    std::string code = std::string(6, ' ');
    int site = 0;
    std::array<int, 4> cations{};  // i j k l, 0 = absent
    float wH = 0, wS = 0, wV = 0;   // single precision, as read
};

struct SolutionModel {
    std::string abbreviation = std::string(4, ' ');
    int evaluateExcessEachCall = 0;
    int endMemberCount = 0;
    std::string name = std::string(20, ' ');
    std::array<double, 6> extraParameters{};
    int siteCount = 0;
    std::array<SiteDefinition, kMaxSites> sites;
    std::array<EndMemberDefinition, kMaxEndMembers> endMembers;
    int mixingModelCount = 0;
    std::array<MixingModelEntry, kMaxMixingModels> mixingModels;
    int selectedMixingModel = 0;
    int interactionCount = 0;
    std::array<InteractionTerm, kMaxInteractionTerms> interactionTerms;
    // X(c, s): cation c = 0..6 on site s = 1..5 (index s-1); X(0, s) = 1.
    std::array<std::array<double, kMaxCations + 1>, kMaxSites> siteFractions{};
    std::array<std::array<double, 3>, kMaxEndMembers> excessCoefficients{};  // A, B, C
};

struct ReciprocalTerm {
    int siteA = 0, siteB = 0;
    std::array<int, 4> plusPair{}, minusPair{};
    double g0 = 0, g1 = 0, g2 = 0;
};

struct ReciprocalSet {
    std::string model = std::string(4, ' ');
    int termCount = 0;
    std::array<ReciprocalTerm, kMaxReciprocalTerms> terms;
};

// Streams of the solution-properties file (open only while it is read) and
// of the activity listing "activities".
constexpr int kUnitSolutionFile = 13;
constexpr int kUnitActivities = 14;

// One slot of the solution-model screen: a model with at least one linked
// phase of the run.
constexpr int kMaxModelSlots = 8;
struct ModelSlot {
    int model = 0;                             // 1-based model number
    std::string name = std::string(20, ' ');   // model name
    char useFlag = 'N';                        // 'Y' used, 'N' not
    int variant = 0;                           // chosen mixing variant, 1-based; 0 none
};

// The plot labels of a composition file: its name, each model used with its
// variant, the lines of the fixed-activity block (40 characters each).  The
// plot file has room for ten.
constexpr int kMaxCompositionLabels = 10;

// The composition choice of a run: which models are used, with which
// variant, and the composition file that gives their site fractions.
struct CompositionSet {
    std::string fileName = std::string(40, ' ');  // blank when no model is used
    int slotCount = 0;
    std::array<ModelSlot, kMaxModelSlots> slots;
    bool anyModelUsed = false;
    // Filled when the composition file is read.
    int labelCount = 0;
    std::array<std::string, kMaxCompositionLabels> labels;
    std::array<int, kMaxModelSlots> valueLine{};  // line of each used slot's value line in the file
};

// The solution models of a run.
struct SolutionModelSet {
    int count = 0;
    std::array<SolutionModel, kMaxModels> models;
    int reciprocalCount = 0;
    std::array<ReciprocalSet, kMaxReciprocalSets> reciprocal;
    // The choice made on the solution-model screen (not touched by the
    // reading of the solution-properties file).
    CompositionSet composition;
};

// The two terms the phase Gibbs energy adds for a phase linked to a model
// (model/activity.hpp has the routines behind them).  P bar, T K.
// RT ln a of end-member `endMember` of model `model` (both 1-based), J/mol;
// 0 for a model number outside the table.
double endMemberActivityTerm(const SolutionModelSet& set, double P, double T, int model, int endMember);
// The reciprocal contribution of the end-member for reciprocal set `recip`
// (1-based), J/mol; 0 for a set or model outside the table.
double reciprocalTerm(const SolutionModelSet& set, double P, double T, int model, int endMember, int recip);

}  // namespace model
