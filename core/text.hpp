// Small helpers for fixed-width, blank-padded text fields.
#pragma once
#include <string>
#include <string_view>

namespace core {

// Cut or pad with blanks to exactly n characters.
std::string pad(std::string_view s, std::size_t n);
// A file name in a text field of n columns: padded with blanks when shorter,
// whole (trailing blanks removed) when longer, so that a name is never cut.
std::string nameField(std::string_view name, std::size_t n);
// Without trailing blanks (and without trailing \r or \n).
std::string_view rtrim(std::string_view s);
// Without leading and trailing blanks.
std::string_view trim(std::string_view s);
std::string trimmed(std::string_view s);
std::string upper(std::string_view s);
bool isBlank(std::string_view s);
// Comparisons that ignore letter case.
bool equalBlind(std::string_view a, std::string_view b);
bool startsBlind(std::string_view s, std::string_view prefix);
// A plain decimal number (digits, sign, point, exponent; nothing else, no
// blanks) that is finite; false leaves `out` as it was.
bool parseDecimal(std::string_view text, double& out);
// Position of the first run of `count` blanks at or after `from`, or npos.
std::size_t findBlanks(std::string_view s, std::size_t count, std::size_t from = 0);

}  // namespace core
