#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

/// A telephone system for tests: Debian's kamailio on 127.0.0.1 as
/// registrar and proxy with digest authentication, its users and passwords
/// given at the start. Registrations live in memory, so a restart forgets
/// them, as a real telephone system that restarts without its database
/// does. Bindings last at most `maxExpires` seconds, so that clients
/// refresh them often.
class KamailioProxy
{
public:
    /// Why kamailio cannot run here, or empty.
    static QString missing();

    KamailioProxy() = default;
    ~KamailioProxy();
    KamailioProxy(const KamailioProxy &) = delete;
    KamailioProxy &operator=(const KamailioProxy &) = delete;

    /// Writes the configuration and starts the proxy on a free port.
    bool start(const QMap<QString, QString> &users, int maxExpires = 3);
    /// Stops the proxy (its registrations are gone) and starts it again on
    /// the same port after `downMs`.
    bool restart(int downMs);
    void stop();
    QString failure() const { return m_failure; }

    quint16 port() const { return m_port; }
    /// "127.0.0.1:<port>", for SipServer.
    QString address() const;

    /// How often the proxy has saved a registration of `user` (a first
    /// registration or a refresh), over all its runs.
    int registrations(const QString &user) const;
    /// Waits (event loop running) until `registrations(user)` reaches `times`.
    bool waitForRegistrations(const QString &user, int times, int timeoutMs);
    /// How many INVITEs for `user` the proxy has routed on, over all its runs.
    int routedCalls(const QString &user) const;
    /// Everything the proxy has logged.
    QString log() const;

private:
    bool run();

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_failure;
};
