// The SIP line in an installation with a telephone system: kamailio on
// 127.0.0.1 as registrar and proxy with digest authentication, the
// operator's telephones (baresip) registered there as extensions 2001
// (mu-law) and 2002 (A-law only). The line registers with its own user and
// password, keeps the registration fresh, and calls the extensions through
// the proxy; a wrong password is said plainly; the proxy restarting during
// a call loses neither the call nor the line. One proxy and two telephones
// serve every test of this file.

#include "kamailio_proxy.h"
#include "sip_line_fixture.h"

#include "signal_match.h"
#include "test_message.h"

#include "shared/clock.h"
#include "shared/environment.h"
#include "shared/error_log.h"
#include "support/recording_prompter.h"
#include "telephony/vox_decoder.h"

#include <QTest>

#include <cstdio>

using namespace VoiceBocxLib;
using namespace Qt::StringLiterals;

namespace
{

const QString kLineUser = u"console12"_s;
const QString kLinePassword = u"Line-Secret-12"_s;

class SipProxyTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        skipReason = KamailioProxy::missing();
        if (skipReason.isEmpty())
            skipReason = BaresipPhone::missing();
        if (skipReason.isEmpty()) {
            proxy = std::make_unique<KamailioProxy>();
            if (!proxy->start({{kLineUser, kLinePassword},
                               {u"2001"_s, u"pw2001"_s},
                               {u"2002"_s, u"pw2002"_s}}))
                skipReason = u"kamailio does not start: " + proxy->failure();
        }
        if (skipReason.isEmpty())
            skipReason = startExtension(mulaw, u"2001"_s, u"pcmu"_s);
        if (skipReason.isEmpty())
            skipReason = startExtension(alaw, u"2002"_s, u"pcma"_s);
        if (!skipReason.isEmpty())
            std::printf("%s\n", qPrintable(skipReason));
    }
    static void TearDownTestSuite()
    {
        mulaw.reset();
        alaw.reset();
        proxy.reset();
    }
    static QString startExtension(std::unique_ptr<BaresipPhone> &phone, const QString &user,
                                  const QString &codecs)
    {
        BaresipPhone::Options options;
        options.registrarPort = proxy->port();
        options.user = user;
        options.password = u"pw"_s + user;
        options.codecs = codecs;
        options.callSeconds = 300;
        phone = std::make_unique<BaresipPhone>();
        if (!phone->start(options))
            return u"the telephone does not start: " + phone->failure();
        if (!proxy->waitForRegistrations(user, 1, 10000))
            return u"extension " + user + u" does not register";
        return {};
    }

    void SetUp() override
    {
        if (!skipReason.isEmpty())
            GTEST_SKIP() << skipReason.toStdString();
        modVNQRN::gsLocalPath = ws.root();
        modVNQRN::gsLocalIni = ws.root() + u"QelLocal.ini";
        mulaw->clearRecordings();
        alaw->clearRecordings();
    }
    void TearDown() override
    {
        if (board && board->callUp())
            board->HangUp();
        board.reset();
    }

    /// A line that registers at the proxy as kLineUser with `password`.
    SipVoiceBoard &line(const QString &password = kLinePassword, int voxRate = 8000)
    {
        SipSettings settings;
        settings.serverHost = u"127.0.0.1"_s;
        settings.serverPort = proxy->port();
        settings.localAddress = u"127.0.0.1"_s;
        settings.localPort = 0;
        settings.rtpPortMin = 20000;
        settings.rtpPortMax = 40000;
        settings.user = kLineUser;
        settings.password = password;
        settings.voxRate = voxRate;
        board = std::make_unique<SipVoiceBoard>(settings, nullptr);
        board->setTrunkChannel(0);
        return *board;
    }
    /// Calls `extension` through the proxy; true when it answered.
    bool call(const QString &extension, BaresipPhone &phone)
    {
        // Bindings last 3 s and are renewed at 2.7 s: on a busy machine a
        // renewal may come late, so call just after one.
        EXPECT_TRUE(
            proxy->waitForRegistrations(extension, proxy->registrations(extension) + 1, 10000));
        const int established = phone.count(u"CALL_ESTABLISHED"_s);
        const int routed = proxy->routedCalls(extension);
        board->Dial(extension);
        EXPECT_EQ(board->CallStatus(), kCallAnswered) << board->lastCallOutcome().toStdString();
        EXPECT_EQ(proxy->routedCalls(extension), routed + 1)
            << qPrintable(proxy->log().right(3000));
        return board->CallStatus() == kCallAnswered &&
               phone.waitFor(u"CALL_ESTABLISHED"_s, established + 1);
    }
    /// Plays `samples` (a message at `rate`) and returns how well the
    /// telephone's hearing matches `expected`.
    double playHeard(BaresipPhone &phone, const QVector<qint16> &samples, int rate,
                     const QVector<qint16> &expected)
    {
        const QString path = ws.root() + u"N000000042.vox";
        writeVoxFile(path, samples, rate);
        // What the line actually sends is the decoded file; compare with
        // that where the rate is the call's own.
        const QVector<qint16> reference =
            rate == 8000 ? decodeVoxFile(path, rate).samples : expected;
        board->PlayFile(path);
        return findSignal(reference, phone.waitHeardMore()).correlation;
    }
    static inline std::unique_ptr<KamailioProxy> proxy;
    static inline std::unique_ptr<BaresipPhone> mulaw;
    static inline std::unique_ptr<BaresipPhone> alaw;
    static inline QString skipReason;

    TestWorkstation ws;
    std::unique_ptr<SipVoiceBoard> board;
};

} // namespace

