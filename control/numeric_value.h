#pragma once

#include <QStringView>

namespace VNOrvak
{

/// The numeric value of a text by the rule of a leading number: blanks, tabs
/// and line ends anywhere are ignored, then an optional sign, digits with an
/// optional decimal point and an optional exponent ("E" or "D"), or a
/// hexadecimal ("&H") or octal ("&O") number; reading stops at the first
/// character that does not fit. 0 when the text holds no number.
double NumericValue(QStringView text);

} // namespace VNOrvak
