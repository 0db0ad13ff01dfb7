// The playback without a window, on the simulated voice board (telephone
// line or sound card): the state a host observes, clicks during a running
// playback, and deleting the control or the playback at any moment. Run
// under AddressSanitizer, any touch of freed memory fails the test.

#include "control/display_states.h"
#include "control/message_control.h"
#include "control/message_playback.h"

#include "simulated_route.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>

#include <functional>
#include <memory>

using namespace VNOrvak;
using namespace VoiceBocxLib;
using namespace Qt::StringLiterals;
using Phase = PlaybackState::Phase;

namespace
{

class MessagePlaybackTest : public SimulatedRouteTest
{
protected:
    // 10 ms a simulated second: a 20-second message plays for 0.2 s.
    MessagePlaybackTest() : SimulatedRouteTest("TimeScale=0.01\nAnswerSeconds=1\n")
    {
        message(msg('N', 42, 'A'), 20);
        message(msg('M', 42, 'B'), 10);
        message(msg('N', 77), 5);
    }
    ~MessagePlaybackTest() override
    {
        // A playback deleted during its calls ends on the event loop.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The windowless playback on entity `id`, its states recorded.
    MessagePlayback &startPlayback(int id)
    {
        playback = std::make_unique<MessagePlayback>();
        playback->InitializeForProgram(u"VN-Console"_s);
        playback->InitializeForID(QString::number(id));
        QObject::connect(playback.get(), &MessagePlayback::stateChanged,
                         [this](const PlaybackState &s) { states << s; });
        return *playback;
    }

    QStringList phases() const
    {
        QStringList out;
        for (const PlaybackState &s : states) {
            const char *phase = s.phase == Phase::Playing  ? "playing "
                                : s.phase == Phase::Paused ? "paused "
                                                           : "idle";
            out << QString::fromLatin1(phase) + s.message;
        }
        return out;
    }

    std::unique_ptr<MessagePlayback> playback;
    QList<PlaybackState> states;
};

TEST_P(MessagePlaybackTest, AWholePlaybackShowsEachMessageAndTicksWithTheBoardsClock)
{
    MessagePlayback &p = startPlayback(42);
    p.setElapsedInterval(10);
    QList<double> ticks;
    QObject::connect(&p, &MessagePlayback::elapsed, [&](double seconds) {
        ticks << seconds;
        // The board's own count of the seconds played, read just after: as
        // far at least (the board's clock runs on meanwhile).
        EXPECT_LE(seconds, double(board().ElapsedSeconds()));
        EXPECT_EQ(p.state().playedSeconds, seconds);
    });
    p.playAll();

    EXPECT_EQ(phases(), (QStringList{u"playing "_s + msg('N', 42, 'A'),
                                     u"playing "_s + msg('M', 42, 'B'), u"idle"_s}));
    ASSERT_EQ(states.size(), 3);
    const PlaybackState &first = states[0];
    EXPECT_EQ(first.entity, u"000000042");
    EXPECT_EQ(first.position, 1);
    EXPECT_EQ(first.count, 2);
    EXPECT_EQ(first.lengthSeconds, 20);
    EXPECT_EQ(first.callDate, QDateTime(QDate(2026, 3, 14), QTime(8, 0)));
    EXPECT_EQ(states[1].position, 2);
    EXPECT_EQ(states[1].lengthSeconds, 10);
    EXPECT_EQ(states[2].message, QString());
    EXPECT_EQ(states[2].position, 0);
    // About once a simulated second while playing, never beyond a message's length.
    ASSERT_FALSE(ticks.isEmpty());
    for (double t : ticks)
        EXPECT_LE(t, 20);
    EXPECT_TRUE(QFile::exists(file(msg('M', 42, 'A'))));
}

TEST_P(MessagePlaybackTest, PauseResumeAndStopShowInTheState)
{
    MessagePlayback &p = startPlayback(42);
    atNextPlay(4, [&] { p.playAll(); }); // Pause at 4 s
    p.playAll();
    EXPECT_EQ(p.playAllButton(), MessagePlayback::PlayAllButton::Resume);
    EXPECT_EQ(p.state().phase, Phase::Paused);
    EXPECT_EQ(p.state().playedSeconds, 4);

    // Resumed, then stopped from the host at 2 s: idle at once, nothing marked.
    atNextPlay(2, [&] {
        p.stop();
        EXPECT_EQ(p.state().phase, Phase::Idle);
    });
    p.playAll();
    const QString first = msg('N', 42, 'A');
    EXPECT_EQ(phases(), (QStringList{u"playing "_s + first, u"paused "_s + first,
                                     u"playing "_s + first, u"idle"_s}));
    EXPECT_TRUE(QFile::exists(file(msg('N', 42, 'A'))));
    EXPECT_EQ(plays().size(), 2);
    p.stop(); // idle: nothing to do
    EXPECT_EQ(states.size(), 4);
}

// A call that would start a playback while one runs is ignored (New Msg,
// Previous and Next are hidden then, Play offers Pause): no playback runs
// inside another, and a message is marked heard only after its own play.
TEST_P(MessagePlaybackTest, AClickDuringARunningPlaybackActsAsTheButtonsShow)
{
    MessagePlayback &p = startPlayback(42);
    QStringList ids;
    QObject::connect(&p, &MessagePlayback::IDChanged,
                     [&](const QString &id, bool &, const QString &) { ids << id; });
    int finished = 0;
    QObject::connect(&p, &MessagePlayback::FinishedPlayingNewMsg, [&] { ++finished; });
    if (!soundCard()) {
        // While the call is being made, too.
        board().during(SimOp::Dial, 0.5, [&] {
            p.playAll();
            p.playLast();
            p.newMessage();
        });
    }
    atNextPlay(3, [&] {
        p.newMessage();
        p.nextEntity();
        p.previousEntity();
        EXPECT_EQ(finished, 0);
        p.playAll(); // Pause
    });
    p.playAll();
    EXPECT_TRUE(ids.isEmpty());
    EXPECT_EQ(plays().size(), 1);
    EXPECT_EQ(p.state().phase, Phase::Paused);
    EXPECT_TRUE(QFile::exists(file(msg('N', 42, 'A'))));
    EXPECT_EQ(finished, 0);

    p.playAll(); // Resume: the rest plays, the paused message is marked after its play
    EXPECT_EQ(plays().size(), 3);
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(QFile::exists(file(msg('M', 42, 'A'))));
    if (!soundCard()) {
        EXPECT_EQ(board().dials().size(), 1);
    }
}

// Deleting at any moment: the control from a board event during a play, from
// inside its own events and from a poll's error box, the playback alone from
// its signals. The
// playback ends, nothing half-played is marked, the call is hung up.
TEST_P(MessagePlaybackTest, DeletingTheControlOrThePlaybackAtAnyMomentIsSafe)
{
    const QString first = file(msg('N', 42, 'A'));
    const auto hungUp = [&](SimulatedVoiceBoard *b) {
        if (!soundCard()) {
            EXPECT_FALSE(b->callUp());
        }
    };
    {
        SCOPED_TRACE("the control, during a play");
        auto control = std::make_unique<MessageControl>();
        control->InitializeForProgram(u"VN-Console"_s);
        control->InitializeForID(u"42"_s);
        SimulatedVoiceBoard *b = &board();
        atNextPlay(2, [&] { control.reset(); });
        control->ClickPlayAllMsgButton();
        EXPECT_EQ(control, nullptr);
        hungUp(b);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(SimulatedVoiceBoard::last(), nullptr); // the helper and its board are gone
        EXPECT_TRUE(QFile::exists(first));
    }
    {
        SCOPED_TRACE("the control, from its FinishedPlayingNewMsg");
        message(msg('N', 42, 'C'), 3);
        auto control = std::make_unique<MessageControl>();
        control->InitializeForProgram(u"VN-Console"_s);
        control->InitializeForID(u"42"_s);
        SimulatedVoiceBoard *b = &board();
        QObject::connect(control.get(), &MessageControl::FinishedPlayingNewMsg,
                         [&] { control.reset(); });
        QPushButton *play = control->findChild<QPushButton *>(u"cmdPlayAll"_s);
        play->click();
        EXPECT_EQ(control, nullptr);
        EXPECT_FALSE(QFile::exists(first)); // heard, then the control went
        EXPECT_EQ(b->plays().size() + b->simulatedWave()->plays().size(), 1);
        hungUp(b);
        EXPECT_TRUE(QFile::exists(file(msg('N', 42, 'C'))));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    {
        SCOPED_TRACE("the control, from its IDChanged and its MsgUpdated");
        auto control = std::make_unique<MessageControl>();
        control->InitializeForProgram(u"VN-Console"_s);
        QObject::connect(control.get(), &MessageControl::IDChanged, [&] { control.reset(); });
        control->ClickNewMsgButton();
        EXPECT_EQ(control, nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        control = std::make_unique<MessageControl>();
        control->InitializeForProgram(u"VN-Console"_s);
        QObject::connect(control.get(), &MessageControl::MsgUpdated, [&] { control.reset(); });
        message(msg('N', 90), 1);
        control->core().tmrCalls_Timer();
        EXPECT_EQ(control, nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    {
        SCOPED_TRACE("the playback, from its stateChanged and its elapsed");
        MessagePlayback &p = startPlayback(77);
        SimulatedVoiceBoard *b = &board();
        QObject::connect(&p, &MessagePlayback::stateChanged, [&](const PlaybackState &s) {
            if (s.phase == Phase::Playing)
                playback.reset();
        });
        p.newMessage();
        EXPECT_EQ(playback, nullptr);
        hungUp(b);
        EXPECT_TRUE(QFile::exists(file(msg('N', 77))));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        MessagePlayback &q = startPlayback(77);
        q.setElapsedInterval(10);
        QObject::connect(&q, &MessagePlayback::elapsed, [&] { playback.reset(); });
        q.newMessage();
        EXPECT_EQ(playback, nullptr);
        EXPECT_TRUE(QFile::exists(file(msg('N', 77))));
    }
    {
        SCOPED_TRACE("the control, from its poll's own error box");
        // The box is answered from inside the prompt by deleting the control.
        class DeletingPrompter final : public modVNQRN::Prompter
        {
        public:
            std::function<void()> onBox;
            QStringList texts;
            void messageBox(const QString &text, modVNQRN::MsgBoxIcon, const QString &) override
            {
                texts << text;
                onBox();
            }
            void setMousePointer(modVNQRN::MousePointer) override {}
        } deleting;
        auto control = std::make_unique<MessageControl>();
        control->InitializeForProgram(u"VN-Console"_s);
        deleting.onBox = [&] { control.reset(); };
        ASSERT_TRUE(QDir(messages()).removeRecursively());
        modVNQRN::setAppPrompter(&deleting);
        control->core().tmrCalls_Timer();
        modVNQRN::setAppPrompter(&prompter);
        EXPECT_EQ(control, nullptr);
        ASSERT_EQ(deleting.texts.size(), 1);
        EXPECT_TRUE(deleting.texts[0].contains(u"cannot be read"_s));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, MessagePlaybackTest, ::testing::Values(false, true), routeName);

} // namespace
