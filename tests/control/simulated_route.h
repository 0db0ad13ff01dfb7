#pragma once

// A workstation on the simulated voice board that plays its messages over the
// telephone line (parameter false) or the sound card (true): the folders,
// settings and board access the playback tests share.

#include "message_folder.h"
#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include "telephony/simulated_voice_board.h"

#include <gtest/gtest.h>

#include <QDir>

#include <functional>
#include <string>
#include <utility>

class SimulatedRouteTest : public ::testing::TestWithParam<bool>
{
protected:
    // `board` goes on the "[VoiceBoard]" section: at least its time scale.
    explicit SimulatedRouteTest(const QByteArray &board)
    {
        ws.writeLocalIni(QByteArray("SoundCard=") + (soundCard() ? "1" : "0") +
                         "\n[Messages]\nMsgTimer=0\nMsgport=1\nConnectString=201\n"
                         "[VoiceBoard]\nDriver=simulated\n" +
                         board);
        QDir().mkpath(messages());
    }

    bool soundCard() const { return GetParam(); }
    QString ini() const { return ws.localIni(); }
    QString messages() const { return ws.messagesFolder(); }
    QString file(const QString &name) const { return messages() + name + u".vox"; }
    // A message of `seconds` seconds: its length tells the plays apart.
    void message(const QString &name, int seconds)
    {
        writeMessageFile(messages(), name + u".vox", QDateTime(QDate(2026, 3, 14), QTime(8, 0)),
                         QByteArray(seconds * 4000, '\x11'));
    }

    VoiceBocxLib::SimulatedVoiceBoard &board()
    {
        return *VoiceBocxLib::SimulatedVoiceBoard::last();
    }
    const QList<VoiceBocxLib::SimPlay> &plays()
    {
        return soundCard() ? board().simulatedWave()->plays() : board().plays();
    }
    // Runs `action` at `second` of the next play on the route.
    void atNextPlay(double second, std::function<void()> action)
    {
        if (soundCard())
            board().simulatedWave()->duringNextPlay(second, std::move(action));
        else
            board().during(VoiceBocxLib::SimOp::PlayFile, second, std::move(action));
    }

    TestWorkstation ws;
    FakeClock clock;
    RecordingPrompter prompter;
};

inline std::string routeName(const ::testing::TestParamInfo<bool> &info)
{
    return info.param ? "SoundCard" : "Line";
}
