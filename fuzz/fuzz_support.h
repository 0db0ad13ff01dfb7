#pragma once

#include "shared/prompter.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

/// What every fuzz target shares: a Qt core application, a quiet prompter
/// (boxes are dropped), and a local folder of its own in a temporary place
/// with the error log switched off unless a target turns it on.
class FuzzWorkstation
{
public:
    static FuzzWorkstation &instance();

    QString folder() const { return m_dir.path() + u'/'; }

private:
    FuzzWorkstation();
    QTemporaryDir m_dir;
};

/// Fails the run (libFuzzer reports the input) when `condition` is false.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            fuzzFailed(#condition, __FILE__, __LINE__);                                            \
    } while (0)

[[noreturn]] void fuzzFailed(const char *what, const char *file, int line);

inline QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}
