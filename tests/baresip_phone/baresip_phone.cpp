#include "baresip_phone.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>
#include <QUdpSocket>
#include <QtEndian>

namespace
{

const QString kModules = QStringLiteral("/usr/lib/baresip/modules");

void putLe(QByteArray &out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
}

bool portFree(quint16 port)
{
    QUdpSocket udp;
    QTcpServer tcp;
    return udp.bind(QHostAddress::LocalHost, port) && tcp.listen(QHostAddress::LocalHost, port);
}

} // namespace

quint16 freeLoopbackPort()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        QUdpSocket probe;
        if (!probe.bind(QHostAddress::LocalHost, 0))
            continue;
        const quint16 port = probe.localPort();
        probe.close();
        if (port < 65535 && portFree(port) && portFree(port + 1))
            return port;
    }
    return 0;
}

QVector<qint16> readWavSamples(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + at + 4);
        if (id == "data") {
            const qsizetype start = at + 8;
            const qsizetype count = (bytes.size() - start) / 2;
            QVector<qint16> samples(count);
            for (qsizetype i = 0; i < count; ++i)
                samples[i] = qFromLittleEndian<qint16>(bytes.constData() + start + 2 * i);
            return samples;
        }
        at += 8 + qsizetype(size) + (size & 1);
    }
    return {};
}

bool writeWavFile(const QString &path, const QVector<qint16> &samples, int rate)
{
    QByteArray out("RIFF");
    const quint32 dataBytes = quint32(samples.size() * 2);
    putLe(out, 36 + dataBytes, 4);
    out.append("WAVEfmt ");
    putLe(out, 16, 4);
    putLe(out, 1, 2); // PCM
    putLe(out, 1, 2); // mono
    putLe(out, quint32(rate), 4);
    putLe(out, quint32(rate * 2), 4);
    putLe(out, 2, 2);
    putLe(out, 16, 2);
    out.append("data");
    putLe(out, dataBytes, 4);
    for (qint16 s : samples)
        putLe(out, quint16(s), 2);
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(out) == out.size();
}

QString BaresipPhone::missing()
{
    if (QStandardPaths::findExecutable(QStringLiteral("baresip")).isEmpty())
        return QStringLiteral("baresip is not installed");
    for (const char *module : {"g711.so", "aufile.so", "sndfile.so", "ctrl_tcp.so", "account.so"}) {
        if (!QFileInfo::exists(kModules + u'/' + QString::fromLatin1(module)))
            return u"baresip module " + QString::fromLatin1(module) + u" is missing";
    }
    return {};
}

BaresipPhone::BaresipPhone()
{
    connect(&m_control, &QTcpSocket::readyRead, this, &BaresipPhone::onData);
}

BaresipPhone::~BaresipPhone()
{
    m_control.abort();
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(1000);
        }
    }
}

bool BaresipPhone::start(const Options &options)
{
    m_options = options;
    if (const QString why = missing(); !why.isEmpty()) {
        m_failure = why;
        return false;
    }
    m_sipPort = freeLoopbackPort();
    m_controlPort = freeLoopbackPort();
    if (m_sipPort == 0 || m_controlPort == 0 || !m_dir.isValid()) {
        m_failure = QStringLiteral("no free port or folder for the phone");
        return false;
    }
    const QString dir = m_dir.path();
    QDir().mkpath(dir + u"/rec");

    // A file source hangs up at its end.
    QVector<qint16> source = options.speech;
    source.resize(qsizetype(options.callSeconds) * 8000, 0);
    if (!writeWavFile(dir + u"/source.wav", source)) {
        m_failure = QStringLiteral("cannot write the phone's source audio");
        return false;
    }
    const QString config = u"sip_listen 127.0.0.1:" + QString::number(m_sipPort) + u"\n" +
                           u"net_interface 127.0.0.1\n"
                           u"audio_player alsa,null\n"
                           u"audio_alert alsa,null\n"
                           u"audio_source aufile," +
                           dir + u"/source.wav\n" + u"module_path " + kModules + u"\n" +
                           u"module g711.so\nmodule alsa.so\nmodule aufile.so\nmodule sndfile.so\n"
                           u"module_tmp account.so\nmodule_app menu.so\nmodule_app ctrl_tcp.so\n"
                           u"ctrl_tcp_listen 127.0.0.1:" +
                           QString::number(m_controlPort) + u"\n" + u"snd_path " + dir + u"/rec\n";
    // Registered at a telephone system as an extension, or reached at its own address.
    const QString identity =
        options.registrarPort
            ? QString(u"<sip:" + options.user + u"@127.0.0.1:" +
                      QString::number(options.registrarPort) + u">;auth_pass=" + options.password +
                      u";regint=60")
            : QString(u"<sip:phone@127.0.0.1:" + QString::number(m_sipPort) + u">;regint=0");
    const QString account = identity + u";answermode=" + options.answerMode + u";audio_codecs=" +
                            options.codecs + u"\n";
    QFile c(dir + u"/config");
    QFile a(dir + u"/accounts");
    if (!c.open(QIODevice::WriteOnly) || !a.open(QIODevice::WriteOnly)) {
        m_failure = QStringLiteral("cannot write the phone's configuration");
        return false;
    }
    c.write(config.toUtf8());
    a.write(account.toUtf8());
    c.close();
    a.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir);
    m_process.setProcessEnvironment(env);
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setStandardOutputFile(dir + u"/phone.log");
    m_process.setStandardErrorFile(dir + u"/phone.log", QIODevice::Append);
    m_process.start(QStringLiteral("baresip"), {QStringLiteral("-f"), dir});
    if (!m_process.waitForStarted(5000)) {
        m_failure = QStringLiteral("baresip does not start");
        return false;
    }
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        m_control.connectToHost(QHostAddress::LocalHost, m_controlPort);
        if (m_control.waitForConnected(500))
            return true;
        m_control.abort();
        if (m_process.state() == QProcess::NotRunning)
            break;
        QThread::msleep(50);
    }
    m_failure = QStringLiteral("baresip's control socket does not answer");
    return false;
}

