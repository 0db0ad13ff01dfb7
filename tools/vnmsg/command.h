#pragma once

#include "vnmsg_args.h"

#include <QStringList>

#include <cstdio>

// One sub-command of vnmsg, on its parsed command line. Returns the
// process's exit code.
using VnmsgCommand = int (*)(const VnmsgArgs &args);

/// The exit codes every command keeps to.
enum VnmsgExit : int {
    kExitOk = 0,
    kExitFailed = 1,  ///< it failed (a message on standard error), or a name did
    kExitUsage = 2,   ///< the command line is wrong
    kExitMissing = 3, ///< the folder or the installation is missing
};

int runEnvCommand(const VnmsgArgs &args);
int runScanCommand(const VnmsgArgs &args);
int runEntitiesCommand(const VnmsgArgs &args);
int runMakeDemoCommand(const VnmsgArgs &args);
int runListCommand(const VnmsgArgs &args);
int runMarkCommand(const VnmsgArgs &args);
int runExportCommand(const VnmsgArgs &args);
int runPlayCommand(const VnmsgArgs &args);
int runPurgeCommand(const VnmsgArgs &args);
int runLogCommand(const VnmsgArgs &args);
int runHeardCommand(const VnmsgArgs &args);

inline void printLine(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
}
inline void printError(const QString &line)
{
    std::fprintf(stderr, "vnmsg: %s\n", qPrintable(line));
}
