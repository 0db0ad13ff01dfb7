// The SIP line's settings: what is read, what is refused and how a refused
// setting leaves the workstation without a voice board (never a hang, a
// clear log line, no password anywhere); registration with a stand-in
// telephone system that challenges and then refuses it.

#include "phone_fixture.h"

#include "telephony/sip/sip_settings.h"
#include "telephony/sip/sip_voice_board.h"
#include "telephony/voice_board_registry.h"

#include "shared/environment.h"
#include "shared/error.h"
#include "shared/error_log.h"

#include <QCryptographicHash>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QTest>
#include <QUdpSocket>

using namespace modVNQRN;
using namespace VoiceBocxLib;
using namespace Qt::StringLiterals;

namespace
{

QByteArray md5(const QByteArray &text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

// Field `name` of the digest that `authorization` starts with.
QByteArray digestField(const QByteArray &authorization, const char *name)
{
    const QRegularExpression re(QString::fromLatin1(name) + QStringLiteral("=\"?([^\",]*)"));
    return re.match(QString::fromLatin1(authorization)).captured(1).toLatin1();
}

// A telephone system on 127.0.0.1 that challenges every REGISTER and then
// refuses it, keeping what it received.
struct FakeRegistrar {
    FakeRegistrar()
    {
        socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram request = socket.receiveDatagram();
                if (!request.data().startsWith("REGISTER "))
                    continue;
                requests.append(request.data());
                const bool challenged = request.data().contains("\nAuthorization:");
                QByteArray reply =
                    challenged ? "SIP/2.0 403 Forbidden\r\n" : "SIP/2.0 401 Unauthorized\r\n";
                for (const QByteArray &line : request.data().split('\n')) {
                    for (const char *name : {"Via:", "From:", "To:", "Call-ID:", "CSeq:"})
                        if (line.startsWith(name))
                            reply += line.trimmed() + (*name == 'T' ? ";tag=reg1\r\n" : "\r\n");
                }
                if (!challenged)
                    reply += "WWW-Authenticate: Digest realm=\"pbx\", nonce=\"n0nce\", "
                             "algorithm=MD5\r\n";
                socket.writeDatagram(request.makeReply(reply + "Content-Length: 0\r\n\r\n"));
            }
        });
    }
    QUdpSocket socket;
    QList<QByteArray> requests;
};

class SipSettingsTest : public PhoneFixture
{
protected:
    void writeSip(const QByteArray &keys,
                  const QByteArray &connect = "ConnectString=phone@127.0.0.1:5062\r\n")
    {
        TestWorkstation::writeFile(gsLocalIni, "[VoiceBoard]\r\nDriver=sip\r\nWaveDevice=none\r\n" +
                                                   keys + "[Messages]\r\nMsgport=3\r\n" + connect);
    }

    // What the line reads from `keys` in one line, or the description of the
    // Error that reading them throws.
    QString read(const QByteArray &keys)
    {
        writeSip(keys);
        try {
            const SipSettings s = readSipSettings(gsLocalIni);
            QStringList codecs;
            for (SipCodec codec : s.codecs)
                codecs.append(codec == SipCodec::Pcmu ? u"PCMU"_s : u"PCMA"_s);
            return QStringLiteral("%1:%2 %3:%4 %5-%6 %7 %8 %9.")
                .arg(s.serverHost, QString::number(s.serverPort), s.localAddress,
                     QString::number(s.localPort), QString::number(s.rtpPortMin),
                     QString::number(s.rtpPortMax), s.user, codecs.join(u','),
                     QString::number(s.voxRate));
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), errInvalidCall);
            return e.description();
        }
    }
};

} // namespace

TEST_F(SipSettingsTest, ValuesAreReadAndMalformedOnesRefusedNamingTheKeyAndValue)
{
    const struct {
        const char *keys;
        const char *gives; // the settings read, or the start of the refusal
    } cases[] = {
        {"", ":5060 :5060 16384-32767  PCMU,PCMA 8000."},
        {"SipServer=pbx.example.net:5070\r\nSipAddress=192.0.2.10\r\nSipPort=0\r\n"
         "SipRtpPorts=20000-20100\r\nSipUser=console12\r\nSipPassword= s3cret \r\n"
         "SipCodecs=pcma , PCMU,pcma\r\nVoxRate=6000\r\n",
         "pbx.example.net:5070 192.0.2.10:0 20000-20100 console12 PCMA,PCMU 6000."},
        {"SipServer=pbx example\r\n", "SipServer \"pbx example\""},
        {"SipServer=pbx:99999\r\n", "SipServer \"pbx:99999\""},
        {"SipServer=-pbx\r\n", "SipServer \"-pbx\""},
        {"SipAddress=0.0.0.0\r\n", "SipAddress \"0.0.0.0\""},
        {"SipAddress=192.0.2.300\r\n", "SipAddress \"192.0.2.300\""},
        {"SipAddress=localhost\r\n", "SipAddress \"localhost\""},
        {"SipPort=70000\r\n", "SipPort \"70000\" is not a port number (0 to 65535)"},
        {"SipPort=five\r\n", "SipPort \"five\""},
        {"SipRtpPorts=30000-20000\r\n", "SipRtpPorts \"30000-20000\""},
        {"SipRtpPorts=20000\r\n", "SipRtpPorts \"20000\""},
        {"SipCodecs=PCMU,G729\r\n", "SipCodecs \"PCMU,G729\""},
        {"SipServer=pbx\r\nSipUser=a b\r\n", "SipUser \"a b\""},
        {"SipPassword=hunter2\r\n", "SipPassword is set without SipUser"},
        {"SipUser=console12\r\nSipPassword=hunter2\r\n",
         "SipUser is set without SipServer to register with"},
    };
    for (const auto &c : cases) {
        const QString got = read(c.keys);
        EXPECT_TRUE(got.startsWith(QString::fromUtf8(c.gives)))
            << c.keys << " gave " << got.toStdString();
        EXPECT_FALSE(got.contains(u"hunter2") || got.contains(u"s3cret"));
    }
}

