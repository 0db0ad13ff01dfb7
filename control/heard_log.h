#pragma once

#include "message_control_core.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace VNOrvak
{

/// One line of a heard log: a workstation marked a message heard (or tried).
struct HeardLogEntry {
    QDateTime time; ///< UTC, whole seconds
    QString host;
    QString program;
    QString entity;  ///< nine digits
    QString message; ///< the 12-character name the mark started from
    QString outcome; ///< heardOutcomeName(), or "MarkedNew" for an administrator's mark-new
};

/// The heard logs' folder in the data folder `dataPath` (ending with "/"):
/// "<dataPath>heard/".
QString heardLogFolder(const QString &dataPath);
/// The file of one workstation's program in that folder:
/// "<host>-<program>.txt", with every character but letters, digits, "." and
/// "-" as "_". One writer per file, so no locking on the share.
QString heardLogFileName(const QString &host, const QString &program);
/// The outcome's name in the log ("Renamed", "HeardElsewhere", ...).
QString heardOutcomeName(HeardOutcome outcome);
/// "<time ISO 8601 UTC>\t<host>\t<program>\t<entity>\t<message>\t<outcome>\n"
/// (tabs and line breaks inside a field become blanks).
QByteArray formatHeardLogLine(const HeardLogEntry &entry);
/// The entry of one line (without its line end); nothing for a line of
/// another form (a line cut short by a full disk, say).
std::optional<HeardLogEntry> parseHeardLogLine(QStringView line);

/// Appends a line to this workstation's heard log for every message the
/// control marks heard (connected to MessageControlCore::MarkedHeard). The
/// lines are written by a thread of their own, so a slow or unreachable
/// share never delays a playback, and a write that fails never fails one:
/// the first failure is written to the error log once, with the file and the
/// reason; after a write succeeds again the next failure is logged again.
class HeardLog : public QObject
{
    Q_OBJECT
public:
    explicit HeardLog(QObject *parent = nullptr);
    /// Waits a moment (kCloseWaitMs) for lines still being written; a share
    /// that does not answer does not hold up the program longer.
    ~HeardLog() override;

    static constexpr int kCloseWaitMs = 2000;

    /// Where the log goes: the data folder `dataPath` (gsDataPath), the
    /// program (as given to InitializeForProgram) and this machine's name.
    /// Nothing is written until it is set.
    void setPlace(const QString &dataPath, const QString &program, const QString &host = QString());
    /// The file lines go to; empty before setPlace().
    QString filePath() const { return m_path; }

    /// Queues the line of the mark of `name` with `outcome`; never blocks on
    /// the file system, never throws.
    void record(const QString &name, const QString &outcome);
    void recordOutcome(const QString &name, VNOrvak::HeardOutcome outcome);

    /// Waits until every queued line has been written or has failed, at most
    /// `ms` milliseconds (monotonic). True when nothing is left.
    bool waitWritten(int ms);

private:
    struct Writer;
    std::shared_ptr<Writer> m_writer;
    QString m_path;
    QString m_host;
    QString m_program;
};

} // namespace VNOrvak
