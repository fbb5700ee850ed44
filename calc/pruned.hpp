// Helpers of the pruned-assemblage list: adding an assemblage, and asking
// whether a phase set holds every phase of some entry.
#pragma once
#include <span>

#include "calc/reaction.hpp"

namespace calc {

// Whether entry `e` of the list has every one of its phases among `phases`
// (0-based phase indices, any order).
bool entryWithin(const PrunedAssemblageList& list, int e, std::span<const int> phases);

// Whether some entry of the list lies wholly within `phases`.  An empty entry
// lies within every phase set.
bool coversSomeEntry(const PrunedAssemblageList& list, std::span<const int> phases);

// Whether the list holds an entry with exactly these phases (as a set).
bool contains(const PrunedAssemblageList& list, std::span<const int> phases);

// Records an assemblage.  It goes to the next free slot, or replaces the
// entry of slot 1 when all slots are taken.  Every other entry that contains
// all phases of the new one is then removed and the list closed up, so an
// entry equal to the new one does not stay twice, and an empty new assemblage
// removes every other entry.  Phase indices outside 0..kMaxPhases-1 and
// repeated indices are dropped from the new assemblage.
void addPrunedAssemblage(PrunedAssemblageList& list, std::span<const int> phases);

// Whether the reaction (one coefficient per loaded phase, `n` of them)
// contains every phase of some entry, a phase counting when the magnitude of
// its coefficient exceeds 0.001.
bool IsPruned(const PrunedAssemblageList& list, const double* coef, int n);

}  // namespace calc
