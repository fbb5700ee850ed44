// Solution models: the activities of end-members at the composition of a
// mineral composition file, for the phases of a database.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pelkam/database.hpp"
#include "pelkam/error.hpp"

namespace pelkam {

// The models to use: each by its code (up to four characters, e.g. "GARN")
// with a variant keyword (empty: the model's first variant); or every model
// of the solution file that has a composition in the composition file, each
// with its first variant.
struct SolutionChoice {
    bool all = false;
    struct Model {
        std::string code;
        std::string variant;
    };
    std::vector<Model> models;
};

namespace detail {
struct SolutionData;
}

// The chosen models with their site fractions, and the phases of a database
// linked to them: a phase whose name, up to its first blank, is an
// end-member of a chosen model gets that end-member's activity; the
// composition file's fixed-activity block applies as well.  Immutable.
class SolutionModels {
public:
    // The lines the solution-file reader wrote, in its own words.
    const std::vector<std::string>& messages() const;
    // Whether phase `phase` (Database index) is linked to a model.
    bool linked(int phase) const;
    // An end-member whose ideal activity at the file's composition is below
    // 1e-6 (or 0): the calculator's message ("**ERROR** X=0 ..."; Data error,
    // `file` the composition file, `value` the model's abbreviation); none
    // when the phase has an activity or no model.
    std::optional<Error> missingActivity(int phase) const;

    const detail::SolutionData& data() const { return *data_; }
    const std::shared_ptr<const detail::SolutionData>& shared() const { return data_; }
    explicit SolutionModels(std::shared_ptr<const detail::SolutionData> data) : data_(std::move(data)) {}

private:
    std::shared_ptr<const detail::SolutionData> data_;
};

// Reads the solution-properties file and the composition file for the
// phases of `database`.  Errors: File when a file cannot be opened (what:
// "cannot open the solution file", "cannot open the composition file"),
// Request for a model or variant the solution file does not have ("no model
// 'X' in FILE", "model X has no variant 'V' (it has A, B)"), Data when a
// file cannot be read (the reader's message, file, line and field).
Result<SolutionModels> loadSolutionModels(const Database& database, const std::string& solutionFile,
                                          const std::string& compositionFile, const SolutionChoice& choice);

}  // namespace pelkam
