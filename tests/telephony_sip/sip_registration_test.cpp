// Registration with the telephone system: digest authentication with the
// configured user and password, a refusal written to the error log, and
// the password never written anywhere.

#include "telephony/sip/sip_voice_board.h"

#include "shared/clock.h"
#include "shared/environment.h"
#include "shared/error_log.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QRegularExpression>
#include <QTest>
#include <QUdpSocket>

using namespace VoiceBocxLib;

namespace
{

QByteArray md5(const QByteArray &text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

// A telephone system on 127.0.0.1 that challenges every REGISTER and then
// refuses it, keeping what it received.
class FakeRegistrar
{
public:
    FakeRegistrar()
    {
        m_socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] { receive(); });
    }
    quint16 port() const { return m_socket.localPort(); }

    QList<QByteArray> requests;

private:
    static QByteArray header(const QByteArray &message, const QByteArray &name)
    {
        const QRegularExpression re(
            QStringLiteral("^") + QString::fromLatin1(name) + QStringLiteral(":\\s*(.*?)\\r$"),
            QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
        return re.match(QString::fromLatin1(message)).captured(1).toLatin1();
    }

    void receive()
    {
        while (m_socket.hasPendingDatagrams()) {
            QHostAddress from;
            quint16 fromPort = 0;
            QByteArray message(qsizetype(m_socket.pendingDatagramSize()), '\0');
            m_socket.readDatagram(message.data(), message.size(), &from, &fromPort);
            if (!message.startsWith("REGISTER "))
                continue;
            requests.append(message);
            const bool challenged = !header(message, "Authorization").isEmpty();
            QByteArray reply =
                challenged ? "SIP/2.0 403 Forbidden\r\n" : "SIP/2.0 401 Unauthorized\r\n";
            reply += "Via: " + header(message, "Via") + "\r\n";
            reply += "From: " + header(message, "From") + "\r\n";
            reply += "To: " + header(message, "To") + ";tag=reg1\r\n";
            reply += "Call-ID: " + header(message, "Call-ID") + "\r\n";
            reply += "CSeq: " + header(message, "CSeq") + "\r\n";
            if (!challenged)
                reply +=
                    "WWW-Authenticate: Digest realm=\"pbx\", nonce=\"n0nce\", algorithm=MD5\r\n";
            reply += "Content-Length: 0\r\n\r\n";
            m_socket.writeDatagram(reply, from, fromPort);
        }
    }

    QUdpSocket m_socket;
};

QByteArray digestField(const QByteArray &authorization, const char *name)
{
    const QRegularExpression re(QString::fromLatin1(name) + QStringLiteral("=\"?([^\",]*)"));
    return re.match(QString::fromLatin1(authorization)).captured(1).toLatin1();
}

} // namespace

TEST(SipRegistrationTest, RegistersWithADigestAndLogsARefusalWithoutThePassword)
{
    TestWorkstation ws;
    modVNQRN::gsLocalPath = ws.root();
    modVNQRN::gsLocalIni = ws.root() + u"QelLocal.ini";
    FakeRegistrar registrar;

    SipSettings settings;
    settings.serverHost = QStringLiteral("127.0.0.1");
    settings.serverPort = registrar.port();
    settings.localAddress = QStringLiteral("127.0.0.1");
    settings.localPort = 0;
    settings.user = QStringLiteral("console12");
    settings.password = QStringLiteral("Hunter2Secret");
    SipVoiceBoard board(settings, nullptr);

    const QString log = modVNQRN::errorLogPath(modVNQRN::appClock().now().date());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(log), 5000);
    ASSERT_EQ(registrar.requests.size(), 2);

    // The second REGISTER answers the challenge: MD5 digest of user, realm and password.
    const QByteArray second = registrar.requests[1];
    QByteArray authorization;
    for (const QByteArray &line : second.split('\n'))
        if (line.startsWith("Authorization:"))
            authorization = line.trimmed();
    const QByteArray uri = digestField(authorization, "uri");
    EXPECT_EQ(digestField(authorization, "username"), "console12");
    EXPECT_EQ(digestField(authorization, "response"),
              md5(md5("console12:pbx:Hunter2Secret") + ":n0nce:" + md5("REGISTER:" + uri)));
    for (const QByteArray &request : registrar.requests)
        EXPECT_FALSE(request.contains("Hunter2Secret"));

    const QString text =
        QString::fromUtf8(ws.readFile(log)).replace(QStringLiteral("'\r\n   '"), QString());
    EXPECT_TRUE(text.contains(u"VoiceBoard SIP registration of console12 at 127.0.0.1 failed: "
                              u"403 Forbidden"))
        << text.toStdString();
    EXPECT_FALSE(text.contains(u"Hunter2Secret"));
    modVNQRN::gsLocalPath.clear();
    modVNQRN::gsLocalIni.clear();
}
