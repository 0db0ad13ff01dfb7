#include "phone_fixture.h"

#include "telephony/voice_board_registry.h"

#include "shared/environment.h"
#include "shared/error_log.h"

#include <QElapsedTimer>

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
    restart();
    // The wave half still works behind the fallback board.
    EXPECT_FALSE(helper().VoiceBoardIsInstalled());
    EXPECT_TRUE(helper().SoundCardIsInstalled());
    EXPECT_TRUE(errorLog().contains(u"Driver \"broken\": no card; using none"));
}

TEST_F(VoiceBoardTest, NoSettingsMeanNoVoiceBoardAndNoFallback)
{
    TestWorkstation::writeFile(gsLocalIni, "");
    const VoiceBoardConfig none = readVoiceBoardConfig(gsLocalIni);
    EXPECT_EQ(none.driver, u"none");
    EXPECT_EQ(none.waveDevice, u"soundcard");
    EXPECT_FALSE(helper().VoiceBoardIsInstalled());
    EXPECT_TRUE(errorLog().isEmpty());
}

// The simulated board plays in scaled real time: the demo's messages last
// as long as they sound.
TEST_F(VoiceBoardTest, PlaybackLastsAsLongAsTheMessageScaled)
{
    connected();
    board().setTimeScale(0.01);
    const QString msg = voiceFile(u"TEMP.vox"_s, 10); // 10 s -> 100 ms
    qint32 during = 0;
    board().during(SimOp::PlayFile, 5, [&] { during = board().ChannelState(); });
    QElapsedTimer timer;
    timer.start();
    board().PlayFile(msg, 1, {}, 2);
    EXPECT_GE(timer.elapsed(), 75);
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(during, kChannelPlaying);
    EXPECT_EQ(board().ChannelState(), kChannelIdle);
    EXPECT_EQ(board().ElapsedSeconds(), 8);
}
