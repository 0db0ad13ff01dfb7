#pragma once

#include <QList>
#include <QString>

#include <functional>

class EventLog;

/// Logs what the simulated devices actually played: at the start of every
/// play it reads the file handed to the device (the workstation's local copy
/// of the message) and writes a "play_start" line with the soak serial at
/// its head; once the play has ended, a "played" line with the file's
/// length, a SHA-1 of its whole contents, that serial and how the play
/// ended. Installed by replacing the "simulated" board and wave device of
/// the registry with the same devices plus this probe.
class PlayProbe
{
public:
    explicit PlayProbe(EventLog &log);
    ~PlayProbe();

    /// Writes the "played" lines of every play that has ended since the
    /// last call.
    void flush();

private:
    struct Started {
        QString device;
        const void *instance; ///< the device, to tell it from a later one
        qsizetype index;      ///< where the device will append this play
        QString file;
        qint64 bytes;
        QString sha1;
        qint64 serial;
    };
    /// One simulated device and how to arm its next call-back.
    struct Device {
        const void *instance = nullptr;
        std::function<void()> arm;
        qsizetype accounted = 0; ///< plays that were seen starting, or were lost
    };
    void installFactories();
    void noteStart(Device &device, const QString &name, qsizetype index, const QString &file);
    void rearmIfLost(Device &device, const void *current, qsizetype plays);

    EventLog &m_log;
    QList<Started> m_started;
    Device m_line;
    Device m_wave;
};
