#pragma once

#include "telephony/clsPhoneHelp.h"
#include "telephony/port_log.h"
#include "telephony/simulated_voice_board.h"

#include "shared/environment.h"
#include "shared/profile.h"
#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>

#include <memory>

/// A workstation with the simulated voice board (1 ms per simulated second),
/// message port 3, and a helper created on demand.
class PhoneFixture : public ::testing::Test
{
protected:
    PhoneFixture()
    {
        QDir().mkpath(local);
        QDir().mkpath(data);
        modVNQRN::gsLocalPath = local;
        modVNQRN::gsLocalIni = local + u"QelLocal.ini";
        modVNQRN::gsDataPath = data;
        writeIni();
    }

    /// Writes the local settings file: the defaults below plus `extra` lines.
    void writeIni(const QByteArray &extra = {})
    {
        TestWorkstation::writeFile(modVNQRN::gsLocalIni,
                                   "[VoiceBoard]\r\nDriver=simulated\r\nTimeScale=0.001\r\n"
                                   "[Messages]\r\nMsgport=3\r\nConnectString=555-12-34\r\n" +
                                       extra);
    }
    /// Creates the helper (and its board) from the settings file.
    clsPhoneHelp &helper()
    {
        if (!phone) {
            phone = std::make_unique<clsPhoneHelp>();
            hangups = std::make_unique<QSignalSpy>(phone.get(), &clsPhoneHelp::CallerHangup);
        }
        return *phone;
    }
    /// Drops the helper and its board: the next helper() reads the settings again.
    void restart()
    {
        hangups.reset();
        phone.reset();
    }
    VoiceBocxLib::SimulatedVoiceBoard &board()
    {
        helper();
        if (!VoiceBocxLib::SimulatedVoiceBoard::last())
            throw std::runtime_error("no simulated board");
        return *VoiceBocxLib::SimulatedVoiceBoard::last();
    }
    /// Puts a call up on the message line.
    void connected() { EXPECT_TRUE(helper().ConnectPhone(QStringLiteral("Switchboard"))); }

    /// A voice file of `seconds` seconds (4000 bytes a second).
    QString voiceFile(const QString &name, int seconds)
    {
        TestWorkstation::writeFile(data + name, QByteArray(seconds * 4000, '\x11'));
        return data + name;
    }
    /// The texts of the port log's lines, time stamps and prefix removed.
    QStringList portLogTexts(qint32 port = 3) const
    {
        QStringList texts;
        const QByteArray all = TestWorkstation::readFile(VNOrvakTelephony::portLogPath(port));
        for (const QString &line :
             QString::fromUtf8(all).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
            const qsizetype at = line.indexOf(u" VN-Orvak - '");
            texts.append(at < 0 ? line : line.mid(at + 13));
        }
        return texts;
    }
    QString msgPortUsage() const
    {
        return modVNQRN::ReadProfileString(QStringLiteral("Messages"),
                                           QStringLiteral("MsgPortUsage"), QString(),
                                           modVNQRN::gsLocalIni);
    }

    TestWorkstation ws;
    FakeClock clock;
    RecordingPrompter prompter;
    QString local = ws.root() + u"local/";
    QString data = ws.root() + u"data/";
    // Declared last: destroyed before the clock and the prompter it uses.
    std::unique_ptr<clsPhoneHelp> phone;
    std::unique_ptr<QSignalSpy> hangups;
};
