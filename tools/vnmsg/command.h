#pragma once

#include "vnmsg_args.h"

#include <QStringList>

#include <cstdio>

// One sub-command of vnmsg, on its parsed command line. Returns the
// process's exit code.
using VnmsgCommand = int (*)(const VnmsgArgs &args);

int runEnvCommand(const VnmsgArgs &args);
int runScanCommand(const VnmsgArgs &args);
int runEntitiesCommand(const VnmsgArgs &args);
int runMakeDemoCommand(const VnmsgArgs &args);

inline void printLine(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
}
inline void printError(const QString &line)
{
    std::fprintf(stderr, "vnmsg: %s\n", qPrintable(line));
}
