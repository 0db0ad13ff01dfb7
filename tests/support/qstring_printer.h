#pragma once

#include <QString>

#include <ostream>

/// How GoogleTest shows a QString in a failure (rather than its bytes). In the
/// global namespace, where argument-dependent lookup finds it for QString; the
/// quotes show an empty string and surrounding white space.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
