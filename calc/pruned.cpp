#include "calc/pruned.hpp"

#include <cmath>

namespace calc {

namespace {

using Presence = std::array<bool, model::kMaxPhases>;

bool valid(int phase) { return phase >= 0 && phase < model::kMaxPhases; }

Presence presence(std::span<const int> phases) {
    Presence in{};
    for (int p : phases)
        if (valid(p)) in[static_cast<std::size_t>(p)] = true;
    return in;
}

bool entryWithinSet(const PrunedAssemblageList& list, int e, const Presence& in) {
    const auto& entry = list.phases[static_cast<std::size_t>(e)];
    const int len = list.length[static_cast<std::size_t>(e)];
    for (int m = 0; m < len; ++m) {
        const int p = entry[static_cast<std::size_t>(m)];
        if (!valid(p) || !in[static_cast<std::size_t>(p)]) return false;
    }
    return true;
}

int occupied(const PrunedAssemblageList& list) {
    return list.count < 0 ? 0 : list.count > kMaxPruned ? kMaxPruned : list.count;
}

}  // namespace

bool entryWithin(const PrunedAssemblageList& list, int e, std::span<const int> phases) {
    if (e < 0 || e >= occupied(list)) return false;
    return entryWithinSet(list, e, presence(phases));
}

bool coversSomeEntry(const PrunedAssemblageList& list, std::span<const int> phases) {
    const Presence in = presence(phases);
    for (int e = 0; e < occupied(list); ++e)
        if (entryWithinSet(list, e, in)) return true;
    return false;
}

bool contains(const PrunedAssemblageList& list, std::span<const int> phases) {
    const Presence in = presence(phases);
    int distinct = 0;
    for (int p = 0; p < model::kMaxPhases; ++p) distinct += in[static_cast<std::size_t>(p)] ? 1 : 0;
    for (int e = 0; e < occupied(list); ++e) {
        // Entries hold no repeated phases, so equal sets have equal lengths.
        if (list.length[static_cast<std::size_t>(e)] == distinct && entryWithinSet(list, e, in)) return true;
    }
    return false;
}

void addPrunedAssemblage(PrunedAssemblageList& list, std::span<const int> phases) {
    list.count = occupied(list);
    // The new assemblage, without repeats, in the order given.
    Presence seen{};
    std::array<int, model::kMaxPhases> fresh{};
    int n = 0;
    for (int p : phases) {
        if (!valid(p) || seen[static_cast<std::size_t>(p)]) continue;
        seen[static_cast<std::size_t>(p)] = true;
        fresh[static_cast<std::size_t>(n++)] = p;
    }

    const int slot = list.count < kMaxPruned ? list.count : 0;
    list.length[static_cast<std::size_t>(slot)] = n;
    list.phases[static_cast<std::size_t>(slot)] = fresh;
    if (slot == list.count) ++list.count;

    // Close up the list over every other entry that contains the new one.
    int kept = 0;
    for (int e = 0; e < list.count; ++e) {
        bool drop = false;
        if (e != slot) {
            // The entry contains the new assemblage when every new phase is in it.
            Presence inEntry{};
            const auto& entry = list.phases[static_cast<std::size_t>(e)];
            for (int m = 0; m < list.length[static_cast<std::size_t>(e)]; ++m)
                if (valid(entry[static_cast<std::size_t>(m)]))
                    inEntry[static_cast<std::size_t>(entry[static_cast<std::size_t>(m)])] = true;
            drop = true;
            for (int m = 0; m < n && drop; ++m) drop = inEntry[static_cast<std::size_t>(fresh[static_cast<std::size_t>(m)])];
        }
        if (drop) continue;
        if (kept != e) {
            list.length[static_cast<std::size_t>(kept)] = list.length[static_cast<std::size_t>(e)];
            list.phases[static_cast<std::size_t>(kept)] = list.phases[static_cast<std::size_t>(e)];
        }
        ++kept;
    }
    list.count = kept;
}

bool IsPruned(const PrunedAssemblageList& list, const double* coef, int n) {
    if (coef == nullptr) return false;
    Presence in{};
    const int m = n < 0 ? 0 : n > model::kMaxPhases ? model::kMaxPhases : n;
    for (int i = 0; i < m; ++i) in[static_cast<std::size_t>(i)] = std::fabs(coef[i]) > 0.001;
    for (int e = 0; e < occupied(list); ++e)
        if (entryWithinSet(list, e, in)) return true;
    return false;
}

}  // namespace calc
