#pragma once

#include <QString>
#include <QStringList>

namespace VNOrvak
{

/// The sample host's command line.
struct HostOptions {
    /// The program name given to InitializeForProgram; its first two
    /// characters are the application prefix ("VN" finds the "VNT" folder).
    QString programName = QStringLiteral("VN-Console");
    /// --tour DIR: run the scripted tour, screenshots into DIR, and exit.
    QString tourFolder;
    /// --phone ADDRESS: play the messages on this SIP telephone.
    QString phoneAddress;
    /// What was wrong with the command line; empty when it was fine.
    QString error;
    /// --help was asked for.
    bool help = false;
    /// --version was asked for.
    bool version = false;
};

/// Parses the arguments (without the program's own path).
HostOptions parseHostOptions(const QStringList &args);

/// The text --help prints.
QString hostUsage();

} // namespace VNOrvak
