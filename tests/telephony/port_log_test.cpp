#include "phone_fixture.h"

#include "shared/environment.h"

#include <QDir>

using namespace modVNQRN;
using namespace VoiceBocxLib;
using namespace Qt::StringLiterals;

namespace
{
using PortLogTest = PhoneFixture;
}

TEST_F(PortLogTest, ASessionIsTracedLineByLineInOrder)
{
    const QString msg = voiceFile(QStringLiteral("TEMP.vox"), 3);
    voiceFile(QStringLiteral("vox/msgmic.vox"), 1);
    connected();
    helper().PlayWithVoiceBoard(msg);
    helper().RecordMsg(local + u"rec.vox", local + u"copy.vox");
    helper().DisconnectCall();
    helper().ConnectSoundCard();
    helper().PlayWithSoundCard(msg);

    EXPECT_EQ(portLogTexts(), (QStringList{
                                  u"Voice device is installed = 4"_s,
                                  u"Wave device is installed = 1"_s,
                                  u"Trunk Channel=2"_s,
                                  u"Making Call=5551234"_s,
                                  u"Connection succeeded"_s,
                                  u"Delaying playing by 0 seconds"_s,
                                  u"Finshed Delay"_s,
                                  u"PlayingFile="_s + msg,
                                  u"Playing Greeting="_s + data + u"vox/msgmic.vox",
                                  u"Recording Message= "_s + local + u"rec.vox",
                                  u"Disconnect Call"_s,
                                  u"AutoRouteMedia=false"_s,
                                  u"TrunkChannel=-1"_s,
                                  u"MediaChannel=1"_s,
                                  u"Playing file="_s + msg,
                              }));
    const QByteArray raw = TestWorkstation::readFile(local + u"Port3.txt");
    EXPECT_TRUE(raw.startsWith("Mar14 09:30:00 VN-Orvak - 'Voice device is installed = 4\r\n"));
    EXPECT_TRUE(raw.contains("Mar14 09:30:01 VN-Orvak - 'Connection succeeded\r\n"));

    // Another helper on the port appends to the same file.
    clsPhoneHelp second;
    EXPECT_EQ(portLogTexts().size(), 17);
}

// A log that is off, or whose folder is missing, loses the lines but not the call.
TEST_F(PortLogTest, OnlyErrorLogExactlyOneSwitchesItOnAndAMissingFolderLosesTheLines)
{
    for (const char *value : {"0", "2", "1"}) {
        writeIni(QByteArray("[Zuzidivuz]\r\nErrorLog=") + value + "\r\n");
        if (*value == '1')
            gsLocalPath = ws.root() + u"nowhere/";
        restart();
        connected();
        helper().PlayTone(2);
        EXPECT_FALSE(QFileInfo::exists(gsLocalPath + u"Port3.txt")) << value;
        EXPECT_EQ(board().tones().size(), 2);
        helper().DisconnectCall();
    }
    EXPECT_FALSE(QDir(gsLocalPath).exists());
    EXPECT_TRUE(prompter.boxes.isEmpty());
}
