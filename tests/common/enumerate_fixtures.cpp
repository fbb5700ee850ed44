#include "common/enumerate_fixtures.hpp"

#include "common/bundled_db.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "core/text.hpp"
#include "io/database.hpp"
#include "io/streams.hpp"
#include "model/chemical_system.hpp"

namespace enumerate_test {

namespace {

// Reduced row echelon form in place; returns the pivot columns.
std::vector<int> rref(std::vector<Row>& m, double tol = 1e-9) {
    std::vector<int> pivots;
    const int rows = static_cast<int>(m.size());
    const int cols = rows ? static_cast<int>(m[0].size()) : 0;
    int r = 0;
    for (int c = 0; c < cols && r < rows; ++c) {
        int best = r;
        for (int i = r + 1; i < rows; ++i)
            if (std::fabs(m[i][c]) > std::fabs(m[best][c])) best = i;
        if (std::fabs(m[best][c]) <= tol) continue;
        std::swap(m[r], m[best]);
        const double p = m[r][c];
        for (double& v : m[r]) v /= p;
        for (int i = 0; i < rows; ++i) {
            if (i == r || m[i][c] == 0.0) continue;
            const double f = m[i][c];
            for (int j = 0; j < cols; ++j) m[i][j] -= f * m[r][j];
        }
        pivots.push_back(c);
        ++r;
    }
    return pivots;
}

// Null vector of the columns (one column per member row of `rows`), when
// the nullity is one.
Row nullVector(const std::vector<Row>& rows) {
    const int s = static_cast<int>(rows.size());
    const int comps = static_cast<int>(rows[0].size());
    std::vector<Row> m(comps, Row(s, 0.0));
    for (int i = 0; i < s; ++i)
        for (int j = 0; j < comps; ++j) m[j][i] = rows[i][j];
    std::vector<int> piv = rref(m);
    int free = -1;
    for (int c = 0; c < s && free < 0; ++c)
        if (std::find(piv.begin(), piv.end(), c) == piv.end()) free = c;
    Row x(s, 0.0);
    x[free] = 1.0;
    for (std::size_t r = 0; r < piv.size(); ++r) x[piv[r]] = -m[r][free];
    return x;
}

}  // namespace

int rank(const std::vector<Row>& rows) {
    if (rows.empty()) return 0;
    std::vector<Row> m = rows;
    return static_cast<int>(rref(m).size());
}

std::unique_ptr<PhaseSet> bundledPhases(const std::string& elements, const std::vector<std::string>& abbreviations) {
    auto set = std::make_unique<PhaseSet>();
    // Water routine 2 keeps water's database values.
    testsupport::BundledDatabase db = testsupport::loadBundled(elements, 2);
    if (!db.ok) return nullptr;
    const std::unique_ptr<model::PhaseTable>& loaded = db.table;
    const std::unique_ptr<model::ChemicalSystem>& system = db.system;

    set->table = *loaded;  // keeps the lambda and disorder records the phases refer to
    auto compacted = std::make_unique<model::ChemicalSystem>(*system);
    set->table.count = 0;
    std::vector<Row> rows;
    for (const std::string& a : abbreviations) {
        int found = -1;
        for (int i = 0; i < loaded->count && found < 0; ++i)
            if (core::trim((*loaded)[i].abbreviation) == a) found = i;
        if (found < 0) return nullptr;
        set->table[set->table.count] = (*loaded)[found];
        compacted->stoichiometry[set->table.count++] = system->stoichiometry[found];
        rows.emplace_back(system->stoichiometry[found].begin(),
                          system->stoichiometry[found].begin() + system->elementCount);
    }
    // Components: the columns some chosen phase has.
    set->composition.assign(rows.size(), Row());
    for (int j = 0; j < system->elementCount; ++j) {
        bool used = false;
        for (const Row& r : rows) used = used || std::fabs(r[j]) > 1e-4;
        for (std::size_t i = 0; used && i < rows.size(); ++i) set->composition[i].push_back(rows[i][j]);
        set->components += used ? 1 : 0;
    }
    set->system = std::move(compacted);
    return set;
}

std::unique_ptr<PhaseSet> madeUpPhases(const std::vector<Row>& composition, const std::vector<std::string>& abbreviations) {
    auto set = std::make_unique<PhaseSet>();
    set->composition = composition;
    set->components = composition.empty() ? 0 : static_cast<int>(composition[0].size());
    set->table.count = static_cast<int>(composition.size());
    for (int i = 0; i < set->table.count; ++i) {
        const std::string a = i < static_cast<int>(abbreviations.size()) ? abbreviations[i] : "P" + std::to_string(i + 1);
        set->table[i].abbreviation = core::pad(a, 8);
        set->table[i].name = core::pad("PHASE " + a, 20);
        set->table[i].normalisingWeight = composition[i].empty() ? 0 : composition[i][0];
    }
    return set;
}

calc::PhaseSelection selectionFor(const PhaseSet& set, const std::vector<int>& preference) {
    calc::PhaseSelection sel;
    const int n = set.table.count;
    const int C = set.components;
    sel.mainCount = n;
    for (int i = 0; i < n; ++i) sel.optionCode[i] = calc::kInclude;

    std::vector<int> order = preference;
    if (order.empty())
        for (int i = 0; i < n; ++i) order.push_back(i);
    std::vector<Row> basisRows;
    std::vector<int> positions;
    for (int i : order) {
        if (static_cast<int>(basisRows.size()) == C) break;
        std::vector<Row> trial = basisRows;
        trial.push_back(set.composition[i]);
        if (rank(trial) > static_cast<int>(basisRows.size())) {
            basisRows = trial;
            positions.push_back(i);
        }
    }
    for (int j = 0; j < C && static_cast<int>(basisRows.size()) < C; ++j) {
        Row unit(C, 0.0);
        unit[j] = 1.0;
        std::vector<Row> trial = basisRows;
        trial.push_back(unit);
        if (rank(trial) > static_cast<int>(basisRows.size())) {
            basisRows = trial;
            positions.push_back(-1);
        }
    }
    sel.basis.componentCount = C;
    for (int p = 0; p < C; ++p) sel.basis.phase[p] = positions[p];
    // Coordinates x of each phase: x B = composition, i.e. B^T x = composition^T.
    for (int i = 0; i < n; ++i) {
        std::vector<Row> aug(C, Row(C + 1, 0.0));
        for (int r = 0; r < C; ++r) {
            for (int c = 0; c < C; ++c) aug[r][c] = basisRows[c][r];
            aug[r][C] = set.composition[i][r];
        }
        rref(aug);
        for (int p = 0; p < C; ++p) {
            const double v = aug[p][C];
            sel.basis.coords[i][p] = std::fabs(v) <= 0.001 ? 0.0 : v;
        }
    }
    return sel;
}

Row normalised(const Row& c) {
    double big = 0.0;
    for (double v : c) big = std::max(big, std::fabs(v));
    Row out = c;
    if (big == 0.0) return out;
    double sign = 1.0;
    for (double v : c)
        if (std::fabs(v) > 1e-9 * big) {
            sign = v < 0 ? 1.0 : -1.0;
            break;
        }
    for (double& v : out) {
        v = sign * v / big;
        if (std::fabs(v) < 1e-9) v = 0.0;
    }
    return out;
}

std::vector<Row> minimalReactions(const std::vector<Row>& composition) {
    const int n = static_cast<int>(composition.size());
    const int C = n ? static_cast<int>(composition[0].size()) : 0;
    std::vector<Row> out;
    for (unsigned mask = 1; mask < (1u << n); ++mask) {
        const int s = __builtin_popcount(mask);
        if (s < 2 || s > C + 1) continue;
        std::vector<int> members;
        std::vector<Row> rows;
        for (int i = 0; i < n; ++i)
            if (mask & (1u << i)) {
                members.push_back(i);
                rows.push_back(composition[i]);
            }
        if (rank(rows) != s - 1) continue;
        bool minimal = true;
        for (int drop = 0; drop < s && minimal; ++drop) {
            std::vector<Row> sub;
            for (int k = 0; k < s; ++k)
                if (k != drop) sub.push_back(rows[k]);
            minimal = rank(sub) == s - 1;
        }
        if (!minimal) continue;
        Row x = nullVector(rows);
        Row full(n, 0.0);
        for (int k = 0; k < s; ++k) full[members[k]] = x[k];
        out.push_back(normalised(full));
    }
    return out;
}

std::string describe(const Row& c) {
    std::ostringstream o;
    o << "(";
    for (std::size_t i = 0; i < c.size(); ++i) o << (i ? ", " : "") << c[i];
    o << ")";
    return o.str();
}

bool sameSets(std::vector<Row> a, std::vector<Row> b, std::string& why, double tol) {
    auto equal = [tol](const Row& x, const Row& y) {
        for (std::size_t k = 0; k < x.size(); ++k)
            if (std::fabs(x[k] - y[k]) > tol) return false;
        return x.size() == y.size();
    };
    // Every vector of each list has its own partner in the other.
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<bool> used(b.size(), false);
        for (const Row& r : a) {
            std::size_t j = 0;
            while (j < b.size() && (used[j] || !equal(r, b[j]))) ++j;
            if (j == b.size()) {
                why = std::string(pass ? "only in the second: " : "only in the first: ") + describe(r);
                return false;
            }
            used[j] = true;
        }
        std::swap(a, b);
    }
    return true;
}

std::vector<Row> enumerate(const model::PhaseTable& table, const calc::PhaseSelection& sel,
                           calc::PrunedAssemblageList* pruned, calc::EnumerationResult* result,
                           std::vector<std::string>* texts) {
    calc::PrunedAssemblageList none;
    calc::EnumerationResult local;
    io::Streams streams;
    std::vector<Row> rows;
    calc::ReactionSink sink = [&](calc::Reaction& r) {
        rows.emplace_back(r.coef.begin(), r.coef.begin() + table.count);
        if (texts) texts->push_back(r.text);
        return core::Status::success();
    };
    calc::EnumerateReactions(table, sel, pruned ? *pruned : none, calc::EnumerationOptions{}, streams,
                                  sink, nullptr, result ? *result : local);
    return rows;
}

}  // namespace enumerate_test
