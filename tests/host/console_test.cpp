// The operator console around the control: the selected entity's messages,
// what plays now, stopping a playback before moving on, the keys, the
// filter and the status line. The simulated voice board plays in no time.

#include "host/console_keys.h"
#include "host/entity_picker.h"
#include "host/event_log_pane.h"
#include "host/host_window.h"
#include "host/message_table.h"
#include "host/playback_panel.h"
#include "host/playback_watch.h"
#include "host/status_line.h"

#include "control/message_control.h"

#include "message_folder.h"
#include "support/fake_clock.h"
#include "support/qstring_printer.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include "telephony/simulated_voice_board.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>

using namespace VNOrvak;
using namespace VoiceBocxLib;
using namespace Qt::StringLiterals;
using Phase = PlaybackState::Phase;

namespace
{

class ConsoleTest : public ::testing::Test
{
protected:
    ConsoleTest()
    {
        ws.writeLocalIni(kSimulatedBoardSettings);
        // Entity 7: a new message of 10 s, then a heard one of 6 s; entity 3:
        // one new of 4 s; entity 12: one heard of 3 s.
        message("NA000000007A", QTime(8, 5), 10);
        message("MA000000007B", QTime(9, 10), 6);
        message("NA000000003A", QTime(7, 0), 4);
        message("MA000000012A", QTime(6, 0), 3);
    }
    void message(const char *name, QTime time, int seconds)
    {
        writeMessageFile(ws.messagesFolder(), QString::fromLatin1(name) + u".vox",
                         QDateTime(QDate(2026, 3, 14), time), QByteArray(seconds * 4000, '\x11'));
    }
    QStringList tableRows()
    {
        QStringList rows;
        const MessageTable &t = window.messageTable();
        for (int i = 0; i < t.topLevelItemCount(); ++i) {
            QStringList cells;
            for (int c = 0; c < t.columnCount(); ++c)
                cells << t.topLevelItem(i)->text(c);
            rows << cells.join(u" | ");
        }
        return rows;
    }
    SimulatedVoiceBoard &board() { return *SimulatedVoiceBoard::last(); }
    // How far each play went into its message, in seconds.
    QList<double> playedLengths()
    {
        QList<double> out;
        for (const SimPlay &p : board().plays())
            out << p.endPosition - p.startSecond;
        return out;
    }
    const QStringList &log() { return window.eventLog().entries(); }
    // Lets a move that waits for a stopped playback to return happen; how
    // long it took, in real milliseconds.
    qint64 settle()
    {
        QElapsedTimer t;
        t.start();
        while (window.playback().stopping() && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return t.elapsed();
    }

    TestWorkstation ws;
    FakeClock clock; // 2026-03-14 09:30
    RecordingPrompter prompter;
    HostWindow window;
};

TEST_F(ConsoleTest, TheTableListsTheEntitysMessagesAndMarksTheOnePlayingWithItsProgress)
{
    ASSERT_TRUE(window.start(u"VN-Console"_s));
    window.picker().pick(u"7"_s);
    EXPECT_EQ(tableRows(), (QStringList{u"1 | Sat 2026-03-14 08:05 | 0:10 | New"_s,
                                        u"2 | Sat 2026-03-14 09:10 | 0:06 | Heard"_s}));
    // New and heard differ in words and colour, both readable on white.
    const MessageTable &t = window.messageTable();
    EXPECT_EQ(t.topLevelItem(0)->foreground(MessageTable::ColStatus).color(),
              MessageTable::newColor());
    EXPECT_EQ(t.topLevelItem(1)->foreground(MessageTable::ColStatus).color(),
              MessageTable::heardColor());

    QStringList seen; // the table and the panel at 4 s into each message
    const auto look = [&] {
        window.playback().refresh();
        seen << tableRows().filter(u"Playing"_s).join(u';') + u" / " +
                    window.playbackPanel().announcement();
    };
    board().during(SimOp::PlayFile, 4, [&] {
        look();
        // The played seconds come with the playback's ticks, once a second.
        window.playbackPanel().showElapsed(4.2);
        seen << window.playbackPanel().elapsedText();
        board().during(SimOp::PlayFile, 4, look);
    });
    window.runCommand(ConsoleCommand::PlayPause);

    EXPECT_EQ(seen, (QStringList{
                        u"1 | Sat 2026-03-14 08:05 | 0:10 | Playing - new / Playing message 1 of 2 "
                        u"of entity 7, received Sat 2026-03-14 08:05, length 0:10"_s,
                        u"0:04 / 0:10"_s,
                        u"2 | Sat 2026-03-14 09:10 | 0:06 | Playing - heard / Playing message 2 of "
                        u"2 of entity 7, received Sat 2026-03-14 09:10, length 0:06"_s}));
    window.playback().refresh();
    EXPECT_EQ(window.playback().state().phase, Phase::Idle);
    EXPECT_EQ(window.playbackPanel().announcement(), u"Not playing");
    // The first message was heard: the table says so at once.
    EXPECT_EQ(tableRows(), (QStringList{u"1 | Sat 2026-03-14 08:05 | 0:10 | Heard"_s,
                                        u"2 | Sat 2026-03-14 09:10 | 0:06 | Heard"_s}));
    EXPECT_TRUE(log().contains(u"Operator: Pressed Play"_s));
    EXPECT_TRUE(prompter.boxes.isEmpty()) << qPrintable(prompter.texts().join(u'\n'));
}

TEST_F(ConsoleTest, MovingOnWhilePlayingStopsThePlaybackFirstWithoutWaiting)
{
    ASSERT_TRUE(window.start(u"VN-Console"_s));
    window.picker().pick(u"7"_s);

    // Picking entity 3 two seconds into entity 7's first message.
    qint64 switchMs = -1;
    board().during(SimOp::PlayFile, 2, [&] {
        window.playback().refresh();
        EXPECT_EQ(window.playback().state().phase, Phase::Playing);
        switchMs = clock.monotonicMs();
        window.picker().pick(u"3"_s);
        EXPECT_TRUE(window.playback().stopping());
    });
    window.runCommand(ConsoleCommand::PlayPause);
    EXPECT_LT(settle(), 1000);
    EXPECT_EQ(window.control().core().store().msEntityID, u"000000003");

    // No wait for an idle line (it took 30 s and a box before).
    EXPECT_GE(switchMs, 0);
    EXPECT_LT(clock.monotonicMs() - switchMs, 1000);
    EXPECT_TRUE(prompter.boxes.isEmpty()) << qPrintable(prompter.texts().join(u'\n'));
    // Entity 7's first message was cut short and its second never played.
    ASSERT_EQ(playedLengths().size(), 1);
    EXPECT_LT(playedLengths()[0], 10);
    EXPECT_TRUE(QFile::exists(ws.messagesFolder() + u"MA000000007B.vox"));
    window.playback().refresh();
    EXPECT_EQ(window.playback().state().phase, Phase::Idle);
    EXPECT_EQ(window.picker().selectedId(), u"3");
    EXPECT_EQ(tableRows(), QStringList{u"1 | Sat 2026-03-14 07:00 | 0:04 | New"_s});
    const qsizetype stopAt = log().indexOf(u"Stopping the playback before showing entity 3"_s);
    ASSERT_GE(stopAt, 0);
    EXPECT_EQ(log()[stopAt + 1], u"Playback: Not playing");
    EXPECT_EQ(log().mid(stopAt).indexOf(u"InitializeForID \"3\""_s) > 0, true);

    // New Msg by key while entity 3 plays stops it first, then plays the
    // lowest entity's new message: 3's own, still new after its stop.
    board().during(SimOp::PlayFile, 1, [&] { window.runCommand(ConsoleCommand::NewMsg); });
    window.runCommand(ConsoleCommand::PlayPause);
    EXPECT_EQ(playedLengths().size(), 2); // New Msg waits for the stopped playback to return
    settle();
    EXPECT_TRUE(log().contains(u"Stopping the playback before New Msg"_s));
    // Entity 3's message stopped at 1 s, then played whole by New Msg and heard.
    ASSERT_EQ(playedLengths().size(), 3);
    EXPECT_LT(playedLengths()[1], 4);
    EXPECT_EQ(playedLengths()[2], 4);
    EXPECT_TRUE(QFile::exists(ws.messagesFolder() + u"MA000000003A.vox"));
    EXPECT_TRUE(prompter.boxes.isEmpty()) << qPrintable(prompter.texts().join(u'\n'));
}

TEST_F(ConsoleTest, TheFilterTheStatusLineAndAVanishedFolder)
{
    ASSERT_TRUE(window.start(u"VN-Console"_s));
    window.picker().pick(u"12"_s);
    window.onlyNewFilter().setChecked(true);
    // Entity 12 has no new message but stays while it is selected.
    EXPECT_EQ(window.picker().ids(), (QStringList{u"3"_s, u"7"_s, u"12"_s}));
    window.picker().pick(u"3"_s);
    window.onlyNewFilter().setChecked(false);
    window.onlyNewFilter().setChecked(true);
    EXPECT_EQ(window.picker().ids(), (QStringList{u"3"_s, u"7"_s}));
    EXPECT_TRUE(log().contains(u"Operator: Only entities with new messages: on"_s));

    window.refreshStatus();
    EXPECT_EQ(window.statusLine().text(),
              u"Settings: "_s + ws.localIni() + u"  |  Messages folder: found "_s +
                  ws.messagesFolder() + u"  |  Route: telephone 201  |  Message line: free"_s);

    // The folder vanishes: the status says so, the list is marked as last seen.
    ASSERT_TRUE(QDir(ws.messagesFolder()).removeRecursively());
    window.control().core().tmrCalls_Timer();
    window.refreshStatus();
    EXPECT_TRUE(window.statusLine().text().contains(u"Messages folder: missing"_s));
    EXPECT_TRUE(window.picker().stale());
    EXPECT_TRUE(log().contains(u"Messages folder: missing "_s + ws.messagesFolder()));
}

TEST_F(ConsoleTest, WithoutAnInstallationTheStatusSaysNoSettingsWereFound)
{
    QFile::remove(ws.localIni());
    window.start(u"VN-Console"_s);
    EXPECT_TRUE(window.statusLine().text().startsWith(
        u"Settings: no settings file found  |  Messages folder: missing"_s))
        << qPrintable(window.statusLine().text());
}

// Every key of the console is its own, and none is an access key of a
// button, box or label on the window (those are Alt+letter).
TEST(ConsoleKeysTest, KeysAreUnambiguousAndShownInTheLegendAndTooltips)
{
    HostWindow window;
    QList<QKeySequence> seen;
    for (const ConsoleKey &key : consoleKeys())
        for (const QKeySequence &seq : key.keys) {
            EXPECT_FALSE(seen.contains(seq)) << qPrintable(seq.toString());
            EXPECT_FALSE(seq.toString().startsWith(u"Alt+"));
            seen << seq;
        }
    // The console's own access keys clash neither with each other nor with
    // the control's.
    QMap<QChar, QStringList> consoleAccess;
    QMap<QChar, QStringList> controlAccess;
    const QRegularExpression access(u"&([^&])"_s);
    const auto note = [&](QObject *o, const QString &text) {
        const auto m = access.match(text);
        if (!m.hasMatch())
            return;
        const bool inControl =
            o == &window.control() || window.control().isAncestorOf(qobject_cast<QWidget *>(o));
        (inControl ? controlAccess : consoleAccess)[m.captured(1).at(0).toUpper()]
            << o->objectName();
    };
    for (QObject *o : window.findChildren<QObject *>()) {
        if (auto *b = qobject_cast<QAbstractButton *>(o))
            note(o, b->text());
        else if (auto *l = qobject_cast<QLabel *>(o))
            note(o, l->text());
        else if (auto *g = qobject_cast<QGroupBox *>(o))
            note(o, g->title());
    }
    EXPECT_FALSE(consoleAccess.isEmpty());
    for (auto it = consoleAccess.cbegin(); it != consoleAccess.cend(); ++it) {
        EXPECT_EQ(it.value().size(), 1) << qPrintable(it.value().join(u','));
        EXPECT_FALSE(controlAccess.contains(it.key())) << qPrintable(it.value().join(u','));
    }
    const QString legend = window.findChild<QLabel *>(u"lblKeys"_s)->text();
    for (const char *part :
         {"F5 or Space: Play / Pause / Resume", "Esc: Stop", "F6: New Msg",
          "Ctrl+Left: Previous entity", "Ctrl+Right: Next entity", "Ctrl+F: Entity field"})
        EXPECT_TRUE(legend.contains(QString::fromLatin1(part))) << part;
    EXPECT_TRUE(window.picker().toolTip().contains(u"Ctrl+F"_s));
    EXPECT_TRUE(window.messageTable().toolTip().contains(u"F5 or Space"_s));
}

} // namespace
