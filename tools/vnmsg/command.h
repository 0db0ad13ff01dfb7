#pragma once

#include <QStringList>

#include <cstdio>

// One sub-command of vnmsg: `args` are the words after its name. Returns the
// process's exit code.
using VnmsgCommand = int (*)(const QStringList &args);

int runEnvCommand(const QStringList &args);
int runScanCommand(const QStringList &args);
int runEntitiesCommand(const QStringList &args);
int runMakeDemoCommand(const QStringList &args);

inline void printLine(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
}
inline void printError(const QString &line)
{
    std::fprintf(stderr, "vnmsg: %s\n", qPrintable(line));
}