QString BaresipPhone::address() const
{
    return u"phone@127.0.0.1:" + QString::number(m_sipPort);
}

void BaresipPhone::send(const QString &command, const QString &params)
{
    const QJsonObject object{{QStringLiteral("command"), command},
                             {QStringLiteral("params"), params},
                             {QStringLiteral("token"), QString::number(++m_token)}};
    const QByteArray body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    m_control.write(QByteArray::number(body.size()) + ':' + body + ',');
    m_control.flush();
}

void BaresipPhone::pressKey(QChar key)
{
    send(QStringLiteral("sndcode"), QString(key));
}

void BaresipPhone::hangUp()
{
    send(QStringLiteral("hangup"));
}

void BaresipPhone::dial(const QString &uri)
{
    send(QStringLiteral("dial"), uri);
}

void BaresipPhone::onData()
{
    m_buffer += m_control.readAll();
    for (;;) {
        const qsizetype colon = m_buffer.indexOf(':');
        if (colon < 0)
            return;
        bool ok = false;
        const qsizetype length = m_buffer.left(colon).toLongLong(&ok);
        if (!ok) {
            m_buffer.clear();
            return;
        }
        if (m_buffer.size() < colon + 1 + length + 1)
            return;
        const QJsonObject object =
            QJsonDocument::fromJson(m_buffer.mid(colon + 1, length)).object();
        m_buffer.remove(0, colon + 1 + length + 1);
        if (!object.value(QStringLiteral("event")).toBool())
            continue;
        m_events.append(object);
        if (m_options.rejectCalls &&
            object.value(QStringLiteral("type")).toString() == u"CALL_INCOMING")
            hangUp();
    }
}

QStringList BaresipPhone::events() const
{
    QStringList types;
    for (const QJsonObject &e : m_events)
        types.append(e.value(QStringLiteral("type")).toString());
    return types;
}

int BaresipPhone::count(const QString &type) const
{
    return int(events().count(type));
}

bool BaresipPhone::waitFor(const QString &type, int times, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (count(type) < times) {
        if (deadline.hasExpired())
            return false;
        m_control.waitForReadyRead(20);
        QCoreApplication::processEvents();
    }
    return true;
}

QString BaresipPhone::param(const QString &type) const
{
    for (auto it = m_events.crbegin(); it != m_events.crend(); ++it) {
        if (it->value(QStringLiteral("type")).toString() == type)
            return it->value(QStringLiteral("param")).toString();
    }
    return {};
}

void BaresipPhone::clearRecordings()
{
    QDir rec(m_dir.path() + u"/rec");
    for (const QString &name : rec.entryList(QDir::Files))
        rec.remove(name);
}

QVector<qint16> BaresipPhone::heard() const
{
    QDir rec(m_dir.path() + u"/rec");
    const QStringList files =
        rec.entryList({QStringLiteral("dump-*-dec.wav")}, QDir::Files, QDir::Time);
    return files.isEmpty() ? QVector<qint16>() : readWavSamples(rec.filePath(files.first()));
}

QVector<qint16> BaresipPhone::waitHeard(qsizetype samples, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QVector<qint16> got = heard();
    while (got.size() < samples && !deadline.hasExpired()) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
        got = heard();
    }
    return got;
}
