#include "kamailio_proxy.h"

#include "baresip_phone.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QUdpSocket>

namespace
{

const QString kModules = QStringLiteral("/usr/lib/x86_64-linux-gnu/kamailio/modules");

// Registrar and proxy: REGISTER and requests from its own users are
// challenged; a wrong password gets 403 at once (a second challenge would
// make a client retry with the same wrong password). "SAVED" and "ROUTED"
// lines tell the tests what it did.
QByteArray configuration(quint16 port, const QMap<QString, QString> &users, int maxExpires)
{
    QByteArray userLines;
    for (auto it = users.cbegin(); it != users.cend(); ++it)
        userLines +=
            "\t$sht(users=>" + it.key().toUtf8() + ") = \"" + it.value().toUtf8() + "\";\n";
    return "#!KAMAILIO\n"
           "debug=2\nlog_stderror=yes\nchildren=2\ndisable_tcp=yes\n"
           "listen=udp:127.0.0.1:" +
           QByteArray::number(port) + "\nmpath=\"" + kModules.toUtf8() +
           "/\"\n"
           "loadmodule \"kex.so\"\nloadmodule \"corex.so\"\nloadmodule \"tm.so\"\n"
           "loadmodule \"tmx.so\"\nloadmodule \"sl.so\"\nloadmodule \"rr.so\"\n"
           "loadmodule \"pv.so\"\nloadmodule \"maxfwd.so\"\nloadmodule \"usrloc.so\"\n"
           "loadmodule \"registrar.so\"\nloadmodule \"textops.so\"\n"
           "loadmodule \"siputils.so\"\nloadmodule \"xlog.so\"\nloadmodule \"sanity.so\"\n"
           "loadmodule \"auth.so\"\nloadmodule \"htable.so\"\n"
           "modparam(\"usrloc\", \"db_mode\", 0)\n"
           "modparam(\"usrloc\", \"timer_interval\", 5)\n"
           "modparam(\"registrar\", \"min_expires\", 1)\n"
           "modparam(\"registrar\", \"max_expires\", " +
           QByteArray::number(maxExpires) +
           ")\n"
           "modparam(\"htable\", \"htable\", \"users=>size=4;\")\n"
           "event_route[htable:mod-init] {\n" +
           userLines +
           "}\n"
           "request_route {\n"
           "\tif (!mf_process_maxfwd_header(\"10\")) { sl_send_reply(\"483\", \"Too Many Hops\"); "
           "exit; }\n"
           "\tif (!sanity_check()) { exit; }\n"
           "\tif (has_totag()) {\n"
           "\t\tif (loose_route()) { t_relay(); exit; }\n"
           "\t\tif (is_method(\"ACK\")) { if (t_check_trans()) { t_relay(); } exit; }\n"
           "\t\tsl_send_reply(\"404\", \"Not here\"); exit;\n"
           "\t}\n"
           "\tif (is_method(\"CANCEL\")) { if (t_check_trans()) { t_relay(); } exit; }\n"
           "\tt_check_trans();\n"
           "\troute(AUTH);\n"
           "\tif (is_method(\"REGISTER\")) {\n"
           "\t\tif (!save(\"location\")) { sl_reply_error(); exit; }\n"
           "\t\txlog(\"L_ERR\", \"SAVED $fU\\n\"); exit;\n"
           "\t}\n"
           "\tif (is_method(\"INVITE|SUBSCRIBE\")) { record_route(); }\n"
           "\tif ($rU == $null) { sl_send_reply(\"484\", \"Address Incomplete\"); exit; }\n"
           "\tif (!lookup(\"location\")) { sl_send_reply(\"404\", \"Not Found\"); exit; }\n"
           "\tif (is_method(\"INVITE\")) { xlog(\"L_ERR\", \"ROUTED $oU\\n\"); }\n"
           "\tif (!t_relay()) { sl_reply_error(); }\n"
           "}\n"
           "route[AUTH] {\n"
           "\tif (is_method(\"REGISTER\") || from_uri == myself) {\n"
           "\t\tif ($au == $null) { auth_challenge(\"$fd\", \"1\"); exit; }\n"
           "\t\tif ($sht(users=>$au) == $null) { sl_send_reply(\"403\", \"Forbidden\"); exit; }\n"
           "\t\tif (!pv_auth_check(\"$fd\", \"$sht(users=>$au)\", \"0\", \"1\")) {\n"
           "\t\t\t$var(rc) = $rc;\n"
           "\t\t\tif ($var(rc) == -2 || $var(rc) == -8) { sl_send_reply(\"403\", "
           "\"Forbidden\"); exit; }\n"
           "\t\t\tauth_challenge(\"$fd\", \"1\"); exit;\n"
           "\t\t}\n"
           "\t\tconsume_credentials();\n"
           "\t}\n"
           "}\n";
}

} // namespace