TEST_F(SipSettingsTest, ConnectStringsBecomeSipAddresses)
{
    SipSettings direct;
    SipSettings viaServer;
    viaServer.serverHost = QStringLiteral("pbx.example.net");
    viaServer.serverPort = 5070;
    const struct {
        const char *number;
        const char *direct;
        const char *viaServer;
    } cases[] = {
        {"5551234", "", "sip:5551234@pbx.example.net:5070"},
        {"12#", "", "sip:12%23@pbx.example.net:5070"},
        {"127.0.0.1:5062", "sip:127.0.0.1:5062", ""},
        {"deskphone.example.net", "sip:deskphone.example.net",
         "sip:deskphone.example.net@pbx.example.net:5070"},
        {"phone@127.0.0.1:5062", "sip:phone@127.0.0.1:5062", "sip:phone@127.0.0.1:5062"},
        {"SIP:204@192.0.2.7", "sip:204@192.0.2.7", "sip:204@192.0.2.7"},
        {"sip:204", "", "sip:204@pbx.example.net:5070"},
        {"", "", ""},
        {"  ", "", ""},
        {"555 1234", "", ""},
        {"phone@", "", ""},
        {"@192.0.2.7", "", ""},
        {"phone@192.0.2.7:0", "", ""},
        {"phone@192.0.2.7:99999", "", ""},
    };
    for (const auto &c : cases) {
        const QString number = QString::fromUtf8(c.number);
        EXPECT_EQ(sipDialTarget(number, direct), QString::fromUtf8(c.direct)) << c.number;
        EXPECT_EQ(sipDialTarget(number, viaServer), QString::fromUtf8(c.viaServer)) << c.number;
    }
}

TEST_F(SipSettingsTest, ALineThatCannotStartLeavesNoVoiceBoardAndOneThatCanRegisters)
{
    QUdpSocket taken;
    ASSERT_TRUE(taken.bind(QHostAddress::LocalHost, 0));
    const QByteArray anyPhone = "ConnectString=phone@127.0.0.1:5062\r\n";
    const struct {
        QByteArray keys;
        QByteArray connect;
        QString logged;
    } cases[] = {
        {"SipServer=pbx\r\nSipUser=console12\r\nSipPassword=Hunter2Secret\r\nSipPort=99999\r\n",
         anyPhone,
         u"VoiceBoard Driver \"sip\": SipPort \"99999\" is not a port number (0 to 65535); "
         u"using none'\r\n"_s},
        // A connect string the line cannot dial is found at start-up, not at the first call.
        {"SipAddress=127.0.0.1\r\nSipPort=0\r\n", "ConnectString=555-1234\r\n",
         u"ConnectString \"5551234\" is not a telephone's address and SipServer is not set; "
         u"using none"_s},
        {"SipAddress=127.0.0.1\r\nSipPort=" + QByteArray::number(taken.localPort()) + "\r\n",
         anyPhone,
         u"VoiceBoard Driver \"sip\": cannot listen for SIP on 127.0.0.1:"_s +
             QString::number(taken.localPort())},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.logged.toStdString());
        restart();
        writeSip(c.keys, c.connect);
        EXPECT_FALSE(helper().VoiceBoardIsInstalled());
        EXPECT_TRUE(todaysErrorLog().contains(c.logged)) << todaysErrorLog().toStdString();
    }
    EXPECT_TRUE(prompter.boxes.isEmpty());

    // Settings it can use install it; it registers, answering the challenge.
    FakeRegistrar registrar;
    restart();
    writeSip("SipServer=127.0.0.1:" + QByteArray::number(registrar.socket.localPort()) +
             "\r\nSipAddress=127.0.0.1\r\nSipPort=0\r\nSipRtpPorts=20000-40000\r\n"
             "SipUser=console12\r\nSipPassword=Hunter2Secret\r\n");
    EXPECT_TRUE(helper().VoiceBoardIsInstalled());
    ASSERT_NE(SipVoiceBoard::last(), nullptr);
    EXPECT_NE(SipVoiceBoard::last()->sipPort(), 0);
    EXPECT_GE(SipVoiceBoard::last()->rtpPort(), 20000);
    EXPECT_EQ(SipVoiceBoard::last()->localAddress(), u"127.0.0.1");
    QTRY_VERIFY_WITH_TIMEOUT(
        todaysErrorLog().contains(u"VoiceBoard SIP registration of console12 at "
                                  u"127.0.0.1 failed: 403 Forbidden"),
        5000);
    // The second REGISTER holds the MD5 digest of user, realm and password.
    ASSERT_EQ(registrar.requests.size(), 2);
    const QByteArray authorization =
        registrar.requests[1].mid(registrar.requests[1].indexOf("\nAuthorization:"));
    const QByteArray uri = digestField(authorization, "uri");
    EXPECT_EQ(digestField(authorization, "username"), "console12");
    EXPECT_EQ(digestField(authorization, "response"),
              md5(md5("console12:pbx:Hunter2Secret") + ":n0nce:" + md5("REGISTER:" + uri)));
    // The password is nowhere else.
    for (const QByteArray &request : registrar.requests)
        EXPECT_FALSE(request.contains("Hunter2Secret"));
    EXPECT_FALSE(todaysErrorLog().contains(u"Hunter2Secret"));
}
