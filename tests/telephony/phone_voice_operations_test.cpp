#include "phone_fixture.h"

#include "shared/environment.h"
#include "telephony/simulated_wave_device.h"
#include "telephony/vox_decoder.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <functional>

#include <sys/mount.h>

using namespace modVNQRN;
using namespace VoiceBocxLib;
using namespace Qt::StringLiterals;

namespace
{
using PhoneVoiceOperationsTest = PhoneFixture;

/// A folder on a disk that fills up after 64 KiB: a small tmpfs mounted for
/// the test where that is allowed, otherwise the kernel's always-full
/// device standing in for the file.
class SmallDisk
{
public:
    explicit SmallDisk(const QString &folder) : m_folder(folder)
    {
        QDir().mkpath(folder);
        m_mounted = ::mount("tmpfs", qPrintable(folder), "tmpfs", 0, "size=64k") == 0;
        if (!m_mounted)
            std::printf("cannot mount a tmpfs here; /dev/full stands in for the full disk\n");
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(qPrintable(m_folder), MNT_DETACH);
    }
    /// A file on it.
    QString file(const QString &name) const
    {
        const QString path = m_folder + name;
        if (!m_mounted && !QFileInfo::exists(path))
            QFile::link(QStringLiteral("/dev/full"), path);
        return path;
    }

private:
    QString m_folder;
    bool m_mounted = false;
};

} // namespace

