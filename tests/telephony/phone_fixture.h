#pragma once

#include "telephony/clsPhoneHelp.h"
#include "telephony/port_log.h"
#include "telephony/simulated_voice_board.h"

#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <memory>

/// A workstation with the simulated voice board (1 ms per simulated second),
/// message port 3, and a helper created on demand.
class PhoneFixture : public ::testing::Test
{
protected:
    PhoneFixture();

    /// Writes the local settings file: the defaults below plus `extra` lines.
    void writeIni(const QByteArray &extra = {});
    /// Creates the helper (and its board) from the settings file.
    clsPhoneHelp &helper();
    /// Drops the helper and its board: the next helper() reads the settings again.
    void restart()
    {
        hangups.reset();
        phone.reset();
    }
    VoiceBocxLib::SimulatedVoiceBoard &board();
    /// Puts a call up on the message line.
    void connected() { EXPECT_TRUE(helper().ConnectPhone(QStringLiteral("Switchboard"))); }

    /// A voice file of `seconds` seconds (4000 bytes a second).
    QString voiceFile(const QString &name, int seconds);
    /// The texts of the port log's lines, time stamps and prefix removed.
    QStringList portLogTexts(qint32 port = 3) const;
    QString msgPortUsage() const;

    TestWorkstation ws;
    FakeClock clock;
    RecordingPrompter prompter;
    QString local = ws.root() + u"local/";
    QString data = ws.root() + u"data/";
    // Declared last: destroyed before the clock and the prompter it uses.
    std::unique_ptr<clsPhoneHelp> phone;
    std::unique_ptr<QSignalSpy> hangups;
};
