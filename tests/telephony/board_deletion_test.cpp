// A simulated voice board, or the telephony helper owning one, deleted while
// one of its blocking operations waits (its owner went away during a call or
// a play): the operation returns and touches nothing of the deleted objects.
// Run under AddressSanitizer, any such touch fails the test.

#include "phone_fixture.h"

#include "telephony/simulated_voice_board.h"
#include "telephony/simulated_wave_device.h"

#include "shared/error.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <functional>
#include <memory>

using namespace VoiceBocxLib;
using namespace Qt::StringLiterals;

TEST(BoardDeletionTest, ABoardDeletedWhileItWaitsLeavesItsCallerAnErrorAndNothingFreedToTouch)
{
    TestWorkstation ws;
    const QString file = ws.root() + u"N000000042.vox";
    TestWorkstation::writeFile(file, QByteArray(60 * 4000, '\x11')); // 60 simulated seconds
    const struct {
        const char *what;
        std::function<void(SimulatedVoiceBoard &)> operation;
    } cases[] = {
        {"dialling", [](SimulatedVoiceBoard &b) { b.Dial(QStringLiteral("204")); }},
        {"playing on the line", [&](SimulatedVoiceBoard &b) { b.PlayFile(file); }},
        {"beeping", [](SimulatedVoiceBoard &b) { b.GenerateTone(800, -20, 240); }},
        {"playing on the wave device",
         [&](SimulatedVoiceBoard &b) {
             b.HangUp();
             b.setAutoRouteMedia(false);
             b.setTrunkChannel(-1);
             b.setMediaChannel(1);
             b.PlayFile(file);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        // 10 ms a simulated second: the dial rings for 0.6 s, the plays last 0.6 s.
        SimulatedVoiceBoard::Settings settings;
        settings.timeScale = 0.01;
        settings.answerSeconds = 60;
        auto board = std::make_unique<SimulatedVoiceBoard>(
            settings, std::make_unique<SimulatedWaveDevice>(0.01));
        SimulatedVoiceBoard *live = board.get();
        live->setTrunkChannel(0);
        if (std::string(c.what) != "dialling") {
            live->setDialOutcome(kCallAnswered, 0);
            live->Dial(QStringLiteral("204"));
            ASSERT_EQ(live->CallStatus(), kCallAnswered);
        }
        QTimer::singleShot(50, [&board] { board.reset(); });
        EXPECT_THROW(c.operation(*live), modVNQRN::Error);
        EXPECT_EQ(board, nullptr);
    }
}

using HelperDeletionTest = PhoneFixture;

// The helper goes while it dials, beeps, plays on the line or the sound
// card, or waits for the line: the operation returns as after a failure,
// and a call that was up is hung up and the line given free.
TEST_F(HelperDeletionTest, AHelperDeletedDuringACallOrAPlayReturnsAndHangsUp)
{
    const QString file = voiceFile(u"N1.vox"_s, 60);
    const QString dest = local + u"TEMP.vox";
    const struct {
        const char *what;
        bool call; // a call is up when the operation starts
        std::function<void(std::function<void()>)> operation;
    } cases[] = {
        {"dialling", false,
         [this](std::function<void()> gone) {
             board().setDialOutcome(kCallAnswered, 30);
             board().during(SimOp::Dial, 1, gone);
             EXPECT_FALSE(helper().ConnectPhone(u"Switchboard"_s));
         }},
        {"beeping", true,
         [this](std::function<void()> gone) {
             board().during(SimOp::GenerateTone, 0.1, gone);
             helper().PlayTone(3);
         }},
        {"playing on the line", true,
         [&, this](std::function<void()> gone) {
             board().during(SimOp::PlayFile, 2, gone);
             helper().PlayWithVoiceBoard(dest, file);
         }},
        {"playing on the sound card", false,
         [&, this](std::function<void()> gone) {
             ASSERT_TRUE(helper().ConnectSoundCard());
             board().simulatedWave()->duringNextPlay(2, gone);
             qint32 skip = 0;
             helper().PlayWithSoundCard(dest, file, skip);
         }},
        {"waiting for the line", true,
         [this](std::function<void()> gone) {
             board().setLineStuckBusy(true);
             clock.onSleep([gone](FakeClock &c) {
                 const std::function<void()> now = gone; // the next line ends this closure
                 c.onSleep({});
                 now();
             });
             helper().WaitForIdleState();
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        if (c.call)
            connected();
        bool called = false;
        c.operation([&] {
            called = true;
            restart();
        });
        EXPECT_TRUE(called);
        EXPECT_EQ(phone, nullptr);
        EXPECT_EQ(SimulatedVoiceBoard::last(), nullptr);
        if (c.call) {
            EXPECT_EQ(portLogTexts().last(), u"Disconnect Call");
            EXPECT_EQ(msgPortUsage(), QString());
        }
        EXPECT_TRUE(prompter.boxes.isEmpty()) << prompter.texts().join(u'|').toStdString();
    }
}