QString KamailioProxy::missing()
{
    if (QStandardPaths::findExecutable(QStringLiteral("kamailio"),
                                       {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")})
            .isEmpty())
        return QStringLiteral("kamailio is not installed");
    for (const char *module : {"auth.so", "htable.so", "registrar.so", "usrloc.so", "tm.so"}) {
        if (!QFileInfo::exists(kModules + u'/' + QString::fromLatin1(module)))
            return u"kamailio module " + QString::fromLatin1(module) + u" is missing";
    }
    return {};
}

KamailioProxy::~KamailioProxy()
{
    stop();
}

QString KamailioProxy::address() const
{
    return u"127.0.0.1:" + QString::number(m_port);
}

bool KamailioProxy::start(const QMap<QString, QString> &users, int maxExpires)
{
    if (const QString why = missing(); !why.isEmpty()) {
        m_failure = why;
        return false;
    }
    m_port = freeLoopbackPort();
    if (m_port == 0 || !m_dir.isValid()) {
        m_failure = QStringLiteral("no free port or folder for kamailio");
        return false;
    }
    QDir().mkpath(m_dir.path() + u"/run");
    QFile cfg(m_dir.path() + u"/kamailio.cfg");
    if (!cfg.open(QIODevice::WriteOnly) ||
        cfg.write(configuration(m_port, users, maxExpires)) < 0) {
        m_failure = QStringLiteral("cannot write kamailio's configuration");
        return false;
    }
    cfg.close();
    return run();
}

bool KamailioProxy::run()
{
    const QString dir = m_dir.path();
    m_process.setStandardOutputFile(dir + u"/kamailio.log", QIODevice::Append);
    m_process.setStandardErrorFile(dir + u"/kamailio.log", QIODevice::Append);
    m_process.start(
        QStandardPaths::findExecutable(QStringLiteral("kamailio"), {QStringLiteral("/usr/sbin")}),
        {QStringLiteral("-f"), dir + u"/kamailio.cfg", QStringLiteral("-DD"), QStringLiteral("-E"),
         QStringLiteral("-Y"), dir + u"/run", QStringLiteral("-P"), dir + u"/run/kamailio.pid"});
    if (!m_process.waitForStarted(5000)) {
        m_failure = QStringLiteral("kamailio does not start");
        return false;
    }
    // Ready once its port is taken.
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QUdpSocket probe;
        if (!probe.bind(QHostAddress::LocalHost, m_port))
            return true;
        probe.close();
        if (m_process.state() == QProcess::NotRunning)
            break;
        QThread::msleep(20);
    }
    m_failure = u"kamailio does not listen: " + log().right(2000);
    return false;
}

void KamailioProxy::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool KamailioProxy::restart(int downMs)
{
    stop();
    const QDeadlineTimer down(downMs);
    while (!down.hasExpired()) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    return run();
}

QString KamailioProxy::log() const
{
    QFile f(m_dir.path() + u"/kamailio.log");
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

int KamailioProxy::registrations(const QString &user) const
{
    return int(log().count(u"SAVED " + user + u'\n'));
}

int KamailioProxy::routedCalls(const QString &user) const
{
    return int(log().count(u"ROUTED " + user + u'\n'));
}

bool KamailioProxy::waitForRegistrations(const QString &user, int times, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (registrations(user) < times) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    return true;
}
