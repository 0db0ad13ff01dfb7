#pragma once

#include <QString>
#include <QStringList>

/// vnworkstation's command line.
struct WorkstationOptions {
    QString program = QStringLiteral("VN-Soak"); ///< --program: the host program name
    QString workstation = QStringLiteral("ws");  ///< --workstation: its name in the log
    QString log = QStringLiteral("-");           ///< --log: JSON lines, "-" standard output
    quint32 seed = 1;                            ///< --seed of the operator's choices
    int seconds = 0;                             ///< --seconds: 0 runs until a signal
    int pollMs = 0;                              ///< --poll-ms: 0 keeps the setting
    int thinkMs = 150;                           ///< --think-ms: mean pause between actions
    int heartbeatMs = 1000;                      ///< --heartbeat-ms: interval of "alive" lines
    bool help = false;                           ///< --help
    /// What is wrong with the command line; empty when it is fine.
    QString error;
};

/// Parses the arguments (without the program's own path). A number that is
/// not one, or out of its range, is an error naming the option.
WorkstationOptions parseWorkstationOptions(const QStringList &args);

/// The text --help prints.
QString workstationUsage();