TEST_F(PhoneVoiceOperationsTest, BeepsFollowTheFirstCharacterOfTheFile)
{
    connected();
    const QString source = voiceFile(u"M1.vox"_s, 1);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(data);
    const std::pair<QString, QList<qint32>> rows[] = {
        {u"N1.vox"_s, {1, 1}},   // a new message: two short beeps
        {u"n1.vox"_s, {1, 1}},   // in either case
        {u"M2.vox"_s, {2}},      // anything else: one long beep
        {data + u"N3.vox", {2}}, // a full path starts with "/"
    };
    for (const auto &[destFile, lengths] : rows) {
        const qsizetype before = board().tones().size();
        helper().PlayWithVoiceBoard(destFile, source);
        QList<qint32> beeped;
        for (const auto &tone : board().tones().mid(before))
            beeped << tone.length;
        EXPECT_EQ(beeped, lengths) << destFile.toStdString();
    }
    EXPECT_EQ(board().tones().first().frequency, 800);
    EXPECT_EQ(board().tones().first().level, -20);
    EXPECT_EQ(board().plays().size(), 4);
    EXPECT_TRUE(prompter.boxes.isEmpty());

    // A hang-up during the beeps closes the route: no more beeps, no play.
    board().hangUpDuring(SimOp::GenerateTone, 0.1);
    helper().PlayWithVoiceBoard(u"N4.vox"_s, source);
    QDir::setCurrent(previous);
    EXPECT_EQ(board().plays().size(), 4);
    EXPECT_EQ(board().tones().size(), 7);
    EXPECT_EQ(hangups->count(), 1);
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

// A fresh start copies the source over the working copy; a resume plays the
// copy from the second reached without copying it again, and a pause tells
// the seconds played.
TEST_F(PhoneVoiceOperationsTest, FreshStartCopiesResumeSkipsAndOtherFailuresAreReported)
{
    connected();
    const QString source = voiceFile(u"M123456789AB.vox"_s, 20);
    const QString temp = local + u"TEMP.vox";
    TestWorkstation::writeFile(temp, "old");
    helper().PlayWithVoiceBoard(temp, source, u"0123456789#ABCD"_s, 0, 1);
    EXPECT_EQ(TestWorkstation::readFile(temp).size(), 80000);

    voiceFile(u"M123456789AB.vox"_s, 30);
    QString paused;
    board().during(SimOp::PlayFile, 3, [&] { paused = helper().PauseMsg(); });
    helper().PlayWithVoiceBoard(temp, source, u"0123456789#ABCD"_s, 12, 1);
    ASSERT_EQ(board().plays().size(), 2);
    EXPECT_EQ(board().plays()[1].startSecond, 12);
    EXPECT_EQ(board().plays()[1].ending, SimEnding::StopVoice);
    EXPECT_EQ(paused, u"3");
    EXPECT_EQ(TestWorkstation::readFile(temp).size(), 80000);
    EXPECT_TRUE(prompter.boxes.isEmpty());

    // Failures other than a far end gone (109, see the hang-up tests) are
    // reported, and the route stays: a missing source, a failing board.
    helper().PlayWithVoiceBoard(temp, data + u"gone.vox");
    board().failNext(SimOp::PlayFile, 0);
    helper().PlayWithVoiceBoard(temp);
    ASSERT_EQ(prompter.boxes.size(), 2);
    EXPECT_TRUE(prompter.boxes[0].text.startsWith(u"Error 53 { 53-File not found }"));
    EXPECT_TRUE(prompter.boxes[1].text.startsWith(u"Error 31007 "));
    EXPECT_TRUE(prompter.boxes[1].text.endsWith(u"VN-PHoneHelp"));
    EXPECT_EQ(hangups->count(), 0);
    EXPECT_TRUE(board().callUp());
}

// A copy that fails, and a play without a sound card, carry the numbers the
// error table gives: not a catch-all "Path/File access error", and not the
// line's "no trunk channel".
TEST_F(PhoneVoiceOperationsTest, FailuresCarryTheirDocumentedNumbers)
{
    connected();
    const QString source = voiceFile(u"M123456789AB.vox"_s, 2);
    TestWorkstation::writeFile(local + u"file.txt", "x");
    QFile::link(QStringLiteral("/dev/full"), local + u"full.vox");
    const struct {
        const char *what;
        QString target;
        QString box;
    } rows[] = {
        {"disk full", local + u"full.vox", u"Error 61 { 61-Disk full while copying "_s},
        {"missing folder", local + u"none/TEMP.vox", u"Error 76 { 76-Path not found }"_s},
        {"a file for a folder", local + u"file.txt/TEMP.vox", u"Error 76 { 76-Path not found }"_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        if (row.target.endsWith(u"full.vox") && !QFileInfo::exists(QStringLiteral("/dev/full")))
            continue;
        prompter.boxes.clear();
        helper().PlayWithVoiceBoard(row.target, source);
        ASSERT_EQ(prompter.boxes.size(), 1);
        EXPECT_TRUE(prompter.boxes[0].text.startsWith(row.box))
            << qPrintable(prompter.boxes[0].text);
    }
    // The half-written copy is not left behind; /dev/full itself is untouched.
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/dev/full")));

    TestWorkstation::writeFile(gsLocalIni, "[VoiceBoard]\r\nDriver=simulated\r\nWaveDevice=none\r\n"
                                           "TimeScale=0.001\r\n[Messages]\r\nMsgport=3\r\n");
    restart();
    prompter.boxes.clear();
    ASSERT_TRUE(helper().ConnectSoundCard());
    helper().PlayWithSoundCard(local + u"TEMP.vox", source);
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_TRUE(prompter.boxes[0].text.startsWith(
        u"Error 440 { 440-No sound card is installed } occurred at "))
        << qPrintable(prompter.boxes[0].text);
}

// Whether a hang-up between operations closes the route at once depends on
// the operation before it; otherwise the next operation meets the gone far
// end and closes it, silently too.
TEST_F(PhoneVoiceOperationsTest, AHangUpAfterAnOperationClosesTheRouteAtOnceOrAtTheNext)
{
    const QString msg = voiceFile(u"TEMP.vox"_s, 2);
    voiceFile(u"vox/msgmic.vox"_s, 1);
    const struct {
        const char *after;
        std::function<void()> operation;
        bool atOnce;
    } rows[] = {
        {"ConnectPhone", [] {}, false},
        {"PlayTone", [&] { helper().PlayTone(1); }, true},
        {"PlayWithVoiceBoard", [&] { helper().PlayWithVoiceBoard(msg); }, true},
        {"StopMsg", [&] { helper().StopMsg(); }, false},
        {"PauseMsg", [&] { helper().PauseMsg(); }, false},
        {"WaitForIdleState", [&] { helper().WaitForIdleState(); }, true},
        {"RecordMsg", [&] { helper().RecordMsg(local + u"rec.vox", local + u"copy.vox"); }, true},
        {"GetDigits", [&] { helper().GetDigits(msg, 1); }, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.after);
        restart();
        connected();
        row.operation();
        board().hangUp();
        EXPECT_EQ(hangups->count(), row.atOnce ? 1 : 0);
        helper().PlayTone(1);
        EXPECT_EQ(hangups->count(), 1);
        EXPECT_TRUE(msgPortUsage().isEmpty());
        EXPECT_TRUE(prompter.boxes.isEmpty());
    }
}

TEST_F(PhoneVoiceOperationsTest, RecordMsgRecordsAfterTheGreetingOrStopsDuringIt)
{
    voiceFile(u"vox/msgmic.vox"_s, 2);
    connected();
    const QString rec = local + u"rec.vox";
    const QString server = data + u"N000000042AB.vox";
    board().setSpeechSeconds(4);
    EXPECT_TRUE(helper().RecordMsg(rec, server));
    EXPECT_EQ(TestWorkstation::readFile(server).size(), (4 + 6) * 4000); // speech + silence time

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

// GetDigits hands the keys to ValidateInput: a closing "#" goes, a "#" inside
// or a "*" rejects the answer.
TEST_F(PhoneVoiceOperationsTest, GetDigitsValidatesTheKeysByTheHashAndStarRules)
{
    connected();
    const QString prompt = voiceFile(u"prompt.vox"_s, 2);
    board().pressKeysDuring(SimOp::PlayPrompt, 1, u"12"_s);
    board().pressKeysDuring(SimOp::CollectDigits, 1, u"3#"_s);
    EXPECT_EQ(helper().GetDigits(prompt, 6, u"#"_s), u"123");
    EXPECT_EQ(portLogTexts().last(2), (QStringList{u"Play File="_s + prompt, u"Response=123"_s}));
    board().pressKeysDuring(SimOp::CollectDigits, 1, u"456"_s);
    EXPECT_EQ(helper().GetDigits(prompt, 2), u"45");

    const struct {
        QString in, result, after;
    } rows[] = {
        {u"123#"_s, u"123"_s, u"123"_s}, {u"#"_s, {}, u"#"_s},
        {u"12#3"_s, {}, u"12#3"_s},      {u"1##"_s, {}, u"1#"_s},
        {u"1*2"_s, {}, u"1*2"_s},        {u"*#"_s, {}, u"*"_s},
        {u"0"_s, u"0"_s, u"0"_s},        {QString(), QString(), QString()},
    };
    for (const auto &row : rows) {
        QString s1 = row.in;
        EXPECT_EQ(helper().ValidateInput(s1), row.result) << row.in.toStdString();
        EXPECT_EQ(s1, row.after) << row.in.toStdString();
    }
}

// On the sound card a play that cannot start is reported with its number
// and a plain text, plays nothing, leaves the route open and the message as
// it was.
TEST_F(PhoneVoiceOperationsTest, SoundCardPlaysThatCannotStartAreReportedAndLoseNothing)
{
    EXPECT_TRUE(helper().ConnectSoundCard());
    SimulatedWaveDevice *wave = SimulatedWaveDevice::last();
    ASSERT_NE(wave, nullptr);
    const QString message = voiceFile(u"N123456789AB.vox"_s, 20); // 80,000 bytes
    const QByteArray sound = TestWorkstation::readFile(message);
    QFile huge(data + u"N123456789AC.vox");
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(kMaxVoxBytes + 1));
    huge.close();
    const QString temp = local + u"TEMP.vox";
    const SmallDisk disk(ws.root() + u"small/");

    const struct {
        const char *what;
        QString dest;
        QString source;
        const char16_t *box;
    } rows[] = {
        {"missing message", temp, data + u"gone.vox", u"Error 53 { 53-File not found }"},
        {"too large", temp, huge.fileName(), u"Error 7 { 7-Message file too large to play: "},
        {"disk full", disk.file(u"TEMP.vox"_s), message, u"Error 61 { 61-Disk full while copying "},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        TestWorkstation::writeFile(temp, "old");
        prompter.boxes.clear();
        qint32 skip = 0;
        helper().PlayWithSoundCard(row.dest, row.source, skip, 1);
        ASSERT_EQ(prompter.boxes.size(), 1);
        EXPECT_TRUE(prompter.boxes[0].text.startsWith(QStringView(row.box)))
            << qPrintable(prompter.boxes[0].text);
        EXPECT_TRUE(prompter.boxes[0].text.endsWith(u"VN-PHoneHelp"));
        EXPECT_TRUE(wave->plays().isEmpty());
        EXPECT_EQ(TestWorkstation::readFile(message), sound);
        EXPECT_TRUE(QFileInfo::exists(message));
    }
    // Refused before anything was copied: the old working copy is still there.
    EXPECT_EQ(TestWorkstation::readFile(temp), "old");
    EXPECT_EQ(QFileInfo(huge.fileName()).size(), kMaxVoxBytes + 1);
    // The copy that ran out of room is not left behind.
    EXPECT_FALSE(QFileInfo(disk.file(u"TEMP.vox"_s)).isFile());

    // The route is still open: the next play works.
    prompter.boxes.clear();
    helper().PlayWithSoundCard(temp, message);
    ASSERT_EQ(wave->plays().size(), 1);
    EXPECT_EQ(TestWorkstation::readFile(temp), sound);
    EXPECT_TRUE(prompter.boxes.isEmpty());
}
