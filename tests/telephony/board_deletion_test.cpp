// A simulated voice board deleted while one of its blocking operations
// waits (its owner went away during a call or a play): the operation
// returns with an error and touches nothing of the deleted board or wave
// device. Run under AddressSanitizer, any such touch fails the test.

#include "telephony/simulated_voice_board.h"
#include "telephony/simulated_wave_device.h"

#include "shared/error.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <functional>
#include <memory>

using namespace VoiceBocxLib;

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
