// The control's Play and Stop buttons on the sound-card route, heard at a
// private PulseAudio null sink. Skipped, with the reason, where no audio
// server can be started.

#include "control/display_states.h"
#include "control/message_control.h"

#include "null_sink_test.h"
#include "signal_match.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"
#include "test_message.h"

#include "telephony/vox_decoder.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTimer>

using namespace VNOrvak;
using namespace VoiceBocxLib;

namespace
{

class SoundCardPlaybackTest : public NullSinkTest
{
protected:
    void SetUp() override
    {
        NullSinkTest::SetUp();
        QDir().mkpath(ws.messagesFolder());
        ws.writeLocalIni("SoundCard=1\n[Messages]\nMsgTimer=0\n");
    }

    // Writes a new message for entity 42; returns its decoded samples.
    QVector<qint16> message(const QString &name, int ms)
    {
        const QString path = ws.messagesFolder() + name + u".vox";
        writeVoxFile(path, speechLikeMessage(ms));
        return decodeVoxFile(path).samples;
    }
    QPushButton *button(const char *name)
    {
        return control.findChild<QPushButton *>(QString::fromUtf8(name));
    }

    TestWorkstation ws;
    RecordingPrompter prompter;
    MessageControl control;
};

TEST_F(SoundCardPlaybackTest, PlayIsHeardWholeAndStopCutsItShort)
{
    const QVector<qint16> first = message(QStringLiteral("N0000000042A"), 1500);
    const QVector<qint16> second = message(QStringLiteral("N0000000042B"), 4000);
    control.InitializeForProgram(QStringLiteral("VN-Console"));
    control.InitializeForID(QStringLiteral("42"));
    ASSERT_NE(control.core().lastState(), dsNoDevice);

    // Stop once the second message has been heard for a second.
    QTimer watch;
    watch.setInterval(10);
    int heardFirst = 0;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const auto [begin, end] = soundSpan(heardSoFar());
        if (heardFirst == 0 && end - begin > 8 * 1500)
            heardFirst = int(heardSoFar().size());
        if (heardFirst && end - heardFirst > 8 * 1000) {
            watch.stop();
            button("cmdPlayLast")->click();
        }
    });
    watch.start();
    listenTo([&] { button("cmdPlayAll")->click(); });

    EXPECT_GT(findSignal(first, heard).correlation, 0.95);
    EXPECT_GT(findSignal(second.mid(0, 8 * 800), heard).correlation, 0.95);
    // Heard: all of the first, about a second of the second, and no more.
    const auto [begin, end] = soundSpan(heard);
    EXPECT_GT(double(end - begin) / 8.0, 1500.0 + 900.0);
    EXPECT_LT(double(end - begin) / 8.0, 1500.0 + 1800.0);

    EXPECT_TRUE(QFile::exists(ws.messagesFolder() + u"M0000000042A.vox"));
    EXPECT_TRUE(QFile::exists(ws.messagesFolder() + u"N0000000042B.vox")); // stopped: not heard
    EXPECT_EQ(button("cmdPlayAll")->text(), u"&Play");
    EXPECT_TRUE(prompter.boxes.isEmpty()) << qPrintable(prompter.texts().join(u'|'));
}

// Pause on the sound-card route, heard at the sink: a message that is loud
// where it is paused fades out instead of clicking (no step between
// neighbouring samples over 1/8 of full scale), and it stays new.
TEST_F(SoundCardPlaybackTest, PauseFadesOutWithoutAClick)
{
    constexpr int kClick = 4096;
    const QString path = ws.messagesFolder() + u"N0000000042A.vox";
    QVector<qint16> hum = loudHumMessage(3000);
    for (int i = 0; i < 400; ++i) // a gentle start of its own
        hum[i] = qint16(hum[i] * i / 400);
    writeVoxFile(path, hum);
    const QVector<qint16> reference = decodeVoxFile(path).samples;
    ASSERT_LT(largestStep(reference), kClick);
    control.InitializeForProgram(QStringLiteral("VN-Console"));
    control.InitializeForID(QStringLiteral("42"));
    ASSERT_NE(control.core().lastState(), dsNoDevice);

    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const auto [begin, end] = soundSpan(heardSoFar());
        if (end - begin > 8 * 1000) {
            watch.stop();
            button("cmdPlayAll")->click(); // Pause
        }
    });
    watch.start();
    listenTo([&] { button("cmdPlayAll")->click(); });

    EXPECT_EQ(button("cmdPlayAll")->text(), u"Res&ume");
    const auto [begin, end] = soundSpan(heard);
    EXPECT_GT(double(end - begin) / 8.0, 1000.0);
    EXPECT_LT(double(end - begin) / 8.0, 1400.0);
    EXPECT_LE(largestStep(heard), kClick);
    EXPECT_GT(findSignal(reference.mid(0, 8 * 900), heard).correlation, 0.95);
    EXPECT_TRUE(QFile::exists(path)); // paused: not heard yet
    EXPECT_TRUE(prompter.boxes.isEmpty()) << qPrintable(prompter.texts().join(u'|'));
}

} // namespace
