#include "phone_fixture.h"

#include "telephony/null_voice_board.h"
#include "telephony/voice_board_registry.h"

#include "shared/environment.h"
#include "shared/error_log.h"

#include <QElapsedTimer>
#include <QTimer>

using namespace modVNQRN;
using namespace VoiceBocxLib;
using namespace Qt::StringLiterals;

namespace
{

using VoiceBoardTest = PhoneFixture;

QString errorLog()
{
    return QString::fromUtf8(TestWorkstation::readFile(errorLogPath(appClock().now().date())));
}

} // namespace

TEST_F(VoiceBoardTest, UnknownOrFailingDriversFallBackToNoneWithALogLine)
{
    TestWorkstation::writeFile(gsLocalIni, "[VoiceBoard]\r\nDriver=Dialogic9\r\n");
    EXPECT_FALSE(helper().VoiceBoardIsInstalled());
    EXPECT_FALSE(helper().SoundCardIsInstalled());
    EXPECT_TRUE(errorLog().contains(
        u"VN-Orvak - 'VoiceBoard Driver \"dialogic9\": unknown name; using none'\r\n"));
    EXPECT_TRUE(prompter.boxes.isEmpty());
    // The "none" board refuses line work; the helper reports it.
    EXPECT_FALSE(helper().ConnectPhone(u"Switchboard"_s));
    EXPECT_TRUE(prompter.boxes.value(0).text.startsWith(u"Error 31001 "));

    registerVoiceBoard(
        u"broken"_s,
        [](const VoiceBoardConfig &, std::unique_ptr<WaveDevice>) -> std::unique_ptr<VoiceBocx> {
            throw std::runtime_error("no card");
        });
    TestWorkstation::writeFile(gsLocalIni,
                               "[VoiceBoard]\r\nDriver=broken\r\nWaveDevice=simulated\r\n");
    hangups.reset();
    phone.reset();
    // The wave half still works behind the fallback board.
    EXPECT_FALSE(helper().VoiceBoardIsInstalled());
    EXPECT_TRUE(helper().SoundCardIsInstalled());
    EXPECT_TRUE(errorLog().contains(u"Driver \"broken\": no card; using none"));
}

TEST_F(VoiceBoardTest, DefaultsAndTheSimulatedBoardSettings)
{
    TestWorkstation::writeFile(gsLocalIni, "");
    const VoiceBoardConfig none = readVoiceBoardConfig(gsLocalIni);
    EXPECT_EQ(none.driver, u"none");
    EXPECT_EQ(none.waveDevice, u"soundcard");
    EXPECT_EQ(none.timeScale, 1.0);
    EXPECT_FALSE(helper().VoiceBoardIsInstalled());
    EXPECT_TRUE(errorLog().isEmpty()); // the default is no fallback

    TestWorkstation::writeFile(gsLocalIni, "[voiceboard]\r\nDriver=Simulated\r\nChannels=0\r\n"
                                           "TimeScale=0.5\r\n[TelMon]\r\nLog=7\r\n");
    hangups.reset();
    phone.reset();
    EXPECT_FALSE(helper().VoiceBoardIsInstalled());
    EXPECT_TRUE(helper().SoundCardIsInstalled());
    EXPECT_EQ(board().logLevel(), 7);
}

TEST_F(VoiceBoardTest, TestsCanInstallTheirOwnFactory)
{
    int built = 0;
    setVoiceBoardFactory([&](const VoiceBoardConfig &config, std::unique_ptr<WaveDevice> wave) {
        ++built;
        EXPECT_EQ(config.driver, u"simulated");
        return std::make_unique<NullVoiceBoard>(std::move(wave));
    });
    EXPECT_FALSE(helper().VoiceBoardIsInstalled());
    EXPECT_TRUE(helper().SoundCardIsInstalled());
    setVoiceBoardFactory({});
    EXPECT_EQ(built, 1);
}

TEST_F(VoiceBoardTest, PlaybackLastsAsLongAsTheMessageScaled)
{
    connected();
    board().setTimeScale(0.01);
    const QString msg = voiceFile(QStringLiteral("TEMP.vox"), 10); // 10 s -> 100 ms
    qint32 during = 0;
    board().during(SimOp::PlayFile, 5, [&] { during = board().ChannelState(); });
    QElapsedTimer timer;
    timer.start();
    board().PlayFile(msg, 1, {}, 2);
    const qint64 ms = timer.elapsed();
    EXPECT_GE(ms, 75);
    EXPECT_LT(ms, 1000);
    EXPECT_EQ(during, kChannelPlaying);
    EXPECT_EQ(board().ChannelState(), kChannelIdle);
    EXPECT_EQ(board().ElapsedSeconds(), 8);
}

TEST_F(VoiceBoardTest, StopVoiceFromTheEventLoopEndsABlockedPlay)
{
    connected();
    board().setTimeScale(1.0); // a 60-second message that must not run out
    const QString msg = voiceFile(QStringLiteral("TEMP.vox"), 60);
    QTimer::singleShot(20, [&] { board().StopVoice(); });
    QElapsedTimer timer;
    timer.start();
    board().PlayFile(msg);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(board().plays().last().ending, SimEnding::StopVoice);
    EXPECT_EQ(board().ElapsedSeconds(), 0);
}

TEST_F(VoiceBoardTest, LineOperationsNeedACallAndReportTheFarEnd)
{
    helper();
    const QString msg = voiceFile(QStringLiteral("TEMP.vox"), 1);
    auto numberOf = [](const std::function<void()> &op) {
        try {
            op();
        } catch (const Error &e) {
            EXPECT_EQ(e.source(), u"VoiceBocxLib");
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(numberOf([&] { board().Dial(u"1"_s); }), vbErrNoTrunk);
    board().setTrunkChannel(0);
    EXPECT_EQ(numberOf([&] { board().PlayFile(msg); }), vbErrNoCall);
    board().Dial(u"1"_s);
    EXPECT_EQ(board().CallStatus(), kCallAnswered);
    EXPECT_EQ(numberOf([&] { board().PlayFile(data + u"none.vox"); }), vbErrFileOpen);
    board().hangUp();
    EXPECT_EQ(board().CallStatus(), kFarEndGone);
    EXPECT_EQ(numberOf([&] { board().GenerateTone(800, -20, 1); }), vbErrFarEndGone);
    EXPECT_EQ(numberOf([&] { board().CollectDigits(1); }), vbErrFarEndGone);
}
