#include "phone_fixture.h"

#include "shared/environment.h"

using namespace modVNQRN;
using namespace VoiceBocxLib;
using namespace Qt::StringLiterals;

namespace
{

class PhoneVoiceOperationsTest : public PhoneFixture
{
protected:
    QList<qint32> toneLengths()
    {
        QList<qint32> lengths;
        for (const auto &tone : board().tones()) {
            EXPECT_EQ(tone.frequency, 800);
            EXPECT_EQ(tone.level, -20);
            lengths.append(tone.length);
        }
        return lengths;
    }
};

} // namespace

TEST_F(PhoneVoiceOperationsTest, BeepsFollowTheFirstCharacterOfTheFile)
{
    connected();
    const QString source = voiceFile(QStringLiteral("M1.vox"), 1);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(data);
    helper().PlayWithVoiceBoard(u"N1.vox"_s, source); // N: two short beeps
    EXPECT_EQ(toneLengths(), (QList<qint32>{1, 1}));
    helper().PlayWithVoiceBoard(u"n1.vox"_s, source); // n as well
    EXPECT_EQ(toneLengths().mid(2), (QList<qint32>{1, 1}));
    helper().PlayWithVoiceBoard(u"M2.vox"_s, source);      // anything else: one long beep
    helper().PlayWithVoiceBoard(data + u"N3.vox", source); // a full path starts with "/"
    EXPECT_EQ(toneLengths().mid(4), (QList<qint32>{2, 2}));
    QDir::setCurrent(previous);
    EXPECT_EQ(board().plays().size(), 4);
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

TEST_F(PhoneVoiceOperationsTest, PlayToneCountsAndFlags)
{
    connected();
    helper().PlayTone(0);
    helper().PlayTone(-1);
    EXPECT_TRUE(board().tones().isEmpty());
    helper().PlayTone(3);
    EXPECT_EQ(toneLengths(), (QList<qint32>{1, 1, 1}));
    helper().PlayTone(1);
    EXPECT_EQ(toneLengths().last(), 2);
    // After a beep the hang-up event closes the route at once.
    board().hangUp();
    EXPECT_EQ(hangups->count(), 1);
    EXPECT_TRUE(msgPortUsage().isEmpty());
    helper().PlayTone(2); // closed route: nothing
    EXPECT_EQ(board().tones().size(), 4);
}

TEST_F(PhoneVoiceOperationsTest, FreshStartCopiesAndResumeSkipsWithoutCopying)
{
    connected();
    const QString source = voiceFile(QStringLiteral("M123456789AB.vox"), 20);
    const QString temp = local + u"TEMP.vox";
    TestWorkstation::writeFile(temp, "old");
    helper().PlayWithVoiceBoard(temp, source, u"0123456789#ABCD"_s, 0, 1);
    ASSERT_EQ(board().plays().size(), 1);
    EXPECT_EQ(TestWorkstation::readFile(temp).size(), 80000);
    EXPECT_EQ(board().plays()[0].ending, SimEnding::End);
    EXPECT_DOUBLE_EQ(board().plays()[0].endPosition, 20.0);

    // A resume: the working copy is played from second 12, the source not copied again.
    voiceFile(QStringLiteral("M123456789AB.vox"), 30);
    helper().PlayWithVoiceBoard(temp, source, u"0123456789#ABCD"_s, 12, 1);
    ASSERT_EQ(board().plays().size(), 2);
    EXPECT_EQ(board().plays()[1].startSecond, 12);
    EXPECT_EQ(TestWorkstation::readFile(temp).size(), 80000);
    EXPECT_EQ(board().ElapsedSeconds(), 8); // played from second 12 to 20
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

TEST_F(PhoneVoiceOperationsTest, PauseReturnsThePositionAndStopToneEndsThePlay)
{
    connected();
    const QString msg = voiceFile(QStringLiteral("TEMP.vox"), 30);
    QString paused;
    board().during(SimOp::PlayFile, 4, [&] { paused = helper().PauseMsg(); });
    helper().PlayWithVoiceBoard(msg, QString(), QString(), 12);
    EXPECT_EQ(paused, u"4"); // seconds played since second 12
    EXPECT_EQ(board().plays().last().ending, SimEnding::StopVoice);
    EXPECT_FALSE(helper().ActionStopped());

    board().pressKeysDuring(SimOp::PlayFile, 3, u"5"_s);
    helper().PlayWithVoiceBoard(msg, QString(), u"0123456789#ABCD"_s);
    EXPECT_EQ(board().plays().last().ending, SimEnding::StopTone);
    EXPECT_EQ(board().ElapsedSeconds(), 3);

    // A key outside the stop set plays on to the end.
    board().pressKeysDuring(SimOp::PlayFile, 3, u"*"_s);
    helper().PlayWithVoiceBoard(msg, QString(), u"0123456789#ABCD"_s);
    EXPECT_EQ(board().plays().last().ending, SimEnding::End);

    board().during(SimOp::PlayFile, 2, [&] { helper().StopMsg(); });
    helper().PlayWithVoiceBoard(msg);
    EXPECT_EQ(board().plays().last().ending, SimEnding::StopVoice);
    EXPECT_TRUE(helper().ActionStopped());
    // Flag true after the play: a hang-up now disconnects at once.
    board().hangUp();
    EXPECT_EQ(hangups->count(), 1);
    EXPECT_EQ(helper().PauseMsg(), QString()); // closed route
}

TEST_F(PhoneVoiceOperationsTest, HangUpDuringPlaybackClosesTheRouteOnce)
{
    connected();
    const QString msg = voiceFile(QStringLiteral("TEMP.vox"), 30);
    int connectedAtEvent = -1;
    QObject::connect(&helper(), &clsPhoneHelp::CallerHangup, [&] { connectedAtEvent = 0; });
    board().hangUpDuring(SimOp::PlayFile, 7);
    helper().PlayWithVoiceBoard(msg);

    // The event during the play is left to the play, whose failure hangs up silently.
    EXPECT_EQ(board().plays().last().ending, SimEnding::HangUp);
    EXPECT_EQ(board().ElapsedSeconds(), 7);
    EXPECT_EQ(hangups->count(), 1);
    EXPECT_EQ(connectedAtEvent, 0);
    EXPECT_EQ(board().hangUpCount(), 1);
    EXPECT_TRUE(prompter.boxes.isEmpty());
    EXPECT_TRUE(msgPortUsage().isEmpty());
    EXPECT_TRUE(portLogTexts().endsWith(u"Disconnect Call"_s));

    // Later plays on the closed route play nothing.
    helper().PlayWithVoiceBoard(msg);
    EXPECT_EQ(board().plays().size(), 1);
}

TEST_F(PhoneVoiceOperationsTest, HangUpDuringTheBeepsPlaysNothing)
{
    connected();
    const QString msg = voiceFile(QStringLiteral("N123456789AB.vox"), 5);
    board().hangUpDuring(SimOp::GenerateTone, 0.1);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(data);
    helper().PlayWithVoiceBoard(u"N1.vox"_s, msg);
    QDir::setCurrent(previous);
    EXPECT_TRUE(board().plays().isEmpty());
    EXPECT_EQ(board().tones().size(), 1);
    EXPECT_EQ(hangups->count(), 1);
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

TEST_F(PhoneVoiceOperationsTest, FailuresFollowTheFailureRule)
{
    connected();
    const QString msg = voiceFile(QStringLiteral("TEMP.vox"), 5);
    board().failNext(SimOp::PlayFile, kFarEndGone);
    helper().PlayWithVoiceBoard(msg);
    EXPECT_EQ(hangups->count(), 1);
    EXPECT_TRUE(prompter.boxes.isEmpty());

    connected();
    board().failNext(SimOp::PlayFile, 0);
    helper().PlayWithVoiceBoard(msg);
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_EQ(prompter.boxes[0].text.left(12), u"Error 31007 ");
    EXPECT_TRUE(prompter.boxes[0].text.endsWith(u"VN-PHoneHelp"));
    EXPECT_EQ(hangups->count(), 1); // the route stays
    EXPECT_TRUE(board().callUp());

    // A missing source on a fresh start is reported the same way.
    helper().PlayWithVoiceBoard(msg, data + u"gone.vox");
    ASSERT_EQ(prompter.boxes.size(), 2);
    EXPECT_TRUE(prompter.boxes[1].text.startsWith(u"Error 53 { 53-File not found }"));
}

TEST_F(PhoneVoiceOperationsTest, SoundCardPlaysFromTheStartAndResetsSkip)
{
    EXPECT_TRUE(helper().ConnectSoundCard());
    auto *wave = board().simulatedWave();
    ASSERT_NE(wave, nullptr);
    const QString source = voiceFile(QStringLiteral("M1.vox"), 10);
    const QString temp = local + u"TEMP.vox";
    qint32 skip = 0;
    helper().PlayWithSoundCard(temp, source, skip, 1);
    EXPECT_EQ(TestWorkstation::readFile(temp).size(), 40000);

    TestWorkstation::writeFile(temp, QByteArray(8000, '\0'));
    skip = 12;
    wave->duringNextPlay(1, [&] { EXPECT_EQ(helper().PauseMsg(), u"1"); });
    helper().PlayWithSoundCard(temp, source, skip, 1);
    EXPECT_EQ(skip, 0);
    EXPECT_EQ(TestWorkstation::readFile(temp).size(), 8000); // not copied
    ASSERT_EQ(wave->plays().size(), 2);
    EXPECT_EQ(wave->plays()[1].startSecond, 0);
    EXPECT_EQ(wave->plays()[1].ending, SimEnding::StopVoice);
    EXPECT_TRUE(board().plays().isEmpty());
    EXPECT_TRUE(board().tones().isEmpty());
    EXPECT_TRUE(portLogTexts().endsWith(u"Playing file="_s + temp));
}

TEST_F(PhoneVoiceOperationsTest, RecordMsgRecordsAfterTheGreetingOrStopsDuringIt)
{
    voiceFile(QStringLiteral("vox/msgmic.vox"), 2);
    connected();
    const QString rec = local + u"rec.vox";
    const QString server = data + u"N000000042AB.vox";
    board().setSpeechSeconds(4);
    EXPECT_TRUE(helper().RecordMsg(rec, server));
    EXPECT_EQ(TestWorkstation::readFile(server).size(), (4 + 6) * 4000); // speech + silence time
    EXPECT_EQ(board().plays().last().file, data + u"vox/msgmic.vox");

    QFile::remove(server);
    board().during(SimOp::PlayFile, 1, [&] { helper().StopMsg(); });
    EXPECT_FALSE(helper().RecordMsg(rec, server));
    EXPECT_TRUE(helper().ActionStopped());
    EXPECT_EQ(board().recordings().size(), 1);
    EXPECT_FALSE(QFileInfo::exists(server));

    // A recording cut off by a hang-up is no recording.
    board().hangUpDuring(SimOp::RecordFile, 2);
    EXPECT_FALSE(helper().RecordMsg(rec, server));
    EXPECT_FALSE(helper().ActionStopped());
    EXPECT_FALSE(QFileInfo::exists(server));
    EXPECT_EQ(hangups->count(), 1);
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

TEST_F(PhoneVoiceOperationsTest, GetDigitsValidatesTheKeys)
{
    connected();
    const QString prompt = voiceFile(QStringLiteral("prompt.vox"), 2);
    board().pressKeysDuring(SimOp::PlayPrompt, 1, u"12"_s);
    board().pressKeysDuring(SimOp::CollectDigits, 1, u"3#"_s);
    EXPECT_EQ(helper().GetDigits(prompt, 6, u"#"_s), u"123");
    EXPECT_EQ(portLogTexts().mid(portLogTexts().size() - 2),
              (QStringList{u"Play File="_s + prompt, u"Response=123"_s}));

    board().pressKeysDuring(SimOp::CollectDigits, 1, u"12#3"_s);
    EXPECT_EQ(helper().GetDigits(prompt, 2), u"12");

    // The keys left over: a lone "#" is rejected, then the time-out ends the
    // wait with what was pressed.
    EXPECT_EQ(helper().GetDigits(prompt, 4), QString());
    EXPECT_EQ(helper().GetDigits(prompt, 4), u"3");
    EXPECT_EQ(portLogTexts().last(), u"Response=3");
}

TEST(ValidateInputTest, HashAndStarRules)
{
    FakeClock clock;
    RecordingPrompter prompter;
    TestWorkstation ws;
    clsPhoneHelp phone;
    struct Case {
        QString in, result, after;
    } cases[] = {
        {u"123#"_s, u"123"_s, u"123"_s}, {u"#"_s, {}, u"#"_s},
        {u"12#3"_s, {}, u"12#3"_s},      {u"1##"_s, {}, u"1#"_s},
        {u"1*2"_s, {}, u"1*2"_s},        {u"*#"_s, {}, u"*"_s},
        {u"0"_s, u"0"_s, u"0"_s},        {QString(), QString(), QString()},
    };
    for (auto &c : cases) {
        QString s1 = c.in;
        EXPECT_EQ(phone.ValidateInput(s1), c.result) << c.in.toStdString();
        EXPECT_EQ(s1, c.after) << c.in.toStdString();
    }
}
