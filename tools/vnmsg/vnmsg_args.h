#pragma once

#include "demo/demo_installation.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

/// Which messages `vnmsg list` shows.
enum class VnmsgStates { All, New, Heard };
/// How `vnmsg list` and `vnmsg heard` print their rows.
enum class VnmsgFormat { Table, Json, Csv };

/// A vnmsg command line, parsed without running anything.
struct VnmsgArgs {
    /// One of vnmsgCommands(), or "help"; empty when none was given (an empty
    /// word is an error).
    QString command;
    /// What is wrong with the line (printed after "vnmsg: "; exit code 2);
    /// empty when it is fine.
    QString error;
    /// The command's own --help.
    bool help = false;
    /// --version (command "version").
    bool version = false;

    QString program = QStringLiteral("VN-Orvak"); ///< env --program
    /// scan, entities, list: the messages folder; mark-heard, mark-new,
    /// export, play, purge: --dir. Empty: the installation's.
    QString folder;
    QDateTime now;             ///< scan --now; invalid: the clock's
    QStringList entities;      ///< scan --entity
    VNOrvak::DemoOptions demo; ///< make-demo

    QString entity;                          ///< list, heard --entity: nine digits, or empty
    VnmsgStates states = VnmsgStates::All;   ///< list --new / --heard
    VnmsgFormat format = VnmsgFormat::Table; ///< list --json / --csv, heard --json
    QStringList names;                       ///< mark-heard, mark-new, export, play
    QString wavFile;                         ///< export --wav
    int olderThanDays = -1;                  ///< purge --older-than
    bool includeNew = false;                 ///< purge --include-new
    bool dryRun = false;                     ///< purge --dry-run
    QDateTime since;                         ///< log, heard --since; invalid: all
    bool follow = false;                     ///< log --follow
    int port = -1;                           ///< log --port; -1: the error log
};

/// Parses the words after "vnmsg".
VnmsgArgs parseVnmsgArgs(const QStringList &args);

/// The commands vnmsg knows, in the order the usage lists them.
const QStringList &vnmsgCommands();

/// The usage text of "vnmsg help" and "vnmsg --help".
extern const char kVnmsgUsage[];
/// A command's --help: what it does, its usage, options and examples.
QString vnmsgCommandUsage(const QString &command);
