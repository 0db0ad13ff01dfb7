#pragma once

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QVector>

/// The operator's telephone for tests: a baresip user agent on 127.0.0.1 in
/// a folder of its own, driven over its control socket. It records what it
/// hears (its sndfile module) and speaks a given sound. Needs the Debian
/// package baresip; missing() says when it cannot run here.
class BaresipPhone : public QObject
{
    Q_OBJECT
public:
    struct Options {
        /// "auto" answers at once; "manual" lets it ring.
        QString answerMode = QStringLiteral("auto");
        /// The codecs it accepts ("pcmu", "pcma", "pcmu,pcma").
        QString codecs = QStringLiteral("pcmu");
        /// What it says into a call (8000 Hz); silence follows it.
        QVector<qint16> speech;
        /// Refuse every call while it rings (486 Busy Here).
        bool rejectCalls = false;
        /// How long a call may last: the phone hangs up when its sound runs out.
        int callSeconds = 60;
        /// Registers as extension `user` (password `password`) at the
        /// telephone system on 127.0.0.1:`registrarPort`; 0: no registration.
        quint16 registrarPort = 0;
        QString user;
        QString password;
    };

    /// Why no phone can run here (baresip or its modules missing), or empty.
    static QString missing();

    BaresipPhone();
    ~BaresipPhone() override;

    /// Starts the phone and connects to its control socket (bounded wait).
    bool start(const Options &options);
    QString failure() const { return m_failure; }

    /// "phone@127.0.0.1:<port>", to dial.
    QString address() const;
    quint16 sipPort() const { return m_sipPort; }

    /// Presses a key on the keypad (RFC 4733 event).
    void pressKey(QChar key);
    void hangUp();
    void dial(const QString &uri);

    /// Event types seen so far ("CALL_INCOMING", "CALL_ESTABLISHED", "CALL_CLOSED", ...).
    QStringList events() const;
    int count(const QString &type) const;
    /// Waits (event loop running, at most `timeoutMs`) until `type` has
    /// been seen `times` times in all.
    bool waitFor(const QString &type, int times = 1, int timeoutMs = 5000);
    /// The "param" of the last event of `type` (the reason of CALL_CLOSED).
    QString param(const QString &type) const;

    /// Forgets the recordings made so far.
    void clearRecordings();
    /// What the phone heard in its last call, at 8000 Hz.
    QVector<qint16> heard() const;
    /// Waits (at most `timeoutMs`) until the phone has heard `samples`
    /// samples in its current call; what it heard.
    QVector<qint16> waitHeard(qsizetype samples, int timeoutMs = 3000);
    /// What the phone heard once `more` samples beyond what it has heard
    /// now have arrived: called when a play has returned, everything the
    /// play sent has then crossed the phone's jitter buffer.
    QVector<qint16> waitHeardMore(qsizetype more = 4000)
    {
        return waitHeard(heard().size() + more);
    }

private:
    void send(const QString &command, const QString &params = {});
    void onData();

    QTemporaryDir m_dir;
    QProcess m_process;
    QTcpSocket m_control;
    QByteArray m_buffer;
    QList<QJsonObject> m_events;
    Options m_options;
    quint16 m_sipPort = 0;
    quint16 m_controlPort = 0;
    QString m_failure;
    int m_token = 0;
};

/// A port on 127.0.0.1 that is free now for UDP and TCP, and the one above it too.
quint16 freeLoopbackPort();

/// The samples of a 16-bit mono WAV file (what follows its "data" chunk
/// header, whatever length the header claims).
QVector<qint16> readWavSamples(const QString &path);
/// Writes 16-bit mono samples at `rate` as a WAV file.
bool writeWavFile(const QString &path, const QVector<qint16> &samples, int rate = 8000);
