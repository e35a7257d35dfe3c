#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace vellomarin {

// Reads the leading number of a box's text. Blanks (space, tab, line feed) are
// skipped wherever they stand; then an optional sign, digits with an optional
// "." part (a leading "." is allowed), and an optional exponent ("E" or "e",
// optional sign, digits). Reading stops at the first other character, and a text
// that does not begin with a number reads as 0. Only these notations: no
// hexadecimal, "inf" or "nan".
//
// Returns nothing when the number lies beyond the range of a double (as "1e999"
// does); a number too small to tell from zero reads as zero.
std::optional<double> ReadLeadingNumber(QStringView text);

} // namespace vellomarin
