#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

/// A private PulseAudio server with one null sink "vsink" (8000 Hz mono) as
/// its default sink, in a temporary folder. start() points this process's
/// PULSE_SERVER, XDG_RUNTIME_DIR and HOME at it; it must run before the
/// program first touches QMediaDevices. The destructor shuts the server down.
class PulseNullSink
{
public:
    ~PulseNullSink();

    /// Starts the server and waits (at most a few seconds) until it answers.
    /// False, with failure() saying why, when it cannot run here.
    bool start();
    QString failure() const { return m_failure; }

private:
    bool pactl(const QStringList &args, int timeoutMs = 3000) const;

    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_failure;
};
