// The SIP line's settings: what is read, what is refused and how a refused
// setting leaves the workstation without a voice board (never a hang, a
// clear log line, no password anywhere).

#include "phone_fixture.h"

#include "telephony/sip/sip_settings.h"
#include "telephony/sip/sip_voice_board.h"
#include "telephony/voice_board_registry.h"

#include "shared/environment.h"
#include "shared/error.h"
#include "shared/error_log.h"

#include <QUdpSocket>

using namespace modVNQRN;
using namespace VoiceBocxLib;

namespace
{

class SipSettingsTest : public PhoneFixture
{
protected:
    void writeSip(const QByteArray &keys,
                  const QByteArray &connect = "ConnectString=phone@127.0.0.1:5062\r\n")
    {
        TestWorkstation::writeFile(gsLocalIni, "[VoiceBoard]\r\nDriver=sip\r\nWaveDevice=none\r\n" +
                                                   keys + "[Messages]\r\nMsgport=3\r\n" + connect);
    }

    // The description of the Error that reading the settings throws.
    QString refusal(const QByteArray &keys)
    {
        writeSip(keys);
        try {
            readSipSettings(gsLocalIni);
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), errInvalidCall);
            return e.description();
        }
        return {};
    }

    // Today's error log with its long lines joined again.
    static QString errorLog()
    {
        return QString::fromUtf8(TestWorkstation::readFile(errorLogPath(appClock().now().date())))
            .replace(QStringLiteral("'\r\n   '"), QString());
    }
};

} // namespace

TEST_F(SipSettingsTest, DefaultsAndAFullSample)
{
    writeSip({});
    const SipSettings defaults = readSipSettings(gsLocalIni);
    EXPECT_FALSE(defaults.hasServer());
    EXPECT_TRUE(defaults.localAddress.isEmpty());
    EXPECT_EQ(defaults.localPort, 5060);
    EXPECT_EQ(defaults.rtpPortMin, 16384);
    EXPECT_EQ(defaults.rtpPortMax, 32767);
    EXPECT_EQ(defaults.codecs, (QList<SipCodec>{SipCodec::Pcmu, SipCodec::Pcma}));
    EXPECT_EQ(defaults.voxRate, 8000);

    writeSip("SipServer=pbx.example.net:5070\r\nSipAddress=192.0.2.10\r\nSipPort=0\r\n"
             "SipRtpPorts=20000-20100\r\nSipUser=console12\r\nSipPassword= s3cret \r\n"
             "SipCodecs=pcma , PCMU,pcma\r\nVoxRate=6000\r\n");
    const SipSettings s = readSipSettings(gsLocalIni);
    EXPECT_EQ(s.serverHost, u"pbx.example.net");
    EXPECT_EQ(s.serverPort, 5070);
    EXPECT_EQ(s.localAddress, u"192.0.2.10");
    EXPECT_EQ(s.localPort, 0);
    EXPECT_EQ(s.rtpPortMin, 20000);
    EXPECT_EQ(s.rtpPortMax, 20100);
    EXPECT_EQ(s.user, u"console12");
    EXPECT_EQ(s.codecs, (QList<SipCodec>{SipCodec::Pcma, SipCodec::Pcmu}));
    EXPECT_EQ(s.voxRate, 6000);
}

TEST_F(SipSettingsTest, MalformedValuesAreRefusedNamingTheKeyAndValue)
{
    const struct {
        const char *keys;
        const char *says;
    } cases[] = {
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
    };
    for (const auto &c : cases)
        EXPECT_TRUE(refusal(c.keys).startsWith(QString::fromUtf8(c.says)))
            << c.keys << " gave " << refusal(c.keys).toStdString();

    EXPECT_EQ(refusal("SipPassword=hunter2\r\n"), u"SipPassword is set without SipUser");
    EXPECT_EQ(refusal("SipUser=console12\r\nSipPassword=hunter2\r\n"),
              u"SipUser is set without SipServer to register with");
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
    };
    for (const auto &c : cases) {
        const QString number = QString::fromUtf8(c.number);
        EXPECT_EQ(sipDialTarget(number, direct), QString::fromUtf8(c.direct)) << c.number;
        EXPECT_EQ(sipDialTarget(number, viaServer), QString::fromUtf8(c.viaServer)) << c.number;
    }
}

TEST_F(SipSettingsTest, ABrokenSettingLeavesNoVoiceBoardAndOneLogLineWithoutThePassword)
{
    writeSip("SipServer=pbx\r\nSipUser=console12\r\nSipPassword=Hunter2Secret\r\n"
             "SipPort=99999\r\n");
    EXPECT_FALSE(helper().VoiceBoardIsInstalled());
    EXPECT_TRUE(prompter.boxes.isEmpty());
    EXPECT_TRUE(errorLog().contains(u"VoiceBoard Driver \"sip\": SipPort \"99999\" is not a port "
                                    u"number (0 to 65535); using none'\r\n"))
        << errorLog().toStdString();
    EXPECT_FALSE(errorLog().contains(u"Hunter2Secret"));

    // A connect string the line cannot dial is found at start-up, not at the first call.
    hangups.reset();
    phone.reset();
    writeSip("SipAddress=127.0.0.1\r\nSipPort=0\r\n", "ConnectString=555-1234\r\n");
    EXPECT_FALSE(helper().VoiceBoardIsInstalled());
    EXPECT_TRUE(errorLog().contains(u"ConnectString \"5551234\" is not a telephone's address and "
                                    u"SipServer is not set; using none"));
}

TEST_F(SipSettingsTest, ALineThatCannotListenFallsBackAndAGoodOneIsInstalled)
{
    QUdpSocket taken;
    ASSERT_TRUE(taken.bind(QHostAddress::LocalHost, 0));
    writeSip("SipAddress=127.0.0.1\r\nSipPort=" + QByteArray::number(taken.localPort()) + "\r\n");
    EXPECT_FALSE(helper().VoiceBoardIsInstalled());
    EXPECT_TRUE(
        errorLog().contains(u"VoiceBoard Driver \"sip\": cannot listen for SIP on 127.0.0.1:" +
                            QString::number(taken.localPort())))
        << errorLog().toStdString();

    hangups.reset();
    phone.reset();
    writeSip("SipAddress=127.0.0.1\r\nSipPort=0\r\nSipRtpPorts=20000-40000\r\n");
    EXPECT_TRUE(helper().VoiceBoardIsInstalled());
    ASSERT_NE(SipVoiceBoard::last(), nullptr);
    EXPECT_NE(SipVoiceBoard::last()->sipPort(), 0);
    EXPECT_GE(SipVoiceBoard::last()->rtpPort(), 20000);
    EXPECT_EQ(SipVoiceBoard::last()->localAddress(), u"127.0.0.1");
}
