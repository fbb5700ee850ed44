#include <gtest/gtest.h>

#include <memory>

#include "calc/axis.hpp"
#include "core/text.hpp"

using calc::AxisParseResult;
using calc::AxisQuotient;
using calc::parseAxisVariable;

namespace {

std::unique_ptr<model::PhaseTable> table() {
    auto t = std::make_unique<model::PhaseTable>();
    const char* names[] = {"QUARTZ", "ALM", "PY", "GROSS", "CARBON DIOXIDE", "AN", "AB"};
    for (const char* n : names) (*t)[t->count++].name = std::string(n) + std::string(20 - std::string(n).size(), ' ');
    return t;
}

}  // namespace

TEST(AxisVariable, QuotientInAnyLetterCase) {
    auto t = table();
    for (const char* text : {"alm/py^2", "ALM/PY^2", "  Alm / pY ^ 2"}) {
        AxisQuotient q;
        ASSERT_EQ(parseAxisVariable(text, *t, q), AxisParseResult::Ok) << text;
        ASSERT_EQ(q.memberCount, 2);
        EXPECT_EQ(q.phase[0], 1);  // ALM, the principal phase
        EXPECT_EQ(q.exponent[0], 1);
        EXPECT_EQ(q.phase[1], 2);  // PY
        EXPECT_EQ(q.exponent[1], -2);
    }
}

TEST(AxisVariable, ProductsDoubleAsteriskExponentsAndNamesWithBlanks) {
    auto t = table();
    AxisQuotient q;
    ASSERT_EQ(parseAxisVariable("gross**3*py/alm**2*carbon dioxide", *t, q), AxisParseResult::Ok);
    ASSERT_EQ(q.memberCount, 4);
    EXPECT_EQ(q.phase[0], 3);
    EXPECT_EQ(q.exponent[0], 3);
    EXPECT_EQ(q.phase[1], 2);
    EXPECT_EQ(q.exponent[1], 1);
    EXPECT_EQ(q.phase[2], 1);
    EXPECT_EQ(q.exponent[2], -2);
    EXPECT_EQ(q.phase[3], 4);
    EXPECT_EQ(q.exponent[3], -1);
    EXPECT_EQ(q.text, std::string("gross**3*py/alm**2*carbon dioxide") + std::string(7, ' '));
}

TEST(AxisVariable, SinglePhaseAndLabel) {
    auto t = table();
    AxisQuotient q;
    ASSERT_EQ(parseAxisVariable("  quartz", *t, q), AxisParseResult::Ok);
    EXPECT_EQ(q.memberCount, 1);
    EXPECT_EQ(q.phase[0], 0);
    EXPECT_EQ(q.exponent[0], 1);
    EXPECT_EQ(core::rtrim(q.label), " Log a(quartz)");
    EXPECT_EQ(q.label.size(), 100u);
}

TEST(AxisVariable, Failures) {
    auto t = table();
    AxisQuotient q;
    std::string bad;
    EXPECT_EQ(parseAxisVariable("alm^0", *t, q), AxisParseResult::BadExponent);
    EXPECT_EQ(parseAxisVariable("alm**0/py", *t, q), AxisParseResult::BadExponent);
    EXPECT_EQ(parseAxisVariable("alm^12", *t, q), AxisParseResult::BadExponent);
    EXPECT_EQ(parseAxisVariable("alm^", *t, q), AxisParseResult::BadExponent);
    EXPECT_EQ(parseAxisVariable("alm*py*gross/an*ab*quartz", *t, q), AxisParseResult::TooManyTerms);
    EXPECT_EQ(parseAxisVariable("alm*py*gross/an*ab", *t, q), AxisParseResult::Ok);  // five terms are allowed
    EXPECT_EQ(parseAxisVariable("alm/py/gross", *t, q), AxisParseResult::Syntax);
    EXPECT_EQ(parseAxisVariable("alm*", *t, q), AxisParseResult::Syntax);
    EXPECT_EQ(parseAxisVariable("/py", *t, q), AxisParseResult::Syntax);
    EXPECT_EQ(parseAxisVariable("    ", *t, q), AxisParseResult::Empty);
    EXPECT_EQ(parseAxisVariable("alm/spinel", *t, q, &bad), AxisParseResult::UnknownPhase);
    EXPECT_EQ(bad, "spinel");
    // A failure leaves the quotient as it was.
    AxisQuotient before;
    ASSERT_EQ(parseAxisVariable("an", *t, before), AxisParseResult::Ok);
    q = before;
    EXPECT_NE(parseAxisVariable("an/nothing", *t, q), AxisParseResult::Ok);
    EXPECT_EQ(q.memberCount, 1);
    EXPECT_EQ(q.phase[0], 5);
}
