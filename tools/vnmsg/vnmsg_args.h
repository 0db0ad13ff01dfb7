#pragma once

#include "demo/demo_installation.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

/// A vnmsg command line, parsed without running anything.
struct VnmsgArgs {
    /// "env", "scan", "entities", "make-demo" or "help"; empty when none was
    /// given (an empty word is an error).
    QString command;
    /// What is wrong with the line (printed after "vnmsg: "; exit code 2);
    /// empty when it is fine.
    QString error;
    /// The command's own --help.
    bool help = false;

    QString program = QStringLiteral("VN-Orvak"); ///< env --program
    QString folder;                               ///< scan, entities: the messages folder
    QDateTime now;                                ///< scan --now; invalid: the clock's
    QStringList entities;                         ///< scan --entity
    VNOrvak::DemoOptions demo;                    ///< make-demo
};

/// Parses the words after "vnmsg".
VnmsgArgs parseVnmsgArgs(const QStringList &args);

/// The usage text of "vnmsg help".
extern const char kVnmsgUsage[];
/// The usage line of a command's --help.
QString vnmsgCommandUsage(const QString &command);
