// Activity axes: the axis text typed by the user (a phase name, or a
// quotient of phase activities such as alm/py^2) and its plot label.
#pragma once
#include <string>
#include <string_view>

#include "calc/selection.hpp"
#include "model/phase.hpp"

namespace calc {

enum class AxisParseResult {
    Ok,
    Empty,         // nothing but blanks
    UnknownPhase,  // a term names no phase of the run
    BadExponent,   // ^ or ** not followed by one digit 1..9
    TooManyTerms,  // more than five terms
    Syntax,        // an empty term, a second '/', text after an exponent
};

// Parses one axis text (40 characters) against the phases of `phases`:
// leading blanks are skipped; terms are phase names joined by '*'; one '/'
// separates the numerator terms from the denominator terms; a term may end
// with ^n or **n, n a single digit 1..9; names are compared with the phase
// names (trailing blanks dropped) without regard to letter case; at most five
// terms.  On success `out` receives the text, the members (0-based phase
// indices, exponents negative in the denominator; the first member is the
// principal phase) and the label; on failure `out` is unchanged and
// `badToken`, when given, receives the term that failed.
AxisParseResult parseAxisVariable(std::string_view text, const model::PhaseTable& phases, AxisQuotient& out,
                                  std::string* badToken = nullptr);

// The plot label of an axis: " Log a(" + the text as typed (surrounding
// blanks dropped) + ")", cut to 100 characters and padded with blanks.
std::string axisLabel(std::string_view text);

}  // namespace calc
