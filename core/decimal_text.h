// Reading a decimal number text with "." as decimal point, whatever the locale.
#pragma once

#include <string_view>

namespace vortan {

// True when the whole text is a plain decimal: an optional sign, digits with at most one "."
// (at least one digit), and an optional exponent (E or e, an optional sign, digits).
bool IsPlainDecimal(std::string_view text);

// The value of a plain decimal text: an optional sign, digits with at most one ".", and an
// optional exponent; the caller has checked this form (IsPlainDecimal).
// Correctly rounded; a value beyond the range of a double gives +-infinity and one below its
// smallest subnormal gives +-0 (told apart by the decimal order of magnitude, not by the C
// library, whose strtod follows the locale's decimal point).
double ReadDecimal(std::string_view number);

// The fast path for the plain numbers of coordinate and grid files: once the sign is off and
// the text begins with a digit or ".", std::from_chars reads exactly the plain-decimal grammar.
// True, with the value, when it reads the whole text within range; false leaves the text to
// the full rules (IsPlainDecimal, ReadDecimal) of the caller.
bool ReadPlainDecimalFast(std::string_view text, double& value);

}  // namespace vortan
