// Playing messages end to end: a real messages folder, the control and the
// simulated voice board (telephone line or sound card), checked by what the
// operator hears (the board's record), sees (captions, labels) and what lands
// on disk.

#include "control/display_states.h"
#include "control/message_control.h"
#include "control/message_file_system.h"

#include "simulated_route.h"

#include "shared/error.h"
#include "shared/error_log.h"
#include "shared/profile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>

#include <functional>
#include <map>
#include <memory>
#include <tuple>
#include <utility>

using namespace VNOrvak;
using namespace VoiceBocxLib;
using namespace Qt::StringLiterals;

namespace
{

using Action = std::function<void()>;

class PlaybackTest : public SimulatedRouteTest
{
protected:
    // Polls only when a test ticks; the simulated board plays in no time.
    PlaybackTest() : SimulatedRouteTest("TimeScale=0.001\n") {}

    // Starts the control on `id` and watches every play.
    void start(int id)
    {
        control.InitializeForProgram(QStringLiteral("VN-Console"));
        if (id)
            control.InitializeForID(QString::number(id));
        QObject::connect(&control, &MessageControl::FinishedPlayingNewMsg,
                         [this] { finishedDuring << playNumber; });
        QObject::connect(&control, &MessageControl::IDChanged,
                         [this](const QString &id, bool &hasNew, const QString &) {
                             ids << (hasNew ? id + u" new" : id);
                         });
        arm(1);
    }

    QList<double> playedLengths()
    {
        QList<double> out;
        for (const SimPlay &p : plays())
            out << p.endPosition - p.startSecond;
        return out;
    }

    // Runs `action` at `second` of the n-th message played since start().
    void during(int n, double second, Action action)
    {
        if (n <= armed)
            atNextPlay(second, std::move(action));
        else
            script[n].push_back({second, std::move(action)});
    }
    // Scripts play n (the next one): its actions, and on its start a record
    // of what the window shows and the scripting of play n + 1.
    void arm(int n)
    {
        armed = n;
        for (auto &[second, action] : script[n])
            atNextPlay(second, action);
        atNextPlay(0, [this, n] {
            playNumber = n;
            shown << label("lblMessages")->text();
            arm(n + 1);
        });
    }

    QPushButton *button(const char *name)
    {
        return control.findChild<QPushButton *>(QString::fromUtf8(name));
    }
    QLabel *label(const char *name) { return control.findChild<QLabel *>(QString::fromUtf8(name)); }
    QString playAllCaption() { return button("cmdPlayAll")->text(); }
    // The tones after the last message: three short beeps on the telephone.
    int endBeeps()
    {
        int n = 0;
        const auto &tones = board().tones();
        for (auto it = tones.rbegin(); it != tones.rend() && it->length == 1; ++it)
            ++n;
        return n;
    }