TEST_F(SipProxyTest, TheLineRegistersKeepsItFreshAndCallsAnExtensionThroughTheProxy)
{
    const int before = proxy->registrations(kLineUser);
    line();
    ASSERT_TRUE(proxy->waitForRegistrations(kLineUser, before + 1, 5000))
        << qPrintable(proxy->log());
    ASSERT_TRUE(call(u"2001"_s, *mulaw));
    EXPECT_GT(playHeard(*mulaw, speechLikeMessage(1500), 8000, {}), 0.95);
    // The proxy grants 3 s: the line renews its registration before that runs out.
    EXPECT_TRUE(proxy->waitForRegistrations(kLineUser, before + 3, 8000));
    board->HangUp();
    EXPECT_TRUE(mulaw->waitFor(u"CALL_CLOSED"_s));
    EXPECT_FALSE(todaysErrorLog().contains(u"registration")) << todaysErrorLog().toStdString();
}

TEST_F(SipProxyTest, AnALawExtensionHearsAMessageRecordedAt6000Hz)
{
    line(kLinePassword, 6000);
    ASSERT_TRUE(call(u"2002"_s, *alaw));
    // The telephone takes A-law only: what it hears matches only if the line
    // sends A-law, and at the message's own pitch only if 6000 Hz became 8000.
    EXPECT_GT(playHeard(*alaw, speechLikeMessage(1500, 6000), 6000, speechLikeMessage(1500)), 0.95);
}

TEST_F(SipProxyTest, AWrongPasswordIsRefusedWithABoxAndALogLine)
{
    RecordingPrompter prompter;
    line(u"not-the-password"_s);
    QTRY_VERIFY_WITH_TIMEOUT(!prompter.boxes.isEmpty(), 5000);
    EXPECT_EQ(prompter.texts(),
              QStringList{u"The telephone system 127.0.0.1 refused the message line's "
                          u"registration as console12 (403 Forbidden).\r\nCheck SipUser and "
                          u"SipPassword in section VoiceBoard of the workstation's settings."_s});
    EXPECT_TRUE(todaysErrorLog().contains(u"VoiceBoard SIP registration of console12 at 127.0.0.1 "
                                          u"failed: 403 Forbidden"_s))
        << todaysErrorLog().toStdString();
    EXPECT_FALSE(todaysErrorLog().contains(u"not-the-password"_s));
    // Its calls are refused as well: the call fails, it does not hang.
    board->Dial(u"2001"_s);
    EXPECT_EQ(board->CallStatus(), kCallFailed);
    EXPECT_TRUE(board->lastCallOutcome().startsWith(u"403"_s))
        << board->lastCallOutcome().toStdString();
    EXPECT_EQ(prompter.boxes.size(), 1); // said once
}

TEST_F(SipProxyTest, TheProxyRestartingDuringACallLosesNeitherTheCallNorTheLine)
{
    line();
    ASSERT_TRUE(call(u"2001"_s, *mulaw));
    const int lineRegistrations = proxy->registrations(kLineUser);
    const int phoneRegistrations = proxy->registrations(u"2001"_s);
    // Down for a second; back without any registration.
    ASSERT_TRUE(proxy->restart(1000)) << proxy->failure().toStdString();
    EXPECT_GT(playHeard(*mulaw, speechLikeMessage(1500), 8000, {}), 0.95);
    // Line and telephone register again by themselves; the hang-up (through
    // the proxy) still reaches the telephone.
    EXPECT_TRUE(proxy->waitForRegistrations(kLineUser, lineRegistrations + 1, 10000));
    EXPECT_TRUE(proxy->waitForRegistrations(u"2001"_s, phoneRegistrations + 1, 10000));
    const int closed = mulaw->count(u"CALL_CLOSED"_s);
    board->HangUp();
    EXPECT_TRUE(mulaw->waitFor(u"CALL_CLOSED"_s, closed + 1));
    // And the next call goes through the new proxy.
    ASSERT_TRUE(call(u"2001"_s, *mulaw));
    EXPECT_GT(playHeard(*mulaw, speechLikeMessage(1000), 8000, {}), 0.95);
}
