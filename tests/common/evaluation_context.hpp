// The evaluator of the property routines together with the point and the
// reaction a test evaluates at, set up field by field as the tests need.
#pragma once

#include "model/gibbs.hpp"

namespace testsupport {

struct EvaluationContext : model::GibbsEvaluator {
    model::PointState point;
    const model::ReactionTerms* reaction = nullptr;  // the reaction the phases are taken in
};

}  // namespace testsupport