    MessageControl control;
    std::map<int, std::vector<std::pair<double, Action>>> script;
    int playNumber = 0;
    int armed = 0;
    QStringList ids;           // IDChanged after start(): the id, " new" when it has new ones
    QStringList shown;         // lblMessages at the start of each play
    QList<int> finishedDuring; // the play during or after which each FinishedPlayingNewMsg came
};

// Four messages of entity 42, the first and the third new.
class FourMessages : public PlaybackTest
{
protected:
    FourMessages()
    {
        const std::tuple<char, char, int> rows[] = {
            {'N', 'A', 11}, {'M', 'B', 12}, {'N', 'C', 13}, {'M', 'D', 14}};
        for (const auto &[status, order, seconds] : rows)
            message(msg(status, 42, order), seconds);
        message(msg('N', 77), 5);
    }
};

TEST_P(FourMessages, PlayAllPlaysInOrderMarksTheNewOnesAndEndsWithBeeps)
{
    start(42);
    control.ClickPlayAllMsgButton();

    EXPECT_EQ(playedLengths(), (QList<double>{11, 12, 13, 14}));
    EXPECT_EQ(shown, (QStringList{u"1 of 4 messages"_s, u"2 of 4 messages"_s, u"3 of 4 messages"_s,
                                  u"4 of 4 messages"_s}));
    EXPECT_EQ(finishedDuring, (QList<int>{1, 3}));
    for (char order : {'A', 'B', 'C', 'D'}) {
        EXPECT_TRUE(QFile::exists(file(msg('M', 42, order)))) << order;
        EXPECT_FALSE(QFile::exists(file(msg('N', 42, order)))) << order;
    }
    EXPECT_EQ(control.NewMsgCnt(), 1);
    if (soundCard()) {
        EXPECT_TRUE(board().tones().isEmpty());
        EXPECT_TRUE(board().dials().isEmpty());
    } else {
        EXPECT_EQ(endBeeps(), 3); // after the beep before each message
        EXPECT_EQ(board().dials(), QStringList{u"201"_s});
    }
    EXPECT_EQ(control.core().lastState(), dsNewMessages); // entity 77 is still new
    EXPECT_EQ(playAllCaption(), u"&Play");
    EXPECT_TRUE(control.core().timerEnabled());
    EXPECT_TRUE(prompter.boxes.isEmpty());

    // The route stays open: a second Play makes no new call.
    control.ClickPlayAllMsgButton();
    EXPECT_EQ(plays().size(), 8);
    EXPECT_LE(board().dials().size(), 1);
}

TEST_P(FourMessages, PauseAndResumeContinueFromTheSecondReached)
{
    start(42);
    during(3, 8, [&] { control.ClickPlayAllMsgButton(); });
    during(4, 4, [&] { control.ClickPlayAllMsgButton(); });
    control.ClickPlayAllMsgButton();
    EXPECT_EQ(playAllCaption(), u"Res&ume");
    EXPECT_EQ(control.core().lastState(), dsPaused);
    EXPECT_TRUE(control.core().timerEnabled()); // polling goes on while paused
    EXPECT_TRUE(QFile::exists(file(msg('N', 42, 'C'))));
    EXPECT_EQ(finishedDuring, QList<int>{1});

    // Resume, and pause again 4 seconds later: the stretches add up.
    control.ClickPlayAllMsgButton();
    EXPECT_EQ(playAllCaption(), u"Res&ume");
    control.ClickPlayAllMsgButton();

    // Over the telephone the message goes on from the second reached; the
    // sound card starts it again from its beginning.
    QList<qint32> from;
    for (const SimPlay &p : plays())
        from << p.startSecond;
    EXPECT_EQ(from, (soundCard() ? QList<qint32>(6, 0) : QList<qint32>{0, 0, 0, 8, 12, 0}));
    EXPECT_EQ(plays()[4].endPosition, 13);
    EXPECT_EQ(shown,
              (QStringList{u"1 of 4 messages"_s, u"2 of 4 messages"_s, u"3 of 4 messages"_s,
                           u"3 of 4 messages"_s, u"3 of 4 messages"_s, u"4 of 4 messages"_s}));
    EXPECT_EQ(finishedDuring, (QList<int>{1, 5}));
    EXPECT_FALSE(QFile::exists(file(msg('N', 42, 'C'))));
    EXPECT_EQ(control.core().lastState(), dsNewMessages);
}

TEST_P(FourMessages, StopEndsThePlaybackAndForgetsThePause)
{
    start(42);
    during(1, 4, [&] { control.ClickPlayAllMsgButton(); }); // pause at 4 s
    control.ClickPlayAllMsgButton();
    control.ClickPlayLastMsgButton(); // Stop while paused
    EXPECT_EQ(playAllCaption(), u"&Play");
    EXPECT_TRUE(QFile::exists(file(msg('N', 42, 'A'))));
    EXPECT_TRUE(finishedDuring.isEmpty());

    // A fresh Play starts from message 1; Stop during message 2 marks nothing
    // more, plays nothing more and does not beep.
    during(3, 3, [&] { control.ClickPlayAllMsgButton(); });
    during(4, 2, [&] { control.ClickPlayLastMsgButton(); });
    control.ClickPlayAllMsgButton(); // plays 1, pauses 2 at 3 s
    control.ClickPlayAllMsgButton(); // resumes 2: its skip starts from 3 s, not 7
    EXPECT_EQ(plays().size(), 4);
    EXPECT_EQ(plays()[3].startSecond, soundCard() ? 0 : 3);
    EXPECT_EQ(plays()[3].ending, SimEnding::StopVoice);
    EXPECT_EQ(finishedDuring, QList<int>{2});
    if (!soundCard()) {
        EXPECT_EQ(endBeeps(), 0);
    }
    EXPECT_EQ(playAllCaption(), u"&Play");

    control.ClickPlayAllMsgButton();
    EXPECT_EQ(plays()[4].endPosition, 11); // message 1 again
}

// With "RenameOnStop" on (the default) a new message stopped during New
// Msg counts as heard; with it off it stays new.
TEST_P(FourMessages, StopDuringNewMsgMarksHeardOnlyWithRenameOnStop)
{
    start(42);
    during(1, 3, [&] { control.ClickPlayLastMsgButton(); });
    control.ClickNewMsgButton();
    EXPECT_EQ(plays().last().ending, SimEnding::StopVoice);
    EXPECT_TRUE(QFile::exists(file(msg('M', 42, 'A'))));
    EXPECT_EQ(finishedDuring, QList<int>{1});

    modVNQRN::WriteProfileString(u"Messages"_s, u"RenameOnStop"_s, u"0"_s, ini());
    control.InitializeForProgram(u"VN-Console"_s);
    during(2, 3, [&] { control.ClickPlayLastMsgButton(); });
    control.ClickNewMsgButton();
    EXPECT_EQ(plays().size(), 2);
    EXPECT_TRUE(QFile::exists(file(msg('N', 42, 'C'))));
    EXPECT_EQ(finishedDuring, QList<int>{1});
}

TEST_P(PlaybackTest, PlayLastAndNewMsgPlayOneMessage)
{
    const std::tuple<char, int, char, int> rows[] = {
        {'M', 3, 'A', 6}, {'N', 3, 'B', 7}, {'N', 3, 'C', 8}, {'N', 7, 'A', 9}, {'M', 5, 'A', 4}};
    for (const auto &[status, id, order, seconds] : rows)
        message(msg(status, id, order), seconds);
    message(u"MN000000001A"_s, 3); // a heard message with an "N" inside its name
    start(5);

    // New Msg: the lowest id with a new message, its first new message.
    control.ClickNewMsgButton();
    EXPECT_EQ(ids, QStringList{u"000000003 new"_s});
    EXPECT_EQ(playedLengths(), QList<double>{7});
    EXPECT_EQ(shown, QStringList{u"2 of 3 messages"_s});
    EXPECT_TRUE(QFile::exists(file(msg('M', 3, 'B'))));

    // Play Last on entity 3: its third message, marked heard.
    control.ClickPlayLastMsgButton();
    EXPECT_EQ(playedLengths().last(), 8);
    EXPECT_EQ(shown.last(), u"3 of 3 messages");
    EXPECT_TRUE(QFile::exists(file(msg('M', 3, 'C'))));
    EXPECT_EQ(finishedDuring, (QList<int>{1, 2}));

    // A New Msg paused is resumed by New Msg's own procedure, not Play Last's.
    during(3, 4, [&] { control.ClickPlayAllMsgButton(); });
    control.ClickNewMsgButton();
    control.ClickPlayAllMsgButton();
    EXPECT_EQ(playedLengths().mid(2), (QList<double>{4, soundCard() ? 9.0 : 5.0}));
    EXPECT_FALSE(QFile::exists(file(msg('N', 7, 'A'))));

    // Nothing new left anywhere.
    prompter.boxes.clear();
    control.ClickNewMsgButton();
    EXPECT_EQ(prompter.texts(), QStringList{u"New Message listened to on another workstation"_s});
    EXPECT_EQ(plays().size(), 4);
    EXPECT_TRUE(control.core().timerEnabled());
}

TEST_P(PlaybackTest, PreviousAndNextWrapAroundTheEntities)
{
    // An empty folder: no entity is selected and nothing plays.
    start(0);
    control.ClickNextMsgButton();
    control.ClickPrevMsgButton();
    EXPECT_EQ(ids, (QStringList{QString(), QString()}));
    EXPECT_TRUE(plays().isEmpty());
    if (!soundCard()) {
        EXPECT_EQ(endBeeps(), 2 * 3);
    }
    EXPECT_EQ(control.core().lastState(), dsNoMessages);

    message(msg('M', 3), 3);
    message(msg('M', 5), 5);
    message(msg('M', 70), 7);
    control.core().tmrCalls_Timer();
    control.InitializeForID(u"5"_s);
    ids.clear();
    button("cmdNextMsg")->click(); // up to 70, then around to the lowest id
    button("cmdNextMsg")->click();
    control.ClickNextMsgButton(); // runs Previous: around to the highest id
    control.ClickPrevMsgButton();
    EXPECT_EQ(ids, (QStringList{u"000000070"_s, u"000000003"_s, u"000000070"_s, u"000000005"_s}));
    EXPECT_EQ(control.core().store().msEntityID, u"000000005");
    EXPECT_EQ(playedLengths(), (QList<double>{7, 3, 7, 5}));
}

TEST_P(FourMessages, OtherWorkstationsAndThePurgeChangeTheFolderDuringPlayback)
{
    start(42);
    // Before its turn, message 3 is heard elsewhere: its heard twin is played.
    during(1, 2, [&] { QFile::rename(file(msg('N', 42, 'C')), file(msg('M', 42, 'C'))); });
    // While message 1 plays, another workstation hears it too.
    during(1, 3, [&] { QFile::rename(file(msg('N', 42, 'A')), file(msg('M', 42, 'A'))); });
    control.ClickPlayAllMsgButton();
    EXPECT_EQ(prompter.texts(),
              QStringList{u"This message has been played on another workstation"_s});
    EXPECT_EQ(playedLengths(), (QList<double>{11, 12, 13, 14}));
    EXPECT_EQ(finishedDuring, (QList<int>{1, 2})); // message 3's event comes before it plays
    EXPECT_EQ(
        control.core().store().msEntityList,
        QStringList({msg('M', 42, 'A'), msg('M', 42, 'B'), msg('M', 42, 'C'), msg('M', 42, 'D')})
            .join(u','));

    // A new message whose heard name another message holds: neither is
    // replaced, the new one stays new and the operator is told.
    message(msg('N', 42, 'B'), 2);
    control.core().tmrCalls_Timer();
    control.InitializeForID(u"42"_s);
    prompter.boxes.clear();
    // The purge removes message 3 while message 2 plays.
    during(6, 1, [&] { QFile::remove(file(msg('M', 42, 'C'))); });
    control.ClickPlayAllMsgButton();
    EXPECT_EQ(TestWorkstation::readFile(file(msg('M', 42, 'B'))).size(), 12 * 4000);
    EXPECT_EQ(TestWorkstation::readFile(file(msg('N', 42, 'B'))).size(), 2 * 4000);
    EXPECT_EQ(prompter.texts(),
              (QStringList{u"This message cannot be marked as heard: another message already has "
                           u"its heard name " +
                               msg('M', 42, 'B') + u".\r\nIt stays new.",
                           u"A message has been deleted.\r\nThe messanger will refresh itself\r\n"
                           "before playing another message."_s}));
    // Both names were listed: each plays.
    EXPECT_EQ(playedLengths().mid(4), (QList<double>{11, 2, 12}));
    EXPECT_EQ(control.MsgCnt(), 5); // refreshed: 42 A, both B, D and 77
}

TEST_P(FourMessages, ANewerRecordingWhilePausedStaysNewAfterTheResume)
{
    start(42);
    during(1, 3, [&] { control.ClickPlayAllMsgButton(); });
    control.ClickPlayAllMsgButton();
    ASSERT_EQ(playAllCaption(), u"Res&ume");
    // While message 1 is paused, another workstation hears it, the purge
    // removes it and the recorder writes a newer message under its new name:
    // the resume plays the rest of the newer one, which nobody heard whole.
    ASSERT_TRUE(QFile::remove(file(msg('N', 42, 'A'))));
    message(msg('N', 42, 'A'), 5);
    control.ClickPlayAllMsgButton();
    EXPECT_FALSE(QFile::exists(file(msg('M', 42, 'A'))));
    EXPECT_EQ(TestWorkstation::readFile(file(msg('N', 42, 'A'))).size(), 5 * 4000);
}

// The file system as the play engine sees it, with a moment to act in just
// before the first message's play begins (after the look that found it).
class ActJustBeforePlay final : public MessageFileSystem
{
public:
    explicit ActJustBeforePlay(std::function<void()> act) : m_act(std::move(act))
    {
        setMessageFileSystem(this);
    }
    ~ActJustBeforePlay() override { setMessageFileSystem(nullptr); }
    int stat(const QString &path, FileFacts &facts) override
    {
        if (auto act = std::exchange(m_act, {}))
            act();
        return MessageFileSystem::stat(path, facts);
    }

private:
    std::function<void()> m_act;
};

TEST_P(FourMessages, AMessageHeardElsewhereJustBeforeItsPlayIsPlayedUnderItsHeardName)
{
    start(42);
    ActJustBeforePlay otherWorkstation(
        [&] { QFile::rename(file(msg('N', 42, 'A')), file(msg('M', 42, 'A'))); });
    control.ClickPlayAllMsgButton();
    EXPECT_EQ(playedLengths(), (QList<double>{11, 12, 13, 14}));
    EXPECT_TRUE(prompter.boxes.isEmpty()) << prompter.texts().join(u'|').toStdString();
    EXPECT_EQ(finishedDuring.size(), 2);
    EXPECT_EQ(control.NewMsgCnt(), 1); // entity 77
}

TEST_P(FourMessages, AMessageThatFailedToPlayStaysNewAndTheOperatorLearnsWhich)
{
    start(42);
    // The local copy every message is played from cannot be written.
    QDir().mkpath(ws.localAppFolder() + u"TEMP.vox"_s);
    control.ClickPlayAllMsgButton();
    EXPECT_TRUE(plays().isEmpty());
    EXPECT_TRUE(QFile::exists(file(msg('N', 42, 'A'))));
    EXPECT_TRUE(finishedDuring.isEmpty());
    ASSERT_EQ(prompter.boxes.size(), 1); // one box, not one per message
    EXPECT_EQ(prompter.texts()[0], u"Message " + msg('N', 42, 'A') +
                                       u" could not be played: Path/File access error.\r\n"
                                       u"It stays new.");
    EXPECT_EQ(control.NewMsgCnt(), 3);
    EXPECT_EQ(playAllCaption(), u"&Play");
    EXPECT_EQ(control.core().lastState(), dsNewMessages);
    const QString log = todaysErrorLog();
    EXPECT_TRUE(log.contains(u"Path/File access error"_s)) << log.toStdString();
    EXPECT_TRUE(log.contains(msg('N', 42, 'A') + u".vox was not played")) << log.toStdString();

    // The same message plays once the fault is gone.
    QDir().rmdir(ws.localAppFolder() + u"TEMP.vox"_s);
    control.ClickPlayAllMsgButton();
    EXPECT_EQ(plays().size(), 4);
    EXPECT_FALSE(QFile::exists(file(msg('N', 42, 'A'))));
}

// Two workstations in one process: they share the local settings, so they
// play over the sound card (one message line per workstation).
class SharedFolderTest : public FourMessages
{
};

TEST_P(SharedFolderTest, TwoWorkstationsOnOneFolderLoseNothing)
{
    MessageControl other;
    start(42);
    other.InitializeForProgram(u"VN-Console"_s);
    other.InitializeForID(u"77"_s);
    QStringList otherUpdates;
    QObject::connect(&other, &MessageControl::MsgUpdated,
                     [&] { otherUpdates << other.Messages(); });

    control.ClickPlayAllMsgButton();
    EXPECT_EQ(other.NewMsgCnt(), 3); // not polled yet
    other.core().tmrCalls_Timer();
    EXPECT_EQ(otherUpdates.size(), 1);
    EXPECT_EQ(other.NewMsgCnt(), 1);
    EXPECT_EQ(other.Messages(), control.Messages());

    // The other workstation hears entity 77; this one sees it at its next poll.
    other.ClickPlayAllMsgButton();
    control.core().tmrCalls_Timer();
    EXPECT_EQ(control.NewMsgCnt(), 0);
    EXPECT_EQ(control.Messages(), other.Messages());
    EXPECT_EQ(control.MsgCnt(), 5);
    EXPECT_EQ(QDir(messages()).entryList(QDir::Files).size(), 5);
    EXPECT_EQ(control.core().lastState(), dsNoNewMessages);
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Routes, PlaybackTest, ::testing::Values(false, true), routeName);
INSTANTIATE_TEST_SUITE_P(Routes, FourMessages, ::testing::Values(false, true), routeName);
INSTANTIATE_TEST_SUITE_P(SoundCard, SharedFolderTest, ::testing::Values(true));

// The telephone line alone: keys, failed calls and hang-ups.
class LineTest : public FourMessages
{
};

TEST_P(LineTest, StopKeysHangUpsAndFailedCallsEndWhatTheyShould)
{
    start(42);
    board().setDialOutcome(kCallFailed, 30); // no phone on the port
    control.ClickPlayAllMsgButton();
    EXPECT_EQ(label("lblNotes")->text(), u"Unable to make Connection");
    EXPECT_TRUE(prompter.texts().first().startsWith(u"Phone could not connect to message port 1"));
    EXPECT_EQ(control.core().lastState(), dsNewMessages);
    EXPECT_TRUE(plays().isEmpty());

    // Answered this time. A stop key ends message 1 and the playback goes
    // on; "*" is no stop key; the operator hangs up during message 2.
    prompter.boxes.clear();
    board().setDialOutcome(kCallAnswered, 1);
    during(1, 3, [&] { board().pressKeys(u"#"_s); });
    during(2, 3, [&] { board().pressKeys(u"*"_s); });
    during(2, 5, [&] { board().hangUp(); });
    control.ClickPlayAllMsgButton();
    EXPECT_EQ(playedLengths(), (QList<double>{3, 5}));
    EXPECT_EQ(plays()[0].ending, SimEnding::StopTone);
    EXPECT_EQ(plays()[1].ending, SimEnding::HangUp);
    EXPECT_EQ(finishedDuring, QList<int>{1});
    EXPECT_TRUE(QFile::exists(file(msg('N', 42, 'C')))); // never played, not marked
    EXPECT_FALSE(control.core().mbConnected);
    EXPECT_EQ(playAllCaption(), u"&Play");
    EXPECT_EQ(control.core().store().mlEntityPos, 0);
    EXPECT_TRUE(prompter.boxes.isEmpty());

    control.ClickPlayAllMsgButton();
    EXPECT_EQ(board().dials().size(), 3);
    EXPECT_EQ(plays().size(), 6);
}

TEST_P(LineTest, TerminateDuringPlaybackStopsItAndReleasesTheLineAfterwards)
{
    start(42);
    during(1, 2, [&] { control.Terminate(); });
    control.ClickPlayAllMsgButton();
    EXPECT_EQ(shown.size(), 1);
    EXPECT_TRUE(QFile::exists(file(msg('N', 42, 'A'))));
    EXPECT_EQ(control.core().phoneHelp(), nullptr);
    EXPECT_EQ(modVNQRN::ReadProfileString(u"Messages"_s, u"MsgPortUsage"_s, u"-"_s, ini()),
              QString());

    // With the helper gone, Stop fails: the failure reaches the caller and
    // leaves the timer off, while a click on the button reports it.
    try {
        control.ClickPlayLastMsgButton();
        ADD_FAILURE() << "no error";
    } catch (const modVNQRN::Error &e) {
        EXPECT_EQ(e.number(), modVNQRN::errObjectNotSet);
    }
    EXPECT_FALSE(control.core().timerEnabled());
    EXPECT_TRUE(prompter.boxes.isEmpty());
    button("cmdPlayLast")->click();
    EXPECT_EQ(prompter.boxes.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Telephone, LineTest, ::testing::Values(false));

} // namespace
